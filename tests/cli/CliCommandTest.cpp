// tandrel-cli driven as a process: its standard output, standard error and
// exit status for check, run, diagram and compare. Every expected value is
// worked out by hand from the program and the datapaths' known timing:
// Simple takes 7 steps per instruction; a pipelined instruction fetched at
// step s is in WB at s + 4 and has left the pipeline at s + 5.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/cli/CliTestSupport.h"

namespace tandrel {
namespace {

using namespace clitest;

// Ten instructions (end 40), spaced so no layout has a hazard: every
// register is read at least three instructions after it is written.
const char* const kArithmetic =
    "LW $1, 0($0)\n"     //  0  7
    "LW $2, 1($0)\n"     //  4  -3
    "ADDI $3, $0, -2\n"  //  8
    "NOP\n"              // 12
    "ADD $4, $1, $2\n"   // 16  4
    "NOP\n"              // 20
    "NOP\n"              // 24
    "SW $4, 5($0)\n"     // 28  data[5] = 4
    "SLT $5, $2, $1\n"   // 32  -3 < 7
    "OR $6, $1, $3\n"    // 36  7 | 0xFFFFFFFE
    "Data:\n7, -3\n";

// An ALU result read by the very next instruction: Pipelined reads the old
// $1 (0), so $2 and the stored word become 0; Forwarding gets it right.
const char* const kHazard =
    "ADDI $1, $0, 5\n"
    "ADD $2, $1, $1\n"
    "SW $2, 8($0)\n"
    "Data:\n3, 4\n";

// A taken branch at 12 (fetched at step 3): 16 still runs on the pipelined
// layouts, 20 and 24 are squashed, the target 32 follows at step 7.
const char* const kBranch =
    "ADDI $5, $0, 1\n"  //  0
    "ADDI $6, $0, 7\n"  //  4
    "NOP\n"             //  8
    "BEQ $5, $5, 4\n"   // 12  to 32
    "ADDI $1, $0, 1\n"  // 16  runs only in the pipeline
    "ADDI $2, $0, 2\n"  // 20
    "ADDI $3, $0, 3\n"  // 24
    "ADDI $7, $0, 3\n"  // 28
    "ADDI $4, $0, 4\n"  // 32
    "SW $6, 8($0)\n"    // 36
    "Data:\n";

// Counts $1 down from 3 while adding 2 to $2. Its last line branches back,
// so on the pipelined layouts the PC runs past the end while that branch is
// still in flight.
const char* const kLoop =
    "ADDI $1, $0, 3\n"   //  0
    "NOP\n"              //  4
    "NOP\n"              //  8
    "BEQ $1, $0, 5\n"    // 12  leaves for 36, the end
    "NOP\n"              // 16
    "ADDI $1, $1, -1\n"  // 20
    "ADDI $2, $2, 2\n"   // 24
    "BEQ $0, $0, -5\n"   // 28  back to 12
    "NOP\n"              // 32
    "Data:\n";

const char* const kEndless = "BEQ $0, $0, -1\nData:\n";

// The text run prints: steps, pc, $0..$31, then the non-zero data words.
std::string RunText(int steps, const std::string& pc, const std::map<int, std::string>& registers,
                    const std::string& data) {
    std::string text = "steps " + std::to_string(steps) + "\npc " + pc + "\n";
    for (int n = 0; n < 32; ++n) {
        const auto found = registers.find(n);
        text +=
            "$" + std::to_string(n) + " " + (found == registers.end() ? "0" : found->second) + "\n";
    }
    return text + data;
}

TEST(CliCheck, SummaryAndOneLinePerErrorWithTheFileLine) {
    TempDir dir;
    dir.Write("good.def", kArithmetic);
    Result good = RunCli(dir, "check good.def");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, "Instructions successfully parsed. Your program is now ready to run.\n");
    EXPECT_EQ(good.err, "");

