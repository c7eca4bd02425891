// Random programs run on each datapath and on the reference interpreter; the
// register file and data memory must go through the same values.
//
// Reproducible: the programs of a run use the seeds TANDREL_DIFF_SEED,
// TANDREL_DIFF_SEED + 1, ... (a fixed base by default), and a failure names
// the seed and shows the program, so TANDREL_DIFF_SEED=<seed>
// TANDREL_DIFF_PROGRAMS=1 replays it alone. TANDREL_DIFF_PROGRAMS sets how
// many programs each layout runs; a program that does not end within the
// limit is skipped and not counted.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Explanation.h"
#include "tests/DatapathRunner.h"
#include "tests/RandomProgram.h"
#include "tests/ReferenceInterpreter.h"

namespace tandrel {
namespace {

using test::DataValue;
using test::LayoutName;
using test::LoadProgram;
using test::RegisterValue;
using namespace test::random_program;

constexpr std::uint64_t kDefaultSeed = 20240611;
constexpr std::uint64_t kDefaultPrograms = 1500;
// A program still running after this many instructions is dropped: a random
// backward branch can loop for ever.
constexpr std::uint64_t kInstructionLimit = 400;

std::uint64_t EnvOr(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}


// Each register's and each stored-to data word's values, in the order they
// were taken, without repeats: what a student would see change.
struct History {
    std::array<std::vector<std::uint64_t>, 32> registers;
    std::map<std::uint64_t, std::vector<std::uint64_t>> data;

