#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "sim/RunRules.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// On the single-cycle layout one instruction takes this many Steps: one
// evaluation pass each, from the PC to the write-back.
constexpr long long kSimpleStepsPerInstruction = Simulator::kSimpleLevels;

// Why a file cannot be read, as "FILE: reason"; empty when it can. Checked
// before the simulator opens it, so that the failure is told on standard
// error with the system's reason rather than as the window's console line.
std::string UnreadableReason(const std::string& path);

// The Load button's sequence on a simulator showing `layout`: read the file,
// parse it, reset, copy its initial data into data memory.
void LoadDefinitionFile(Simulator& sim, const std::string& path, Layout layout);

// The done rule and the step limit live in the core, shared with the window.
using tandrel::kBelowAddressZero;
using tandrel::kDefaultMaxCycles;
using tandrel::ProgramDone;
using tandrel::ProgramEnd;

struct RunLimits {
    bool untilDone = true;
    long long steps = 0;     // when not untilDone
    long long maxSteps = 0;  // 0: kDefaultMaxCycles clock cycles
};

// The number of Steps --until-done may take on a layout.
long long MaxStepsOn(const RunLimits& limits, Layout layout);

struct RunOutcome {
    long long steps = 0;
    bool done = false;      // ProgramDone at the end
    bool limitHit = false;  // untilDone gave up at maxSteps
    bool wrapped = false;   // a branch took the PC below address 0
};

// Presses Step as the limits say; `afterStep`, when given, sees the
// simulator after every Step.
RunOutcome RunProgram(Simulator& sim, const RunLimits& limits, std::uint64_t end,
                      const std::function<void(const Simulator&)>& afterStep = {});

// What the lists show: the PC, the 32 registers and the non-zero data
// words, as 32-bit values.
struct MachineState {
    std::uint32_t pc = 0;
    std::array<std::uint32_t, 32> registers{};
    std::map<std::uint64_t, std::uint32_t> data;
};

MachineState CaptureState(const Simulator& sim);

// A value as the register and data lists show it.
std::string ListValue(std::uint32_t value, NumberFormat format);

std::string FormatRunText(const MachineState& state, long long steps, NumberFormat format);
// `progress` gives the "cycles", "instructions" and "cpi" of the run.
std::string FormatRunJson(const MachineState& state, Layout layout, const RunOutcome& outcome,
                          const Progress& progress);

// One parse error or warning as check prints it. `line` is the 1-based line
// of the file, 0 for an error that belongs to no line.
struct ParseMessage {
    int line = 0;
    std::string message;
    std::string text;  // the line as typed, without its line break
    bool warning = false;
};

// The errors, then the warnings, each in line order.
std::vector<ParseMessage> CollectParseMessages(const Simulator& sim);

std::string FormatCheck(const std::string& path, const std::string& summary,
                        const std::vector<ParseMessage>& messages);

// The text of the instruction line at an address, without its line break.
std::string InstructionText(const Simulator& sim, std::uint64_t address);

// Program text is 7-bit ASCII (the lexer turns everything else into '?').
std::string Narrow(const std::wstring& text);

}  // namespace cli
}  // namespace tandrel
