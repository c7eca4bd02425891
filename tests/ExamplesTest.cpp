// The example programs in examples/: each is loaded the way the window's Load
// button loads a file, run to the end on every datapath it is meant for, and
// checked against the results worked out by hand in the table below. The
// results are also written in each file's notes, in "Expected result on ..."
// blocks; a test keeps those notes and this table saying the same thing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/DatapathRunner.h"

#ifndef TANDREL_EXAMPLES_DIR
#error "TANDREL_EXAMPLES_DIR must name the examples directory"
#endif

namespace tandrel {
namespace {

namespace fs = std::filesystem;

using test::DataValue;
using test::LayoutName;
using test::RegisterValue;
using test::RunToEnd;

constexpr Layout kLayouts[] = {Layout::Simple, Layout::Pipelined, Layout::Forwarding};
constexpr int kMaxSteps = 20000;
constexpr std::uint64_t kLastAddress = (Simulator::kInstructionCount - 1) * 4;

// What a run ends with; values are signed as the notes write them. Every
// register and data word not listed must be 0.
struct Result {
    std::map<int, std::int64_t> registers;
    std::map<std::uint64_t, std::int64_t> data;
};

struct Outcome {
    std::vector<Layout> layouts;
    Result result;
};

struct Example {
    const char* file;
    std::vector<Outcome> outcomes;  // together, every layout the file is meant for
};

constexpr Layout S = Layout::Simple;
constexpr Layout P = Layout::Pipelined;
constexpr Layout F = Layout::Forwarding;

const std::vector<Example> kExamples = {
    {"01-each-instruction.def",
     {{{S, P, F},
       {{{1, 12},
         {2, 10},
         {3, 6},     // data word 0
         {4, 22},    // 12 + 10
         {5, -2},    // 10 - 12
         {6, 8},     // 1100 & 1010
         {7, 14},    // 1100 | 1010
         {8, 1},     // 10 < 12
         {9, 9},     // after a BEQ that is not taken
         {11, 11}},  // the target of a taken BEQ; $10 was jumped over
        {{0, 6}, {1, 22}}}}}},

    {"02-store-and-load.def",
     {{{S, P, F},
       {{{1, 25}, {2, -8}, {3, 25}, {4, -8}, {5, 100}, {6, 17}, {7, 8}},
        // 8 + 2 and 8 + 3 stored, 99 overwritten; word 0 copied to 12.
        {{0, 100}, {10, 25}, {11, -8}, {12, 100}}}}}},

    {"03-array-sum.def",
     {{{S, P, F},
       {{{1, 5}, {2, 5}, {3, 25}, {4, 4}},  // 5 + 8 - 2 + 10 + 4
        {{0, 5}, {1, 8}, {2, -2}, {3, 10}, {4, 4}, {5, 25}}}}}},

    {"04-array-maximum.def",
     {{{S, P, F},
       // Largest of 4, 9, -5, 15, 2, 11; the last comparison, 15 < 11, is 0.
       {{{1, 6}, {2, 6}, {3, 15}, {4, 11}, {5, 0}},
        {{0, 4}, {1, 9}, {2, -5}, {3, 15}, {4, 2}, {5, 11}, {6, 15}}}}}},

    {"05-counting-loop.def",
     {{{S, P, F},
       {{{1, 4}, {2, 4}, {3, 12}, {4, 3}},  // four rounds of + 3
        {{0, 12}, {1, 4}}}}}},

    {"06-data-hazard.def",
     {{{S, F}, {{{1, 10}, {2, 15}, {3, 20}, {4, 5}}, {}}},
      // Without forwarding each too-early read sees 0: $2 = 0 + 5,
      // $3 = 0 + 0, $4 = 0 - 10 ($1 is two instructions back, so it is 10).
      {{P}, {{{1, 10}, {2, 5}, {3, 0}, {4, -10}}, {}}}}},

    {"07-load-use-no-gap.def",
     {{{S}, {{{1, 2}, {2, 42}, {3, 142}}, {{7, 42}}}},
      // The load's address, 2 + 5 = 7, is forwarded in place of its word.
      {{F}, {{{1, 2}, {2, 42}, {3, 107}}, {{7, 42}}}},
      // The old $2, 0, is read.
      {{P}, {{{1, 2}, {2, 42}, {3, 100}}, {{7, 42}}}}}},

    {"08-load-use-with-nop.def",
     {{{S, F}, {{{1, 2}, {2, 42}, {3, 142}}, {{7, 42}}}},
      // One instruction in between is still too close without forwarding.
      {{P}, {{{1, 2}, {2, 42}, {3, 100}}, {{7, 42}}}}}},

    {"09-taken-branch.def",
     {{{S}, {{{1, 7}, {2, 7}, {6, 6}}, {}}},
      // The one instruction after a taken BEQ still runs on the pipelines.
      {{P, F}, {{{1, 7}, {2, 7}, {3, 3}, {6, 6}}, {}}}}},
};

fs::path ExamplesDir() {
    return fs::path(TANDREL_EXAMPLES_DIR);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::uint64_t Pattern(std::int64_t value) {
    return static_cast<std::uint32_t>(value);
}

// Load as the window does: the file is read and parsed, its data copied into
// data memory and the grid, the editor refilled from the parsed lines, and
// then that editor text parsed again with the grid's data. The test's working
// directory is not the source tree, so the file is named by its full path.
struct Loaded {
    bool fileParsed = false;
    int fileErrors = 0;
    bool editorParsed = false;
    int editorErrors = 0;
    std::uint64_t end = 0;  // byte address after the last instruction
};

Loaded LoadLikeTheWindow(Simulator& sim, Layout layout, const fs::path& file) {
    Loaded loaded;
    sim.SelectLayout(layout);
    if (!sim.LoadFile(file.wstring())) return loaded;
    loaded.fileParsed = sim.ParseProgram(std::wstring());
    loaded.fileErrors = sim.ErrorCount();
    sim.Reset();
    sim.LoadInitialData();

    std::wstring editor;
    std::wstring line;
    bool faulty = false;
    for (std::uint64_t address = 0; address <= kLastAddress; address += 4) {
        sim.GetProgramLine(address, line, faulty);
        editor += line;
    }
    loaded.editorParsed = sim.ParseProgram(editor);
    loaded.editorErrors = sim.ErrorCount();
    sim.Reset();
    sim.LoadInitialData();

    for (std::uint64_t address = 0; address <= kLastAddress; address += 4)
        if (sim.GetInstructionKind(address) != InstructionKind::None) loaded.end = address + 4;
    return loaded;
}

std::string Describe(const std::vector<Layout>& layouts) {
    std::string text;
    for (Layout layout : layouts)
        text += std::string(text.empty() ? "" : ", ") + LayoutName(layout);
    return text;
}

TEST(ExamplesTest, TheTableCoversEveryExampleFileAndEveryFileIsThere) {
    std::set<std::string> onDisk;
    for (const auto& entry : fs::directory_iterator(ExamplesDir()))
        if (entry.path().extension() == ".def") onDisk.insert(entry.path().filename().string());
    std::set<std::string> inTable;
    for (const Example& example : kExamples) inTable.insert(example.file);
    EXPECT_EQ(onDisk, inTable);
    EXPECT_GE(inTable.size(), 8u);
}

TEST(ExamplesTest, EachLayoutOfAnExampleHasExactlyOneExpectedResult) {
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.file);
        std::multiset<Layout> claimed;
        for (const Outcome& outcome : example.outcomes)
            claimed.insert(outcome.layouts.begin(), outcome.layouts.end());
        for (Layout layout : kLayouts) EXPECT_LE(claimed.count(layout), 1u) << LayoutName(layout);
        EXPECT_FALSE(claimed.empty());
    }
}

// The notes are comments. After the program comes the line "Data:" and the
// 512 data words as 32 lines of 16 "N, " entries. Non-ASCII text would not
// read back as typed.
// Sixteen "N, " entries and nothing else.
bool IsDataLine(const std::string& line) {
    std::size_t at = 0;
    for (int entry = 0; entry < 16; ++entry) {
        const std::size_t digits = at;
        while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
        if (at == digits || line.compare(at, 2, ", ") != 0) return false;
        at += 2;
    }
    return at == line.size();
}

TEST(ExamplesTest, NotesAreCommentsAndTheDataWordsFollowTheDataLine) {
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.file);
        const std::string text = ReadFile(ExamplesDir() / example.file);
        ASSERT_FALSE(text.empty());
        EXPECT_TRUE(std::all_of(text.begin(), text.end(),
                                [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); }));
        const std::vector<std::string> lines = Lines(text);
        const auto data = std::find(lines.begin(), lines.end(), "Data:");
        ASSERT_NE(data, lines.end());
        ASSERT_EQ(lines.end() - data, 1 + 32);
        for (auto line = data + 1; line != lines.end(); ++line)
            EXPECT_TRUE(IsDataLine(*line)) << *line;
        EXPECT_EQ(text.back(), '\n');
    }
}

