// The timeline under the drawing, driven as a user would: a real click on a
// cell takes the machine to that cycle, and the pane, its outlined column
// and the explanation all say so.
#include "app/PipelinePanel.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

using TimelineTest = FrameTest;

TEST_F(TimelineTest, ClickingACellGoesToItsCycle) {
    WriteFile("tandrel.conf", "showsimplelayout: 0; showpipelinelayout: 1;");
    MyFrame& frame = Start();
    frame.LoadFrom(wxT(TANDREL_EXAMPLES_DIR "/06-data-hazard.def"));
    Step(frame, 9);
    // Shown only now, the panel is built now and catches up with the run.
    frame.ShowTimeline(true);
    Settle();
    TimelinePane* pane = frame.Pipeline()->Timeline();
    ASSERT_EQ(pane->CurrentColumn(), 9);
    ASSERT_GE(pane->RowCount(), 3u);

    // The third instruction is fetched in cycle 3: its EX cell is in cycle 5.
    const wxRect cell = pane->CellRect(2, 5);
    ASSERT_TRUE(pane->GetClientRect().Contains(cell)) << "cell out of view: pane " << pane->GetClientSize().x << "x"
        << pane->GetClientSize().y << ", cell at " << cell.x << "," << cell.y;
    ASSERT_TRUE(ClickAt(pane->ClientToScreen(cell.GetPosition() + cell.GetSize() / 2)));
    WaitFor([&] { return frame.GetSimulator().GetProgress().steps == 5; });
    EXPECT_EQ(frame.GetSimulator().GetProgress().steps, 5);
    EXPECT_EQ(pane->CurrentColumn(), 5);
    EXPECT_TRUE(frame.Pipeline()->Explanation()->GetValue().StartsWith(wxT("Cycle 5")))
        << frame.Pipeline()->Explanation()->GetValue();
}

}  // namespace
}  // namespace tandrel::test
