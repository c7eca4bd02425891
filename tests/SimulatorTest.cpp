#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "model/Combinational.h"
#include "model/State.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace {

// A simulator on a layout with a parsed program, reset as the Parse button does.
std::unique_ptr<Simulator> Loaded(Layout layout, const std::wstring& program) {
    auto sim = std::make_unique<Simulator>();
    sim->SelectLayout(layout);
    EXPECT_TRUE(sim->ParseProgram(program));
    sim->Reset();
    sim->LoadInitialData();
    return sim;
}

// A row's colour is that of the stage its instruction is in: on Simple the
// row at the PC, on the pipelines from fetch to write-back.
TEST(Stepping, InstructionRowColourFollowsTheInstruction) {
    auto simple = Loaded(Layout::Simple, L"nop\nnop\n");
    EXPECT_EQ(simple->InstructionRowColour(4), Simulator::kWhiteRow);
    for (int i = 0; i < 7; ++i) simple->Step();  // one whole instruction
    EXPECT_EQ(simple->InstructionRowColour(4), 0);
    EXPECT_EQ(simple->InstructionRowColour(0), Simulator::kWhiteRow);
    auto sim = Loaded(Layout::Forwarding, L"nop\nnop\nnop\nnop\nnop\nnop\n");
    for (int stage = 0; stage < Simulator::kStages; ++stage, sim->Step())
        EXPECT_EQ(sim->InstructionRowColour(0), sim->StageColourIndex(stage)) << stage;
}

TEST(PipelinedStepping, TheDrawingFollowsOneWholeJourneyAfterAnotherOrTheChosenOne) {
    std::wstring nops;
    for (int i = 0; i < 12; ++i) nops += L"nop\n";
    auto sim = Loaded(Layout::Pipelined, nops);
    // Without branches the fetch of step n is at 4n. Unchosen: 0 from IF to
    // WB, then the one fetched as it leaves.
    const int automatic[][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {20, 0}, {20, 1}};
    for (const auto& [address, stage] : automatic) {
        EXPECT_EQ(sim->FollowedAddress(), static_cast<std::uint64_t>(address));
        EXPECT_EQ(sim->FollowedStage(), stage) << "address " << address;
        sim->Step();
    }
    // Step 7: 28 in IF ... 12 in WB. A choice is followed until it leaves.
    EXPECT_FALSE(sim->ChooseInstruction(400));  // not in flight
    ASSERT_TRUE(sim->ChooseInstruction(16));
    EXPECT_EQ(sim->FollowedStage(), 3);
    sim->Step();
    EXPECT_EQ(sim->FollowedStage(), 4);
    sim->Step();
    EXPECT_FALSE(sim->FollowingChosen());
    EXPECT_EQ(sim->FollowedAddress(), 20u);  // it has gone: automatic again
    EXPECT_EQ(sim->FollowedStage(), 4);
    // Choosing the chosen one again goes back to following automatically.
    ASSERT_TRUE(sim->ChooseInstruction(32));
    EXPECT_EQ(sim->FollowedAddress(), 32u);
    EXPECT_TRUE(sim->ChooseInstruction(32));
    EXPECT_EQ(sim->FollowedAddress(), 20u);
    // Past the program's end: the youngest instruction still in flight.
    auto tail = Loaded(Layout::Pipelined, L"nop\nnop\nnop\n");
    for (int i = 0; i < 5; ++i) tail->Step();
    EXPECT_EQ(tail->FollowedAddress(), 8u);
    EXPECT_EQ(tail->FollowedStage(), 3);
    // A reset follows the instruction at the PC.
    ASSERT_TRUE(sim->ChooseInstruction(32));
    sim->Reset();
    EXPECT_EQ(sim->FollowedAddress(), 0u);
    EXPECT_EQ(sim->FollowedStage(), 0);
    EXPECT_FALSE(sim->FollowingChosen());
}

TEST(InstructionFields, ShowsTheFieldsOfEachFormat) {
    auto sim = Loaded(Layout::Simple, L"add $3, $1, $2\naddi $1, $0, -1\nnop\nsw $8, -4($9)\n");
    EXPECT_EQ(sim->InstructionFields(0, NumberFormat::Decimal), L"0, 1, 2, 3, 32");
    EXPECT_EQ(sim->InstructionFields(4, NumberFormat::Decimal), L"8, 0, 1, -1");
    EXPECT_EQ(sim->InstructionFields(8, NumberFormat::Decimal), L"0");
    EXPECT_EQ(sim->InstructionFields(12, NumberFormat::Hexadecimal), L"2B, 9, 8, -4");
    auto fields = Loaded(Layout::Simple, L"sub $10, $17, $2\n");
    EXPECT_EQ(fields->InstructionFields(0, NumberFormat::Hexadecimal), L"0, 11, 2, A, 22");
    EXPECT_EQ(fields->InstructionFields(0, NumberFormat::Binary), L"0, 10001, 10, 1010, 100010");
    EXPECT_EQ(sim->InstructionFields(400, NumberFormat::Decimal), L"0");  // no instruction
}

