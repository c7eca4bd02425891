// Hand-written programs with results worked out by hand, run on every
// datapath and on the reference interpreter.
//
// The pipelined datapaths have neither hazard detection nor (on Pipelined)
// forwarding, so the programs are written the way a course writes them for
// such a pipeline: a register is read no sooner than three instructions after
// the instruction that writes it, and every BEQ is followed by a NOP, because
// the instruction after a taken branch still runs there (see GoldenPipelineTiming
// below). The single-cycle datapath runs the same text; the padding changes
// nothing there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

#include "tests/DatapathRunner.h"
#include "tests/ReferenceInterpreter.h"

namespace tandrel {
namespace {

using test::DataValue;
using test::LayoutName;
using test::LoadProgram;
using test::RegisterValue;
using test::RunToEnd;

constexpr Layout kLayouts[] = {Layout::Simple, Layout::Pipelined, Layout::Forwarding};
constexpr int kMaxSteps = 20000;

std::uint32_t Word(std::int64_t value) {
    return static_cast<std::uint32_t>(value);
}

struct Golden {
    const char* name;
    const wchar_t* text;
    std::uint64_t end;  // byte address after the last instruction
    std::map<std::uint64_t, std::uint32_t> data;
    // Every register and data word not listed must be 0 at the end.
    std::map<int, std::uint32_t> registers;
    std::map<std::uint64_t, std::uint32_t> finalData;
};

const Golden kGolden[] = {
    {"array sum",
     // Sums the five words at data addresses 0, 4, ..., 16 into $3.
     L"ADDI $1, $0, 0\n"   //  0 pointer
     L"ADDI $2, $0, 20\n"  //  4 end of the array
     L"ADD $3, $0, $0\n"   //  8 sum
     L"NOP\n"              // 12
     L"BEQ $1, $2, 7\n"    // 16 loop: done when pointer = end, to 48
     L"NOP\n"              // 20
     L"LW $4, 0($1)\n"     // 24
     L"ADDI $1, $1, 4\n"   // 28
     L"NOP\n"              // 32
     L"ADD $3, $3, $4\n"   // 36
     L"BEQ $0, $0, -7\n"   // 40 back to 16
     L"NOP\n"              // 44
     L"SW $3, 100($0)\n",  // 48 done
     52,
     {{0, 5}, {4, Word(-3)}, {8, 10}, {12, 7}, {16, 1000}},
     {{1, 20}, {2, 20}, {3, 1019}, {4, 1000}},
     {{0, 5}, {4, Word(-3)}, {8, 10}, {12, 7}, {16, 1000}, {100, 1019}}},

    {"maximum",
     // The largest of the five signed words at 0, 4, ..., 16 into $3.
     L"ADDI $2, $0, 20\n"  //  0 end
     L"ADDI $1, $0, 4\n"   //  4 pointer to the second word
     L"LW $3, 0($0)\n"     //  8 max = first word
     L"NOP\n"              // 12
     L"BEQ $1, $2, 12\n"   // 16 loop: to 68 when done
     L"NOP\n"              // 20
     L"LW $4, 0($1)\n"     // 24 x
     L"ADDI $1, $1, 4\n"   // 28
     L"NOP\n"              // 32
     L"SLT $5, $3, $4\n"   // 36 max < x ?
     L"NOP\n"              // 40
     L"NOP\n"              // 44
     L"BEQ $5, $0, 2\n"    // 48 no: skip to 60
     L"NOP\n"              // 52
     L"ADD $3, $4, $0\n"   // 56 max = x
     L"BEQ $0, $0, -12\n"  // 60 back to 16
     L"NOP\n"              // 64
     L"SW $3, 200($0)\n",  // 68 done
     72,
     {{0, 3}, {4, Word(-7)}, {8, 12}, {12, 5}, {16, Word(-20)}},
     {{1, 20}, {2, 20}, {3, 12}, {4, Word(-20)}, {5, 0}},
     {{0, 3}, {4, Word(-7)}, {8, 12}, {12, 5}, {16, Word(-20)}, {200, 12}}},

    {"counting loop",
     // Ten rounds, adding 3 each round; the counter counts down to 0.
     L"ADDI $1, $0, 10\n"  //  0 counter
     L"ADD $2, $0, $0\n"   //  4 total
     L"NOP\n"              //  8
     L"BEQ $1, $0, 5\n"    // 12 loop: to 36 when the counter is 0
     L"NOP\n"              // 16
     L"ADDI $1, $1, -1\n"  // 20
     L"ADDI $2, $2, 3\n"   // 24
     L"BEQ $0, $0, -5\n"   // 28 back to 12
     L"NOP\n"              // 32
     L"SW $2, 8($0)\n"     // 36 done
     L"SW $1, 12($0)\n",   // 40 overwrites the 99 with 0
     44,
     {{12, 99}},
     {{1, 0}, {2, 30}},
     {{8, 30}, {12, 0}}},

    {"store then load",
     L"ADDI $2, $0, -123\n"  //  0
     L"ADDI $1, $0, 40\n"    //  4 base address
     L"NOP\n"                //  8
     L"NOP\n"                // 12
     L"SW $2, -8($1)\n"      // 16 key 40 - 8 = 32
     L"LW $3, 32($0)\n"      // 20 read back at once: memory needs no spacing
     L"SW $1, 5($0)\n"       // 24 key 5: no byte lanes, key 4 is untouched
     L"LW $4, 4($0)\n"       // 28
     L"LW $5, 5($0)\n"       // 32
     L"SW $0, 36($0)\n"      // 36 overwrites the 55 with 0
     L"SW $1, 32($0)\n"      // 40 overwrites key 32
     L"LW $6, 32($0)\n"      // 44
     L"SW $2, 0($1)\n"       // 48 key 40; a store writes no register, so
     L"ADD $7, $2, $2\n",    // 52 this must read $2, not the store's address
     56,
     {{4, 777}, {32, 11}, {36, 55}},
     {{1, 40}, {2, Word(-123)}, {3, Word(-123)}, {4, 777}, {5, 40}, {6, 40}, {7, Word(-246)}},
     {{4, 777}, {5, 40}, {32, 40}, {36, 0}, {40, Word(-123)}}},

    {"negative numbers and SLT",
     L"ADDI $1, $0, -5\n"       //  0
     L"ADDI $2, $0, 3\n"        //  4
     L"LW $3, 0($0)\n"          //  8 -1
     L"ADDI $4, $0, 40000\n"    // 12 the field 0x9C40 is -25536
     L"ADDI $0, $0, 7\n"        // 16 $0 stays 0
     L"SLT $5, $1, $2\n"        // 20 -5 < 3
     L"SLT $6, $2, $1\n"        // 24 3 < -5
     L"SUB $7, $1, $2\n"        // 28 -8
     L"SLT $8, $3, $0\n"        // 32 -1 < 0
     L"SLT $9, $4, $1\n"        // 36 -25536 < -5
     L"AND $10, $1, $2\n"       // 40 0xFFFFFFFB & 3
     L"OR $11, $1, $2\n"        // 44 0xFFFFFFFB | 3
     L"LW $12, 4($0)\n"         // 48 0x80000000, the most negative word
     L"ADDI $13, $0, -32768\n"  // 52 the most negative immediate
     L"NOP\n"                   // 56
     L"SUB $14, $12, $2\n"      // 60 wraps to 0x7FFFFFFD
     L"SLT $15, $12, $13\n"     // 64 -2^31 < -32768
     L"ADD $16, $3, $3\n"       // 68 -2
     L"SW $7, 8($0)\n"          // 72 -8 is kept as 4294967288
     L"SLT $17, $0, $0\n"       // 76 0 < 0
     L"SLT $18, $13, $4\n",     // 80 -32768 < -25536
     84,
     {{0, 4294967295u}, {4, 2147483648u}},
     {{1, Word(-5)},
      {2, 3},
      {3, 0xFFFFFFFFu},
      {4, Word(-25536)},
      {5, 1},
      {6, 0},
      {7, Word(-8)},
      {8, 1},
      {9, 1},
      {10, 3},
      {11, 0xFFFFFFFBu},
      {12, 0x80000000u},
      {13, Word(-32768)},
      {14, 0x7FFFFFFDu},
      {15, 1},
      {16, 0xFFFFFFFEu},
      {17, 0},
      {18, 1}},
     {{0, 4294967295u}, {4, 2147483648u}, {8, 4294967288u}}},
};

template <typename Key>
std::uint32_t Expected(const std::map<Key, std::uint32_t>& values, Key key) {
    const auto found = values.find(key);
    return found == values.end() ? 0 : found->second;
}

TEST(GoldenProgramTest, EveryLayoutGivesTheHandComputedResults) {
    Simulator sim;
    for (const Golden& program : kGolden) {
        for (Layout layout : kLayouts) {
            SCOPED_TRACE(std::string(program.name) + " on " + LayoutName(layout));
            ASSERT_TRUE(LoadProgram(sim, layout, program.text, program.data));
            ASSERT_TRUE(RunToEnd(sim, program.end, kMaxSteps));
            for (int n = 0; n < 32; ++n)
                EXPECT_EQ(RegisterValue(sim, n), Expected(program.registers, n)) << "$" << n;
            for (const auto& [address, word] : program.finalData)
                EXPECT_EQ(DataValue(sim, address), word) << "data " << address;
            for (const auto& [address, word] : sim.GetDataMemory()->storage)
                EXPECT_EQ(word, Expected(program.finalData, address)) << "data " << address;
        }
    }
}

TEST(GoldenProgramTest, ReferenceInterpreterGivesTheHandComputedResults) {
    Simulator sim;  // only its parser is used, for the words
    for (const Golden& program : kGolden) {
        SCOPED_TRACE(program.name);
        ASSERT_TRUE(LoadProgram(sim, Layout::Simple, program.text, program.data));
        reference::ReferenceInterpreter ref;
        for (std::uint64_t address = 0; address < program.end; address += 4)
            ref.SetInstruction(address,
                               static_cast<std::uint32_t>(sim.GetParser().GetInstruction(address)));
        for (const auto& [address, word] : program.data) ref.SetData(address, word);
        ref.Run(program.end, 10000);
        ASSERT_EQ(ref.Pc(), program.end);
        for (int n = 0; n < 32; ++n)
            EXPECT_EQ(ref.Register(n), Expected(program.registers, n)) << "$" << n;
        for (const auto& [address, word] : program.finalData)
            EXPECT_EQ(ref.Data(address), word) << "data " << address;
        for (const auto& [address, word] : ref.DataWords())
            EXPECT_EQ(word, Expected(program.finalData, address)) << "data " << address;
    }
}

std::wstring Nops(int count) {
    std::wstring text;
    for (int i = 0; i < count; ++i) text += L"NOP\n";
    return text;
}

// Runs a program and gives one register's final value.
std::uint64_t RunAndRead(Simulator& sim, Layout layout, const std::wstring& text,
                         const std::map<std::uint64_t, std::uint32_t>& data, int n) {
    EXPECT_TRUE(LoadProgram(sim, layout, text, data));
    const std::uint64_t end =
        4 * static_cast<std::uint64_t>(std::count(text.begin(), text.end(), L'\n'));
    EXPECT_TRUE(RunToEnd(sim, end, kMaxSteps));
    return RegisterValue(sim, n);
}

// Pipelined reads registers in ID and writes them in WB with nothing in
// between, so a consumer sees a new value only from the third instruction
// after its producer on (two instructions in between); nearer, it reads the
// value from before. Forwarding needs no spacing for ALU results.
TEST(GoldenPipelineTiming, ProducerToConsumerDistance) {
    Simulator sim;
    for (int between = 0; between <= 3; ++between) {
        SCOPED_TRACE(std::to_string(between) + " instructions in between");
        // $1 is 7 well before the ADDI under test makes it 5.
        const std::wstring text = L"ADDI $1, $0, 7\n" + Nops(3) + L"ADDI $1, $0, 5\n" +
                                  Nops(between) + L"ADD $2, $1, $1\n";
        EXPECT_EQ(RunAndRead(sim, Layout::Simple, text, {}, 2), 10u);
        EXPECT_EQ(RunAndRead(sim, Layout::Pipelined, text, {}, 2), between >= 2 ? 10u : 14u);
        EXPECT_EQ(RunAndRead(sim, Layout::Forwarding, text, {}, 2), 10u);
    }
}

// A loaded word reaches the register file after MEM, too late for the very
// next instruction's EX: on Forwarding one instruction must stand between a
// load and a user of its register (there is no hazard detection to stall),
// on Pipelined two, as for every producer.
TEST(GoldenPipelineTiming, LoadUseDistance) {
    Simulator sim;
    const std::map<std::uint64_t, std::uint32_t> data = {{8, 7}};
    for (int between = 1; between <= 3; ++between) {
        SCOPED_TRACE(std::to_string(between) + " instructions in between");
        const std::wstring text = L"LW $1, 8($0)\n" + Nops(between) + L"ADD $2, $1, $1\n";
        EXPECT_EQ(RunAndRead(sim, Layout::Simple, text, data, 2), 14u);
        EXPECT_EQ(RunAndRead(sim, Layout::Forwarding, text, data, 2), 14u);
        EXPECT_EQ(RunAndRead(sim, Layout::Pipelined, text, data, 2), between >= 2 ? 14u : 0u);
    }
}

// BEQ is decided in MEM and only the IF/ID register is flushed: on the
// pipelined layouts the one instruction after a taken BEQ still runs (a
// branch delay slot), the next two are squashed, and the target follows.
// The single-cycle datapath runs nothing between a taken BEQ and its target.
TEST(GoldenPipelineTiming, TakenBranchRunsExactlyOneInstructionAfterIt) {
    const std::wstring prefix = L"ADDI $5, $0, 1\n" + Nops(2);  // $5 is ready at 12
    const std::wstring body =
        L"ADDI $1, $0, 1\n"   // 16 the delay slot
        L"ADDI $2, $0, 2\n"   // 20
        L"ADDI $3, $0, 3\n"   // 24
        L"ADDI $4, $0, 4\n";  // 28 the target of the taken branch
    Simulator sim;
    for (Layout layout : kLayouts) {
        SCOPED_TRACE(LayoutName(layout));
        const bool pipelined = layout != Layout::Simple;
        const std::wstring taken = prefix + L"BEQ $5, $5, 3\n" + body;
        EXPECT_EQ(RunAndRead(sim, layout, taken, {}, 1), pipelined ? 1u : 0u);
        EXPECT_EQ(RegisterValue(sim, 2), 0u);
        EXPECT_EQ(RegisterValue(sim, 3), 0u);
        EXPECT_EQ(RegisterValue(sim, 4), 4u);

        const std::wstring notTaken = prefix + L"BEQ $5, $0, 3\n" + body;
        EXPECT_EQ(RunAndRead(sim, layout, notTaken, {}, 1), 1u);
        EXPECT_EQ(RegisterValue(sim, 2), 2u);
        EXPECT_EQ(RegisterValue(sim, 3), 3u);
        EXPECT_EQ(RegisterValue(sim, 4), 4u);
    }
}

}  // namespace
}  // namespace tandrel
