#include "format/NumberFormat.h"

namespace tandrel {

namespace {

// Digits of `magnitude` in `base`, computed from the least significant end
// for at most `maxDigits` places, with leading zeros dropped but one kept.
std::wstring Digits(std::uint64_t magnitude, unsigned base, int maxDigits) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring reversed;
    for (int i = 0; i < maxDigits; ++i) {
        reversed.push_back(kDigits[magnitude % base]);
        magnitude /= base;
    }
    while (reversed.size() > 1 && reversed.back() == L'0') reversed.pop_back();
    return std::wstring(reversed.rbegin(), reversed.rend());
}

}  // namespace

std::wstring FormatNumber(std::uint64_t value, bool asUnsigned, bool is16Bit, NumberFormat format) {
    const std::uint64_t signBit = is16Bit ? 0x8000u : 0x80000000u;
    const bool negative = !asUnsigned && (value & signBit) != 0;
    std::uint64_t magnitude = value;
    if (negative) magnitude = (is16Bit ? 0x10000ull : 0x100000000ull) - value;

    switch (format) {
        case NumberFormat::Binary: {
            std::wstring text;
            for (int bit = 63; bit >= 0; --bit) {
                const bool set = (value >> bit) & 1u;
                if (set || !text.empty() || bit == 0) text.push_back(set ? L'1' : L'0');
            }
            return text;
        }
        case NumberFormat::Hexadecimal:
            return (negative ? L"-" : L"") + Digits(magnitude, 16, 8);
        case NumberFormat::Decimal:
            return (negative ? L"-" : L"") + Digits(magnitude, 10, 10);
    }
    return L"0";
}

}  // namespace tandrel
