// The argument reader on its own: both value spellings and the combinations
// a command refuses (the defaults show in the commands' own tests).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Compare.h"
#include "cli/Options.h"

namespace tandrel {
namespace cli {
namespace {

ParsedArguments Parse(std::vector<std::string> args) {
    return ParseArguments(args);
}

TEST(CliOptions, ValuesInEitherSpellingAndFilesAfterDoubleDash) {
    const ParsedArguments parsed =
        Parse({"run", "--layout=forwarding", "--steps", "12", "--max-steps=5", "--format", "hex",
               "--json", "--", "--odd-name.def"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.layout, Layout::Forwarding);
    EXPECT_FALSE(parsed.options.untilDone);
    EXPECT_EQ(parsed.options.steps, 12);
    EXPECT_EQ(parsed.options.maxSteps, 5);
    EXPECT_EQ(parsed.options.format, NumberFormat::Hexadecimal);
    EXPECT_TRUE(parsed.options.json);
    EXPECT_EQ(parsed.options.file, "--odd-name.def");

    const Options picture = Parse({"picture", "p.def", "-oframe%d.svg", "--steps=3", "--config",
                                   "c.conf", "--format", "svg", "--scale=2.5"})
                                .options;
    EXPECT_EQ(picture.output, "frame%d.svg");
    EXPECT_EQ(picture.steps, 3);
    EXPECT_EQ(picture.config, "c.conf");
    EXPECT_TRUE(picture.svg);
    EXPECT_EQ(picture.scale, 2.5);
}

TEST(CliOptions, RefusedCombinations) {
    const std::vector<std::vector<std::string>> refused = {
        {"check", "p.def", "--steps", "3"},          // check only parses
        {"compare", "p.def", "--layout", "simple"},  // compare runs all three
        {"run", "p.def", "-o", "x.png"},
        {"picture", "p.def", "--until-done", "-o", "x.png"},
        {"picture", "p.def"},  // no -o
        {"picture", "p.def", "-o", "x.pdf", "--format", "pdf"},
        {"picture", "p.def", "-o", "x.png", "--scale", "5"},
        {"picture", "p.def", "-o", "x.png", "--scale=0.1"},
        {"picture", "p.def", "-o", "x.png", "--scale", "1e0"},
        {"run", "p.def", "--scale", "2"},
        {"run", "p.def", "--steps", "12x"},
        {"run", "p.def", "--steps", "1000000000001"},
        {"run", "p.def", "--max-steps", ""},
        {"run", "p.def", "--format", "oct"},
        {"run", "p.def", "--json=yes"},
        {"run", "p.def", "--steps", "3", "--until-done"},
        {"--verbose"},
    };
    for (const auto& args : refused) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_NE(Parse(args).error, "") << joined;
    }
}

// A word cleared by a store is a change to 0, on every layout: first a word
// below one that stays, then the last one.
TEST(CliCompare, AClearedWordIsAChangeToZero) {
    for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding}) {
        Simulator sim;
        sim.SelectLayout(layout);
        for (auto [index, word] : {std::pair{0, 5}, {4, 6}}) sim.GetDataMemory()->storage[index] = word;
        ASSERT_TRUE(sim.ParseProgram(L"SW $0, 0($0)\nSW $0, 4($0)\n"));
        sim.Reset();
        sim.LoadInitialData();
        const LayoutRun run = TraceRun(sim, layout, RunLimits{});
        ASSERT_EQ(run.changes.size(), 2u);
        for (const StateChange& change : run.changes) {
            EXPECT_FALSE(change.isRegister);
            EXPECT_EQ(change.value, 0u) << "data " << change.target;
        }
    }
}

TEST(CliCompare, ChangesDifferingInTargetKindOrValueDiverge) {
    Simulator sim;
    sim.SelectLayout(Layout::Simple);
    ASSERT_TRUE(sim.ParseProgram(L"ADDI $1, $0, 5\nADD $2, $1, $1\n"));
    constexpr long long kFinished = 1LL << 62;
    const StateChange first{true, 1, 5, 0, 0}, second{true, 2, 10, 4, 2};
    const StateChange others[] = {{true, 3, 10, 4, 2}, {false, 2, 10, 4, 2}, {true, 2, 11, 4, 2}};
    LayoutRun simple, pipelined;
    simple.changes = {first, second};
    simple.progress = pipelined.progress = kFinished;
    pipelined.changes = simple.changes;
    EXPECT_FALSE(FirstDivergence(simple, pipelined, sim).found);
    for (const StateChange& other : others) {
        pipelined.changes = {first, other};
        const Divergence d = FirstDivergence(simple, pipelined, sim);
        EXPECT_TRUE(d.found) << other.target;
        EXPECT_EQ(d.text, "ADD $2, $1, $1");
    }
}

}  // namespace
}  // namespace cli
}  // namespace tandrel
