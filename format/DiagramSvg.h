#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/Config.h"
#include "sim/Explanation.h"

namespace tandrel {

class Simulator;

// The five stage colours, ring slot 0 to 4 (stage1colour ... stage5colour).
using StageColours = std::array<Colour, 5>;
StageColours DefaultStageColours();

// The timeline of a pipelined run as a picture for a slide: one row per
// instruction fetched in a cycle that ran, one column per cycle, the stage
// names in the cells, each instruction in a light tint of the colour the
// drawing gives it (its ring slot's stage colour), squashed cells grey with a
// dashed border. `texts` holds the instruction text of each timeline row.
std::string DiagramSvg(const Timeline& timeline, Layout layout,
                       const std::vector<std::string>& texts,
                       const StageColours& colours = DefaultStageColours());

// The program line at an address as a timeline row names it: its labels and
// instruction (and comment), without the line break; characters outside
// ASCII as '?'.
std::string ProgramLineText(const Simulator& sim, std::uint64_t address);

}  // namespace tandrel
