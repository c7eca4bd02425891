// libFuzzer target: the rule for the number in an initial-data cell, checked
// against a plain restatement of it. Built and run by scripts/fuzz.
//
// Every input is tried twice: one character per byte (0 to 255), and one
// character per four bytes, so that any 32-bit wide character is tried.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "format/CellNumber.h"

using namespace tandrel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// What the cell must read as: an optional '-', then digits only, at most
// 2147483647 in magnitude. `canonical` is the text the value prints as.
std::optional<std::wstring> Expected(const std::wstring& text) {
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) at = 1;
    if (at == text.size()) return std::nullopt;
    for (std::size_t i = at; i < text.size(); ++i)
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    while (at + 1 < text.size() && text[at] == L'0') ++at;
    std::wstring digits = text.substr(at);
    static const std::wstring kLargest = L"2147483647";
    if (digits.size() > kLargest.size() || (digits.size() == kLargest.size() && digits > kLargest))
        return std::nullopt;
    if (digits == L"0") return digits;
    return negative ? L"-" + digits : digits;
}

void CheckText(const std::wstring& text) {
    const std::optional<std::int32_t> value = ParseCellNumber(text);
    const std::optional<std::wstring> expected = Expected(text);
    Check(value.has_value() == expected.has_value());
    if (!value) return;
    Check(*value >= -2147483647 && *value <= 2147483647);
    Check(std::to_wstring(*value) == *expected);
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
