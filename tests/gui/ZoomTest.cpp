#include <wx/scrolbar.h>

#include "app/Ids.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

using Zoom = FrameTest;

// A new window fits the drawing; a chosen zoom is kept; and at 50%, 100%
// and 200%, each scrolled to the instruction memory, the window draws the
// memory's shading where hit-testing finds it. (How labels scale with the
// zoom is the drawing tests' to check.)
TEST_F(Zoom, FitsAtFirstAndDrawsWhereHitTestingFindsAtEveryZoom) {
    MyFrame& frame = Start();
    MyGLCanvas& canvas = *frame.Canvas();
    ASSERT_TRUE(canvas.Painted());
    const ViewGeometry& view = canvas.Geometry();
    EXPECT_TRUE(frame.DrawingView()->Fitted());
    const double fitted = view.zoom;
    EXPECT_EQ(fitted, FitZoom(view.width, view.height));
    Command(frame, ID_ZOOM_IN);
    EXPECT_EQ(view.zoom, NextZoom(fitted, 1));
    EXPECT_NE(ReadFile("tandrel.conf").find("zoomtofit: 0;\nzoompercent: "), std::string::npos);

    const Component* memory = nullptr;
    for (const auto& e : frame.GetSimulator().Elements())
        if (e->kind == ElementKind::InstructionMemory) memory = e.get();
    ASSERT_NE(memory, nullptr);
    const double x = memory->x + 0.9 * memory->width;
    const double y = memory->y + 0.1 * memory->height;
    int first = -1;
    for (const double zoom : {1.0, 0.5, 2.0}) {
        SCOPED_TRACE(zoom);
        frame.DrawingView()->SetZoom(zoom);
        frame.DrawingView()->ScrollTo(
            static_cast<int>(x * view.UnitX()) - view.width / 2,
            static_cast<int>((view::kLayoutHeight - y) * view.UnitY()) - view.height / 2);
        Settle();
        const ScreenPoint at = LayoutToScreen(x, y, 0, 0, view);
        const LayoutPoint hit = MouseToLayout(at.x, at.y, view);
        EXPECT_EQ(frame.GetSimulator().ElementAt(hit.x + 0.5, hit.y + 0.5), memory);

        const std::vector<unsigned char> pixels = canvas.ReadPixels();
        const wxSize size = canvas.PixelSize();
        ASSERT_EQ(pixels.size(), std::size_t{3} * size.x * size.y);
        const double scale = size.x / static_cast<double>(view.width);  // high-DPI
        // The pixel under `at`, counted from the top left; rows run bottom first.
        const std::size_t row = size.y - 1 - static_cast<int>(at.y * scale);
        const unsigned char* c = &pixels[(row * size.x + static_cast<int>(at.x * scale)) * 3];
        const int brightness = c[0] + c[1] + c[2];
        if (first < 0) first = brightness;
        EXPECT_LT(first, 3 * 250) << "white where the memory is";
        EXPECT_NEAR(brightness, first, 30);
    }
    // At 200% the drawing is larger than the view: the scrollbars show.
    for (wxWindow* child : frame.DrawingView()->GetChildren())
        if (dynamic_cast<wxScrollBar*>(child) != nullptr) {
            EXPECT_TRUE(child->IsShown());
        }
}

// File > Export Picture writes what the window shows: a PNG at the zoom on
// screen and an SVG, by the name's ending; a failed write is told.
TEST_F(Zoom, ExportPictureWritesPngAtTheZoomAndSvg) {
    MyFrame& frame = Start();
    Command(frame, ID_ZOOM_ACTUAL);
    wxString chosen, told;
    frame.askPictureName = [&] { return chosen; };
    frame.reportError = [&](const wxString& message) { told = message; };
    for (const char* name : {"step.png", "step.svg", "no-such-folder/step.png"}) {
        chosen = wxString::FromUTF8((folder / name).string());
        Command(frame, ID_EXPORT_PICTURE);
    }
    EXPECT_EQ(ReadFile("step.png").rfind("\x89PNG", 0), 0u);
    EXPECT_NE(ReadFile("step.svg").find("<svg"), std::string::npos);
    EXPECT_TRUE(told.Contains(wxT("no-such-folder"))) << told;
}

}  // namespace
}  // namespace tandrel::test
