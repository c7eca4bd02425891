#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

// One row per instruction fetched; fetches of addresses without an
// instruction are left out.
Diagram BuildDiagram(const Simulator& sim, const FetchHistory& history);

// The diagram as text:
//   addr  instruction    x 0   1   2 ...
//      0  ADDI $1, $0, 5   IF  ID  EX  MEM WB
// A squashed row is marked x and shows -- where its bubble travels.
std::string FormatDiagram(const Diagram& diagram);

}  // namespace cli
}  // namespace tandrel
