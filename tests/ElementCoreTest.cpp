#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Combinational.h"
#include "model/Component.h"
#include "model/Pipeline.h"
#include "tests/ModelTestSupport.h"

namespace tandrel {
namespace {

using test::AnyBox;
using test::RunPass;
using test::RunPasses;
using test::SetConstant;

// A bare element with hand-made ports, for the rules every element shares.
Component MakeBare(const wchar_t* name = L"Bare") {
    return Component(name, ElementKind::ALU, false, false, AnyBox(), 0.0, 0.0);
}

PortSpec MakePort(Side side, const wchar_t* name, double relY) {
    PortSpec port;
    port.side = side;
    port.name = name;
    port.relX = side == Side::Right ? 1.0 : 0.0;
    port.relY = relY;
    return port;
}

struct BitRangeCase {
    int lowBit, bitCount;
    std::uint64_t stored, expected;
};

TEST(ElementCore, InputReadsOnlyItsBitRange) {
    const BitRangeCase cases[] = {
        {21, 5, 0x03E00000, 31},           // rs field all ones
        {21, 5, 0x8D280004, 9},            // rs of LW $8, 4($9)
        {16, 5, 0x8D280004, 8},            // rt of the same word
        {26, 6, 0x8D280004, 35},           // opcode
        {11, 5, 0x00221820, 3},            // rd of ADD $3, $1, $2
        {0, 16, 0xFFFF8000, 0x8000},       // immediate
        {0, 32, 0xF12345678, 0x12345678},  // only the low 32 bits
        {0, 32, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const BitRangeCase& c : cases) {
        Component bare = MakeBare();
        bare.AddInput(0, MakePort(Side::Left, L"In", 0.5));
        bare.SetPortBits(0, c.lowBit, c.bitCount);
        bare.SetPortValue(0, c.stored);
        EXPECT_EQ(bare.Port(0).GetValue(), c.expected)
            << "bits " << c.lowBit << "/" << c.bitCount << " of " << c.stored;
    }
}

TEST(ElementCore, PulledValueKeepsAllBitsAndIsCutOnRead) {
    Component source = MakeBare(L"Source");
    source.AddOutput(0, MakePort(Side::Right, L"Out", 0.5));
    Component sink = MakeBare(L"Sink");
    sink.AddInput(0, MakePort(Side::Left, L"In", 0.5));
    sink.SetPortBits(0, 21, 5);
    source.Connect(0, sink, 0);
    source.Out(0).value = 0xAD28FFFC;  // SW $8, -4($9)
    sink.In(0).Pull();
    EXPECT_EQ(sink.In(0).value, 0xAD28FFFCu);
    EXPECT_EQ(sink.In(0).GetValue(), 9u);
    // A bit range on an output changes nothing.
    source.SetPortBits(0, 21, 5);
    EXPECT_EQ(source.Out(0).GetValue(), 0xAD28FFFCu);
}

TEST(ElementCore, PortOperationsIgnoreMissingPorts) {
    ShiftLeft2 shifter(L"Shift", AnyBox(), false);
    ASSERT_EQ(shifter.PortCount(), 2);
    shifter.SetPortValue(2, 7);
    shifter.SetPortReady(2, true);
    shifter.SetPortBits(2, 3, 4);
    EXPECT_EQ(shifter.PortByIndex(2), nullptr);
    EXPECT_EQ(shifter.PortByIndex(1), &shifter.Component::Port(1));
    EXPECT_EQ(shifter.Component::Port(0).value, 0u);
    EXPECT_FALSE(shifter.Component::Port(0).defaultReady);
}

TEST(ElementCore, ConnectJoinsOnlyAnOutputToAnInput) {
    ShiftLeft2 a(L"A", AnyBox(), false);
    ShiftLeft2 b(L"B", AnyBox(), false);
    ShiftLeft2 c(L"C", AnyBox(), false);
    a.Connect(ShiftLeft2::kInput, b, ShiftLeft2::kInput);    // input to input
    a.Connect(ShiftLeft2::kOutput, b, ShiftLeft2::kOutput);  // output to output
    EXPECT_FALSE(b.In(ShiftLeft2::kInput).IsConnected());
    EXPECT_FALSE(a.Out(ShiftLeft2::kOutput).IsConnected());

    a.Connect(ShiftLeft2::kOutput, c, ShiftLeft2::kInput);
    a.Connect(ShiftLeft2::kOutput, b, ShiftLeft2::kInput);
    const OutputLink& out = a.Out(ShiftLeft2::kOutput);
    ASSERT_EQ(out.targets.size(), 2u);
    EXPECT_EQ(out.targets[0], &c.In(ShiftLeft2::kInput));
    EXPECT_EQ(out.targets[1], &b.In(ShiftLeft2::kInput));
    EXPECT_EQ(b.In(ShiftLeft2::kInput).source, &out);
    EXPECT_TRUE(b.In(ShiftLeft2::kInput).IsConnected());
}

TEST(ElementCore, ComponentIdsCountUpPerElement) {
    ShiftLeft2 a(L"A", AnyBox(), false);
    Node n(L"", 1.0, 1.0);
    ShiftLeft2 b(L"B", AnyBox(), false);
    EXPECT_EQ(n.componentId, a.componentId + 1);
    EXPECT_EQ(b.componentId, a.componentId + 2);
}

TEST(ElementCore, UsedByGroupCodesAlwaysMarkTheirGroup) {
    ShiftLeft2 e(L"E", AnyBox(), false);
    Link& link = e.Component::Port(0);
    for (int kind = 1; kind <= 10; ++kind) EXPECT_FALSE(link.IsUsedBy(kind)) << kind;

    e.SetUsedBy(0, use::kRegisterFormat, false);
    for (int kind = 1; kind <= 10; ++kind)
        EXPECT_EQ(link.IsUsedBy(kind), kind >= 5 && kind <= 9) << kind;

    e.SetUsedBy(0, 10, true);
    e.SetUsedBy(0, use::kAllButNop, false);
    for (int kind = 1; kind <= 10; ++kind) EXPECT_TRUE(link.IsUsedBy(kind)) << kind;

    e.SetUsedBy(0, 3, false);
    EXPECT_FALSE(link.IsUsedBy(3));
    EXPECT_TRUE(link.IsUsedBy(4));

    // An unknown kind reads false and is remembered as false.
    EXPECT_FALSE(link.IsUsedBy(0));
    EXPECT_EQ(link.usedBy.count(0), 1u);
}

TEST(ElementCore, PortPositionTruncatesLikeTheDrawing) {
    ALU alu(L"ALU", Box{10.7, 20.9, 9.8, 15.5}, false);
    EXPECT_EQ(alu.Width(), 9);
    EXPECT_EQ(alu.Height(), 15);
    // Zero at (1.0, 0.4): 9 + 10 = 19, 6.0 + 20 = 26.
    EXPECT_EQ(alu.Component::Port(ALU::kZero).PortX(), 19);
    EXPECT_EQ(alu.Component::Port(ALU::kZero).PortY(), 26);
    // Control at (0.5, 0.167): 4.5 + 10 -> 14, 2.505 + 20 -> 22.
    EXPECT_EQ(alu.Component::Port(ALU::kControl).PortX(), 14);
    EXPECT_EQ(alu.Component::Port(ALU::kControl).PortY(), 22);

    Node n(L"", 5.9, 7.2);
    EXPECT_EQ(n.Width(), 0);
    EXPECT_EQ(n.Component::Port(Node::kOutRight).PortX(), 5);
    EXPECT_EQ(n.Component::Port(Node::kOutTop).PortY(), 7);
}

// src -> node -> node -> first -> second: each element becomes active, and
// sees its source's value, exactly one pass after its source did.
TEST(ElementCore, ValuesAndActivityAdvanceOneElementPerPass) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "consumers listed first" : "producers listed first");
        ShiftLeft2 src(L"Src", AnyBox(), false);
        Node n1(L"", 1, 1);
        Node n2(L"", 2, 2);
        ShiftLeft2 first(L"First", AnyBox(), false);
        ShiftLeft2 second(L"Second", AnyBox(), false);
        SetConstant(src, ShiftLeft2::kInput, 3);
        src.Connect(ShiftLeft2::kOutput, n1, Node::kInLeft);
        n1.Connect(Node::kOutRight, n2, Node::kInLeft);
        n2.Connect(Node::kOutRight, first, ShiftLeft2::kInput);
        first.Connect(ShiftLeft2::kOutput, second, ShiftLeft2::kInput);
        std::vector<Component*> list{&src, &n1, &n2, &first, &second};
        if (reversed) std::reverse(list.begin(), list.end());

