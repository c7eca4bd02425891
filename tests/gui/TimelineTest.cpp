// The timeline under the drawing, driven as a user would: a real click on a
// cell takes the machine to that cycle, and the pane, its outlined column
// and the explanation all say so.
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "app/PipelinePanel.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

using TimelineTest = FrameTest;

TEST_F(TimelineTest, ClickingACellGoesToItsCycle) {
    WriteFile("tandrel.conf", "showsimplelayout: 0; showpipelinelayout: 1;");
    MyFrame& frame = Start();
    frame.LoadFrom(wxT(TANDREL_EXAMPLES_DIR "/06-data-hazard.def"));
    wxCommandEvent step(wxEVT_BUTTON, wxID_FORWARD);
    for (int n = 0; n < 9; ++n) frame.OnStep(step);
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
    const wxPoint at = pane->ClientToScreen(cell.GetPosition() + cell.GetSize() / 2);
    wxUIActionSimulator input;
    ASSERT_TRUE(input.MouseMove(at));
    for (int round = 0; round < 300 && wxGetMousePosition() != at; ++round) {
        Settle();
        wxMilliSleep(10);
    }
    ASSERT_TRUE(input.MouseClick());
    for (int round = 0; round < 300 && frame.GetSimulator().GetProgress().steps != 5; ++round) {
        Settle();
        wxMilliSleep(10);
    }
    EXPECT_EQ(frame.GetSimulator().GetProgress().steps, 5);
    EXPECT_EQ(pane->CurrentColumn(), 5);
    EXPECT_TRUE(frame.Pipeline()->Explanation()->GetValue().StartsWith(wxT("Cycle 5")))
        << frame.Pipeline()->Explanation()->GetValue();
}

}  // namespace
}  // namespace tandrel::test
