// Everything the datapath shows, pass by pass, for seeded random programs on
// every layout, compared with traces recorded earlier (DatapathTraces.txt):
// any change to how the datapath is evaluated must leave every port value,
// readiness, activity flag and brightness, the fetch record and every
// register and memory write as they were.
//
// TANDREL_RECORD_TRACES=<file> writes the traces of the code as it is to
// <file> instead of comparing; copy it over DatapathTraces.txt only when a
// change of what the datapath shows is intended.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tests/DatapathRunner.h"
#include "tests/RandomProgram.h"

namespace tandrel {
namespace {

using namespace test::random_program;

constexpr std::uint64_t kFirstSeed = 7100;
constexpr int kPrograms = 300;
// Enough for a 40-instruction program to finish (or to loop a while).
constexpr int kSimpleSteps = 300;
constexpr int kPipelinedSteps = 60;

struct Hash {
    std::uint64_t h = 0x243F6A8885A308D3u;
    void Add(std::uint64_t v) {
        h = (h ^ v) * 0x9E3779B97F4A7C15u;
        h ^= h >> 31;
    }
};

void AddDatapath(const Simulator& sim, Hash& hash) {
    for (const auto& element : sim.Elements()) {
        for (const auto& link : element->ports) {
            hash.Add(link->value);
            if (!link->isOutput) hash.Add(link->IsReady());
        }
        std::uint32_t brightness = 0;
        std::memcpy(&brightness, &element->brightness, sizeof brightness);
        hash.Add(brightness);
        hash.Add(element->active | element->activeNext << 1 | element->IsActive() << 2);
    }
}

void AddStepRecord(const Simulator& sim, Hash& hash) {
    for (int stage = 0; stage < Simulator::kStages; ++stage) {
        hash.Add(static_cast<std::uint64_t>(sim.stageInstruction[stage]));
        hash.Add(sim.fetchAddress[stage]);
    }
    hash.Add(static_cast<std::uint64_t>(sim.fetchSlot));
    hash.Add(static_cast<std::uint64_t>(sim.colourRotation));
    // Words that were never written read 0 whether or not they are stored.
    for (const Memory* memory : {static_cast<const Memory*>(sim.GetRegisters()),
                                 static_cast<const Memory*>(sim.GetDataMemory())})
        for (const auto& [key, word] : memory->storage)
            if (word != 0) hash.Add(key), hash.Add(word);
}

// One line per program and layout: layout, seed, hash of the whole run.
std::string TraceOf(Layout layout, std::uint64_t seed) {
    // Half the programs keep the distances the layout needs, half ignore
    // them, so stale operands and unpadded branches are traced too.
    const Rules rules = seed % 2 == 0 ? RulesFor(layout) : Rules{};
    const Program program = Generator(seed, rules).Make();
    const std::string text = program.Text();
    Simulator sim;
    if (!test::LoadProgram(sim, layout, std::wstring(text.begin(), text.end()), program.data))
        ADD_FAILURE() << "seed " << seed << " does not parse:\n" << text;
    Hash hash;
    AddDatapath(sim, hash);
    AddStepRecord(sim, hash);
    const int steps = layout == Layout::Simple ? kSimpleSteps : kPipelinedSteps;
    for (int step = 0; step < steps; ++step) {
        sim.Step([&] { AddDatapath(sim, hash); });
        AddStepRecord(sim, hash);
    }
    std::ostringstream line;
    line << static_cast<int>(layout) << ' ' << seed << ' ' << std::hex << hash.h;
    return line.str();
}

TEST(TraceTest, EveryLayoutShowsWhatItShowedWhenTheTracesWereRecorded) {
    std::string traces;
    for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding})
        for (std::uint64_t seed = kFirstSeed; seed < kFirstSeed + kPrograms; ++seed)
            traces += TraceOf(layout, seed) + "\n";

    if (const char* record = std::getenv("TANDREL_RECORD_TRACES")) {
        std::ofstream(record) << traces;
        GTEST_SKIP() << "traces written to " << record;
    }
    std::ifstream file(TANDREL_TRACE_FILE);
    const std::string recorded{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(recorded.empty()) << "cannot read " << TANDREL_TRACE_FILE;
    // A differing line names the layout (0 Simple, 1 Pipelined, 2 Forwarding)
    // and the seed of the program to replay.
    EXPECT_EQ(traces, recorded);
}

}  // namespace
}  // namespace tandrel
