#include "format/CellNumber.h"

#include <algorithm>

namespace tandrel {

namespace {

constexpr std::uint64_t kLargestWord = 0xFFFFFFFF;
constexpr std::uint64_t kLargestNegative = 0x80000000;

// The reason a text is refused, with what a cell does take.
CellNumber Refused(const std::wstring& typed, const wchar_t* why) {
    constexpr size_t kQuoted = 24;  // a pasted page is named by its start
    const std::wstring quoted = typed.size() > kQuoted ? typed.substr(0, kQuoted) + L"..." : typed;
    return {0, L"\"" + quoted + L"\" " + why +
                   L". A cell holds a 32-bit word: -2147483648 to 4294967295, or 0x0 to "
                   L"0xFFFFFFFF."};
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

int DigitValue(wchar_t c, int base) {
    int digit = 16;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    return digit < base ? digit : -1;
}

}  // namespace

CellNumber ReadCellNumber(const std::wstring& text) {
    size_t first = 0;
    size_t end = text.size();
    while (first < end && IsBlank(text[first])) ++first;
    while (end > first && IsBlank(text[end - 1])) --end;
    if (first == end) return {};

    size_t at = first;
    const bool negative = text[at] == L'-';
    if (negative || text[at] == L'+') ++at;
    int base = 10;
    if (end - at > 2 && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X')) {
        base = 16;
        at += 2;
    }
    const std::wstring typed = text.substr(first, end - first);
    if (at == end) return Refused(typed, L"is not a whole number");
    std::uint64_t magnitude = 0;
    for (; at < end; ++at) {
        const int digit = DigitValue(text[at], base);
        if (digit < 0) return Refused(typed, L"is not a whole number");
        // Capped, so that a long row of digits cannot overflow.
        magnitude = std::min(magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit),
                             kLargestWord + 1);
    }
    if (magnitude > (negative ? kLargestNegative : kLargestWord))
        return Refused(typed, negative ? L"is too small" : L"is too large");
    const auto word = static_cast<std::uint32_t>(magnitude);
    return {negative ? static_cast<std::uint32_t>(0u - word) : word, std::wstring()};
}

}  // namespace tandrel
