// tandrel-cli's `run --until-done` on a full instruction memory whose loop
// runs 10,000 times: loading the file and stepping to the end, through the
// same functions the command uses.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/LoopProgram.h"
#include "cli/Program.h"
#include "sim/Explanation.h"

namespace tandrel {
namespace {

// The program as a definition file in a private folder, removed again when
// the benchmark ends.
class ProgramFolder {
  public:
    ProgramFolder() {
        char pattern[] = "/tmp/tandrel-cli-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        folder = pattern;
        file = folder + "/loop.def";
        std::ofstream(file) << LoopProgram();
    }
    ~ProgramFolder() {
        if (folder.empty()) return;
        std::remove(file.c_str());
        ::rmdir(folder.c_str());
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    std::string folder, file;
};

const std::string& ProgramFile() {
    static const ProgramFolder program;
    return program.file;
}

void RunUntilDone(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    cli::RunLimits limits;
    // The default limit is enough for the 10,000-round loop.
    long long steps = 0;
    for (auto _ : state) {
        Simulator sim;
        sim.KeepHistory(false);  // as the command line runs
        cli::LoadDefinitionFile(sim, ProgramFile(), layout);
        const cli::RunOutcome outcome = cli::RunProgram(sim, limits, cli::ProgramEnd(sim));
        steps = outcome.steps;
        if (!outcome.done || cli::CaptureState(sim).registers[2] != 3u * kIterations)
            state.SkipWithError("the loop did not finish with the expected total");
    }
    state.counters["steps"] = static_cast<double>(steps);
}
BENCHMARK(RunUntilDone)
    ->ArgName("layout")
    ->Arg(static_cast<int>(Layout::Simple))
    ->Arg(static_cast<int>(Layout::Pipelined))
    ->Arg(static_cast<int>(Layout::Forwarding))
    ->Unit(benchmark::kMillisecond);

// The same run with `explain`'s explainer watching every step: its events
// and timeline should cost well under a fifth of the run. Compare medians:
//   --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
void ExplainUntilDone(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    std::size_t events = 0;
    for (auto _ : state) {
        Simulator sim;
        sim.KeepHistory(false);  // as the command line runs
        cli::LoadDefinitionFile(sim, ProgramFile(), layout);
        Explainer explainer;
        explainer.Start(sim);
        const cli::RunOutcome outcome =
            cli::RunProgram(sim, cli::RunLimits{}, cli::ProgramEnd(sim),
                            [&explainer](const Simulator& s) { explainer.Observe(s); });
        events = explainer.Events().size();
        if (!outcome.done || explainer.GetTimeline().cycles != outcome.steps)
            state.SkipWithError("the explained run did not finish");
    }
    state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(ExplainUntilDone)
    ->ArgName("layout")
    ->Arg(static_cast<int>(Layout::Pipelined))
    ->Arg(static_cast<int>(Layout::Forwarding))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tandrel

BENCHMARK_MAIN();
