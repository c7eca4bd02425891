#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// What an initial-data cell's text stands for. Every value a 32-bit word can
// hold is accepted: decimal from -2147483648 to 4294967295, or hexadecimal
// with 0x (0x0 to 0xFFFFFFFF, also with a '-' in front); blanks around the
// number are ignored and an empty cell is 0. Any other text is no number,
// and `problem` says why in words the user can act on.
struct CellNumber {
    std::uint32_t word = 0;
    std::wstring problem;  // empty when the text is a number

    bool Valid() const { return problem.empty(); }
};

CellNumber ReadCellNumber(const std::wstring& text);

}  // namespace tandrel
