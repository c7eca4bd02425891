#include <gtest/gtest.h>

#include <cstdint>

#include "model/Combinational.h"
#include "tests/ModelTestSupport.h"

namespace tandrel {
namespace {

using test::AnyBox;
using test::RunPass;
using test::SetConstant;

TEST(Mux, NonZeroControlSelectsInput2) {
    for (std::uint64_t control : {0u, 1u, 5u}) {
        Mux mux(L"Mux", AnyBox(), false);
        mux.SetPortValue(Mux::kInput1, 11);
        mux.SetPortValue(Mux::kInput2, 22);
        mux.SetPortValue(Mux::kControl, control);
        mux.Evaluate();
        EXPECT_EQ(mux.Out(Mux::kOutput).value, control ? 22u : 11u) << control;
    }
}

// Only Input1 is refreshed inside the mux's own evaluation, so a source listed
// before the mux reaches the Output through Input1 in the same pass.
TEST(Mux, RefreshesInput1WithinItsOwnEvaluation) {
    struct Case {
        bool sourceFirst;
        std::uint64_t control, afterPass1, afterPass2;
    };
    for (const Case& c : {Case{true, 0, 12, 12}, Case{false, 0, 0, 12}, Case{true, 1, 0, 12}}) {
        SCOPED_TRACE(testing::Message()
                     << "source first " << c.sourceFirst << " control " << c.control);
        ShiftLeft2 src(L"Src", AnyBox(), false);
        Mux mux(L"Mux", AnyBox(), false);
        SetConstant(src, ShiftLeft2::kInput, 3);
        SetConstant(mux, Mux::kControl, c.control);
        const int port = c.control ? Mux::kInput2 : Mux::kInput1;
        src.Connect(ShiftLeft2::kOutput, mux, port);
        mux.SetPortReady(c.control ? Mux::kInput1 : Mux::kInput2, true);
        const std::vector<Component*> list = c.sourceFirst ? std::vector<Component*>{&src, &mux}
                                                           : std::vector<Component*>{&mux, &src};
        RunPass(list);
        EXPECT_EQ(mux.Out(Mux::kOutput).value, c.afterPass1);
        EXPECT_FALSE(mux.IsActive());
        RunPass(list);
        EXPECT_EQ(mux.Out(Mux::kOutput).value, c.afterPass2);
        EXPECT_TRUE(mux.IsActive());
    }
}

TEST(Mux3, SelectsByControlAndNeedsOnlyInput1AndControl) {
    for (std::uint64_t control : {0u, 1u, 2u}) {
        Mux3 mux(L"Mux3", AnyBox());
        SetConstant(mux, Mux3::kInput1, 100);
        mux.SetPortValue(Mux3::kInput2, 200);
        mux.SetPortValue(Mux3::kInput3, 300);
        SetConstant(mux, Mux3::kControl, control);
        RunPass({&mux});
        EXPECT_EQ(mux.Out(Mux3::kOutput).value, 100 * (control + 1)) << control;
        EXPECT_TRUE(mux.IsActive()) << control;
    }
    Mux3 waiting(L"Mux3", AnyBox());
    SetConstant(waiting, Mux3::kInput2, 1);
    SetConstant(waiting, Mux3::kInput3, 1);
    SetConstant(waiting, Mux3::kControl, 0);
    RunPass({&waiting});
    EXPECT_FALSE(waiting.IsActive());
}

struct AluCase {
    std::uint64_t a, b, control, result, zero;
};

TEST(ALU, ComputesEachOperationAndZero) {
    const AluCase cases[] = {
        {0b1100, 0b1010, alu::kAnd, 0b1000, 0},
        {0b1100, 0b0011, alu::kAnd, 0, 1},
        {0b1100, 0b1010, alu::kOr, 0b1110, 0},
        {0, 0, alu::kOr, 0, 1},
        {7, 5, alu::kAdd, 12, 0},
        {0xFFFFFFFF, 1, alu::kAdd, 0, 1},  // wraps to 0
        {0x80000000, 0x80000000, alu::kAdd, 0, 1},
        {7, 5, alu::kSub, 2, 0},
        {5, 5, alu::kSub, 0, 1},
        {1, 2, alu::kSub, 0xFFFFFFFF, 0},  // 32-bit pattern of -1
        {0, 1, alu::kSlt, 1, 0},
        {0xFFFFFFFF, 1, alu::kSlt, 1, 0},  // -1 < 1
        {1, 0xFFFFFFFF, alu::kSlt, 0, 1},
        {0x80000000, 0x7FFFFFFF, alu::kSlt, 1, 0},  // most negative < most positive
        {0xFFFFFFFE, 0xFFFFFFFF, alu::kSlt, 1, 0},  // -2 < -1
        {9, 9, alu::kSlt, 0, 1},
    };
    for (const AluCase& c : cases) {
        ALU unit(L"ALU", AnyBox(), false);
        unit.SetPortValue(ALU::kInput1, c.a);
        unit.SetPortValue(ALU::kInput2, c.b);
        unit.SetPortValue(ALU::kControl, c.control);
        unit.Evaluate();
        EXPECT_EQ(unit.Out(ALU::kResult).value, c.result)
            << c.a << " op " << c.control << " " << c.b;
        EXPECT_EQ(unit.Out(ALU::kZero).value, c.zero) << c.a << " op " << c.control << " " << c.b;
    }
}

TEST(ALU, UnknownControlKeepsResultAndRecomputesZero) {
    for (std::uint64_t control : {3u, 4u, 5u, 8u}) {
        ALU unit(L"ALU", AnyBox(), false);
        unit.SetPortValue(ALU::kInput1, 0);
        unit.SetPortValue(ALU::kInput2, 0);
        unit.SetPortValue(ALU::kControl, control);
        unit.Out(ALU::kZero).value = 0;
        unit.Evaluate();
        EXPECT_EQ(unit.Out(ALU::kResult).value, 0u);
        EXPECT_EQ(unit.Out(ALU::kZero).value, 1u) << control;

        unit.SetPortValue(ALU::kInput1, 40);
        unit.SetPortValue(ALU::kInput2, 2);
        unit.SetPortValue(ALU::kControl, alu::kAdd);
        unit.Evaluate();
        unit.SetPortValue(ALU::kInput1, 5);
        unit.SetPortValue(ALU::kControl, control);
        unit.Evaluate();
        EXPECT_EQ(unit.Out(ALU::kResult).value, 42u) << control;
        EXPECT_EQ(unit.Out(ALU::kZero).value, 0u) << control;
    }
}

TEST(AndGate, AndsTheFullValues) {
    AndGate gate(L"And", AnyBox(), true);
    SetConstant(gate, AndGate::kInput1, 0b110);
    SetConstant(gate, AndGate::kInput2, 0b011);
    RunPass({&gate});
    EXPECT_EQ(gate.Out(AndGate::kOutput).value, 0b010u);
    EXPECT_TRUE(gate.IsActive());
}

TEST(SignExtendAndShift, ProduceThirtyTwoBitPatterns) {
    struct Case {
        std::uint64_t in, extended, shifted;
    };
    for (const Case& c :
         {Case{0x8000, 0xFFFF8000, 0x20000}, Case{0x7FFF, 0x7FFF, 0x1FFFC},
          Case{0xFFFC, 0xFFFFFFFC, 0x3FFF0}, Case{0x40000001, 0x40000001, 0x00000004}}) {
        SignExtend ext(L"Sign\nextend", AnyBox());
        ShiftLeft2 shift(L"Shift", AnyBox(), false);
        ext.SetPortValue(SignExtend::kInput, c.in);
        shift.SetPortValue(ShiftLeft2::kInput, c.in);
        ext.Evaluate();
        shift.Evaluate();
        EXPECT_EQ(ext.Out(SignExtend::kOutput).value, c.extended) << c.in;
        EXPECT_EQ(shift.Out(ShiftLeft2::kOutput).value, c.shifted) << c.in;
    }
    // With the layouts' 16-bit range only the immediate field is extended.
    SignExtend ext(L"Sign\nextend", AnyBox());
    ext.SetPortBits(SignExtend::kInput, 0, 16);
    ext.SetPortValue(SignExtend::kInput, 0xAD28FFFC);
    ext.Evaluate();
    EXPECT_EQ(ext.Out(SignExtend::kOutput).value, 0xFFFFFFFCu);
}

}  // namespace
}  // namespace tandrel
