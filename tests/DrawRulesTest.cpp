#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "model/Combinational.h"
#include "model/Pipeline.h"
#include "render/DrawRules.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace {

using K = InstructionKind;

constexpr float kTolerance = 1e-5f;

void ExpectColour(const ColourRecord& actual, float r, float g, float b, float a,
                  const std::string& where = "") {
    EXPECT_NEAR(actual.r, r, kTolerance) << where;
    EXPECT_NEAR(actual.g, g, kTolerance) << where;
    EXPECT_NEAR(actual.b, b, kTolerance) << where;
    EXPECT_NEAR(actual.a, a, kTolerance) << where;
}

// A plain element with one output on its right edge (port 0) and one input on
// its left edge (port 1).
std::unique_ptr<Component> MakeElement(bool isControl = false, bool isPcPath = false) {
    auto e = std::make_unique<Component>(L"element", ElementKind::ALU, isControl, isPcPath,
                                         Box{10, 10, 10, 10}, 0.5, 0.5);
    e->AddOutput(0, PortAt(Side::Right, L"out", 1.0, 0.5));
    e->AddInput(1, PortAt(Side::Left, L"in", 0.0, 0.5));
    return e;
}

DrawContext Context(bool isSimple, bool highlightSingle, int highlightStage, int rotation) {
    DrawContext c;
    c.isSimple = isSimple;
    c.options.highlightSingle = highlightSingle;
    c.highlightStage = highlightStage;
    c.colourRotation = rotation;
    return c;
}

// ---------------------------------------------------------------- colours

// Row text on the default stage colours: only the dark blue takes white.
// The drawing's colours start with the defaults and follow the configuration.
TEST(Colours, RowTextStandsOutAndTheTableFollowsTheConfiguration) {
    Config config{std::string{}};
    const Colour black = Colour::Rgba(0, 0, 0), white = Colour::Rgba(255, 255, 255);
    const Colour expected[Simulator::kStages] = {black, black, black, white, black};
    for (int i = 0; i < Simulator::kStages; ++i)
        EXPECT_EQ(TextColourOn(config.GetColour(option::kStage1Colour + i)), expected[i]) << i;
    EXPECT_EQ(TextColourOn(white), black);  // rows no stage holds

    ColourTable colours;
    ExpectColour(colours.Get(option::kComponentColour), 191 / 255.f, 191 / 255.f, 153 / 255.f, 1);
    ExpectColour(colours.Get(option::kBackgroundColour), 1, 1, 1, 1);
    config.SetColour(option::kStage2Colour, Colour::Rgba(10, 20, 30, 40));
    config.SetColour(option::kTextColour, Colour{});  // not valid: keeps the old colour
    colours.Refresh(config);
    ExpectColour(colours.Stage(1), 10 / 255.f, 20 / 255.f, 30 / 255.f, 40 / 255.f);
    ExpectColour(colours.Get(option::kTextColour), 0, 0, 0, 1);
}

// ------------------------------------------------------------ wire state

// Expected colours with the default configuration.
constexpr ColourRecord kInactive{0, 0, 0, 1, true};
constexpr ColourRecord kRed{1, 0, 0, 1, true};  // stage colour 0
constexpr ColourRecord kDarkRed{0.7f, 0, 0, 1, true};
constexpr ColourRecord kMagenta{1, 0, 1, 1, true};  // stage colour 2
constexpr ColourRecord kBlue{0, 0, 1, 1, true};     // stage colour 3

using Stages = std::array<K, 5>;
const Stages kOnlyAdd{K::ADD, K::None, K::None, K::None, K::None};
const Stages kFull{K::ADD, K::LW, K::BEQ, K::SW, K::OR};

