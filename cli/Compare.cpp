#include "cli/Compare.h"

#include <algorithm>
#include <limits>
#include <set>
#include <sstream>

#include "cli/Diagram.h"
#include "cli/Options.h"

namespace tandrel {
namespace cli {

namespace {

constexpr long long kFinished = std::numeric_limits<long long>::max();
constexpr Layout kLayouts[] = {Layout::Simple, Layout::Pipelined, Layout::Forwarding};

// On the pipelined datapaths the register file is written in the step after
// an instruction reached WB, and data memory in the step after it reached
// MEM: five and four steps after its fetch.
constexpr long long kRegisterWriteDelay = 5;
constexpr long long kDataWriteDelay = 4;

constexpr long long kNotAnInstruction = -1;

// Appends the differences between two states as changes made by one instruction.
void Diff(const MachineState& before, const MachineState& after, bool registers,
          std::uint64_t address, long long ordinal, std::vector<StateChange>& changes) {
    if (registers) {
        for (std::size_t n = 0; n < after.registers.size(); ++n)
            if (before.registers[n] != after.registers[n])
                changes.push_back({true, n, after.registers[n], address, ordinal});
        return;
    }
    auto old = before.data.begin();
    for (const auto& [index, value] : after.data) {
        while (old != before.data.end() && old->first < index) {
            changes.push_back({false, old->first, 0, address, ordinal});  // became 0
            ++old;
        }
        const bool same = old != before.data.end() && old->first == index && old->second == value;
        if (old != before.data.end() && old->first == index) ++old;
        if (!same) changes.push_back({false, index, value, address, ordinal});
    }
    for (; old != before.data.end(); ++old)
        changes.push_back({false, old->first, 0, address, ordinal});
}

// Program-order numbers of the instructions a pipelined run fetched.
class PipelineOrder {
  public:
    explicit PipelineOrder(const FetchHistory& history) : history(history) {}

    // Ordinal of the instruction fetched at `step`, or kNotAnInstruction.
    // Needs the fate of the fetch after it, known two steps later.
    long long Of(long long step) {
        const auto& fetches = history.Fetches();
        if (step < 0 || step >= static_cast<long long>(fetches.size())) return kNotAnInstruction;
        while (static_cast<long long>(ordinals.size()) <= step) {
            const std::size_t i = ordinals.size();
            const Fetch& fetch = fetches[i];
            if (fetch.kind == InstructionKind::None || fetch.squashed) {
                ordinals.push_back(kNotAnInstruction);
            } else if (i + 1 < fetches.size() && fetches[i + 1].squashed && regular > 0) {
                // It followed a taken branch into the pipeline; the single-cycle
                // datapath never runs it.
                ordinals.push_back(2 * regular - 1);
            } else {
                ordinals.push_back(2 * regular);
                ++regular;
            }
        }
        return ordinals[static_cast<std::size_t>(step)];
    }

