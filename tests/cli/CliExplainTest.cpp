// tandrel-cli explain and the diagram formats, driven as a process.

#include <gtest/gtest.h>

#include <string>

#include "tests/ExplainCases.h"
#include "tests/cli/CliTestSupport.h"

namespace tandrel {
namespace {

using namespace clitest;

TEST(CliExplain, HandWorkedProgramsGiveExactlyTheirEventsAndSentences) {
    TempDir dir;
    for (const explaincase::Case& c : explaincase::kCases) {
        dir.Write("case.def", std::string(c.program) + explaincase::kData);
        for (const auto& [layout, events] :
             {std::pair<const char*, const char*>{"pipelined", c.pipelined},
              {"forwarding", c.forwarding}}) {
            const Result result =
                RunCli(dir, std::string("explain case.def --json --layout ") + layout);
            EXPECT_EQ(result.status, 0) << c.name << " on " << layout;
            const auto at = result.out.find(",\"events\":[");
            ASSERT_NE(at, std::string::npos) << result.out;
            EXPECT_EQ(result.out.substr(0, 11 + std::string(layout).size()),
                      std::string("{\"layout\":\"") + layout);
            EXPECT_EQ(result.out.substr(at), ",\"events\":[" + std::string(events) + "]}\n")
                << c.name << " on " << layout;
        }
    }

    // The sentences name both instructions, the values and the fix.
    dir.Write("hazard.def", std::string(explaincase::kCases[0].program) + explaincase::kData);
    EXPECT_EQ(RunCli(dir, "explain hazard.def").out,
              "cycle 3: ADD $2, $1, $1 (at 4) read $1 = 0 in ID, but ADDI $1, $0, 5 (at 0) writes "
              "$1 only in cycle 5: it should be 5. On Pipelined put at least two "
              "instructions or NOPs between them; here there are none.\n"
              "6 cycles: 1 stale read, 0 taken branches, 0 squashed instructions\n");
    // Simple: one line per Step, the seven levels of each instruction.
    const std::string simple = RunCli(dir, "explain hazard.def --layout simple").out;
    EXPECT_EQ(simple.substr(0, simple.find('\n')),
              "step 1: ADDI $1, $0, 5 (at 0), level 1 of 7, fetch: Instruction Memory, Add.");
    EXPECT_NE(simple.find("step 14: ADD $2, $1, $1 (at 4), level 7 of 7"), std::string::npos);
    EXPECT_EQ(simple.substr(simple.rfind('\n', simple.size() - 2) + 1), "14 steps\n");
}

// The branch of the hand-worked cases: 0 is taken in cycle 4, 8 and 12 are
// squashed, the target 16 is fetched in cycle 5.
TEST(CliDiagram, CsvJsonAndSvgShowTheSameCycles) {
    TempDir dir;
    dir.Write("branch.def", std::string(explaincase::kCases[7].program) + explaincase::kData);
    const Result csv = RunCli(dir, "diagram branch.def --format csv");
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out,
              "address,instruction,squashed,1,2,3,4,5,6,7,8,9\n"
              "0,\"BEQ $0, $0, 3\",no,IF,ID,EX,MEM,WB,,,,\n"
              "4,NOP,no,,IF,ID,EX,MEM,WB,,,\n"
              "8,\"ADDI $1, $0, 1\",yes,,,IF,--,--,--,--,,\n"
              "12,\"ADDI $2, $0, 2\",yes,,,,IF,--,--,--,--,\n"
              "16,\"ADDI $3, $0, 3\",no,,,,,IF,ID,EX,MEM,WB\n");
    EXPECT_EQ(Python("import json,sys; d=json.load(open(sys.argv[1])); "
                     "print(d[\"layout\"], d[\"cycles\"], [(r[\"address\"], r[\"fetch\"], "
                     "r[\"squashed\"], \" \".join(r[\"cells\"])) for r in d[\"rows\"]][2:])",
                     dir.Write("d.json", RunCli(dir, "diagram branch.def --format json").out)),
              "pipelined 9 [(8, 3, True, 'IF -- -- -- --'), (12, 4, True, 'IF -- -- -- --'), "
              "(16, 5, False, 'IF ID EX MEM WB')]\n");
    // Well-formed, a cell per stage with its name written in it.
    EXPECT_EQ(Python("import sys, collections, xml.etree.ElementTree as E; "
                     "t=[x.text for x in E.parse(sys.argv[1]).iter() if x.tag.endswith(\"text\")]; "
                     "c=collections.Counter(t); print(c[\"IF\"], c[\"WB\"], c[\"--\"])",
                     dir.Write("d.svg", RunCli(dir, "diagram branch.def --format svg").out)),
              "5 3 8\n");
    EXPECT_EQ(RunCli(dir, "diagram branch.def --format dec").status, 2);
}

}  // namespace
}  // namespace tandrel
