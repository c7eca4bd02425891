#include <wx/menu.h>
#include <wx/scrolbar.h>

#include <cmath>
#include <cstdlib>

#include "app/Ids.h"
#include "config/Config.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

void Command(MyFrame& frame, int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    frame.ProcessWindowEvent(event);
}

bool BarShown(MyFrame& frame, long style) {
    for (wxWindow* child : frame.DrawingView()->GetChildren())
        if (auto* bar = wxDynamicCast(child, wxScrollBar); bar && bar->HasFlag(style))
            return bar->IsShown();
    return false;
}

// The window as the user first sees it: laid out and painted (a loaded
// machine may take more than one Settle).
MyFrame& Shown(MyFrame& frame) {
    for (int round = 0; round < 200; ++round) {
        if (frame.Canvas()->Painted() && frame.Canvas()->Geometry().width > 0) break;
        Settle();
    }
    return frame;
}

using Zoom = FrameTest;

TEST_F(Zoom, ANewWindowFitsTheDrawingAndTheZoomIsKept) {
    MyFrame& frame = Shown(Start());
    ASSERT_TRUE(frame.Canvas()->Painted());
    const ViewGeometry& view = frame.Canvas()->Geometry();
    EXPECT_TRUE(frame.DrawingView()->Fitted());
    EXPECT_LE(view.DrawingWidth(), view.width);
    EXPECT_LE(view.DrawingHeight(), view.height);
    EXPECT_TRUE(view.DrawingWidth() >= view.width - 1 || view.DrawingHeight() >= view.height - 1);
    EXPECT_FALSE(BarShown(frame, wxSB_HORIZONTAL) || BarShown(frame, wxSB_VERTICAL));
    // Ctrl+plus is parsed as such, not lost.
    const wxAcceleratorEntry* plus = frame.GetMenuBar()->FindItem(ID_ZOOM_IN)->GetAccel();
    ASSERT_NE(plus, nullptr);
    EXPECT_EQ(plus->GetKeyCode(), '+');

    Command(frame, ID_ZOOM_ACTUAL);
    for (int i = 0; i < 7; ++i) Command(frame, ID_ZOOM_IN);  // 1.1, 1.25 ... 2.5, 3
    Settle();
    EXPECT_FALSE(frame.DrawingView()->Fitted());
    EXPECT_EQ(view.zoom, 3.0);
    EXPECT_TRUE(BarShown(frame, wxSB_HORIZONTAL) && BarShown(frame, wxSB_VERTICAL));
    EXPECT_NE(ReadFile("tandrel.conf").find("zoomtofit: 0;\nzoompercent: 300;\n"),
              std::string::npos);
    Command(frame, ID_ZOOM_OUT);
    EXPECT_EQ(view.zoom, 2.5);
    Command(frame, ID_ZOOM_FIT);
    EXPECT_TRUE(frame.DrawingView()->Fitted());
    EXPECT_NE(ReadFile("tandrel.conf").find("zoomtofit: 1;\nzoompercent: 250;\n"),
              std::string::npos);
}

// Where hit-testing finds the instruction memory the window draws it, at
// every zoom and scroll: its gradient's colour at one point and its label.
TEST_F(Zoom, TheDrawingAndHitTestingAgreeAtThreeZoomsAndAfterAScroll) {
    MyFrame& frame = Shown(Start());
    ASSERT_TRUE(frame.Canvas()->Painted());
    const Simulator& sim = frame.GetSimulator();
    const Component* memory = nullptr;
    for (const auto& e : sim.Elements())
        if (e->kind == ElementKind::InstructionMemory) memory = e.get();
    ASSERT_NE(memory, nullptr);
    const double x = memory->x + 0.9 * memory->width;
    const double y = memory->y + 0.1 * memory->height;

    int firstColour[3] = {-1, -1, -1};
    for (const double zoom : {1.0, 0.5, 2.0}) {
        SCOPED_TRACE(zoom);
        frame.DrawingView()->SetZoom(zoom);
        const ViewGeometry& view = frame.Canvas()->Geometry();
        // The memory's corner in the middle of the view (a scroll where
        // the drawing is larger than the view).
        frame.DrawingView()->ScrollTo(
            static_cast<int>(x * view.UnitX()) - view.width / 2,
            static_cast<int>((view::kLayoutHeight - y) * view.UnitY()) - view.height / 2);
        Settle();
        const ScreenPoint at = LayoutToScreen(x, y, 0, 0, view);
        const LayoutPoint hit = MouseToLayout(at.x, at.y, view);
        EXPECT_EQ(sim.ElementAt(hit.x + 0.5, hit.y + 0.5), memory);

        const std::vector<unsigned char> pixels = frame.Canvas()->ReadPixels();
        const wxSize size = frame.Canvas()->PixelSize();
        const double scale = size.x / static_cast<double>(view.width);
        ASSERT_EQ(pixels.size(), std::size_t{3} * size.x * size.y);
        auto pixel = [&](int px, int py) {  // window pixels from the top left
            const int column = static_cast<int>(px * scale);
            const int row = size.y - 1 - static_cast<int>(py * scale);
            return &pixels[(std::size_t{1} * row * size.x + column) * 3];
        };
        const unsigned char* colour = pixel(at.x, at.y);
        EXPECT_LT(colour[0] + colour[1] + colour[2], 3 * 250) << "white where the memory is";
        for (int i = 0; i < 3; ++i) {
            if (firstColour[i] < 0) firstColour[i] = colour[i];
            EXPECT_NEAR(colour[i], firstColour[i], 12) << "channel " << i;
        }
        // Its label is written inside its box.
        const ScreenPoint topLeft =
            LayoutToScreen(memory->x, memory->y + memory->height, 0, 0, view);
        const ScreenPoint bottomRight =
            LayoutToScreen(memory->x + memory->width, memory->y, 0, 0, view);
        int dark = 0;
        for (int py = std::max(0, topLeft.y + 2); py < std::min(view.height, bottomRight.y - 2); ++py)
            for (int px = std::max(0, topLeft.x + 2); px < std::min(view.width, bottomRight.x - 2);
                 ++px) {
                const unsigned char* c = pixel(px, py);
                dark += c[0] + c[1] + c[2] < 3 * 60;
            }
        EXPECT_GT(dark, 20);
    }
}

}  // namespace
}  // namespace tandrel::test