    // Blank lines count as lines; a line break of "\r\n" is not part of the
    // shown text; two identical faulty lines keep their own numbers; a
    // missing "Data" belongs to no line.
    dir.Write("bad.def",
              "ADDI $1, $0, 5\n"
              "\n"
              "add $3, $1\n"
              "ADD $2, $1, $1\n"
              "  nop 5\r\n"
              "move $1, $2\n"
              "add $3, $1\n");
    Result bad = RunCli(dir, "check bad.def");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out,
              "There were 5 errors when parsing the instructions.\n"
              "These errors are listed below; those with a line number are highlighted above.\n"
              "\n"
              "bad.def:3: ',' is required. | add $3, $1\n"
              "bad.def:5: End of line required after instruction. |   nop 5\n"
              "bad.def:6: Instruction is required. | move $1, $2\n"
              "bad.def:7: ',' is required. | add $3, $1\n"
              "bad.def: 'Data' label is required.\n");
    EXPECT_EQ(bad.err, "");

    dir.Write("one.def", "nop\nnop 5\nData:\n1\n");
    EXPECT_EQ(RunCli(dir, "check one.def").out,
              "There was 1 error when parsing the instructions.\n"
              "These errors are listed below and highlighted above.\n"
              "\n"
              "one.def:2: End of line required after instruction. | nop 5\n");

    // The other commands refuse a program with errors rather than run NOPs.
    for (const char* command : {"run", "diagram", "compare"}) {
        Result refused = RunCli(dir, std::string(command) + " one.def");
        EXPECT_EQ(refused.status, 1) << command;
        EXPECT_EQ(refused.out, "") << command;
        EXPECT_EQ(refused.err,
                  "tandrel-cli: one.def: 1 error when parsing the instructions (see tandrel-cli "
                  "check one.def)\n")
            << command;
    }
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"good.def", "bad.def", "one.def"}));

    // Warnings fail a check only with --strict.
    dir.Write("warn.def", "nop  # fine\naddi $6, $0, 65536\nData:\n");
    for (const std::string strict : {"", " --strict"}) {
        Result check = RunCli(dir, "check warn.def" + strict);
        EXPECT_EQ(check.status, strict.empty() ? 0 : 1);
        EXPECT_EQ(check.out,
                  "Instructions successfully parsed. Your program is now ready to run.\n"
                  "warn.def:2: warning: the immediate 65536 is outside -32768..65535; it becomes "
                  "0. | addi $6, $0, 65536\n");
    }
    EXPECT_EQ(RunCli(dir, "run warn.def").err,
              "tandrel-cli: warn.def: 1 warning (see tandrel-cli check warn.def)\n");
}

TEST(CliRun, PrintsTheFinalStateInEachFormatAndJson) {
    TempDir dir;
    dir.Write("a.def", kArithmetic);
    const std::map<int, std::string> decimal = {{1, "7"}, {2, "-3"}, {3, "-2"},
                                                {4, "4"}, {5, "1"},  {6, "-1"}};
    Result simple = RunCli(dir, "run a.def");
    EXPECT_EQ(simple.status, 0);
    EXPECT_EQ(simple.out, RunText(70, "40", decimal, "data[0] 7\ndata[1] -3\ndata[5] 4\n"));
    EXPECT_EQ(simple.err, "");

    // Without hazards every layout ends with the same registers; the
    // pipelined ones take n + 4 clock steps for n instructions.
    for (const char* layout : {"pipelined", "forwarding"}) {
        Result pipelined = RunCli(dir, std::string("run a.def --until-done --layout=") + layout);
        EXPECT_EQ(pipelined.status, 0) << layout;
        EXPECT_EQ(pipelined.out, RunText(14, "56", decimal, "data[0] 7\ndata[1] -3\ndata[5] 4\n"))
            << layout;
    }

    Result hex = RunCli(dir, "run a.def --format hex");
    EXPECT_EQ(hex.out, RunText(70, "28", decimal, "data[0] 7\ndata[1] -3\ndata[5] 4\n"));
    // --steps presses Step exactly N times: the first LW is written by the
    // seventh single-cycle step, not before.
    EXPECT_EQ(RunCli(dir, "run a.def --steps 6").out,
              RunText(6, "0", {}, "data[0] 7\ndata[1] -3\n"));
    EXPECT_EQ(RunCli(dir, "run a.def --steps=7").out,
              RunText(7, "4", {{1, "7"}}, "data[0] 7\ndata[1] -3\n"));
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.def"});  // nothing written beside it

    // JSON holds the values unsigned.
    const Result result = RunCli(dir, "run a.def --layout pipelined --json");
    EXPECT_EQ(result.status, 0);
    const std::string json = dir.Write("a.json", result.out);
    EXPECT_EQ(Python("import json,sys\n"
                     "d = json.load(open(sys.argv[1]))\n"
                     "print(d[\"layout\"], d[\"steps\"], d[\"done\"], d[\"pc\"])\n"
                     "print(d[\"cycles\"], d[\"instructions\"], d[\"cpi\"])\n"
                     "print(len(d[\"registers\"]), d[\"registers\"][:8])\n"
                     "print(sorted(d[\"data\"].items()))",
                     json),
              "pipelined 14 True 56\n"
              "14 10 1.4\n"
              "32 [0, 7, 4294967293, 4294967294, 4, 1, 4294967295, 0]\n"
              "[('0', 7), ('1', 4294967293), ('5', 4)]\n");
}