// Each row: the context, the element's stage and readiness, the one kind its
// wire carries, the brightness, then the expected activity and colour.
TEST(WireState, DecidesColourFromStageInstructionAndHighlight) {
    const struct {
        bool isSimple, highlightSingle;
        int highlightStage, rotation, elementStage;
        bool ready;
        K usedBy;
        Stages inStage;
        float brightness;
        bool active;
        int colourIndex;
        ColourRecord colour;
    } cases[] = {
        // Simple: every element is stage 0; the highlight never narrows it.
        {true, true, 0, 0, 0, true, K::ADD, kOnlyAdd, 1.0f, true, 0, kRed},
        {true, true, 0, 0, 0, false, K::ADD, kOnlyAdd, 1.0f, false, -1, kInactive},
        {true, true, 0, 0, 0, true, K::LW, kOnlyAdd, 1.0f, false, -1, kInactive},
        {true, true, -1, 0, 0, true, K::ADD, kOnlyAdd, 1.0f, true, 0, kRed},
        {true, true, 0, 0, 0, true, K::ADD, kOnlyAdd, 0.7f, true, 0, kDarkRed},
        // Pipelined, highlight off: each element shows the kind in its own
        // stage, in colour (10 - rotation - stage) mod 5.
        {false, false, -1, 0, 3, true, K::SW, kFull, 1.0f, true, 2, kMagenta},
        {false, false, -1, 4, 3, true, K::SW, kFull, 1.0f, true, 3, kBlue},
        {false, false, -1, 0, 3, true, K::LW, kFull, 1.0f, false, -1, kInactive},
        {false, false, 1, 0, 3, true, K::SW, kFull, 1.0f, true, 2, kMagenta},
        // Pipelined, highlight on: only the chosen instruction's path, up to
        // its stage, in its colour.
        {false, true, 2, 1, 1, true, K::BEQ, kFull, 1.0f, true, 2, kMagenta},
        {false, true, 2, 1, 2, true, K::BEQ, kFull, 1.0f, true, 2, kMagenta},
        {false, true, 2, 1, 3, true, K::BEQ, kFull, 1.0f, false, -1, kInactive},
        {false, true, 2, 1, 1, true, K::LW, kFull, 1.0f, false, -1, kInactive},
        {false, true, -1, 0, 0, true, K::ADD, kFull, 1.0f, false, -1, kInactive},
    };
    const ColourTable colours;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        auto element = MakeElement();
        element->stage = c.elementStage;
        if (c.ready) element->SetActive(true), element->LatchActive();
        element->brightness = c.brightness;
        element->SetUsedBy(0, static_cast<int>(c.usedBy), true);
        DrawContext context = Context(c.isSimple, c.highlightSingle, c.highlightStage, c.rotation);
        context.stageInstruction = c.inStage;
        const WireState state = OutputWireState(context, element->Port(0), colours);
        EXPECT_EQ(state.active, c.active);
        EXPECT_EQ(state.colourIndex, c.colourIndex);
        ExpectColour(state.colour, c.colour.r, c.colour.g, c.colour.b, c.colour.a);
    }
}

// ------------------------------------------------------------- bold rule

