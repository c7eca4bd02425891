#include <gtest/gtest.h>

#include <algorithm>

#include "model/Combinational.h"
#include "sim/LayoutBuilder.h"

namespace tandrel {
namespace {

struct Expected {
    Layout layout;
    size_t elements;
};

class EveryLayout : public ::testing::TestWithParam<Expected> {};

TEST_P(EveryLayout, BuildsWithItsRolesAndOnlyThePcActive) {
    const BuiltLayout built = BuildLayout(GetParam().layout);
    ASSERT_EQ(built.elements.size(), GetParam().elements);
    ASSERT_NE(built.pc, nullptr);
    EXPECT_EQ(built.elements.front().get(), built.pc);  // the PC leads every pass
    EXPECT_NE(built.instructionMemory, nullptr);
    EXPECT_NE(built.registers, nullptr);
    EXPECT_NE(built.dataMemory, nullptr);
    ASSERT_NE(built.branchGate, nullptr);
    EXPECT_EQ(built.branchGate->kind, ElementKind::AndGate);
    const bool pipelined = GetParam().layout != Layout::Simple;
    EXPECT_EQ(built.ifid != nullptr, pipelined);
    EXPECT_EQ(built.memwb != nullptr, pipelined);
    // Junctions show their driver's activity, so only true elements count.
    for (const auto& element : built.elements) {
        if (!element->IsNode()) {
            EXPECT_EQ(element->IsActive(), element.get() == built.pc) << element->componentId;
        }
    }
}

TEST_P(EveryLayout, EveryConnectedInputHasAnOutputSourceThatListsIt) {
    const BuiltLayout built = BuildLayout(GetParam().layout);
    int wires = 0;
    for (const auto& element : built.elements) {
        for (const auto& link : element->ports) {
            if (link->isOutput || !link->IsConnected()) continue;
            const auto& input = static_cast<const InputLink&>(*link);
            ASSERT_NE(input.source, nullptr);
            EXPECT_TRUE(input.source->isOutput);
            const auto& targets = input.source->targets;
            EXPECT_EQ(std::count(targets.begin(), targets.end(), &input), 1);
            ++wires;
        }
    }
    EXPECT_GT(wires, 40);
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryLayout,
                         ::testing::Values(Expected{Layout::Simple, 27},
                                           Expected{Layout::Pipelined, 30},
                                           Expected{Layout::Forwarding, 40}));

TEST(LayoutBuilder, UnknownLayoutBuildsNothing) {
    EXPECT_TRUE(BuildLayout(static_cast<Layout>(7)).elements.empty());
}

TEST(LayoutBuilder, PortSettingsReachTheElements) {
    const BuiltLayout built = BuildLayout(Layout::Simple);
    // E5 is the PC + 4 adder: constant 4 on Input2 and operation code 2.
    const Component& adder = *built.elements[4];
    EXPECT_EQ(adder.In(ALU::kInput2).value, 4u);
    EXPECT_TRUE(adder.In(ALU::kInput2).IsReady());
    EXPECT_EQ(adder.In(ALU::kControl).value, 2u);
    // E7 sign-extends the low 16 bits of the instruction.
    const InputLink& immediate = built.elements[6]->In(SignExtend::kInput);
    EXPECT_EQ(immediate.lowBit, 0);
    EXPECT_EQ(immediate.bitCount, 16);
}

TEST(LayoutBuilder, ForwardingUnitSeesBothRegWriteSignals) {
    const BuiltLayout built = BuildLayout(Layout::Forwarding);
    const Component* unit = nullptr;
    for (const auto& element : built.elements)
        if (element->kind == ElementKind::Forwarding) unit = element.get();
    ASSERT_NE(unit, nullptr);
    const InputLink& exMem = unit->In(Forwarding::kExMemRegWrite);
    ASSERT_TRUE(exMem.connected);
    EXPECT_EQ(exMem.source->owner, built.exmem);
    EXPECT_EQ(exMem.source->port, EXMEMReg::kWbOut);
    EXPECT_EQ(exMem.lowBit, 1);  // the RegWrite bit of the WB word
    EXPECT_EQ(exMem.bitCount, 1);
    const InputLink& memWb = unit->In(Forwarding::kMemWbRegWrite);
    ASSERT_TRUE(memWb.connected);
    EXPECT_EQ(memWb.source->owner, built.memwb);
    EXPECT_EQ(memWb.source->port, MEMWBReg::kRegWrite);
    EXPECT_TRUE(exMem.controlLine && memWb.controlLine);
}

// A tiny datapath table to break in different ways.
LayoutTable SmallTable() {
    return LayoutTable{
        {
            {ElementClass::PC, L"PC", false, 0, 0, 5, 8, 0, Role::Pc},
            {ElementClass::InstructionMemory, L"IM", false, 10, 0, 25, 25, 0,
             Role::InstructionMemory},
            {ElementClass::Registers, L"R", false, 40, 0, 25, 25, 0, Role::Registers},
            {ElementClass::DataMemory, L"D", false, 70, 0, 25, 25, 0, Role::DataMemory},
            {ElementClass::AndGate, L"", false, 90, 0, 8, 5, 0, Role::BranchGate},
        },
        {},
        {},
        {{1, PC::kOutput, 2, InstructionMemory::kAddress, {}}},
    };
}

TEST(LayoutBuilder, RejectsTablesThatCannotBeWired) {
    EXPECT_NO_THROW(BuildLayout(SmallTable(), Layout::Simple));

    auto broken = [](auto change) {
        LayoutTable table = SmallTable();
        change(table);
        return table;
    };
    const std::vector<LayoutTable> bad{
        broken([](LayoutTable& t) {
            t.wires.push_back({1, PC::kInput, 2, 0, {}});
        }),
        broken([](LayoutTable& t) {
            t.wires.push_back({1, PC::kOutput, 3, Registers::kReadData1, {}});
        }),
        broken([](LayoutTable& t) {
            t.wires.push_back({1, PC::kOutput, 2, InstructionMemory::kAddress, {}});
        }),
        broken([](LayoutTable& t) {
            t.wires.push_back({9, 0, 2, 0, {}});
        }),
        broken([](LayoutTable& t) {
            t.wires.push_back({1, 7, 3, 1, {}});
        }),
        broken([](LayoutTable& t) {
            t.uses.push_back({2, 12, {1}});
        }),
        broken([](LayoutTable& t) {
            t.settings.push_back({1, PC::kOutput, Setting::Bits, 0, 4});
        }),
        broken([](LayoutTable& t) { t.elements[4].role = Role::None; }),
        broken([](LayoutTable& t) { t.elements[3].role = Role::Registers; }),
        broken([](LayoutTable& t) { t.elements[4].role = Role::Pc; }),
    };
    LayoutTable loop = SmallTable();
    loop.elements.push_back({ElementClass::Node, L"", false, 1, 1, 2, 2, 0, Role::None});
    loop.elements.push_back({ElementClass::Node, L"", false, 2, 2, 2, 2, 0, Role::None});
    loop.wires.push_back({6, Node::kOutRight, 7, Node::kInLeft, {}});
    loop.wires.push_back({7, Node::kOutRight, 6, Node::kInLeft, {}});
    EXPECT_THROW(BuildLayout(loop, Layout::Simple), LayoutError);
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_THROW(BuildLayout(bad[i], Layout::Simple), LayoutError) << "bad table " << i;
    // A pipelined layout without its pipeline registers is no pipeline.
    EXPECT_THROW(BuildLayout(SmallTable(), Layout::Pipelined), LayoutError);
}

}  // namespace
}  // namespace tandrel
