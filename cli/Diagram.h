#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "sim/Explanation.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// The instruction a Step fetched, as the simulator's fetch ring records it.
struct Fetch {
    std::uint64_t address = 0;
    InstructionKind kind = InstructionKind::None;  // None: no instruction there
    bool squashed = false;                         // flushed out of IF/ID by a taken branch
};

// Follows a pipelined run step by step: what each step fetched and which
// fetched instructions a taken branch squashed. Step 0 is the state right
// after Reset, step n the state after n presses of Step.
class FetchHistory {
  public:
    // Records the state of `sim` as the next step; call once after Reset and
    // once after every Step.
    void Record(const Simulator& sim);

    const std::vector<Fetch>& Fetches() const { return fetches; }
    long long LastStep() const { return static_cast<long long>(fetches.size()) - 1; }

  private:
    std::vector<Fetch> fetches;
};

// True when the IF/ID register holds a bubble: a taken branch flushed the
// instruction that would now be in ID. The register's PC output is the
// address after a fetched instruction, never 0, unless it was flushed.
bool InstructionDecodeFlushed(const Simulator& sim);

struct DiagramRow {
    std::uint64_t address = 0;
    std::string text;  // canonical text
    long long fetchStep = 0;
    bool squashed = false;
};

struct Diagram {
    long long lastStep = 0;  // columns 0 .. lastStep
    std::vector<DiagramRow> rows;
    Layout layout = Layout::Pipelined;
    Timeline timeline;  // the same rows by clock cycle
};

// One row per instruction fetched; fetches of addresses without an
// instruction are left out. Text column k (the state after k steps) shows
// the stages of cycle k + 1.
Diagram BuildDiagram(const Simulator& sim, const Timeline& timeline);

// The diagram as text:
//   addr  instruction    x 0   1   2 ...
//      0  ADDI $1, $0, 5   IF  ID  EX  MEM WB
// A squashed row is marked x and shows -- where its bubble travels.
std::string FormatDiagram(const Diagram& diagram);

// The other formats have one column per cycle run, 1 ... cycles:
//   address,instruction,squashed,1,2,...   with cells IF ... WB, -- or empty
std::string FormatDiagramCsv(const Diagram& diagram);
//   {"layout","cycles","rows":[{"address","instruction","fetch","squashed",
//    "cells":["IF","ID",...]}]}, cells from the fetch cycle on
std::string FormatDiagramJson(const Diagram& diagram);
// A picture for a slide: the stage names in the cells, each instruction in
// the colour the window draws it in (its ring slot's stage colour), squashed
// cells grey with a dashed border.
std::string FormatDiagramSvg(const Diagram& diagram);

std::string FormatDiagramAs(const Diagram& diagram, DiagramFormat format);

// A string as a JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace cli
}  // namespace tandrel