TEST(ExamplesTest, EveryExampleParsesWithoutErrorWhenLoadedAsTheWindowDoes) {
    Simulator sim;
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.file);
        const Loaded loaded = LoadLikeTheWindow(sim, Layout::Simple, ExamplesDir() / example.file);
        EXPECT_TRUE(loaded.fileParsed);
        EXPECT_EQ(loaded.fileErrors, 0);
        EXPECT_TRUE(loaded.editorParsed);
        EXPECT_EQ(loaded.editorErrors, 0);
        EXPECT_GT(loaded.end, 0u);
        EXPECT_TRUE(sim.ProgramValid());
    }
}

// Failure messages name the file rather than dumping the table entry's bytes.
void PrintTo(const Example& example, std::ostream* out) {
    *out << example.file;
}

class ExampleRunTest : public ::testing::TestWithParam<Example> {};

TEST_P(ExampleRunTest, GivesItsDocumentedResultOnEveryLayoutItClaims) {
    const Example& example = GetParam();
    Simulator sim;
    for (const Outcome& outcome : example.outcomes) {
        for (Layout layout : outcome.layouts) {
            SCOPED_TRACE(std::string(example.file) + " on " + LayoutName(layout));
            const Loaded loaded = LoadLikeTheWindow(sim, layout, ExamplesDir() / example.file);
            ASSERT_TRUE(loaded.fileParsed && loaded.editorParsed);
            ASSERT_TRUE(RunToEnd(sim, loaded.end, kMaxSteps));

            const Result& want = outcome.result;
            for (int n = 0; n < 32; ++n) {
                const auto found = want.registers.find(n);
                const std::uint64_t expected =
                    found == want.registers.end() ? 0 : Pattern(found->second);
                EXPECT_EQ(RegisterValue(sim, n), expected) << "$" << n;
            }
            for (const auto& [address, value] : want.data)
                EXPECT_EQ(DataValue(sim, address), Pattern(value)) << "data " << address;
            for (const auto& [address, word] : sim.GetDataMemory()->storage) {
                if (want.data.count(address) == 0) {
                    EXPECT_EQ(word, 0u) << "data " << address;
                }
            }
        }
    }
}

