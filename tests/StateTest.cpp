#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/Combinational.h"
#include "model/State.h"
#include "tests/ModelTestSupport.h"

namespace tandrel {
namespace {

using test::AnyBox;
using test::RunPass;
using test::RunPasses;
using test::SetConstant;

// Feeds the PC input 100 + k before pass k; expected[k - 1] is its Output
// after pass k.
void ExpectPcOutputs(int layout, const std::vector<std::uint64_t>& expected) {
    PC pc(L"PC", AnyBox(), layout);
    for (std::size_t k = 1; k <= expected.size(); ++k) {
        pc.SetPortValue(PC::kInput, 100 + k);
        RunPass({&pc});
        EXPECT_EQ(pc.Out(PC::kOutput).value, expected[k - 1])
            << "layout " << layout << " pass " << k;
    }
}

TEST(PC, SingleCycleLatchesAndDrivesEverySeventhPass) {
    ExpectPcOutputs(0, {0, 0, 0, 0, 0, 0, 107, 107, 107, 107, 107, 107, 107, 114, 114});
}

TEST(PC, PipelinedLatchesInTheFourthPassAndDrivesInTheFifth) {
    for (int layout : {1, 2})
        ExpectPcOutputs(layout, {0, 0, 0, 0, 104, 104, 104, 104, 104, 104, 110, 110});
}

TEST(PC, ActivityIsLeftToTheSimulator) {
    PC pc(L"PC", AnyBox(), 0);
    SetConstant(pc, PC::kInput, 40);
    RunPasses({&pc}, 7);
    EXPECT_EQ(pc.Out(PC::kOutput).value, 40u);
    EXPECT_FALSE(pc.IsActive());  // a ready input, yet no readiness step of its own
}

// Asserts RegWrite on Write Reg 5 with Write Data 100 + k in pass k.
void ExpectRegisterFive(int layout, const std::vector<std::uint64_t>& expected) {
    Registers regs(L"Registers", AnyBox(), layout);
    regs.SetPortValue(Registers::kRegWrite, 1);
    regs.SetPortValue(Registers::kWriteReg, 5);
    for (std::size_t k = 1; k <= expected.size(); ++k) {
        regs.SetPortValue(Registers::kWriteData, 100 + k);
        RunPass({&regs});
        EXPECT_EQ(regs.Read(5), expected[k - 1]) << "layout " << layout << " pass " << k;
    }
}

TEST(Registers, PipelinedWritingStartsInTheThirdPassWithRegWriteUntilThePhaseWraps) {
    ExpectRegisterFive(1, {0, 0, 103, 104, 105, 106, 106, 106, 109, 110});
    ExpectRegisterFive(2, {0, 0, 103, 104, 105, 106, 106, 106, 109, 110});
}

// ADDI $1, $1, 1 in a loop: Read Data 1 -> adder -> Write Data. Each
// seven-pass single-cycle instruction must add exactly once, so a write may not
// feed its own result back within the cycle.
TEST(Registers, SingleCycleInstructionReadingItsDestinationAddsOncePerCycle) {
    Registers regs(L"Registers", AnyBox(), 0);
    ALU adder(L"Add", AnyBox(), false);
    regs.SetPortValue(Registers::kReadReg1, 0x20210001);
    regs.SetPortValue(Registers::kReadReg2, 0x20210001);
    regs.SetPortValue(Registers::kRegWrite, 1);
    regs.SetPortValue(Registers::kWriteReg, 1);
    adder.SetPortValue(ALU::kInput2, 1);
    adder.SetPortValue(ALU::kControl, alu::kAdd);
    regs.Connect(Registers::kReadData1, adder, ALU::kInput1);
    adder.Connect(ALU::kResult, regs, Registers::kWriteData);
    for (std::uint64_t cycle = 1; cycle <= 3; ++cycle) {
        RunPasses({&regs, &adder}, 7);
        EXPECT_EQ(regs.Read(1), cycle);
    }
}

TEST(Registers, PipelinedPhaseAdvancesOnlyWithRegWriteButGatesTheWrite) {
    Registers regs(L"Registers", AnyBox(), 1);
    regs.SetPortValue(Registers::kWriteReg, 5);
    const std::uint64_t regWrite[] = {1, 0, 1, 0, 1};
    const std::uint64_t expected[] = {0, 0, 0, 104, 105};
    for (int k = 1; k <= 5; ++k) {
        regs.SetPortValue(Registers::kRegWrite, regWrite[k - 1]);
        regs.SetPortValue(Registers::kWriteData, 100 + k);
        RunPass({&regs});
        EXPECT_EQ(regs.Read(5), expected[k - 1]) << "pass " << k;
    }
}

TEST(Registers, ReadsTheFieldsBeforeTheWriteOfTheSamePass) {
    Registers regs(L"Registers", AnyBox(), 1);
    regs.storage[1] = 11;
    regs.storage[2] = 22;
    regs.SetPortValue(Registers::kReadReg1, 0x00221820);  // ADD $3, $1, $2
    regs.SetPortValue(Registers::kReadReg2, 0x00221820);
    regs.SetPortValue(Registers::kRegWrite, 1);
    regs.SetPortValue(Registers::kWriteReg, 1);
    regs.SetPortValue(Registers::kWriteData, 77);
    RunPasses({&regs}, 2);
    EXPECT_EQ(regs.Out(Registers::kReadData1).value, 11u);
    EXPECT_EQ(regs.Out(Registers::kReadData2).value, 22u);
    RunPass({&regs});  // the first write
    EXPECT_EQ(regs.Read(1), 77u);
    EXPECT_EQ(regs.Out(Registers::kReadData1).value, 11u);
    RunPass({&regs});
    EXPECT_EQ(regs.Out(Registers::kReadData1).value, 77u);
}

TEST(Registers, RegisterZeroIsNeverWritten) {
    Registers regs(L"Registers", AnyBox(), 1);
    regs.SetPortValue(Registers::kRegWrite, 1);
    regs.SetPortValue(Registers::kWriteReg, 0);
    regs.SetPortValue(Registers::kWriteData, 77);
    RunPasses({&regs}, 6);
    EXPECT_EQ(regs.Read(0), 0u);
    EXPECT_EQ(regs.Out(Registers::kReadData1).value, 0u);
}

TEST(Registers, ActivityNeedsTheReadRegistersButReadinessAlsoTheWriteControls) {
    Registers regs(L"Registers", AnyBox(), 0);
    regs.SetPortReady(Registers::kReadReg1, true);
    regs.SetPortReady(Registers::kReadReg2, true);
    RunPass({&regs});
    EXPECT_TRUE(regs.IsActive());
    EXPECT_FALSE(regs.InputsReady());
    regs.SetPortReady(Registers::kRegWrite, true);
    EXPECT_FALSE(regs.InputsReady());
    regs.SetPortReady(Registers::kWriteReg, true);
    EXPECT_TRUE(regs.InputsReady());  // Write Data is not waited for
}

struct WindowCase {
    int layout;
    int writeFromPass;  // MemWrite is asserted from this pass on
    std::vector<std::uint64_t> expected;
};

TEST(DataMemory, WritesOnlyInItsPhaseWindow) {
    const WindowCase cases[] = {
        {0, 1, {0, 0, 0, 0, 105, 106, 106, 106, 106, 106, 106, 112, 113, 113}},
        {1, 1, {0, 102, 103, 104, 105, 105, 105, 108, 109}},
        {2, 4, {0, 0, 0, 104, 105, 105, 105, 108}},  // the phase counts without MemWrite
    };
    for (const WindowCase& c : cases) {
        DataMemory mem(L"Data\nmemory", AnyBox(), c.layout);
        mem.SetPortValue(DataMemory::kAddress, 8);
        for (std::size_t k = 1; k <= c.expected.size(); ++k) {
            mem.SetPortValue(DataMemory::kMemWrite, int(k) >= c.writeFromPass ? 1 : 0);
            mem.SetPortValue(DataMemory::kWriteData, 100 + k);
            RunPass({&mem});
            EXPECT_EQ(mem.Read(8), c.expected[k - 1]) << "layout " << c.layout << " pass " << k;
        }
    }
}

TEST(DataMemory, ReadsTheValueWrittenInTheSamePass) {
    DataMemory mem(L"Data\nmemory", AnyBox(), 1);
    mem.storage[12] = 3;
    mem.SetPortValue(DataMemory::kMemWrite, 1);
    mem.SetPortValue(DataMemory::kMemRead, 1);
    mem.SetPortValue(DataMemory::kAddress, 12);
    mem.SetPortValue(DataMemory::kWriteData, 55);
    RunPass({&mem});  // phase 1: no write yet
    EXPECT_EQ(mem.Out(DataMemory::kReadData).value, 3u);
    RunPass({&mem});
    EXPECT_EQ(mem.Out(DataMemory::kReadData).value, 55u);
    EXPECT_EQ(mem.Read(13), 0u);  // no byte lanes: only the exact key holds the word
}

TEST(DataMemory, WithoutMemReadKeepsItsReadData) {
    DataMemory mem(L"Data\nmemory", AnyBox(), 0);
    mem.storage[4] = 9;
    mem.SetPortValue(DataMemory::kAddress, 4);
    mem.SetPortValue(DataMemory::kMemRead, 1);
    RunPass({&mem});
    ASSERT_EQ(mem.Out(DataMemory::kReadData).value, 9u);
    mem.storage[4] = 10;
    mem.SetPortValue(DataMemory::kMemRead, 0);
    mem.SetPortValue(DataMemory::kAddress, 0);
    RunPasses({&mem}, 3);
    EXPECT_EQ(mem.Out(DataMemory::kReadData).value, 9u);
}

TEST(InstructionMemory, FetchesTheWordAtTheAddress) {
    InstructionMemory im(L"Instruction\nmemory", AnyBox());
    im.storage[8] = 0x8D280004;
    SetConstant(im, InstructionMemory::kAddress, 8);
    RunPass({&im});
    EXPECT_EQ(im.Out(InstructionMemory::kInstruction).value, 0x8D280004u);
    EXPECT_EQ(im.lastAddress, 8u);
    EXPECT_TRUE(im.IsActive());

    im.SetPortValue(InstructionMemory::kAddress, 12);
    RunPass({&im});
    EXPECT_EQ(im.Out(InstructionMemory::kInstruction).value, 0u);
    EXPECT_EQ(im.lastAddress, 12u);
    ASSERT_EQ(im.storage.count(12), 1u);  // a read location exists from then on
    EXPECT_EQ(im.storage.at(12), 0u);
}

}  // namespace
}  // namespace tandrel