TEST(CliRun, StepLimitStopsAProgramThatNeverEnds) {
    TempDir dir;
    dir.Write("endless.def", kEndless);
    Result run = RunCli(dir, "run endless.def --max-steps 50");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, RunText(50, "0", {}, ""));
    EXPECT_EQ(run.err,
              "tandrel-cli: endless.def: not finished after --max-steps 50 steps; the program "
              "may never end\n");

    Result diagram = RunCli(dir, "diagram endless.def --max-steps 5");
    EXPECT_EQ(diagram.status, 3);
    Result compare = RunCli(dir, "compare endless.def --max-steps 5");
    EXPECT_EQ(compare.status, 3);
    EXPECT_NE(compare.err.find("on simple, pipelined, forwarding"), std::string::npos)
        << compare.err;

    // An explicit step count is not a limit.
    EXPECT_EQ(RunCli(dir, "run endless.def --steps 200").status, 0);

    // A branch below address 0 wraps the PC round to 0 and the program runs
    // again: no layout calls that the end.
    dir.Write("below.def", "ADDI $1, $1, 1\nBEQ $0, $0, -3\nData:\n");
    for (const char* layout : {"simple", "pipelined", "forwarding"}) {
        Result below = RunCli(dir, std::string("run below.def --max-steps 700 --layout ") + layout);
        EXPECT_EQ(below.status, 3) << layout;
        EXPECT_NE(below.err.find("a branch took the PC below address 0, from where it wraps round "
                                 "to 0 and runs the program again"),
                  std::string::npos)
            << layout << ": " << below.err;
    }
}

