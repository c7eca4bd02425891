#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tandrel {

// The number in an initial-data cell: an optional '-' and one or more
// decimal digits, at most 2147483647 in magnitude. Anything else (empty,
// letters, spaces, too large) is no number, and the cell reads as 0.
std::optional<std::int32_t> ParseCellNumber(const std::wstring& text);

}  // namespace tandrel
