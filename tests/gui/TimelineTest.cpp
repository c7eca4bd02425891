// The timeline under the drawing, driven as a user would: a real click on a
// cell takes the machine to that cycle, and the pane, its outlined column
// and the explanation all say so; the drawing shown beside it is always
// the machine's present.
#include <wx/utils.h>

#include <functional>
#include <numeric>
#include <utility>
#include <vector>

#include "app/Ids.h"
#include "app/MyGLCanvas.h"
#include "app/PipelinePanel.h"
#include "tests/gui/GuiTest.h"

// Last: Xlib's macros (None, Status) clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tandrel::test {
namespace {

// The canvas's pixels as the X server has them, RGB rows bottom first like
// MyGLCanvas::ReadPixels.
std::vector<unsigned char> ShownPixels(MyGLCanvas& canvas) {
    const wxSize size = canvas.PixelSize();
    XImage* image =
        XGetImage(wxGetX11Display(), canvas.GetXWindow(), 0, 0, size.x, size.y, AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    std::vector<unsigned char> pixels;
    for (int y = size.y - 1; y >= 0; --y)
        for (int x = 0; x < size.x; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            for (const unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask})
                pixels.push_back(
                    static_cast<unsigned char>((pixel & mask) / (mask & ~(mask << 1))));
        }
    XDestroyImage(image);
    return pixels;
}

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
    ASSERT_TRUE(pane->GetClientRect().Contains(cell))
        << "cell out of view: pane " << pane->GetClientSize().x << "x" << pane->GetClientSize().y
        << ", cell at " << cell.x << "," << cell.y;
    ASSERT_TRUE(ClickAt(pane->ClientToScreen(cell.GetPosition() + cell.GetSize() / 2)));
    WaitFor([&] { return frame.GetSimulator().GetProgress().steps == 5; });
    EXPECT_EQ(frame.GetSimulator().GetProgress().steps, 5);
    EXPECT_EQ(pane->CurrentColumn(), 5);
    EXPECT_TRUE(frame.Pipeline()->Explanation()->GetValue().StartsWith(wxT("Cycle 5")))
        << frame.Pipeline()->Explanation()->GetValue();
}

// What the window shows when a Step, Step Back, Reset or change of layout
// returns is the picture of the machine as it now is, stale-read marks and
// all: the timeline it follows must have moved on before it is drawn.
// Read at once, before any later paint could mend it.
TEST_F(TimelineTest, TheShownPictureIsTheMachineAsItNowIs) {
    WriteFile("tandrel.conf", "showsimplelayout: 0; showpipelinelayout: 1; showtimeline: 1;");
    MyFrame& frame = Start();
    frame.LoadFrom(wxT(TANDREL_EXAMPLES_DIR "/06-data-hazard.def"));
    Settle();
    MyGLCanvas& canvas = *frame.Canvas();
    const std::pair<int, wxEventType> step{wxID_FORWARD, wxEVT_BUTTON},
        back{ID_STEP_BACK, wxEVT_BUTTON}, reset{wxID_STOP, wxEVT_BUTTON},
        forwarding{ID_LAYOUT_FORWARDING, wxEVT_MENU}, pipelined{ID_LAYOUT_PIPELINED, wxEVT_MENU};
    int taken = 0;
    for (const auto& [id, type] :
         {step, step, step, step, step, step, back, step, forwarding, step, pipelined, reset}) {
        Command(frame, id, type);
        ++taken;
        const std::vector<unsigned char> shown = ShownPixels(canvas);
        const std::vector<unsigned char> now = canvas.ReadPixels();
        ASSERT_FALSE(now.empty());
        ASSERT_EQ(shown.size(), now.size());
        const auto differing = std::inner_product(shown.begin(), shown.end(), now.begin(), 0L,
                                                  std::plus<>(), std::not_equal_to<>());
        EXPECT_EQ(differing, 0) << "after command " << taken << " of the sequence";
    }
}

}  // namespace
}  // namespace tandrel::test