        RunPass(list);
        EXPECT_TRUE(src.IsActive());
        EXPECT_FLOAT_EQ(src.brightness, 1.0f);  // it became active after pulling
        EXPECT_TRUE(n2.IsActive());
        EXPECT_EQ(first.In(ShiftLeft2::kInput).GetValue(), 12u);
        EXPECT_FALSE(first.IsActive());
        EXPECT_EQ(first.Out(ShiftLeft2::kOutput).value, 0u);

        RunPass(list);
        EXPECT_FLOAT_EQ(src.brightness, 0.7f);  // active elements dim when they pull
        EXPECT_FLOAT_EQ(n2.brightness, 0.7f);
        EXPECT_TRUE(first.IsActive());
        EXPECT_EQ(first.Out(ShiftLeft2::kOutput).value, 48u);
        EXPECT_EQ(second.In(ShiftLeft2::kInput).GetValue(), 48u);
        EXPECT_FALSE(second.IsActive());
        EXPECT_EQ(second.Out(ShiftLeft2::kOutput).value, 0u);

        RunPass(list);
        EXPECT_TRUE(second.IsActive());
        EXPECT_EQ(second.Out(ShiftLeft2::kOutput).value, 192u);
    }
}

TEST(ElementCore, InputWithoutSourceOrDefaultReadinessNeverActivates) {
    ShiftLeft2 e(L"E", AnyBox(), false);
    e.SetPortValue(ShiftLeft2::kInput, 1);
    RunPasses({&e}, 10);
    EXPECT_FALSE(e.InputsReady());
    EXPECT_FALSE(e.IsActive());
    EXPECT_EQ(e.Out(ShiftLeft2::kOutput).value, 4u);  // it still computes
}