    static void Note(std::vector<std::uint64_t>& values, std::uint64_t value) {
        if (values.empty() || values.back() != value) values.push_back(value);
    }
};

std::string Show(const std::vector<std::uint64_t>& values) {
    std::string text;
    for (std::uint64_t value : values) text += " " + std::to_string(value);
    return text;
}

// Runs the program on the reference; false when it did not finish.
bool RunReference(const Program& program, History& history, std::uint64_t& count,
                  std::uint64_t& taken, std::vector<std::uint64_t>& pcs) {
    reference::ReferenceInterpreter ref;
    for (std::size_t i = 0; i < program.code.size(); ++i)
        ref.SetInstruction(4 * i, program.code[i].Encode());
    for (const auto& [index, word] : program.data) ref.SetData(index, word);
    for (int n = 0; n < 32; ++n) History::Note(history.registers[n], 0);
    count = taken = 0;
    pcs.clear();
    while (ref.Pc() < program.End() && count < kInstructionLimit) {
        const std::uint64_t pc = ref.Pc();
        const Instruction& in = program.code[pc / 4];
        if (in.op == Op::Sw) {
            // The address a store writes, with its value before the store.
            const std::uint64_t address =
                (ref.Register(in.rs) +
                 static_cast<std::uint32_t>(static_cast<std::int16_t>(in.imm))) &
                0xFFFFFFFFu;
            if (history.data.count(address) == 0)
                History::Note(history.data[address], ref.Data(address));
        }
        // A taken BEQ with offset 0 lands where it would have gone anyway.
        if (in.op == Op::Beq && ref.Register(in.rs) == ref.Register(in.rt)) ++taken;
        if (!ref.Step()) return false;
        ++count;
        pcs.push_back(ref.Pc());
        for (int n = 0; n < 32; ++n) History::Note(history.registers[n], ref.Register(n));
        if (in.op == Op::Sw) {
            for (auto& [address, values] : history.data) History::Note(values, ref.Data(address));
        }
    }
    return ref.Pc() >= program.End();
}

void Observe(const Simulator& sim, History& history) {
    for (int n = 0; n < 32; ++n) History::Note(history.registers[n], RegisterValue(sim, n));
    for (auto& [address, values] : history.data) History::Note(values, DataValue(sim, address));
}

// Most programs keep the layout's distances between a write and its reads:
// they must go through the reference's values, and the explanation must find
// no stale read in them; every stale read it finds elsewhere must be of a
// pair closer than the layout allows. Every third program on a pipelined layout places
// reads anywhere; where the explanation finds no stale read in such a run,
// it must still end with the reference's registers and data.
void RunLayout(Layout layout) {
    const std::uint64_t base = EnvOr("TANDREL_DIFF_SEED", kDefaultSeed);
    const std::uint64_t programs = EnvOr("TANDREL_DIFF_PROGRAMS", kDefaultPrograms);
    Simulator sim;
    std::uint64_t compared = 0, dropped = 0, unconstrained = 0, stale = 0;
    History expected, seen;
    std::vector<std::uint64_t> pcs;
    std::uint64_t seed = base;
    for (; compared + stale < programs; ++seed) {
        ASSERT_LT(dropped, programs + 100) << "the generator makes only endless programs";
        const bool keepsDistances = layout == Layout::Simple || seed % 3 != 0;
        const Program program =
            Generator(seed, keepsDistances ? RulesFor(layout) : Rules{1, 1, true}).Make();
        const std::string text = program.Text();
        SCOPED_TRACE("seed " + std::to_string(seed) + " on " + LayoutName(layout) + ", program:\n" +
                     text);

        expected = History{};
        std::uint64_t count = 0, taken = 0;
        if (!RunReference(program, expected, count, taken, pcs)) {
            ++dropped;
            continue;
        }
        unconstrained += !keepsDistances;

        ASSERT_TRUE(LoadProgram(sim, layout, std::wstring(text.begin(), text.end()), program.data));
        for (std::size_t k = 0; k < program.code.size(); ++k)
            ASSERT_EQ(sim.GetParser().GetInstruction(4 * k), program.code[k].Encode())
                << "word of line " << k + 1;

        seen = History{};
        for (auto& [address, values] : expected.data) seen.data[address];
        Observe(sim, seen);
        bool hazard = false;
        if (layout == Layout::Simple) {
            // Every pass is looked at, and the PC after every instruction.
            for (std::uint64_t n = 0; n < count; ++n) {
                for (int pass = 0; pass < test::kPassesPerInstruction; ++pass) {
                    sim.Step();
                    Observe(sim, seen);
                }
                ASSERT_EQ(sim.PcValue(), pcs[n]) << "PC after instruction " << n + 1;
            }
        } else {
            // Until the PC has left the program long enough for everything
            // in flight to be written back. A taken BEQ costs three steps: the
            // NOP after it and two bubbles.
            const std::uint64_t limit = (keepsDistances ? 1 : 4) * count + 3 * taken + 20;
            Explainer explainer;
            explainer.Start(sim);
            int outside = 0;
            for (std::uint64_t steps = 0; outside < 6 && steps < limit; ++steps) {
                sim.Step();
                explainer.Observe(sim);
                Observe(sim, seen);
                outside = sim.PcValue() >= program.End() ? outside + 1 : 0;
            }
            for (const PipelineEvent& e : explainer.Events()) {
                if (e.kind != EventKind::StaleRead) continue;
                hazard = true;
                // Too close for the layout: fewer instructions between the
                // two than it needs (2; with forwarding 1 after a LW, else 0).
                EXPECT_LT(e.between, e.needed) << "at " << e.address;
                EXPECT_EQ(e.needed, layout == Layout::Pipelined ? 2 : e.writerLoads ? 1 : 0);
            }
            // A stale read may change where a branch goes, and so the end.
            ASSERT_TRUE(outside == 6 || hazard) << "the program does not end";
            ASSERT_FALSE(hazard && keepsDistances) << "a stale read where the distances are kept";
        }
        if (hazard) {
            ++stale;
            continue;
        }
        ++compared;
        // Every value on the way where the distances are kept, else the last.
        const auto values = [keepsDistances](const std::vector<std::uint64_t>& all) {
            return keepsDistances ? Show(all) : Show({all.back()});
        };
        for (int n = 0; n < 32; ++n)
            ASSERT_EQ(values(seen.registers[n]), values(expected.registers[n])) << "$" << n;
        for (const auto& [address, expectedValues] : expected.data)
            ASSERT_EQ(values(seen.data[address]), values(expectedValues)) << "data " << address;
        // Nothing else in data memory changed.
        for (const auto& [address, word] : sim.GetDataMemory()->storage) {
            if (expected.data.count(address) != 0) continue;
            const auto initial = program.data.find(address);
            ASSERT_EQ(word, initial == program.data.end() ? 0 : initial->second)
                << "data " << address;
        }
    }
    // The generator must keep making programs that end, and the programs
    // without the distances must have hazards: without forwarding any close
    // read is stale; with it only a load's.
    if (programs >= 100) {
        EXPECT_LT(dropped, programs / 3);
        if (layout != Layout::Simple) {
            EXPECT_GT(stale, unconstrained / (layout == Layout::Pipelined ? 5 : 25));
        }
    }
}

TEST(DifferentialTest, SimpleMatchesTheReferenceOnAnyProgram) {
    RunLayout(Layout::Simple);
}

TEST(DifferentialTest, PipelinedMatchesTheReferenceWithoutStaleReads) {
    RunLayout(Layout::Pipelined);
}

TEST(DifferentialTest, ForwardingMatchesTheReferenceWithoutStaleReads) {
    RunLayout(Layout::Forwarding);
}

}  // namespace
}  // namespace tandrel
