// The rule that picks the instruction after which a pipelined run left the
// single-cycle one, on hand-made change lists.

#include <gtest/gtest.h>

#include "cli/Compare.h"

namespace tandrel {
namespace cli {
namespace {

constexpr long long kFinished = 1LL << 62;

class CliFirstDivergence : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.SelectLayout(Layout::Simple);
        ASSERT_TRUE(
            sim.ParseProgram(L"ADDI $1, $0, 5\nADD $2, $1, $1\nADDI $3, $0, 1\n"
                             L"SW $2, 8($0)\n"));
    }

    static StateChange Reg(std::uint64_t n, std::uint32_t value, std::uint64_t address,
                           long long ordinal) {
        return {true, n, value, address, ordinal};
    }

    Simulator sim;
};

TEST_F(CliFirstDivergence, AChangeTheOtherRunNeverMadeCountsOnceItGotPastIt) {
    LayoutRun simple, pipelined;
    simple.changes = {Reg(1, 5, 0, 0), Reg(2, 10, 4, 2)};
    simple.progress = kFinished;
    // The ADD wrote the old value again, so it changed nothing.
    pipelined.changes = {Reg(1, 5, 0, 0)};
    pipelined.progress = kFinished;
    const Divergence d = FirstDivergence(simple, pipelined, sim);
    EXPECT_TRUE(d.found);
    EXPECT_EQ(d.address, 4u);
    EXPECT_EQ(d.text, "ADD $2, $1, $1");

    // A run stopped before the ADD has not diverged, it has only done less.
    pipelined.progress = 0;
    EXPECT_FALSE(FirstDivergence(simple, pipelined, sim).found);
}

TEST_F(CliFirstDivergence, TheEarlierOfTwoDifferentChangesIsNamed) {
    LayoutRun simple, pipelined;
    simple.changes = {Reg(1, 5, 0, 0), Reg(3, 1, 8, 4)};
    simple.progress = kFinished;
    // An instruction that ran only because it followed a branch (odd ordinal)
    // comes before the next one both runs share.
    pipelined.changes = {Reg(1, 5, 0, 0), Reg(2, 10, 4, 3), Reg(3, 1, 8, 4)};
    pipelined.progress = kFinished;
    EXPECT_EQ(FirstDivergence(simple, pipelined, sim).address, 4u);

    // The same change by the same instruction is no divergence at all.
    EXPECT_FALSE(FirstDivergence(simple, simple, sim).found);
}

}  // namespace
}  // namespace cli
}  // namespace tandrel
