#include "format/CellNumber.h"

namespace tandrel {

std::optional<std::int32_t> ParseCellNumber(const std::wstring& text) {
    constexpr std::int64_t kLargest = 2147483647;
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) at = 1;
    if (at == text.size()) return std::nullopt;
    std::int64_t magnitude = 0;
    for (; at < text.size(); ++at) {
        const wchar_t c = text[at];
        if (c < L'0' || c > L'9') return std::nullopt;
        magnitude = magnitude * 10 + (c - L'0');
        if (magnitude > kLargest) return std::nullopt;  // also keeps long texts from overflowing
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace tandrel
