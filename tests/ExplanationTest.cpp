// The explanation of a pipelined run against programs with a single
// dependent pair at every distance. (The hand-worked cases are checked
// through tandrel-cli explain.)

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/Explanation.h"
#include "tests/DatapathRunner.h"

namespace tandrel {
namespace {

std::vector<PipelineEvent> Explain(Layout layout, const std::string& text,
                                   const std::map<std::uint64_t, std::uint32_t>& data) {
    Simulator sim;
    EXPECT_TRUE(test::LoadProgram(sim, layout, std::wstring(text.begin(), text.end()), data))
        << text;
    Explainer explainer;
    explainer.Start(sim);
    const std::uint64_t end =
        4 * static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    for (int step = 0, outside = 0; step < 60 && outside < 6; ++step) {
        sim.Step();
        explainer.Observe(sim);
        outside = sim.PcValue() >= end ? outside + 1 : 0;
    }
    return explainer.Events();
}

// A writer of $3, then `gap` NOPs, then one reader of $3; nothing else
// depends on anything. The stale read must name exactly that pair when the
// gap is below what the layout needs (2 on Pipelined; on Data Forwarding 1
// after a LW, else 0), and nothing else may be reported as stale. On Data
// Forwarding a gap of 0 or 1 that is long enough is bridged by one forward.
TEST(ExplanationTest, OneDependentPairIsStaleExactlyWhenTooClose) {
    const std::pair<const char*, bool> kWriters[] = {
        {"ADDI $3, $0, 7", false}, {"OR $3, $5, $6", false}, {"LW $3, 8($0)", true}};
    const char* const kReaders[] = {"ADD $4, $3, $0", "SUB $4, $0, $3", "ADDI $4, $3, 1",
                                    "SW $3, 4($0)",   "LW $4, 0($3)",   "BEQ $3, $0, 0"};
    for (Layout layout : {Layout::Pipelined, Layout::Forwarding}) {
        for (const auto& [writer, loads] : kWriters) {
            for (const char* reader : kReaders) {
                for (int gap = 0; gap <= 3; ++gap) {
                    std::string text = "ADDI $5, $0, 12\nADDI $6, $0, 3\nNOP\nNOP\n";
                    const std::uint64_t writerAt = 16, readerAt = 20 + 4 * gap;
                    text += std::string(writer) + "\n";
                    for (int n = 0; n < gap; ++n) text += "NOP\n";
                    text += std::string(reader) + "\n";
                    SCOPED_TRACE(text + "on " + test::LayoutName(layout));
                    const int needed = layout == Layout::Pipelined ? 2 : loads ? 1 : 0;
                    int stale = 0, forwards = 0;
                    for (const PipelineEvent& e : Explain(layout, text, {{8, 7}})) {
                        if (e.kind != EventKind::StaleRead && e.kind != EventKind::Forward)
                            continue;
                        EXPECT_EQ(e.address, readerAt);
                        EXPECT_EQ(e.other, writerAt);
                        EXPECT_EQ(e.reg, 3);
                        if (e.kind == EventKind::Forward) {
                            ++forwards;
                            continue;
                        }
                        ++stale;
                        EXPECT_EQ(e.between, gap);
                        EXPECT_EQ(e.needed, needed);
                        EXPECT_TRUE(e.expectedKnown);
                        EXPECT_EQ(e.expected, loads                           ? 7u
                                              : std::string(writer)[0] == 'A' ? 7u
                                                                              : 15u);
                    }
                    EXPECT_EQ(stale, gap < needed ? 1 : 0);
                    const bool bridged = layout == Layout::Forwarding && gap >= needed && gap < 2;
                    EXPECT_EQ(forwards, bridged ? 1 : 0);
                }
            }
        }
    }
}

}  // namespace
}  // namespace tandrel