TEST(Picking, ElementAtAndPortAtUseStrictBoxes) {
    Simulator sim;
    sim.SelectLayout(Layout::Simple);
    const Component* pc = sim.Datapath().pc;  // at (6, 67), 5 x 8
    EXPECT_EQ(sim.ElementAt(8, 70), pc);
    EXPECT_EQ(sim.ElementAt(6, 70), nullptr);  // on the edge
    EXPECT_EQ(sim.ElementAt(11, 70), nullptr);
    EXPECT_EQ(sim.ElementAt(17, 72), nullptr);  // a junction is never picked

    // The PC's output sits at (11, 71); its hit box reaches 4 to the right
    // (the port's pop-up shows its edges).
    EXPECT_EQ(sim.PortAt(13, 71.5), &pc->Port(PC::kOutput));
    EXPECT_EQ(sim.PortAt(13, 73), nullptr);
}

// Elements the two pipelines share (same kind and name, in creation order)
// carry the same instructions on each output: forwarding adds wires, it
// changes no use.
TEST(UseTables, PipelinedAndForwardingAgreeOnTheElementsTheyShare) {
    std::map<std::wstring, std::vector<const Component*>> byName[2];
    Simulator sims[2];
    for (int i = 0; i < 2; ++i) {
        sims[i].SelectLayout(i == 0 ? Layout::Pipelined : Layout::Forwarding);
        for (const auto& e : sims[i].Elements())
            if (!e->IsNode())
                byName[i][std::to_wstring(static_cast<int>(e->kind)) + e->name].push_back(e.get());
    }
    int compared = 0;
    for (const auto& [key, pipelined] : byName[0]) {
        const auto& forwarding = byName[1][key];
        ASSERT_EQ(pipelined.size(), forwarding.size()) << std::string(key.begin(), key.end());
        for (std::size_t n = 0; n < pipelined.size(); ++n) {
            for (int port = 0; port < pipelined[n]->PortCount(); ++port) {
                Link& a = pipelined[n]->Port(port);
                Link& b = forwarding[n]->Port(port);
                if (!a.isOutput) continue;
                for (int kind = 0; kind < 11; ++kind, ++compared)
                    EXPECT_EQ(a.IsUsedBy(kind), b.IsUsedBy(kind))
                        << std::string(key.begin(), key.end()) << " port " << port << " kind " << kind;
            }
        }
    }
    EXPECT_GT(compared, 500);
}

// Whatever selects a multiplexer's input or the ALU's operation is a control
// line, so hiding the control lines hides it.
TEST(ControlLines, EverySelectorInputIsFedByAControlLine) {
    for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding}) {
        Simulator sim;
        sim.SelectLayout(layout);
        int selectors = 0;
        for (const auto& e : sim.Elements()) {
            const int select = e->kind == ElementKind::Mux    ? Mux::kControl
                               : e->kind == ElementKind::Mux3 ? Mux3::kControl
                               : e->kind == ElementKind::ALU  ? ALU::kControl
                                                              : -1;
            if (select < 0 || e->In(select).source == nullptr) continue;
            ++selectors;
            const OutputLink& driver = *e->In(select).source;
            EXPECT_TRUE(driver.controlLine || driver.owner->IsControl())
                << std::string(e->name.begin(), e->name.end()) << " on layout "
                << static_cast<int>(layout);
        }
        EXPECT_GE(selectors, 4);
    }
}

// An element that lit up in an earlier pass is drawn darker; switching it
// off, not on, brings back full brightness.
TEST(Brightness, ResetWhenAnElementIsSwitchedOff) {
    Component e(L"e", ElementKind::ALU, false, false, Box{0, 0, 1, 1}, 0, 0);
    e.brightness = 0.7f;
    e.SetActive(true);
    EXPECT_FLOAT_EQ(e.brightness, 0.7f);
    e.SetActive(false);
    EXPECT_FLOAT_EQ(e.brightness, 1.0f);
}

// The register file is ready only when RegWrite, both read numbers and the
// write number are (Write Data is not waited for); it is active, and reads,
// as soon as the two read numbers are.
TEST(Elements, TheRegisterFileWaitsForItsControlAndNumbers) {
    const int waited[] = {Registers::kRegWrite, Registers::kReadReg1, Registers::kReadReg2,
                          Registers::kWriteReg};
    for (int mask = 0; mask < 16; ++mask) {
        Registers regs(L"Registers", Box{0, 0, 1, 1}, 0);
        for (int i = 0; i < 4; ++i) regs.SetPortReady(waited[i], (mask >> i & 1) != 0);
        EXPECT_EQ(regs.InputsReady(), mask == 15) << mask;
    }
    // A junction with nothing feeding it (or only itself) has no value.
    Node node(L"node", 0, 0);
    EXPECT_EQ(node.NodeValue(), 0u);
    EXPECT_FALSE(node.IsActive());
    // A layout value out of range builds nothing, and a step drives nothing.
    Simulator sim;
    sim.SelectLayout(static_cast<Layout>(5));
    EXPECT_TRUE(sim.Elements().empty());
    sim.Step();
    EXPECT_EQ(sim.PcValue(), 0u);
}

// A memory remembers where it last found words; a word that is gone, or
// another store's, must never be read through that memory.
TEST(Elements, AMemoryReadsNoWordThatIsGoneOrNotItsOwn) {
    WordStore store;
    store[3] = 7;
    store.clear();
    EXPECT_EQ(store[3], 0u);
    store = WordStore::Words{{3, 9}};
    EXPECT_EQ(store[3], 9u);
    WordStore copy = store;
    copy[3] = 1;
    EXPECT_EQ(store[3], 9u);
}

}  // namespace
}  // namespace tandrel
