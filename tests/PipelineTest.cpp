#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/Control.h"
#include "model/Pipeline.h"
#include "tests/ModelTestSupport.h"

namespace tandrel {
namespace {

using test::AnyBox;
using test::RunPass;
using test::RunPasses;
using test::SetConstant;

// Port shape of a pipeline register: 'i' input, 'o' output, 'c' control
// output, 'p' PC output, one letter per port.
struct RegisterShape {
    std::unique_ptr<Component> reg;
    std::string ports;
};

TEST(PipelineRegister, LatchesInTheFifthPassAndReloadsInTheSixth) {
    IFIDReg reg(L"IF/ID", AnyBox(), 1);
    const int countdown[] = {5, 4, 3, 2, 1, 6, 5, 4, 3, 2, 1, 6};
    const std::uint64_t word[] = {0, 0, 0, 0, 105, 105, 105, 105, 105, 105, 111, 111};
    for (int k = 1; k <= 12; ++k) {
        reg.SetPortValue(IFIDReg::kInstructionIn, 100 + k);
        reg.SetPortValue(IFIDReg::kPcIn, 200 + k);
        RunPass({&reg});
        EXPECT_EQ(reg.latchCountdown, countdown[k - 1]) << "pass " << k;
        EXPECT_EQ(reg.Out(IFIDReg::kInstructionOut).value, word[k - 1]) << "pass " << k;
        EXPECT_EQ(reg.Out(IFIDReg::kPcOut).value, word[k - 1] ? word[k - 1] + 100 : 0)
            << "pass " << k;
    }
}

TEST(PipelineRegister, ClockFlushesOutputsAtOnceUntilTheNextLatch) {
    IFIDReg reg(L"IF/ID", AnyBox(), 2);
    reg.SetPortValue(IFIDReg::kInstructionIn, 0x8D280004);
    reg.SetPortValue(IFIDReg::kPcIn, 8);
    RunPasses({&reg}, 7);
    ASSERT_EQ(reg.Out(IFIDReg::kInstructionOut).value, 0x8D280004u);
    reg.Clock();
    EXPECT_EQ(reg.Out(IFIDReg::kInstructionOut).value, 0u);
    EXPECT_EQ(reg.Out(IFIDReg::kPcOut).value, 0u);
    EXPECT_EQ(reg.In(IFIDReg::kInstructionIn).GetValue(), 0x8D280004u);
    RunPasses({&reg}, 3);  // passes 8 to 10
    EXPECT_EQ(reg.Out(IFIDReg::kInstructionOut).value, 0u);
    RunPass({&reg});  // pass 11: the next latch
    EXPECT_EQ(reg.Out(IFIDReg::kInstructionOut).value, 0x8D280004u);
    EXPECT_EQ(reg.Out(IFIDReg::kPcOut).value, 8u);

    IDEXReg idex(L"ID/EX", AnyBox(), 2);
    for (int p = 0; p < idex.PortCount(); ++p) idex.SetPortValue(p, 15);
    idex.Clock();
    for (int p = 0; p < idex.PortCount(); ++p)
        EXPECT_EQ(idex.Component::Port(p).value, idex.Component::Port(p).isOutput ? 0u : 15u) << p;
}

TEST(PipelineRegister, CopiesItsDataFields) {
    IDEXReg idex(L"ID/EX", AnyBox(), 2);
    EXMEMReg exmem(L"EX/MEM", AnyBox(), 2);
    MEMWBReg memwb(L"MEM/WB", AnyBox(), 2);
    for (Component* reg : std::vector<Component*>{&idex, &exmem, &memwb})
        for (int p = 0; p < reg->PortCount(); ++p)
            if (!reg->Port(p).isOutput) reg->SetPortValue(p, 1000 + p);
    RunPasses({&idex, &exmem, &memwb}, 5);
    const std::pair<int, int> idexCopies[] = {{0, 9},  {1, 10}, {2, 11}, {3, 12}, {4, 13},
                                              {5, 14}, {7, 18}, {8, 19}, {20, 21}};
    for (auto [in, out] : idexCopies) EXPECT_EQ(idex.Out(out).value, 1000u + in) << out;
    const std::pair<int, int> exmemCopies[] = {{0, 7}, {1, 8}, {2, 9}, {3, 10}, {4, 11}, {6, 15}};
    for (auto [in, out] : exmemCopies) EXPECT_EQ(exmem.Out(out).value, 1000u + in) << out;
    const std::pair<int, int> memwbCopies[] = {{0, 4}, {1, 5}, {2, 6}};
    for (auto [in, out] : memwbCopies) EXPECT_EQ(memwb.Out(out).value, 1000u + in) << out;
}

// The pipelined control unit's words travel one register per step and come
// out as the single-cycle signals of the instruction.
struct StageSignals {
    const char* instruction;
    std::uint64_t word;
    std::uint64_t aluSrc, aluOp, regDst, branch, memWrite, memRead, memToReg, regWrite;
};

TEST(PipelineRegister, ControlWordsUnpackToTheDecodedSignalsStageByStage) {
    const StageSignals cases[] = {
        {"LW $8, 4($9)", 0x8D280004, 1, 0, 0, 0, 0, 1, 1, 1},
        {"SW $8, -4($9)", 0xAD28FFFC, 1, 0, 0, 0, 1, 0, 0, 0},
        {"ADDI $1, $0, -1", 0x2001FFFF, 1, 0, 0, 0, 0, 0, 0, 1},
        {"BEQ $1, $2, 3", 0x10410003, 0, 1, 0, 1, 0, 0, 0, 0},
        {"ADD $3, $1, $2", 0x00221820, 0, 2, 1, 0, 0, 0, 0, 1},
        {"SLT $4, $5, $6", 0x00A6202A, 0, 2, 1, 0, 0, 0, 0, 1},
        {"NOP", 0, 0, 2, 1, 0, 0, 0, 0, 1},
    };
    for (const StageSignals& c : cases) {
        SCOPED_TRACE(c.instruction);
        MainControlPipelined control(L"Control", AnyBox(), 1);
        IDEXReg idex(L"ID/EX", AnyBox(), 1);
        EXMEMReg exmem(L"EX/MEM", AnyBox(), 1);
        MEMWBReg memwb(L"MEM/WB", AnyBox(), 1);
        control.SetPortBits(MainControlPipelined::kInput, 26, 6);
        SetConstant(control, MainControlPipelined::kInput, c.word);
        control.Connect(MainControlPipelined::kEX, idex, IDEXReg::kExIn);
        control.Connect(MainControlPipelined::kMEM, idex, IDEXReg::kMemIn);
        control.Connect(MainControlPipelined::kWB, idex, IDEXReg::kWbIn);
        idex.Connect(IDEXReg::kMemOut, exmem, EXMEMReg::kMemIn);
        idex.Connect(IDEXReg::kWbOut, exmem, EXMEMReg::kWbIn);
        exmem.Connect(EXMEMReg::kWbOut, memwb, MEMWBReg::kWbIn);
        const std::vector<Component*> list{&memwb, &exmem, &idex, &control};

        RunPasses(list, 5);
        EXPECT_EQ(idex.Out(IDEXReg::kALUSrc).value, c.aluSrc);
        EXPECT_EQ(idex.Out(IDEXReg::kALUOp).value, c.aluOp);
        EXPECT_EQ(idex.Out(IDEXReg::kRegDst).value, c.regDst);
        RunPasses(list, 5);
        EXPECT_EQ(exmem.Out(EXMEMReg::kMemRead).value, 0u);  // one register per step
        RunPass(list);
        EXPECT_EQ(exmem.Out(EXMEMReg::kBranch).value, c.branch);
        EXPECT_EQ(exmem.Out(EXMEMReg::kMemWrite).value, c.memWrite);
        EXPECT_EQ(exmem.Out(EXMEMReg::kMemRead).value, c.memRead);
        RunPasses(list, 5);
        EXPECT_EQ(memwb.Out(MEMWBReg::kRegWrite).value, 0u);
        RunPass(list);
        EXPECT_EQ(memwb.Out(MEMWBReg::kMemToReg).value, c.memToReg);
        EXPECT_EQ(memwb.Out(MEMWBReg::kRegWrite).value, c.regWrite);
    }
}

TEST(Forwarding, PrefersTheNewestWriterAndNeverForwardsRegisterZero) {
    struct Case {
        std::uint64_t rs, rt, exMem, memWb;
        bool exMemWrites, memWbWrites;
        std::uint64_t forwardA, forwardB;
    };
    const Case cases[] = {
        {0, 0, 0, 0, true, true, 0, 0},  // register 0 always comes from the register file
        {0, 0, 5, 5, true, true, 0, 0},
        {5, 6, 5, 7, true, true, 2, 0},
        {5, 6, 7, 5, true, true, 1, 0},
        {5, 6, 5, 5, true, true, 2, 0},  // EX/MEM wins over MEM/WB
        {5, 6, 6, 5, true, true, 1, 2},
        {3, 3, 3, 3, true, true, 2, 2},
        {5, 6, 9, 6, true, true, 0, 1},
        {7, 8, 1, 2, true, true, 0, 0},
        // A store or branch writes no register, so its destination field is no result.
        {5, 6, 5, 5, false, true, 1, 0},
        {5, 6, 6, 5, true, false, 0, 2},
        {5, 5, 5, 5, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        Forwarding unit(L"Forwarding\nunit", AnyBox());
        unit.SetPortValue(Forwarding::kReadReg1, c.rs);
        unit.SetPortValue(Forwarding::kReadReg2, c.rt);
        unit.SetPortValue(Forwarding::kExMemWriteReg, c.exMem);
        unit.SetPortValue(Forwarding::kMemWbWriteReg, c.memWb);
        unit.SetPortValue(Forwarding::kExMemRegWrite, c.exMemWrites);
        unit.SetPortValue(Forwarding::kMemWbRegWrite, c.memWbWrites);
        unit.Evaluate();
        const std::string where = testing::PrintToString(
            std::vector<std::uint64_t>{c.rs, c.rt, c.exMem, c.memWb, c.exMemWrites, c.memWbWrites});
        EXPECT_EQ(unit.Out(Forwarding::kForwardA).value, c.forwardA) << where;
        EXPECT_EQ(unit.Out(Forwarding::kForwardB).value, c.forwardB) << where;
    }
}

TEST(Forwarding, BecomesActiveOnceReadReg1IsReady) {
    Forwarding waiting(L"Forwarding\nunit", AnyBox());
    waiting.SetPortReady(Forwarding::kReadReg2, true);
    waiting.SetPortReady(Forwarding::kExMemWriteReg, true);
    waiting.SetPortReady(Forwarding::kMemWbWriteReg, true);
    RunPass({&waiting});
    EXPECT_FALSE(waiting.IsActive());

    Forwarding ready(L"Forwarding\nunit", AnyBox());
    ready.SetPortReady(Forwarding::kReadReg1, true);
    RunPass({&ready});
    EXPECT_TRUE(ready.IsActive());
}

}  // namespace
}  // namespace tandrel
