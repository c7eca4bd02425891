#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "format/CellNumber.h"
#include "format/NumberFormat.h"


namespace tandrel {
namespace {

// A cell takes every 32-bit word, signed or unsigned, decimal or 0x-hex, and
// refuses anything else with a reason instead of reading it as something.
TEST(CellNumber, TakesEveryWordAndRefusesTheRestWithAReason) {
    const struct {
        const wchar_t* text;
        std::optional<std::uint32_t> word;  // none: refused
    } cases[] = {
        {L"", 0u},
        {L"-5", 0xFFFFFFFBu},
        {L"3000000000", 3000000000u},
        {L"4294967295", 0xFFFFFFFFu},
        {L"-2147483648", 0x80000000u},
        {L"0x10", 16u},
        {L" 0XffffFFFF\t", 0xFFFFFFFFu},
        {L"-0x1", 0xFFFFFFFFu},
        {L"4294967296", std::nullopt},
        {L"-2147483649", std::nullopt},
        {L"0x100000000", std::nullopt},
        {L"99999999999999999999999", std::nullopt},
        {L"12.5", std::nullopt},
        {L"0x", std::nullopt},
        {L"1 2", std::nullopt},
        {L"--3", std::nullopt},
        {L"\u0663", std::nullopt},  // a digit of another script
    };
    for (const auto& c : cases) {
        const CellNumber cell = ReadCellNumber(c.text);
        EXPECT_EQ(cell.Valid(), c.word.has_value()) << "'" << c.text << "'";
        EXPECT_EQ(cell.word, c.word.value_or(0)) << "'" << c.text << "'";  // refused: 0
        EXPECT_EQ(cell.problem.find(L"32-bit word") != std::wstring::npos, !c.word)
            << "'" << c.text << "'";
    }

    // A loaded file fills the grid with signed decimal texts; each must read
    // back as the word it came from, so a saved file loads the same.
    for (std::uint32_t word : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xDEADBEEFu})
        EXPECT_EQ(ReadCellNumber(FormatNumber(word, false, false, NumberFormat::Decimal)).word,
                  word);
}

}  // namespace
}  // namespace tandrel
