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
        if (std::sscanf(line.c_str() + at + prefix.size(), "%lld = %lld", &key, &value) == 2)
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

template <typename Map>
std::uint32_t Promised(const Map& values, std::uint64_t key) {
    const auto found = values.find(key);
    return found == values.end() ? 0 : found->second;
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
            std::uint64_t end = 0;
            for (std::uint64_t address = 0; address < 4 * Simulator::kInstructionCount; address += 4)
                if (sim.GetInstructionKind(address) != InstructionKind::None) end = address + 4;
            const auto initialData = sim.GetDataMemory()->storage;
            ASSERT_TRUE(test::RunToEnd(sim, end, 20000));
            for (int n = 0; n < 32; ++n)
                EXPECT_EQ(test::RegisterValue(sim, n), Promised(want.registers, n)) << "$" << n;
            for (const auto& [address, word] : sim.GetDataMemory()->storage)
                EXPECT_EQ(word, Promised(want.data, address)) << "data " << address;
            for (const auto& [address, word] : want.data)
                EXPECT_EQ(test::DataValue(sim, address), word) << "data " << address;
            if (layout != Layout::Simple) continue;

            reference::ReferenceInterpreter ref;
            for (std::uint64_t address = 0; address < end; address += 4)
                ref.SetInstruction(address,
                                   static_cast<std::uint32_t>(sim.GetParser().GetInstruction(address)));
            for (const auto& [address, word] : initialData)
                ref.SetData(address, static_cast<std::uint32_t>(word));
            ref.Run(end, 10000);
            EXPECT_EQ(ref.Pc(), end);
            for (int n = 0; n < 32; ++n)
                EXPECT_EQ(ref.Register(n), Promised(want.registers, n)) << "reference $" << n;
            for (const auto& [address, word] : ref.DataWords())
                EXPECT_EQ(word, Promised(want.data, address)) << "reference data " << address;
        }
    }
    EXPECT_GE(files, 9);
}

}  // namespace
}  // namespace tandrel
