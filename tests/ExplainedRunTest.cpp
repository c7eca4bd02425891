// The explanation the window shows must follow the machine through time:
// after going back (or forward past what was watched, or after the run was
// started again) it tells exactly what a fresh run to that step tells.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "sim/ExplainedRun.h"
#include "tests/DatapathRunner.h"
#include "tests/RandomProgram.h"

namespace tandrel {
namespace {

std::string Told(const Timeline& timeline, const std::vector<PipelineEvent>& events) {
    std::ostringstream out;
    out << timeline.cycles << '\n';
    for (const TimelineRow& row : timeline.rows)
        out << row.address << ' ' << static_cast<int>(row.kind) << ' ' << row.fetchCycle << ' '
            << row.squashed << '\n';
    for (const PipelineEvent& e : events)
        out << e.cycle << ' ' << static_cast<int>(e.kind) << ' ' << e.address << ' ' << e.other
            << ' ' << e.reg << ' ' << static_cast<int>(e.to) << ' ' << static_cast<int>(e.from)
            << ' ' << e.read << ' ' << e.expected << ' ' << e.expectedKnown << ' '
            << e.readyCycle << ' ' << e.between << ' ' << e.needed << ' ' << e.writerLoads << ' '
            << e.forwarded << ' ' << e.target << ' ' << e.level << ' ' << e.parts << ' '
            << e.what << '\n';
    return out.str();
}

TEST(ExplainedRunTest, EveryStepShowsWhatAFreshRunToItTells) {
    using namespace test::random_program;
    constexpr long long kSteps = 90;
    for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding}) {
        for (std::uint64_t seed = 1; seed <= 6; ++seed) {
            // No spacing rules: stale reads, forwards and taken branches abound.
            const Program program = Generator(seed, Rules{}).Make();
            const std::string narrow = program.Text();
            const std::wstring text(narrow.begin(), narrow.end());
            SCOPED_TRACE(std::string(test::LayoutName(layout)) + " program:\n" + narrow);
            const Program other = Generator(seed + 100, Rules{}).Make();
            const std::string otherNarrow = other.Text();
            const std::wstring otherText(otherNarrow.begin(), otherNarrow.end());
            auto fresh = [&](long long steps, bool second = false) {
                Simulator sim;
                test::LoadProgram(sim, layout, second ? otherText : text,
                                  second ? other.data : program.data);
                Explainer explainer;
                explainer.Start(sim);
                for (long long n = 0; n < steps; ++n) {
                    sim.Step();
                    explainer.Observe(sim);
                }
                return Told(explainer.GetTimeline(), explainer.Events());
            };

            Simulator sim;
            ASSERT_TRUE(test::LoadProgram(sim, layout, text, program.data));
            ExplainedRun run;
            run.Follow(sim);
            // Some steps are watched as they happen, the others caught up on.
            for (long long n = 1; n <= kSteps; ++n) {
                sim.Step();
                if (n % 3 != 0) run.Follow(sim);
            }
            std::mt19937 rng(static_cast<unsigned>(seed));
            for (int jump = 0; jump < 6; ++jump) {
                const long long step = static_cast<long long>(rng() % (kSteps + 1));
                ASSERT_TRUE(sim.GoToStep(step));
                run.Follow(sim);
                ASSERT_EQ(sim.GetProgress().steps, step);  // left where it was
                EXPECT_EQ(Told(run.GetTimeline(), run.Events()), fresh(step)) << "at " << step;
            }
            // Loading another program forgets the run; the new one is caught up on.
            ASSERT_TRUE(test::LoadProgram(sim, layout, otherText, other.data));
            for (int n = 0; n < 7; ++n) sim.Step();
            run.Follow(sim);
            EXPECT_EQ(Told(run.GetTimeline(), run.Events()), fresh(7, true));
        }
    }
}

}  // namespace
}  // namespace tandrel