std::string ExampleName(const ::testing::TestParamInfo<Example>& info) {
    std::string name = fs::path(info.param.file).stem().string();
    std::replace(name.begin(), name.end(), '-', '_');
    return "file" + name;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRunTest, ::testing::ValuesIn(kExamples), ExampleName);

// Reads the "Expected result on LAYOUTS" blocks of a file's notes: the header
// names the layouts, the comment lines up to the next empty one hold "$N = V"
// and "data N = V" entries.
// Every "<prefix>N = V" in a line, as (N, V) pairs.
std::vector<std::pair<long long, long long>> Entries(const std::string& line,
                                                     const std::string& prefix) {
    std::vector<std::pair<long long, long long>> found;
    for (std::size_t at = line.find(prefix); at != std::string::npos;
         at = line.find(prefix, at + 1)) {
        long long key = 0;
        long long value = 0;
        char sign = 0;
        int used = 0;
        const std::string rest = line.substr(at + prefix.size());
        if (std::sscanf(rest.c_str(), "%lld = %n", &key, &used) != 1 || used == 0) continue;
        const char* number = rest.c_str() + used;
        sign = *number == '-' ? '-' : 0;
        if (!std::isdigit(static_cast<unsigned char>(number[sign ? 1 : 0]))) continue;
        value = std::atoll(number);
        found.emplace_back(key, value);
    }
    return found;
}

std::map<Layout, Result> NotedResults(const std::string& text, int& blocks) {
    static const std::string header = "Expected result on ";
    std::map<Layout, Result> noted;
    blocks = 0;
    std::vector<std::string> lines;
    for (const std::string& line : Lines(text))
        lines.push_back(line.rfind("#", 0) == 0 ? line.substr(line.rfind("# ", 0) == 0 ? 2 : 1)
                                                : std::string());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(header, 0) != 0) continue;
        ++blocks;
        std::vector<Layout> layouts;
        for (Layout layout : kLayouts)
            if (lines[i].find(LayoutName(layout)) != std::string::npos) layouts.push_back(layout);
        Result result;
        for (++i; i < lines.size() && !lines[i].empty(); ++i) {
            for (const auto& [n, v] : Entries(lines[i], "$"))
                result.registers[static_cast<int>(n)] = v;
            for (const auto& [n, v] : Entries(lines[i], "data "))
                result.data[static_cast<std::uint64_t>(n)] = v;
        }
        for (Layout layout : layouts) {
            EXPECT_EQ(noted.count(layout), 0u) << LayoutName(layout) << " has two blocks";
            noted[layout] = result;
        }
    }
    return noted;
}

TEST(ExamplesTest, NotesPromiseTheResultsTheTableChecks) {
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.file);
        int blocks = 0;
        const std::map<Layout, Result> noted =
            NotedResults(ReadFile(ExamplesDir() / example.file), blocks);
        EXPECT_EQ(blocks, static_cast<int>(example.outcomes.size()));
        std::size_t claimed = 0;
        for (const Outcome& outcome : example.outcomes) {
            for (Layout layout : outcome.layouts) {
                ++claimed;
                SCOPED_TRACE(std::string("on ") + LayoutName(layout) + " (" +
                             Describe(outcome.layouts) + ")");
                const auto found = noted.find(layout);
                ASSERT_NE(found, noted.end());
                EXPECT_EQ(found->second.registers, outcome.result.registers);
                EXPECT_EQ(found->second.data, outcome.result.data);
            }
        }
        EXPECT_EQ(noted.size(), claimed);
    }
}

}  // namespace
}  // namespace tandrel
