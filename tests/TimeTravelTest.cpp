// Going back in time must show exactly what going forward showed, and the
// counters must agree with runs worked out by hand.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/DrawRules.h"
#include "sim/Popup.h"
#include "sim/RunRules.h"
#include "tests/DatapathRunner.h"
#include "tests/RandomProgram.h"

namespace tandrel {
namespace {

using test::LayoutName;

constexpr Layout kLayouts[] = {Layout::Simple, Layout::Pipelined, Layout::Forwarding};

// Everything the window shows of the machine, as text: the drawing's
// decisions for every element, wire and junction, every pop-up, the lists
// with their row colours, and the counters.
std::string Shown(Simulator& sim) {
    static const ColourTable colours;
    DisplayOptions options;
    const DrawContext context = ContextOf(sim, options);
    PopupOptions popupOptions;
    std::wostringstream out;
    auto popup = [&](double x, double y) {
        const auto shown = PopupTracker().OnMotion(sim, x, y, popupOptions);
        out << (shown ? shown->text : L"-") << L'|';
    };
    for (const auto& element : sim.Elements()) {
        out << element->name << L' ' << element->IsActive() << element->brightness << L' '
            << sim.StageColourIndex(element->stage);
        if (element->IsNode()) {
            const WireState dot = NodeDotState(context, *element, colours);
            out << L" dot " << dot.active << dot.colourIndex << NodeDotRadius(context, *element);
        } else {
            popup(element->x + element->width / 4, element->y + element->height / 2);
            popup(element->x + element->width * 3 / 4, element->y + element->height / 2);
            out << element->DescribePorts(NumberFormat::Decimal);  // what the port pop-ups show
        }
        for (const auto& port : element->ports) {
            if (!port->isOutput) continue;
            const WireState wire = OutputWireState(context, *port, colours);
            out << L" w" << wire.active << wire.colourIndex;
            for (const InputLink* target : static_cast<const OutputLink&>(*port).targets)
                out << IsBold(context, *port, *target->owner);
        }
        out << L'\n';
    }
    out << L"pc " << sim.PcValue() << L" follow " << sim.FollowedStage() << L"\nrows";
    for (std::uint64_t address = 0; address < 4 * Simulator::kInstructionCount; address += 4)
        out << L' ' << sim.InstructionRowColour(address);
    out << L"\nregisters";
    for (int n = 0; n < 32; ++n) out << L' ' << test::RegisterValue(sim, n);
    out << L"\ndata";
    for (std::uint64_t n = 0; n < Simulator::kDataWords; ++n)
        out << L' ' << test::DataValue(sim, n);
    const Progress progress = sim.GetProgress();
    out << L"\nsteps " << progress.steps << L" cycles " << progress.cycles << L" instructions "
        << progress.instructions << L" level " << progress.level << L'\n';
    const std::wstring text = out.str();
    return std::string(text.begin(), text.end());
}

void Load(Simulator& sim, Layout layout, const std::string& text,
          const std::map<std::uint64_t, std::uint32_t>& data = {}) {
    ASSERT_TRUE(test::LoadProgram(sim, layout, std::wstring(text.begin(), text.end()), data))
        << text;
}

// N steps forward then K back shows what N - K steps forward showed, for
// every K; so do jumps to random steps, and coming forward again. The runs
// are longer than two checkpoint intervals and take random branches.
TEST(TimeTravelTest, GoingBackShowsExactlyWhatGoingForwardShowed) {
    constexpr int kPrograms = 5;
    for (Layout layout : kLayouts) {
        const long long steps = 2 * History::kInterval + 37;
        int branchesTaken = 0;
        for (int seed = 1; seed <= kPrograms; ++seed) {
            const test::random_program::Program program = test::random_program::Generator(seed, test::random_program::RulesFor(layout)).Make();
            SCOPED_TRACE(std::string(LayoutName(layout)) + " program:\n" + program.Text());
            Simulator sim;
            Load(sim, layout, program.Text(), program.data);
            std::vector<std::string> forward{Shown(sim)};
            for (long long n = 1; n <= steps; ++n) {
                const std::uint64_t pc = sim.PcValue();
                sim.Step();
                branchesTaken += sim.PcValue() != pc && sim.PcValue() != pc + 4;
                forward.push_back(Shown(sim));
            }
            for (long long n = steps - 1; n >= 0; --n) {
                ASSERT_TRUE(sim.StepBack());
                ASSERT_EQ(Shown(sim), forward[n]) << "after stepping back to step " << n;
            }
            EXPECT_FALSE(sim.CanStepBack());
            std::mt19937 rng(seed);
            for (int jump = 0; jump < 12; ++jump) {
                const long long to = static_cast<long long>(rng() % forward.size());
                ASSERT_TRUE(sim.GoToStep(to));
                ASSERT_EQ(Shown(sim), forward[to]) << "after going to step " << to;
            }
        }
        EXPECT_GE(branchesTaken, kPrograms / 4) << LayoutName(layout);
    }
}

// A long loop makes the history thin its checkpoints: it keeps within its
// budget, and deep steps are still reached exactly, until something new
// makes the history start again.
TEST(TimeTravelTest, ALongRunStaysWithinTheBudgetAndReachesDeepSteps) {
    const std::string loop =
        "addi $1, $1, 1\nsw $1, 4($0)\nbeq $0, $0, -3\nnop\n";
    constexpr long long kSteps = History::kInterval * History::kBudget + 3000;
    Simulator sim;
    Load(sim, Layout::Forwarding, loop);
    std::map<long long, std::string> sampled{{0, Shown(sim)}};
    for (long long n = 1; n <= kSteps; ++n) {
        sim.Step();
        ASSERT_LE(sim.GetHistory().Count(), History::kBudget) << "at step " << n;
        if (n % 4099 == 0 || n >= kSteps - 1) sampled[n] = Shown(sim);
    }
    EXPECT_GT(sim.GetHistory().Spacing(), History::kInterval);
    ASSERT_TRUE(sim.StepBack());
    EXPECT_EQ(Shown(sim), sampled[kSteps - 1]);
    for (auto it = sampled.rbegin(); it != sampled.rend(); ++it) {
        ASSERT_TRUE(sim.GoToStep(it->first));
        ASSERT_EQ(Shown(sim), it->second) << "at step " << it->first;
    }
    // Reset, a new layout, a new program and new data forget the history.
    const std::function<void()> forgetting[] = {
        [&] { sim.Reset(); }, [&] { sim.SelectLayout(Layout::Pipelined); },
        [&] { sim.ParseProgram(L"addi $2, $0, 1\n"); }, [&] { sim.LoadInitialData(); }};
    for (const auto& forget : forgetting) {
        sim.Step();
        ASSERT_TRUE(sim.CanStepBack());
        forget();
        EXPECT_FALSE(sim.CanStepBack());
    }
}

// Programs and their counts worked out by hand. Pipelined: instruction k is
// fetched in cycle k and written back in cycle k + 5, so n instructions take
// n + 4 cycles; a taken BEQ still runs the instruction after it and squashes
// the next two fetches. Simple: seven levels a cycle, one instruction each,
// and a taken BEQ skips what the pipelines still run. A NOP counts. Run
// stops first where the breakpoint's instruction at 8 is fetched (at the
// start of its cycle on Simple), then goes on to the end.
TEST(RunStepsTest, CountsAndStopsAsWorkedOutByHand) {
    const std::string straight = "addi $1, $0, 5\nadd $2, $1, $1\nnop\nsw $2, 8($0)\naddi $3, $0, 1\n";
    const std::string branch =
        "addi $1, $0, 5\nadd $2, $1, $1\nbeq $0, $0, 1\naddi $3, $0, 1\naddi $4, $0, 9\n"
        "sw $2, 8($0)\n";
    struct Case {
        const std::string& text;
        Layout layout;
        long long cycles, instructions;
    };
    const Case cases[] = {
        {straight, Layout::Simple, 5, 5},     {straight, Layout::Pipelined, 9, 5},
        {straight, Layout::Forwarding, 9, 5}, {branch, Layout::Simple, 5, 5},
        {branch, Layout::Pipelined, 12, 6},   {branch, Layout::Forwarding, 12, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(LayoutName(c.layout)) + "\n" + c.text);
        Simulator sim;
        Load(sim, c.layout, c.text);
        RunRequest request;
        request.end = ProgramEnd(sim);
        request.maxSteps = MaxStepsOn(c.layout);
        request.breakpoints = {8};
        ASSERT_EQ(RunSteps(sim, request, 1000), RunStop::Breakpoint);
        EXPECT_EQ(sim.PcValue(), 8u);
        EXPECT_EQ(sim.GetProgress().steps, sim.StepsForCycles(2));
        ASSERT_EQ(RunSteps(sim, request, 1000), RunStop::Done);
        const Progress done = sim.GetProgress();
        EXPECT_EQ(done.cycles, c.cycles);
        EXPECT_EQ(done.instructions, c.instructions);
        EXPECT_EQ(done.steps, sim.StepsForCycles(c.cycles));
        EXPECT_DOUBLE_EQ(done.Cpi(), double(c.cycles) / double(c.instructions));
        if (c.layout == Layout::Forwarding && &c.text == &branch) {
            EXPECT_EQ(ProgressText(sim, NumberFormat::Decimal),
                      L"Data Forwarding | cycle 12 | 6 instructions | CPI 2.00 | PC 40");
        }
        // Simple: "cycle 3, level 5 of 7" after two whole cycles and four steps.
        if (c.layout == Layout::Simple) {
            ASSERT_TRUE(sim.GoToStep(2 * Simulator::kSimpleLevels + 4));
            EXPECT_EQ(sim.GetProgress().instructions, 2);
            const std::wstring counters =
                L"Simple | cycle 3, level 5 of 7 | 2 instructions | CPI 1.00";
            EXPECT_EQ(ProgressText(sim, NumberFormat::Hexadecimal).substr(0, counters.size()),
                      counters);
        }
    }
    // A target step stops an endless loop, and so does the step limit.
    for (Layout layout : kLayouts) {
        Simulator sim;
        Load(sim, layout, "addi $1, $1, 1\nbeq $0, $0, -2\nnop\n");
        RunRequest request;
        request.end = ProgramEnd(sim);
        request.maxSteps = 50;
        request.targetStep = 3;
        EXPECT_EQ(RunSteps(sim, request, 2), RunStop::Running);
        EXPECT_EQ(RunSteps(sim, request, 1000), RunStop::Target);
        EXPECT_EQ(sim.GetProgress().steps, 3);
        request.targetStep = -1;
        EXPECT_EQ(RunSteps(sim, request, 1000), RunStop::Limit);
        EXPECT_EQ(sim.GetProgress().steps, 50);
    }
}

}  // namespace
}  // namespace tandrel