  private:
    const FetchHistory& history;
    std::vector<long long> ordinals;
    long long regular = 0;
};

std::uint64_t FetchedAddress(const FetchHistory& history, long long step) {
    const auto& fetches = history.Fetches();
    return step >= 0 && step < static_cast<long long>(fetches.size())
               ? fetches[static_cast<std::size_t>(step)].address
               : 0;
}

LayoutRun TraceSimple(Simulator& sim, const RunLimits& limits, std::uint64_t end) {
    LayoutRun run;
    run.layout = Layout::Simple;
    RunLimits stepLimits = limits;
    if (!limits.untilDone) stepLimits.steps = limits.steps * kSimpleStepsPerInstruction;

    MachineState before = CaptureState(sim);
    std::uint64_t address = sim.PcValue();
    long long instruction = 0, stepInInstruction = 0;
    auto finishInstruction = [&](const Simulator& s) {
        const MachineState after = CaptureState(s);
        Diff(before, after, true, address, 2 * instruction, run.changes);
        Diff(before, after, false, address, 2 * instruction, run.changes);
        before = after;
    };
    run.outcome = RunProgram(sim, stepLimits, end, [&](const Simulator& s) {
        if (++stepInInstruction < kSimpleStepsPerInstruction) return;
        finishInstruction(s);
        stepInInstruction = 0;
        ++instruction;
        address = s.PcValue();
    });
    // A limit can stop the run inside an instruction: keep what it wrote.
    if (stepInInstruction > 0) finishInstruction(sim);
    run.progress = run.outcome.done ? kFinished : std::max(-1LL, 2 * instruction - 2);
    run.final = CaptureState(sim);
    return run;
}

LayoutRun TracePipelined(Simulator& sim, Layout layout, const RunLimits& limits,
                         std::uint64_t end) {
    LayoutRun run;
    run.layout = layout;
    FetchHistory history;
    history.Record(sim);
    PipelineOrder order(history);
    MachineState before = CaptureState(sim);
    long long step = 0, lastOrdinal = 0;
    auto ordinalOf = [&](long long fetchStep) {
        const long long ordinal = order.Of(fetchStep);
        if (ordinal != kNotAnInstruction) lastOrdinal = std::max(lastOrdinal, ordinal);
        return ordinal != kNotAnInstruction ? ordinal : lastOrdinal;
    };
    run.outcome = RunProgram(sim, limits, end, [&](const Simulator& s) {
        ++step;
        history.Record(s);
        const MachineState after = CaptureState(s);
        // The instruction writing a register is older than the one writing
        // memory in the same step, so its change comes first.
        const long long writer = step - kRegisterWriteDelay;
        Diff(before, after, true, FetchedAddress(history, writer), ordinalOf(writer), run.changes);
        const long long storer = step - kDataWriteDelay;
        Diff(before, after, false, FetchedAddress(history, storer), ordinalOf(storer), run.changes);
        before = after;
    });
    if (run.outcome.done) {
        run.progress = kFinished;
    } else {
        for (long long f = 0; f <= step - kRegisterWriteDelay; ++f)
            run.progress = std::max(run.progress, order.Of(f));
    }
    run.final = CaptureState(sim);
    return run;
}

bool SameChange(const StateChange& a, const StateChange& b) {
    return a.isRegister == b.isRegister && a.target == b.target && a.value == b.value;
}

std::string TargetName(bool isRegister, std::uint64_t target) {
    return isRegister ? "$" + std::to_string(target) : "data[" + std::to_string(target) + "]";
}

}  // namespace

LayoutRun TraceRun(Simulator& sim, Layout layout, const RunLimits& limits) {
    sim.SelectLayout(layout);
    sim.LoadInitialData();
    const std::uint64_t end = ProgramEnd(sim);
    return layout == Layout::Simple ? TraceSimple(sim, limits, end)
                                    : TracePipelined(sim, layout, limits, end);
}

Divergence FirstDivergence(const LayoutRun& reference, const LayoutRun& other,
                           const Simulator& sim) {
    Divergence divergence;
    const std::size_t count = std::max(reference.changes.size(), other.changes.size());
    for (std::size_t k = 0; k < count; ++k) {
        const StateChange* mine = k < reference.changes.size() ? &reference.changes[k] : nullptr;
        const StateChange* theirs = k < other.changes.size() ? &other.changes[k] : nullptr;
        if (mine != nullptr && theirs != nullptr && SameChange(*mine, *theirs)) continue;
        // The run that reached this point earlier in program order shows where
        // the other went its own way; a run that stopped before that point
        // merely stopped sooner.
        const StateChange* first = nullptr;
        if (mine != nullptr && theirs != nullptr)
            first = mine->ordinal < theirs->ordinal ? mine : theirs;
        else if (mine != nullptr && other.progress >= mine->ordinal)
            first = mine;
        else if (theirs != nullptr && reference.progress >= theirs->ordinal)
            first = theirs;
        if (first == nullptr) return divergence;
        divergence.found = true;
        divergence.address = first->address;
        divergence.text = InstructionText(sim, first->address);
        return divergence;
    }
    return divergence;
}

Comparison CompareLayouts(Simulator& sim, const RunLimits& limits) {
    Comparison comparison;
    for (std::size_t i = 0; i < comparison.runs.size(); ++i)
        comparison.runs[i] = TraceRun(sim, kLayouts[i], limits);

    const auto& runs = comparison.runs;
    for (std::uint64_t n = 0; n < runs[0].final.registers.size(); ++n) {
        ValueDifference difference{true, n, {}};
        for (std::size_t i = 0; i < runs.size(); ++i)
            difference.values[i] = runs[i].final.registers[n];
        if (difference.values[0] != difference.values[1] ||
            difference.values[0] != difference.values[2])
            comparison.differences.push_back(difference);
    }
    std::set<std::uint64_t> indices;
    for (const LayoutRun& run : runs)
        for (const auto& entry : run.final.data) indices.insert(entry.first);
    for (std::uint64_t index : indices) {
        ValueDifference difference{false, index, {}};
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const auto found = runs[i].final.data.find(index);
            difference.values[i] = found == runs[i].final.data.end() ? 0 : found->second;
        }
        if (difference.values[0] != difference.values[1] ||
            difference.values[0] != difference.values[2])
            comparison.differences.push_back(difference);
    }
    for (std::size_t i = 1; i < runs.size(); ++i)
        comparison.divergences[i] = FirstDivergence(runs[0], runs[i], sim);
    return comparison;
}

std::string FormatComparison(const Comparison& comparison, NumberFormat format) {
    std::ostringstream out;
    const auto& runs = comparison.runs;
    out << "steps:";
    for (std::size_t i = 0; i < runs.size(); ++i)
        out << (i == 0 ? " " : ", ") << LayoutName(runs[i].layout) << ' ' << runs[i].outcome.steps;
    out << '\n';
    for (const ValueDifference& difference : comparison.differences) {
        out << TargetName(difference.isRegister, difference.target) << ':';
        for (std::size_t i = 0; i < runs.size(); ++i)
            out << (i == 0 ? " " : ", ") << LayoutName(runs[i].layout) << ' '
                << ListValue(difference.values[i], format);
        out << '\n';
    }
    bool diverged = false;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Divergence& divergence = comparison.divergences[i];
        if (!divergence.found) continue;
        diverged = true;
        out << LayoutName(runs[i].layout) << " diverges after " << divergence.address << ' '
            << divergence.text << '\n';
    }
    if (comparison.differences.empty() && !diverged) out << "no differences\n";
    return out.str();
}

}  // namespace cli
}  // namespace tandrel
