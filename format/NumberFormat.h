#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// The three ways every value on screen can be shown. The numbers are the
// ones the configuration and the Format menu use.
enum class NumberFormat : int { Decimal = 0, Binary = 1, Hexadecimal = 2 };

// Text of a 32-bit value (or a 16-bit one when is16Bit) in the given format.
// Signed values get a minus sign and their magnitude in decimal and
// hexadecimal; binary always shows the raw bit pattern without leading zeros.
std::wstring FormatNumber(std::uint64_t value, bool asUnsigned, bool is16Bit, NumberFormat format);

}  // namespace tandrel