TEST(ElementCore, NodeChainShowsTheHeadElementsLineClass) {
    AndGate gate(L"Gate", AnyBox(), true);
    ALU adder(L"Adder", AnyBox(), false);
    Node a(L"", 1, 1), b(L"", 2, 2), c(L"", 3, 3);
    gate.Connect(AndGate::kOutput, a, Node::kInTop);
    a.Connect(Node::kOutBottom, b, Node::kInRight);
    adder.Connect(ALU::kResult, c, Node::kInLeft);
    EXPECT_TRUE(b.IsControl());
    EXPECT_TRUE(b.IsPcPath());
    EXPECT_FALSE(c.IsControl());
    EXPECT_FALSE(c.IsPcPath());

    gate.Out(AndGate::kOutput).value = 1;
    EXPECT_EQ(b.Out(Node::kOutLeft).GetValue(), 1u);
    EXPECT_FALSE(b.IsActive());
    gate.SetActive(true);
    gate.LatchActive();
    EXPECT_TRUE(b.IsActive());
    EXPECT_TRUE(b.Out(Node::kOutTop).IsReady());
}

TEST(ElementCore, NodeFollowsItsLowestConnectedInput) {
    ShiftLeft2 high(L"High", AnyBox(), true);
    ShiftLeft2 low(L"Low", AnyBox(), false);
    Node n(L"", 1, 1);
    high.Connect(ShiftLeft2::kOutput, n, Node::kInRight);  // port 3, connected first
    low.Connect(ShiftLeft2::kOutput, n, Node::kInTop);     // port 1
    high.Out(ShiftLeft2::kOutput).value = 30;
    low.Out(ShiftLeft2::kOutput).value = 10;
    high.SetActive(true);
    high.LatchActive();
    EXPECT_EQ(n.NodeValue(), 10u);
    EXPECT_FALSE(n.IsActive());
    EXPECT_FALSE(n.IsPcPath());
}

TEST(ElementCore, NodeWithoutADriverIsZeroInactiveAndPlain) {
    Node n(L"", 1, 1);
    EXPECT_EQ(n.Out(Node::kOutRight).GetValue(), 0u);
    EXPECT_FALSE(n.IsActive());
    EXPECT_FALSE(n.IsControl());
    EXPECT_FALSE(n.IsPcPath());
    // A junction wired back to itself counts as active.
    n.Connect(Node::kOutLeft, n, Node::kInLeft);
    EXPECT_TRUE(n.IsActive());
}

