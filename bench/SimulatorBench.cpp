#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "sim/Simulator.h"

namespace tandrel {
namespace {

// A full instruction memory: 128 instructions with every kind present and
// enough distance between producers and consumers for the pipeline; the last
// one branches back to the first, so Step is measured on the program and not
// on fetches past its end (each of which adds a word to the instruction
// memory).
std::wstring FullProgram() {
    static const wchar_t* const kBody[] = {
        L"addi $1, $0, 7\n",
        L"addi $2, $0, 12\n",
        L"lw $3, 4($0)\n",
        L"sw $1, 8($0)\n",
        L"add $4, $1, $2\n",
        L"sub $5, $2, $1\n",
        L"slt $6, $1, $2\n",
        L"and $7, $1, $2\n",
        L"or $8, $1, $2\n",
        L"beq $0, $1, 3\n",
        L"nop\n",
    };
    std::wstring text;
    for (int i = 0; i + 1 < Simulator::kInstructionCount; ++i) text += kBody[i % 11];
    return text + L"beq $0, $0, -128\n";
}

Simulator& Prepared(Layout layout) {
    static Simulator sim;
    static bool parsed = false;
    if (!parsed) {
        sim.SelectLayout(Layout::Simple);
        sim.ParseProgram(FullProgram());
        parsed = true;
    }
    sim.SelectLayout(layout);
    return sim;
}

void BM_Step(benchmark::State& state) {
    Simulator& sim = Prepared(static_cast<Layout>(state.range(0)));
    for (auto _ : state) sim.Step();
}
BENCHMARK(BM_Step)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_SelectLayout(benchmark::State& state) {
    Simulator& sim = Prepared(Layout::Simple);
    const auto layout = static_cast<Layout>(state.range(0));
    for (auto _ : state) sim.SelectLayout(layout);
}
BENCHMARK(BM_SelectLayout)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Runs the whole 128-instruction program: every instruction through write-back.
void BM_WholeProgram(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    Simulator& sim = Prepared(layout);
    // Simple: 7 steps per instruction; pipelined: one per instruction plus the
    // four it takes to drain.
    const int steps = layout == Layout::Simple ? 7 * Simulator::kInstructionCount
                                               : Simulator::kInstructionCount + 4;
    for (auto _ : state) {
        sim.Reset();
        for (int i = 0; i < steps; ++i) sim.Step();
        benchmark::DoNotOptimize(sim.PcValue());
    }
}
BENCHMARK(BM_WholeProgram)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A machine 100,000 cycles into an endless loop on Forwarding, with the
// history such a run leaves.
constexpr long long kDeepCycles = 100000;

Simulator& DeepRun() {
    static Simulator sim;
    static bool ran = false;
    if (!ran) {
        sim.SelectLayout(Layout::Forwarding);
        sim.ParseProgram(L"addi $1, $1, 1\nsw $1, 4($0)\nlw $2, 4($0)\nbeq $0, $0, -4\nnop\n");
        sim.Reset();
        for (long long n = 0; n < kDeepCycles; ++n) sim.Step();
        ran = true;
    }
    return sim;
}

void ReportHistory(benchmark::State& state, const Simulator& sim) {
    state.counters["history_bytes"] = static_cast<double>(sim.GetHistory().Bytes());
    state.counters["checkpoints"] = static_cast<double>(sim.GetHistory().Count());
    state.counters["spacing"] = static_cast<double>(sim.GetHistory().Spacing());
}

// One Step Back from cycle 100,000 (timed), then forward again (not timed).
// Budget: 16 ms, one frame.
void BM_StepBackAtCycle100000(benchmark::State& state) {
    Simulator& sim = DeepRun();
    ReportHistory(state, sim);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool back = sim.StepBack();
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        if (!back) state.SkipWithError("no step back");
        sim.Step();
    }
}
BENCHMARK(BM_StepBackAtCycle100000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tandrel

BENCHMARK_MAIN();
