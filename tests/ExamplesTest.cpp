// The shipped examples keep the promises of their notes: each "# Expected
// result on LAYOUTS" comment block lists "$N = V" and "data N = V" and
// everything else is 0.
// Simple's results also hold on the reference interpreter, which checks the
// oracle of the differential test against results worked out by hand.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/DatapathRunner.h"
#include "sim/RunRules.h"
#include "tests/ReferenceInterpreter.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using test::LayoutName;

struct Promise {
    std::map<std::uint64_t, std::uint32_t> registers, data;
};

// Every "<prefix>N = V" in a line.
void Read(const std::string& line, const std::string& prefix,
          std::map<std::uint64_t, std::uint32_t>& into) {
    for (auto at = line.find(prefix); at != std::string::npos; at = line.find(prefix, at + 1)) {
        long long key = 0, value = 0;
        if (std::sscanf(line.c_str() + at + prefix.size(), "%lld = %lld", &key, &value) == 2 &&
            value != 0)  // what is not promised is 0 too
            into[static_cast<std::uint64_t>(key)] = static_cast<std::uint32_t>(value);
    }
}

// A comment line's text after "#"; nothing for any other line.
std::string Comment(const std::string& line) {
    return line.rfind('#', 0) == 0 ? line.substr(1) : std::string();
}

std::map<Layout, Promise> Promises(const fs::path& file) {
    std::ifstream in(file);
    std::map<Layout, Promise> promised;
    for (std::string line; std::getline(in, line);) {
        if (Comment(line).find("Expected result on ") != 1) continue;
        Promise promise;
        for (std::string entry; std::getline(in, entry) && !Comment(entry).empty();) {
            Read(entry, "$", promise.registers);
            Read(entry, "data ", promise.data);
        }
        for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding})
            if (line.find(LayoutName(layout)) != std::string::npos) {
                EXPECT_EQ(promised.count(layout), 0u) << LayoutName(layout) << " promised twice";
                promised[layout] = promise;
            }
    }
    return promised;
}

// Registers and data words that are not 0.
template <typename Read>
std::map<std::uint64_t, std::uint32_t> NonZero(std::uint64_t count, Read read) {
    std::map<std::uint64_t, std::uint32_t> values;
    for (std::uint64_t n = 0; n < count; ++n)
        if (const auto value = static_cast<std::uint32_t>(read(n)); value != 0) values[n] = value;
    return values;
}

TEST(ExamplesTest, EachExampleGivesTheResultsItsNotesPromise) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(TANDREL_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".def") continue;
        ++files;
        const std::map<Layout, Promise> promised = Promises(entry.path());
        EXPECT_FALSE(promised.empty()) << entry.path();
        for (const auto& [layout, want] : promised) {
            SCOPED_TRACE(entry.path().filename().string() + " on " + LayoutName(layout));
            Simulator sim;
            sim.SelectLayout(layout);
            ASSERT_TRUE(sim.LoadFile(entry.path().wstring()));
            ASSERT_TRUE(sim.ParseProgram(std::wstring()));
            sim.Reset();
            sim.LoadInitialData();
            const std::uint64_t end = ProgramEnd(sim);
            reference::ReferenceInterpreter ref;
            for (std::uint64_t address = 0; address < end; address += 4)
                ref.SetInstruction(address,
                                   static_cast<std::uint32_t>(sim.GetParser().GetInstruction(address)));
            for (const auto& [address, word] : sim.GetDataMemory()->storage)
                ref.SetData(address, static_cast<std::uint32_t>(word));
            ASSERT_TRUE(test::RunToEnd(sim, end, 20000));
            EXPECT_EQ(NonZero(32, [&](auto n) { return test::RegisterValue(sim, n); }), want.registers);
            EXPECT_EQ(NonZero(Simulator::kDataWords, [&](auto n) { return test::DataValue(sim, n); }),
                      want.data);
            // The reference, checked against these results worked out by hand.
            if (layout != Layout::Simple) continue;
            ref.Run(end, 10000);
            EXPECT_EQ(ref.Pc(), end);
            EXPECT_EQ(NonZero(32, [&](auto n) { return ref.Register(n); }), want.registers);
            EXPECT_EQ(NonZero(Simulator::kDataWords, [&](auto n) { return ref.Data(n); }), want.data);
        }
    }
    EXPECT_GE(files, 9);
}

}  // namespace
}  // namespace tandrel