TEST(CliDiagram, TakenBranchSquashesTwoFetchesLineByLine) {
    TempDir dir;
    dir.Write("branch.def", kBranch);
    const std::string expected =
        "addr  instruction      0   1   2   3   4   5   6   7   8   9   10  11  12  13\n"
        "   0  ADDI $5, $0, 1   IF  ID  EX  MEM WB\n"
        "   4  ADDI $6, $0, 7       IF  ID  EX  MEM WB\n"
        "   8  NOP                      IF  ID  EX  MEM WB\n"
        "  12  BEQ $5, $5, 4                IF  ID  EX  MEM WB\n"
        "  16  ADDI $1, $0, 1                   IF  ID  EX  MEM WB\n"
        "  20  ADDI $2, $0, 2 x                     IF  --  --  --  --\n"
        "  24  ADDI $3, $0, 3 x                         IF  --  --  --  --\n"
        "  32  ADDI $4, $0, 4                               IF  ID  EX  MEM WB\n"
        "  36  SW $6, 8($0)                                     IF  ID  EX  MEM WB\n";
    for (const char* layout : {"pipelined", "forwarding"}) {
        Result result = RunCli(dir, std::string("diagram branch.def --layout ") + layout);
        EXPECT_EQ(result.status, 0) << layout;
        EXPECT_EQ(result.err, "") << layout;
        EXPECT_EQ(result.out, expected) << layout;
    }

    // --steps N cuts the diagram after column N.
    const std::string cut = RunCli(dir, "diagram branch.def --steps 6").out;
    EXPECT_EQ(cut.substr(0, cut.find('\n')), "addr  instruction      0   1   2   3   4   5   6");
    EXPECT_EQ(cut.substr(cut.rfind('\n', cut.size() - 2) + 1),
              "  24  ADDI $3, $0, 3                           IF\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"branch.def"});
}

TEST(CliCompare, NamesWhatAHazardChangedAndWhere) {
    TempDir dir;
    dir.Write("hazard.def", kHazard);
    Result hazard = RunCli(dir, "compare hazard.def");
    EXPECT_EQ(hazard.status, 0);
    EXPECT_EQ(hazard.out,
              "steps: simple 21, pipelined 7, forwarding 7\n"
              "$2: simple 10, pipelined 0, forwarding 10\n"
              "data[8]: simple 10, pipelined 0, forwarding 10\n"
              "pipelined diverges after 4 ADD $2, $1, $1\n");
    EXPECT_EQ(hazard.err, "");
    EXPECT_NE(RunCli(dir, "compare hazard.def --format hex").out.find("$2: simple A, pipelined 0"),
              std::string::npos);

    // The instruction after a taken branch runs only in the pipeline.
    dir.Write("branch.def", kBranch);
    EXPECT_EQ(RunCli(dir, "compare branch.def").out,
              "steps: simple 42, pipelined 13, forwarding 13\n"
              "$1: simple 0, pipelined 1, forwarding 1\n"
              "pipelined diverges after 16 ADDI $1, $0, 1\n"
              "forwarding diverges after 16 ADDI $1, $0, 1\n");

    // Branches whose following slot holds a NOP change nothing, however
    // often they are taken; the pipelines finish the branch still in flight
    // when the PC runs past the end.
    dir.Write("loop.def", kLoop);
    Result loop = RunCli(dir, "compare loop.def");
    EXPECT_EQ(loop.status, 0);
    EXPECT_NE(loop.out.find("\nno differences\n"), std::string::npos) << loop.out;

    // With --steps the pipelines have simply done less: the values differ,
    // but nothing diverged.
    dir.Write("a.def", kArithmetic);
    EXPECT_EQ(RunCli(dir, "compare a.def --steps 2").out,
              "steps: simple 14, pipelined 2, forwarding 2\n"
              "$1: simple 7, pipelined 0, forwarding 0\n"
              "$2: simple -3, pipelined 0, forwarding 0\n");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.def", "branch.def", "hazard.def", "loop.def"}));
}

TEST(CliErrors, OneLineOnStandardErrorAndStatusTwoHelpAndFailedWrites) {
    TempDir dir;
    dir.Write("a.def", kArithmetic);
    const struct {
        const char* args;
        const char* err;
    } cases[] = {
        {"run missing.def", "tandrel-cli: missing.def: No such file or directory\n"},
        {"run a.def --bogus",
         "tandrel-cli: unknown option '--bogus' for run (see tandrel-cli run --help)\n"},
        {"run a.def --layout fast",
         "tandrel-cli: --layout must be simple, pipelined or forwarding, not 'fast'\n"},
        {"run a.def --steps -1",
         "tandrel-cli: --steps needs a whole number from 0 to 1000000000000, not '-1'\n"},
        {"run a.def b.def", "tandrel-cli: unexpected argument 'b.def'\n"},
        {"frobnicate a.def",
         "tandrel-cli: unknown command 'frobnicate' (see tandrel-cli --help)\n"},
        {"diagram a.def --layout simple",
         "tandrel-cli: diagram draws the pipelined layouts only: --layout pipelined or "
         "forwarding\n"},
    };
    for (const auto& c : cases) {
        Result result = RunCli(dir, c.args);
        EXPECT_EQ(result.status, 2) << c.args;
        EXPECT_EQ(result.err, c.err) << c.args;
        EXPECT_EQ(result.out, "") << c.args;
    }
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.def"});
    // Help and the version go to standard output; help wins over the
    // mistakes around it.
    EXPECT_EQ(RunCli(dir, "--version").out, "tandrel-cli " TANDREL_PROJECT_VERSION "\n");
    for (const char* command : {"check", "run", "diagram", "compare", "picture"}) {
        const Result help = RunCli(dir, std::string(command) + " --no-such-option --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: tandrel-cli ") + command + " FILE", 0), 0u)
            << help.out;
    }
    // A failed write to standard output is no success either.
    for (const char* args : {"run a.def", "check a.def", "--version"}) {
        const std::string command =
            "cd '" + dir.path + "' && '" TANDREL_CLI_PATH "' " + args + " >/dev/full 2>/dev/null";
        EXPECT_EQ(clitest::RunLimited(command), 2) << args;
    }
}

}  // namespace
}  // namespace tandrel
