#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "sim/Simulator.h"

namespace tandrel {

// When a run is over, shared by tandrel-cli's --until-done and the window's
// Run, so both stop at the same step.

// Byte address just past the last instruction line (0 for no instruction).
std::uint64_t ProgramEnd(const Simulator& sim);

// The program has finished: the PC has left the last instruction line and,
// on the pipelined layouts, no stage holds an instruction any more. A PC
// that a branch took below address 0 has not finished: it counts on through
// the top of the 32-bit range, wraps round to 0 and runs the program again.
bool ProgramDone(const Simulator& sim, std::uint64_t end);

// A PC from here up is an address below 0 as a branch offset reaches it.
constexpr std::uint64_t kBelowAddressZero = 0x80000000u;

// A run that is not done after this many clock cycles is given up: Steps on
// the pipelined layouts, whole instructions (kSimpleLevels Steps each) on
// Simple, so the same program gets the same chance on every layout. Enough
// for a 10,000-round loop padded for the pipelines (about 200,000 cycles),
// yet a program that never ends is stopped within a few seconds.
constexpr long long kDefaultMaxCycles = 300000;

// The Steps a run may take on a layout: `maxSteps` when positive, else
// kDefaultMaxCycles clock cycles.
long long MaxStepsOn(Layout layout, long long maxSteps = 0);

// Why a run stopped.
enum class RunStop {
    Running,     // the step budget of this slice ran out; call again
    Done,        // ProgramDone
    Breakpoint,  // an instruction with a breakpoint was fetched
    Target,      // the step asked for was reached
    Limit,       // MaxStepsOn Steps since Reset and still not done
};

// What the window's Run steps towards.
struct RunRequest {
    std::uint64_t end = 0;                  // ProgramEnd of the program
    std::set<std::uint64_t> breakpoints;    // instruction addresses
    long long targetStep = -1;              // stop there instead of at the end; -1: none
    long long maxSteps = 0;                 // MaxStepsOn the layout
};

// Steps as Run does, at most `budget` Steps, so a caller can draw in between
// and stay responsive. A run stops before a Step when the program is done
// (unless a target step is asked for), the target is reached or the limit
// is hit; after a Step when the instruction fetched, at the start of a
// clock cycle on Simple, has a breakpoint.
RunStop RunSteps(Simulator& sim, const RunRequest& request, long long budget);

// The window's account of the run so far: layout, clock cycle, instructions
// completed, CPI and PC, e.g. "Pipelined | cycle 9 | 5 instructions |
// CPI 1.80 | PC 36". The pipelines count the cycles gone by; Simple names
// the cycle under way and its level: "Simple | cycle 3, level 5 of 7".
std::wstring ProgressText(const Simulator& sim, NumberFormat format);

}  // namespace tandrel