// ALU whose box has its middle at x = 10 + 9 / 2 = 14.
class DescribeTest : public testing::Test {
  protected:
    DescribeTest() : alu(L"ALU", Box{10.7, 20.9, 9.8, 15.5}, false) {
        alu.SetPortValue(ALU::kInput1, 5);
        alu.SetPortValue(ALU::kInput2, 0xFFFFFFFF);
        alu.SetPortValue(ALU::kControl, 2);
        alu.Out(ALU::kResult).value = 0x1F;
        alu.Out(ALU::kZero).value = 1;
    }
    ALU alu;
};

TEST_F(DescribeTest, SideListsValuesTopmostFirst) {
    EXPECT_EQ(alu.DescribeSide(13.99, NumberFormat::Decimal), L"Inputs\n5\n-1\n2");
    EXPECT_EQ(alu.DescribeSide(14.0, NumberFormat::Hexadecimal), L"Outputs\n1F\n1");
    EXPECT_EQ(alu.DescribeSide(40.0, NumberFormat::Binary), L"Outputs\n11111\n1");
}

TEST_F(DescribeTest, SideShowsTheHigherNumberedOfTwoPortsAtOneHeight) {
    alu.Component::Port(ALU::kInput2).relY = alu.Component::Port(ALU::kInput1).relY;
    EXPECT_EQ(alu.DescribeSide(0.0, NumberFormat::Decimal), L"Inputs\n-1\n2");
}

TEST_F(DescribeTest, PortsListsEveryPortByName) {
    EXPECT_EQ(alu.DescribePorts(NumberFormat::Decimal),
              L"Input1: 5\nInput2: -1\nControl: 2\nResult: 31\nZero: 1");
}

TEST(Describe, SixteenBitPortsShowTheirOwnSign) {
    SignExtend ext(L"Sign\nextend", Box{0, 0, 10, 10});
    ext.SetPortValue(SignExtend::kInput, 0xFFFC);
    ext.Out(SignExtend::kOutput).value = 0x8000;
    EXPECT_EQ(ext.DescribeSide(0.0, NumberFormat::Decimal), L"Inputs\n-4");
    EXPECT_EQ(ext.DescribeSide(9.0, NumberFormat::Decimal), L"Outputs\n32768");
    EXPECT_EQ(ext.DescribePorts(NumberFormat::Hexadecimal), L"16: -4\n32: 8000");
}

TEST(Describe, UnnamedPortsShowTheirNumber) {
    IFIDReg reg(L"IF/ID", AnyBox(), 1);
    for (int p = 0; p < 4; ++p) reg.SetPortValue(p, 10 + p);
    EXPECT_EQ(reg.DescribePorts(NumberFormat::Decimal), L"0: 10\n1: 11\n2: 12\n3: 13");
    IFIDReg named(L"IF/ID", AnyBox(), 2);
    EXPECT_EQ(named.DescribePorts(NumberFormat::Decimal), L"Instruction: 0\nPC: 0\n2: 0\n3: 0");
}

TEST(Describe, OutputLinesAlwaysStartWithALineEnd) {
    Component outFirst = MakeBare();
    outFirst.AddOutput(0, MakePort(Side::Right, L"A", 0.5));
    outFirst.AddInput(1, MakePort(Side::Left, L"B", 0.5));
    outFirst.Out(0).value = 1;
    outFirst.SetPortValue(1, 2);
    EXPECT_EQ(outFirst.DescribePorts(NumberFormat::Decimal), L"\nB: 2\nA: 1");

    Component outOnly = MakeBare();
    outOnly.AddOutput(0, MakePort(Side::Right, L"A", 0.5));
    EXPECT_EQ(outOnly.DescribePorts(NumberFormat::Decimal), L"\nA: 0");
    EXPECT_EQ(outOnly.DescribeSide(0.0, NumberFormat::Decimal), L"Inputs");
    EXPECT_EQ(outOnly.DescribeSide(100.0, NumberFormat::Decimal), L"Outputs\n0");
}

}  // namespace
}  // namespace tandrel
