// libFuzzer target: the reading of an initial-data cell. Built and run by scripts/fuzz.
//
// Every input is tried twice: one character per byte (0 to 255), and one
// character per four bytes, so that any 32-bit wide character is tried.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "format/CellNumber.h"

using namespace tandrel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Whatever the text, a refused cell says why and stands for 0, and a taken
// one stands for a word that reads back the same from each way of writing it.
void CheckText(const std::wstring& text) {
    const CellNumber cell = ReadCellNumber(text);
    if (!cell.Valid()) {
        Check(cell.word == 0 && cell.problem.find(L"32-bit word") != std::wstring::npos);
        return;
    }
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%X", cell.word);
    for (const std::wstring& again :
         {std::to_wstring(cell.word), std::to_wstring(static_cast<std::int32_t>(cell.word)),
          std::wstring(hex)})
        Check(ReadCellNumber(again).Valid() && ReadCellNumber(again).word == cell.word);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::wstring narrow;
    for (std::size_t i = 0; i < size; ++i) narrow.push_back(static_cast<wchar_t>(bytes[i]));
    CheckText(narrow);

    std::wstring wide;
    for (std::size_t i = 0; i + sizeof(std::uint32_t) <= size; i += sizeof(std::uint32_t)) {
        std::uint32_t unit = 0;
        std::memcpy(&unit, bytes + i, sizeof unit);
        wide.push_back(static_cast<wchar_t>(unit));
    }
    CheckText(wide);
    return 0;
}
