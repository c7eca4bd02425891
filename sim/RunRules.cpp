#include "sim/RunRules.h"

#include <algorithm>
#include <cstdio>

namespace tandrel {

std::uint64_t ProgramEnd(const Simulator& sim) {
    // Every line of the program text holds at most one instruction.
    const std::wstring& text = sim.GetParser().ProgramText();
    const auto lines = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), L'\n')) + 1;
    std::uint64_t end = 0;
    for (std::uint64_t address = 0; address < lines * kInstructionBytes;
         address += kInstructionBytes)
        if (sim.GetInstructionKind(address) != InstructionKind::None)
            end = address + kInstructionBytes;
    return end;
}

bool ProgramDone(const Simulator& sim, std::uint64_t end) {
    const std::uint64_t pc = sim.PcValue();
    if (pc < end || pc >= kBelowAddressZero) return false;
    if (sim.CurrentLayout() == Layout::Simple) return true;
    return std::all_of(sim.stageInstruction.begin(), sim.stageInstruction.end(),
                       [](InstructionKind kind) { return kind == InstructionKind::None; });
}

long long MaxStepsOn(Layout layout, long long maxSteps) {
    if (maxSteps > 0) return maxSteps;
    return layout == Layout::Simple ? kDefaultMaxCycles * Simulator::kSimpleLevels
                                    : kDefaultMaxCycles;
}

namespace {

bool AtBreakpoint(const Simulator& sim, const RunRequest& request) {
    if (request.breakpoints.empty()) return false;
    // On Simple an instruction is fetched when its cycle begins.
    if (sim.CurrentLayout() == Layout::Simple &&
        sim.GetProgress().steps % Simulator::kSimpleLevels != 0)
        return false;
    return request.breakpoints.count(sim.PcValue()) != 0;
}

}  // namespace

RunStop RunSteps(Simulator& sim, const RunRequest& request, long long budget) {
    for (long long n = 0; n < budget; ++n) {
        const long long steps = sim.GetProgress().steps;
        if (request.targetStep >= 0) {
            if (steps >= request.targetStep) return RunStop::Target;
        } else if (ProgramDone(sim, request.end)) {
            return RunStop::Done;
        }
        if (steps >= request.maxSteps) return RunStop::Limit;
        sim.Step();
        if (AtBreakpoint(sim, request)) return RunStop::Breakpoint;
    }
    return RunStop::Running;
}

std::wstring ProgressText(const Simulator& sim, NumberFormat format) {
    const Progress progress = sim.GetProgress();
    std::wstring text;
    switch (sim.CurrentLayout()) {
        case Layout::Simple:
            text = L"Simple | cycle " + std::to_wstring(progress.cycles + 1) + L", level " +
                   std::to_wstring(progress.level) + L" of " +
                   std::to_wstring(Simulator::kSimpleLevels);
            break;
        case Layout::Pipelined:
        case Layout::Forwarding:
            text = (sim.CurrentLayout() == Layout::Pipelined ? L"Pipelined" : L"Data Forwarding");
            text += L" | cycle " + std::to_wstring(progress.cycles);
            break;
    }
    text += L" | " + std::to_wstring(progress.instructions) +
            (progress.instructions == 1 ? L" instruction" : L" instructions");
    // No CPI before the first instruction has completed.
    wchar_t cpi[32] = L"-";
    if (progress.instructions > 0) std::swprintf(cpi, 32, L"%.2f", progress.Cpi());
    return text + L" | CPI " + cpi + L" | PC " + FormatNumber(sim.PcValue(), true, false, format);
}

}  // namespace tandrel
