#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// On the single-cycle layout one instruction takes this many Steps: one
// evaluation pass each, from the PC to the write-back.
constexpr long long kSimpleStepsPerInstruction = 7;

// Why a file cannot be read, as "FILE: reason"; empty when it can. Checked
// before the simulator opens it, so that the failure is told on standard
// error with the system's reason rather than as the window's console line.
std::string UnreadableReason(const std::string& path);

// The Load button's sequence on a simulator showing `layout`: read the file,
// parse it, reset, copy its initial data into data memory.
void LoadDefinitionFile(Simulator& sim, const std::string& path, Layout layout);

// Byte address just past the last instruction line (0 for no instruction).
std::uint64_t ProgramEnd(const Simulator& sim);

// The program has finished: the PC has left the last instruction line and,
// on the pipelined layouts, no stage holds an instruction any more. A PC
// that a branch took below address 0 has not finished: it counts on through
// the top of the 32-bit range, wraps round to 0 and runs the program again.
bool ProgramDone(const Simulator& sim, std::uint64_t end);

// A PC from here up is an address below 0 as a branch offset reaches it.
constexpr std::uint64_t kBelowAddressZero = 0x80000000u;

// Without --max-steps, --until-done gives up after this many clock cycles:
// Steps on the pipelined layouts, whole instructions (seven Steps each) on
// Simple, so the same program gets the same chance on every layout. Enough
// for a 10,000-round loop padded for the pipelines (about 200,000 cycles),
// yet a program that never ends is stopped within a few seconds.
constexpr long long kDefaultMaxCycles = 300000;

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
std::string FormatRunJson(const MachineState& state, Layout layout, const RunOutcome& outcome);

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
