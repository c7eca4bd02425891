#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "format/CellNumber.h"
#include "format/NumberFormat.h"

namespace tandrel {
namespace {

struct FormatCase {
    std::uint64_t value;
    bool asUnsigned;
    bool is16Bit;
    const wchar_t* decimal;
    const wchar_t* binary;
    const wchar_t* hexadecimal;
};

const std::wstring kOnes32(32, L'1');

// Expected texts worked out by hand from the formatting rules.
const FormatCase kCases[] = {
    {0, false, false, L"0", L"0", L"0"},
    {0, true, true, L"0", L"0", L"0"},
    {1, false, false, L"1", L"1", L"1"},
    {4, false, true, L"4", L"100", L"4"},
    {10, false, false, L"10", L"1010", L"A"},
    // All ones: signed it is -1, unsigned every digit is shown.
    {0xFFFFFFFF, false, false, L"-1", kOnes32.c_str(), L"-1"},
    {0xFFFFFFFF, true, false, L"4294967295", kOnes32.c_str(), L"FFFFFFFF"},
    // The sign bit of a 16-bit quantity is bit 15.
    {0x8000, false, true, L"-32768", L"1000000000000000", L"-8000"},
    {0x7FFF, false, true, L"32767", L"111111111111111", L"7FFF"},
    {0xFFFF, false, true, L"-1", L"1111111111111111", L"-1"},
    {0xFFFC, false, true, L"-4", L"1111111111111100", L"-4"},
    {0x8000, true, true, L"32768", L"1000000000000000", L"8000"},
    // The same bits as a 32-bit quantity are positive.
    {0x8000, false, false, L"32768", L"1000000000000000", L"8000"},
    {0xFFFF, false, false, L"65535", L"1111111111111111", L"FFFF"},
    {0x7FFFFFFF, false, false, L"2147483647", L"1111111111111111111111111111111", L"7FFFFFFF"},
    {0x80000000, false, false, L"-2147483648", L"10000000000000000000000000000000", L"-80000000"},
    {0xFFFF8000, false, false, L"-32768", L"11111111111111111000000000000000", L"-8000"},
    // LW $8, 4($9): bit 31 set.
    {0x8D280004, true, false, L"2368208900", L"10001101001010000000000000000100", L"8D280004"},
    {0x8D280004, false, false, L"-1926758396", L"10001101001010000000000000000100", L"-72D7FFFC"},
    // SW $8, -4($9).
    {0xAD28FFFC, true, false, L"2905145340", L"10101101001010001111111111111100", L"AD28FFFC"},
    // Binary shows every bit of the stored value; hexadecimal only eight digits.
    {0x100000000, true, false, L"4294967296", L"100000000000000000000000000000000", L"0"},
    {0x1000000AB, true, false, L"4294967467", L"100000000000000000000000010101011", L"AB"},
};

class FormatNumberTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, GivesTheTextOfEveryFormat) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatNumber(c.value, c.asUnsigned, c.is16Bit, NumberFormat::Decimal), c.decimal);
    EXPECT_EQ(FormatNumber(c.value, c.asUnsigned, c.is16Bit, NumberFormat::Binary), c.binary);
    EXPECT_EQ(FormatNumber(c.value, c.asUnsigned, c.is16Bit, NumberFormat::Hexadecimal),
              c.hexadecimal);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, FormatNumberTest, testing::ValuesIn(kCases));

TEST(FormatNumber, UnknownFormatGivesZero) {
    EXPECT_EQ(FormatNumber(1234, false, false, static_cast<NumberFormat>(3)), L"0");
    EXPECT_EQ(FormatNumber(0xFFFFFFFF, true, false, static_cast<NumberFormat>(-1)), L"0");
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

TEST(CellNumber, AcceptsOnlyOptionalMinusAndDigitsWithinRange) {
    const struct {
        const wchar_t* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {L"0", 0},
        {L"-5", -5},
        {L"007", 7},
        {L"2147483647", 2147483647},
        {L"-2147483647", -2147483647},
        {L"2147483648", std::nullopt},
        {L"-2147483648", std::nullopt},  // magnitude above the limit
        {L"99999999999999999999999", std::nullopt},
        {L"", std::nullopt},
        {L"-", std::nullopt},
        {L"12a", std::nullopt},
        {L" 12", std::nullopt},
        {L"+3", std::nullopt},
        {L"--3", std::nullopt},
        {L"\u0663", std::nullopt},  // a digit of another script
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCellNumber(c.text), c.value) << "'" << c.text << "'";
}

}  // namespace
}  // namespace tandrel
