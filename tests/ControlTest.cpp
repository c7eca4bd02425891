#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "model/Control.h"
#include "tests/ModelTestSupport.h"

namespace tandrel {
namespace {

using test::AnyBox;
using test::RunPasses;
using test::SetConstant;

// One instruction word per instruction, with the signals and packed words the
// decode table gives its opcode and the ALU code its ALUOp and function give.
struct DecodeCase {
    const char* instruction;
    std::uint64_t word;
    int regDst, branch, memToReg, memRead, aluOp, memWrite, aluSrc, regWrite;
    std::uint64_t wb, mem, ex;
    std::uint64_t aluCode;
};

const DecodeCase kDecodeCases[] = {
    {"LW $8, 4($9)", 0x8D280004, 0, 0, 1, 1, 0, 0, 1, 1, 3, 4, 1, 2},
    {"SW $8, -4($9)", 0xAD28FFFC, 0, 0, 0, 0, 0, 1, 1, 0, 0, 2, 1, 2},
    {"ADDI $1, $0, -1", 0x2001FFFF, 0, 0, 0, 0, 0, 0, 1, 1, 2, 0, 1, 2},
    {"BEQ $1, $2, 3", 0x10410003, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 2, 6},
    {"ADD $3, $1, $2", 0x00221820, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 2},
    {"SUB $3, $1, $2", 0x00221822, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 6},
    {"SLT $4, $5, $6", 0x00A6202A, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 7},
    {"AND $3, $1, $2", 0x00221824, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 0},
    {"OR $31, $31, $31", 0x03FFF825, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 1},
    {"NOP", 0x00000000, 1, 0, 0, 0, 2, 0, 0, 1, 2, 0, 12, 0},
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.instruction;
}

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, MainControlDrivesOneOutputPerSignal) {
    const DecodeCase& c = GetParam();
    MainControl main(L"Control", AnyBox(), 0);
    main.SetPortValue(MainControl::kInput, c.word);
    main.Evaluate();
    EXPECT_EQ(main.Out(MainControl::kRegDst).value, std::uint64_t(c.regDst));
    EXPECT_EQ(main.Out(MainControl::kBranch).value, std::uint64_t(c.branch));
    EXPECT_EQ(main.Out(MainControl::kMemToReg).value, std::uint64_t(c.memToReg));
    EXPECT_EQ(main.Out(MainControl::kMemRead).value, std::uint64_t(c.memRead));
    EXPECT_EQ(main.Out(MainControl::kALUOp).value, std::uint64_t(c.aluOp));
    EXPECT_EQ(main.Out(MainControl::kMemWrite).value, std::uint64_t(c.memWrite));
    EXPECT_EQ(main.Out(MainControl::kALUSrc).value, std::uint64_t(c.aluSrc));
    EXPECT_EQ(main.Out(MainControl::kRegWrite).value, std::uint64_t(c.regWrite));
}

TEST_P(DecodeTest, PipelinedControlPacksTheSignals) {
    const DecodeCase& c = GetParam();
    MainControlPipelined main(L"Control", AnyBox(), 1);
    main.SetPortBits(MainControlPipelined::kInput, 26, 6);  // as the pipelined layouts wire it
    main.SetPortValue(MainControlPipelined::kInput, c.word);
    main.Evaluate();
    EXPECT_EQ(main.Out(MainControlPipelined::kWB).value, c.wb);
    EXPECT_EQ(main.Out(MainControlPipelined::kMEM).value, c.mem);
    EXPECT_EQ(main.Out(MainControlPipelined::kEX).value, c.ex);
}

TEST_P(DecodeTest, ALUControlCombinesALUOpAndFunction) {
    const DecodeCase& c = GetParam();
    ALUControl unit(L"ALU\ncontrol", AnyBox());
    unit.SetPortBits(ALUControl::kFunction, 0, 6);  // the function field, as the layouts wire it
    unit.SetPortValue(ALUControl::kALUOp, std::uint64_t(c.aluOp));
    unit.SetPortValue(ALUControl::kFunction, c.word);
    unit.Evaluate();
    EXPECT_EQ(unit.Out(ALUControl::kOutput).value, c.aluCode);
}

INSTANTIATE_TEST_SUITE_P(EveryInstruction, DecodeTest, testing::ValuesIn(kDecodeCases));

TEST(ALUControl, MapsALUOpAndFunctionCodes) {
    struct Case {
        std::uint64_t aluOp, function, code;
    };
    const Case cases[] = {
        {0, 42, 2}, {0, 0, 2},  {1, 32, 6}, {1, 37, 6}, {2, 32, 2}, {2, 34, 6},
        {2, 36, 0}, {2, 37, 1}, {2, 42, 7}, {2, 0, 0},  {2, 33, 0}, {2, 0x00221822, 0},
    };
    for (const Case& c : cases) {
        ALUControl unit(L"ALU\ncontrol", AnyBox());
        unit.Out(ALUControl::kOutput).value = 99;
        unit.SetPortValue(ALUControl::kALUOp, c.aluOp);
        unit.SetPortValue(ALUControl::kFunction, c.function);
        testing::internal::CaptureStdout();
        unit.Evaluate();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(unit.Out(ALUControl::kOutput).value, c.code)
            << "ALUOp " << c.aluOp << " function " << c.function;
    }
}

TEST(ALUControl, UnknownALUOpIsReportedWithTheUnitsIdAndGivesZero) {
    for (std::uint64_t aluOp : {3u, 7u}) {
        ALUControl unit(L"ALU\ncontrol", AnyBox());
        SetConstant(unit, ALUControl::kALUOp, 1);
        SetConstant(unit, ALUControl::kFunction, 32);
        unit.Evaluate();
        ASSERT_EQ(unit.Out(ALUControl::kOutput).value, 6u);

        unit.SetPortValue(ALUControl::kALUOp, aluOp);
        const std::string line =
            "Invalid Input: ComponentID: " + std::to_string(unit.componentId) + "\n";
        testing::internal::CaptureStdout();
        RunPasses({&unit}, 2);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), line + line);
        EXPECT_EQ(unit.Out(ALUControl::kOutput).value, 0u);
        EXPECT_TRUE(unit.IsActive());  // it carries on with its readiness step
    }
    EXPECT_STREQ(InvalidInputException().what(), "Invalid Input: ComponentID: ");
}

}  // namespace
}  // namespace tandrel