TEST(BoldRule, BoldOnlyForDataWires) {
    const struct {
        bool sourceControl, destinationControl, controlLine, ready, isSimple, highlightSingle;
        int highlightStage, stage;
        bool boldDataLines, bold;
    } cases[] = {
        {false, false, false, true, true, true, 0, 0, false, true},  // an active data wire
        {false, false, false, false, true, true, 0, 0, false, false},
        {false, false, false, false, true, true, 0, 0, true, true},  // all data lines bold
        {true, false, false, true, true, true, 0, 0, true, false},   // from a control element
        {false, true, false, true, true, true, 0, 0, true, false},   // into one
        {false, false, true, true, true, true, 0, 0, true, false},   // a control line
        // Pipelined: within the highlighted instruction's stages only.
        {false, false, false, true, false, true, 1, 3, false, false},
        {false, false, false, true, false, true, 3, 3, false, true},
        {false, false, false, true, false, true, -1, 0, false, false},
        {false, false, false, true, false, false, -1, 4, false, true},
        {false, false, false, true, false, true, -1, 0, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        auto source = MakeElement(c.sourceControl);
        auto destination = MakeElement(c.destinationControl);
        source->stage = c.stage;
        if (c.ready) source->SetActive(true), source->LatchActive();
        source->Port(0).controlLine = c.controlLine;
        DrawContext context = Context(c.isSimple, c.highlightSingle, c.highlightStage, 0);
        context.options.boldDataLines = c.boldDataLines;
        EXPECT_EQ(IsBold(context, source->Port(0), *destination), c.bold);
        EXPECT_EQ(LineWidth(context, source->Port(0), *destination), c.bold ? kBoldLine : kThinLine);
    }
}

// ------------------------------------------------------------- visibility

TEST(Visibility, HiddenLinesTakeTheirElementsWiresArrowheadsAndNamesAlong) {
    auto plain = MakeElement();
    auto control = MakeElement(true, false);
    auto pc = MakeElement(false, true);
    Link& controlLine = plain->Port(0);
    controlLine.controlLine = true;
    controlLine.showLabel = true;
    Link& pcLine = plain->Port(1);
    pcLine.pcLine = true;
    pcLine.showLabel = true;
    Link& plainOut = pc->Port(0);  // a data port of a PC-path element
    plainOut.showLabel = true;

    const struct {
        bool showControl, showPc;
        bool skipControl, skipPc, skipPlain;
        bool skipControlOut, skipPcOut;
        bool arrowFromControlElement, arrowFromPcElement;
        bool nameControl, namePc, namePlainOnPcElement;
    } cases[] = {
        {true, true, false, false, false, false, false, false, false, true, true, true},
        {false, true, true, false, false, true, false, true, false, false, true, true},
        {true, false, false, true, false, false, true, false, true, true, false, true},
        {false, false, true, true, false, true, true, true, true, false, false, true},
    };
    for (const auto& c : cases) {
        DisplayOptions o;
        o.showControl = c.showControl;
        o.showPc = c.showPc;
        const std::string where =
            "control " + std::to_string(c.showControl) + " pc " + std::to_string(c.showPc);
        EXPECT_EQ(SkipElement(o, *control), c.skipControl) << where;
        EXPECT_EQ(SkipElement(o, *pc), c.skipPc) << where;
        EXPECT_EQ(SkipElement(o, *plain), c.skipPlain) << where;
        EXPECT_EQ(SkipWireInto(o, *control), c.skipControl) << where;
        EXPECT_EQ(SkipWireInto(o, *pc), c.skipPc) << where;
        EXPECT_EQ(SkipOutput(o, controlLine), c.skipControlOut) << where;
        EXPECT_EQ(SkipOutput(o, pcLine), c.skipPcOut) << where;
        EXPECT_EQ(SkipArrowhead(o, controlLine), c.skipControlOut) << where;
        EXPECT_EQ(SkipArrowhead(o, control->Port(0)), c.arrowFromControlElement) << where;
        EXPECT_EQ(SkipArrowhead(o, pc->Port(0)), c.arrowFromPcElement) << where;
        EXPECT_EQ(ShowPortName(o, controlLine), c.nameControl) << where;
        EXPECT_EQ(ShowPortName(o, pcLine), c.namePc) << where;
        EXPECT_EQ(ShowPortName(o, plainOut), c.namePlainOnPcElement) << where;
    }
    plainOut.showLabel = false;
    EXPECT_FALSE(ShowPortName(DisplayOptions{}, plainOut));
}

// A junction fed by `driver` fanning out to the given targets.
struct Junction {
    std::unique_ptr<Component> driver;
    Node node{L"node", 50, 50};
    std::vector<std::unique_ptr<Component>> targets;

    Junction(bool driverControl, bool driverPc, std::initializer_list<std::pair<bool, bool>> to)
        : driver(MakeElement(driverControl, driverPc)) {
        driver->Connect(0, node, Node::kInLeft);
        int out = Node::kOutRight;
        for (const auto& [control, pc] : to) {
            targets.push_back(MakeElement(control, pc));
            node.Connect(out, *targets.back(), 1);
            out = out == Node::kOutRight ? Node::kOutTop : Node::kOutBottom;
        }
    }
};

TEST(NodeDots, ADotNeedsOneVisibleWireInAndTwoOut) {
    const std::pair<bool, bool> data{false, false}, control{true, false}, pc{false, true};
    const struct {
        const char* name;
        Junction junction;
        bool showControl, showPc;
        bool visible;
    } cases[] = {
        {"all shown", Junction(true, false, {control}), true, true, true},
        {"two data branches", Junction(false, false, {data, data}), false, false, true},
        {"one branch left", Junction(false, false, {data, control}), false, true, false},
        {"control branch kept", Junction(false, false, {data, control}), true, false, true},
        {"pc branch hidden", Junction(false, false, {data, pc}), true, false, false},
        {"fed by control", Junction(true, false, {data, data}), false, true, false},
        {"fed by control shown", Junction(true, false, {data, data}), true, false, true},
        {"fed by pc path", Junction(false, true, {data, data}), true, false, false},
        {"three with one hidden", Junction(false, false, {data, pc, data}), true, false, true},
    };
    for (const auto& c : cases) {
        DisplayOptions o;
        o.showControl = c.showControl;
        o.showPc = c.showPc;
        EXPECT_EQ(NodeDotVisible(o, c.junction.node), c.visible) << c.name;
    }
}

// ----------------------------------------------- Data Forwarding's operands

// Stepping a program whose operands come from all three sources and which
// stores a loaded word too early. After each Step the wires into MUX A and
// MUX B (and a junction leading only to them) are coloured exactly at the
// input chosen for the instruction in EX, none when it does not use the mux
// or when the one followed is past EX; the stale read is marked on MUX B in
// the cycle it happens, nowhere else.
TEST(OperandMuxes, OnlyTheChosenInputIsColouredAndAStaleReadIsMarked) {
    Simulator sim;
    sim.SelectLayout(Layout::Forwarding);
    ASSERT_TRUE(sim.ParseProgram(L"ADDI $1, $0, 10\nADDI $2, $1, 5\nADD $3, $1, $2\n"
                                 L"LW $4, 0($0)\nSW $4, 1($0)\n"));
    sim.Reset();
    Explainer explainer;
    explainer.Start(sim);
    const Component* muxB = sim.Elements()[8].get();  // MUX A is the next element
    ASSERT_EQ(muxB->name, L"M\nU\nX\nB");
    const ColourTable colours;
    constexpr int kNone = -1, kRegister = 0, kMemWb = 1, kExMem = 2;  // the inputs
    // The inputs coloured after each step, for the instruction then in EX:
    // none, ADDI $1, ADDI $2, ADD, LW, SW (MUX B unused by ADDI and LW).
    const int colouredA[] = {0, kNone, kRegister, kExMem, kMemWb, kRegister, kRegister};
    const int colouredB[] = {0, kNone, kNone, kNone, kExMem, kNone, kExMem};
    for (int step = 1; step <= 7; ++step) {
        sim.Step();
        explainer.Observe(sim);
        const auto marked = StaleReadParts(sim, explainer.Events(), step);
        EXPECT_EQ(marked, step == 7 ? std::vector<const Component*>{muxB}
                                    : std::vector<const Component*>{})
            << "step " << step;
        if (step == 7) continue;
        DisplayOptions everyStage;
        everyStage.highlightSingle = false;
        DrawContext context = ContextOf(sim, everyStage);
        for (int input = kRegister; input <= kExMem; ++input) {
            const int chosen[] = {colouredA[step], colouredB[step]};
            for (int m = 0; m < 2; ++m) {
                const InputLink& into = sim.Elements()[8 + 1 - m]->In(input);
                const std::string where = "step " + std::to_string(step) + " mux " + "AB"[m] +
                                          " input " + std::to_string(input);
                EXPECT_EQ(WireIntoState(context, *into.source, into, colours).active,
                          input == chosen[m])
                    << where;
            }
            const Component& junction = *muxB->In(input).source->owner;
            if (!junction.IsNode()) continue;  // fed by ID/EX itself
            const InputLink& feed = junction.In(2);
            const bool either = input == chosen[0] || input == chosen[1];
            EXPECT_EQ(WireIntoState(context, *feed.source, feed, colours).active, either);
            EXPECT_EQ(NodeDotState(context, junction, colours).active, either);
            context.options.highlightSingle = true;
            context.highlightStage = 3;  // followed past EX
            EXPECT_FALSE(NodeDotState(context, junction, colours).active);
            context.options.highlightSingle = false;
        }
    }
}

}  // namespace
}  // namespace tandrel
