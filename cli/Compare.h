#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// One register or data word taking a new value.
struct StateChange {
    bool isRegister = true;
    std::uint64_t target = 0;  // register number or data index
    std::uint32_t value = 0;
    std::uint64_t address = 0;  // the instruction that made the change
    // Where that instruction stands in program order: 2 per instruction the
    // single-cycle datapath would also run; an odd number is an instruction
    // that only ran because it followed a taken branch in the pipeline.
    long long ordinal = 0;
};

// A run of the loaded program on one layout, with every change it made.
struct LayoutRun {
    Layout layout = Layout::Simple;
    RunOutcome outcome;
    MachineState final;
    std::vector<StateChange> changes;
    // Ordinal of the last instruction whose results are all written; the
    // largest number when the program finished, -1 before the first.
    long long progress = -1;
};

// Runs the program `sim` holds on a layout from its initial data. On the
// single-cycle layout --steps counts whole instructions.
LayoutRun TraceRun(Simulator& sim, Layout layout, const RunLimits& limits);

struct Divergence {
    bool found = false;
    std::uint64_t address = 0;
    std::string text;
};

// The instruction after which `other` stopped making the changes
// `reference` made: the first change that differs, taken from whichever run
// reached it earlier in program order. Nothing when one run merely stopped
// sooner.
Divergence FirstDivergence(const LayoutRun& reference, const LayoutRun& other,
                           const Simulator& sim);

struct ValueDifference {
    bool isRegister = true;
    std::uint64_t target = 0;
    std::array<std::uint32_t, 3> values{};  // simple, pipelined, forwarding
};

struct Comparison {
    std::array<LayoutRun, 3> runs;
    std::vector<ValueDifference> differences;
    std::array<Divergence, 3> divergences;  // [0] unused: simple is the reference
};

Comparison CompareLayouts(Simulator& sim, const RunLimits& limits);

// steps: simple 35, pipelined 13, forwarding 13
// $2: simple 10, pipelined 0, forwarding 10
// pipelined diverges after 4 ADD $2, $1, $1
std::string FormatComparison(const Comparison& comparison, NumberFormat format);

}  // namespace cli
}  // namespace tandrel
