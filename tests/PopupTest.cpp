#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "model/Combinational.h"
#include "render/ViewGeometry.h"
#include "sim/Popup.h"

namespace tandrel {
namespace {

// Hit-testing follows the zoom and the scroll: a canvas pixel maps to the
// layout unit drawn there, and that unit's middle maps back onto it.
TEST(ViewGeometry, PixelsAndLayoutUnitsMeetAtEveryZoomAndScrollAndZoomSteps) {
    const struct {
        double zoom;
        int width, height, scrollX, scrollY, px, py, x, y;
    } cases[] = {
        {1.0, 1150, 870, 0, 0, 0, 869, 0, 0},           // bottom-left pixel
        {1.0, 1150, 870, 0, 0, 1149, 0, 249, 174},      // top-right pixel
        {1.0, 1250, 970, 0, 0, 50, 919, 0, 0},          // a larger canvas centres the drawing
        {1.0, 1250, 970, 0, 0, 49, 919, -1, 0},         // and its margin is no unit
        {0.5, 575, 435, 0, 0, 24, 0, 10, 174},          // 2.3 x 2.5 pixels a unit
        {2.0, 800, 600, 0, 0, 0, 0, 0, 174},            // the top-left of a larger drawing
        {2.0, 800, 600, 920, 1000, 5, 5, 100, 73},      // scrolled right and down
        {2.0, 800, 600, 5000, 5000, 799, 599, 249, 0},  // a scroll stops at the end
    };
    for (const auto& c : cases) {
        ViewGeometry view;
        view.zoom = c.zoom;
        view.width = c.width;
        view.height = c.height;
        view.ScrollTo(c.scrollX, c.scrollY);
        const LayoutPoint p = MouseToLayout(c.px, c.py, view);
        EXPECT_EQ(p.x, c.x) << c.zoom << ": " << c.px << "," << c.py;
        EXPECT_EQ(p.y, c.y) << c.zoom << ": " << c.px << "," << c.py;
        const ScreenPoint s = LayoutToScreen(c.x + 0.5, c.y + 0.5, 100, 50, view);
        const LayoutPoint back = MouseToLayout(s.x - 100, s.y - 50, view);
        EXPECT_EQ(back.x, c.x) << c.zoom << ": " << c.px << "," << c.py;
        EXPECT_EQ(back.y, c.y) << c.zoom << ": " << c.px << "," << c.py;
    }

    // Zoom steps, scrollbars, and zooming about a point.
    EXPECT_EQ(NextZoom(1.37, 1), 1.5);  // a fitted zoom steps to its neighbours
    EXPECT_EQ(NextZoom(1.37, -1), 1.25);
    EXPECT_EQ(NextZoom(1.0, 1), 1.1);
    // A horizontal bar takes height, so the drawing may then need both.
    EXPECT_EQ(NeededScrollbars(800, 600, 15, 15, 810, 590), std::make_pair(true, true));
    EXPECT_EQ(NeededScrollbars(800, 600, 15, 15, 810, 580), std::make_pair(true, false));
    ViewGeometry view;
    view.width = 800;
    view.height = 600;
    const LayoutPoint before = MouseToLayout(300, 200, view);
    view.ZoomAbout(2.0, 300, 200);
    const LayoutPoint after = MouseToLayout(300, 200, view);
    EXPECT_EQ(std::make_pair(after.x, after.y), std::make_pair(before.x, before.y));
}

// A pop-up's area: left, right, bottom, top.
std::array<double, 4> Area(const Popup& popup) {
    return {popup.left, popup.right, popup.bottom, popup.top};
}

// On Simple, three steps into "start: addi $1, $0, -1".
TEST(Popups, ElementsListTheirPortsAndAPortShowsASmallTipOncePerVisit) {
    Simulator sim;
    sim.SelectLayout(Layout::Simple);
    ASSERT_TRUE(sim.ParseProgram(L"start: addi $1, $0, -1\n"));
    sim.Reset();
    for (int i = 0; i < 3; ++i) sim.Step();
    PopupTracker tracker;
    PopupOptions options;
    // Instruction memory E2 spans (23, 59) to (48, 84).
    auto popup = tracker.OnMotion(sim, 30, 70, options);
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, L"Address: 0\nInstruction: 8, 0, 1, -1 (start: ADDI $1, $0, -1)");
    EXPECT_EQ(popup->maxWidth, PopupTracker::kElementWidth);
    EXPECT_EQ(Area(*popup), (std::array<double, 4>{23, 48, 59, 84}));
    // The same element on the next motion opens nothing and is forgotten.
    EXPECT_FALSE(tracker.OnMotion(sim, 31, 70, options));
    options.showFields = false;
    options.format = NumberFormat::Hexadecimal;
    popup = tracker.OnMotion(sim, 30, 70, options);
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, L"Address: 0\nInstruction: 2001FFFF (start: ADDI $1, $0, -1)");

    // The sign extender E7 at (107, 35), 9 x 15: its 16-bit input shows -1.
    options = PopupOptions{};
    popup = tracker.OnMotion(sim, 110, 40, options);
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, L"16: -1\n32: -1");

    // The PC's output at (11, 71): pick it just right of the box.
    popup = tracker.OnMotion(sim, 13, 71.5, options);
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->text, L"Output: 0");
    EXPECT_EQ(popup->maxWidth, PopupTracker::kPortWidth);
    EXPECT_EQ(popup->left, 11);
    EXPECT_EQ(popup->right, 15);
    // Moving over the same port opens nothing; empty space forgets it, so
    // coming back opens it again.
    EXPECT_FALSE(tracker.OnMotion(sim, 13.5, 71.5, options));
    EXPECT_FALSE(tracker.OnMotion(sim, 2, 2, options));
    EXPECT_TRUE(tracker.OnMotion(sim, 13, 71.5, options));

    // Hidden lines and switched-off pop-ups show nothing.
    options.showControl = false;
    EXPECT_FALSE(tracker.OnMotion(sim, 75, 105, options));  // the control unit E4
    options.showControl = true;
    options.showPopups = false;
    EXPECT_FALSE(tracker.OnMotion(sim, 30, 70, options));
}

// Inputs on the left half of a pipeline register, outputs on the right; the
// pop-up may stay open anywhere over its own half.
TEST(PipelinePopups, EachHalfOfARegisterHasItsOwnPopup) {
    Simulator sim;
    sim.SelectLayout(Layout::Pipelined);
    ASSERT_TRUE(sim.ParseProgram(L"addi $1, $0, -1\naddi $2, $0, 2\naddi $3, $0, 3\n"));
    sim.Reset();
    sim.Step();
    sim.Step();  // the third instruction is fetched, the second in ID
    const struct {
        double x, y;
        const wchar_t* text;
        double left, right, bottom, top;
    } cases[] = {
        // IF/ID at (54, 11), 5 x 120.
        {55, 60, L"Inputs\nC\n20030003", 54, 56, 11, 131},
        {58, 60, L"Outputs\n8\n20020002", 56, 59, 11, 131},
        // ID/EX at (117, 10), 5 x 140.
        {118, 60, L"Inputs\n", 117, 119, 10, 150},
        {121, 60, L"Outputs\n", 119, 122, 10, 150},
    };
    PopupOptions options;
    options.format = NumberFormat::Hexadecimal;
    for (const auto& c : cases) {
        PopupTracker tracker;
        const auto popup = tracker.OnMotion(sim, c.x, c.y, options);
        ASSERT_TRUE(popup) << c.x;
        EXPECT_EQ(popup->text.substr(0, std::wstring(c.text).size()), c.text) << c.x;
        EXPECT_EQ(Area(*popup), (std::array<double, 4>{c.left, c.right, c.bottom, c.top})) << c.x;
        EXPECT_FALSE(tracker.OnMotion(sim, c.x, c.y + 1, options)) << "the same half again";
    }
}

// The forwarding unit's right edge takes four inputs two units apart, so
// their boxes overlap: either half of each arrowhead names its own port.
TEST(ForwardingPopups, EachRightHandInputIsPickedOnBothHalvesOfItsArrowhead) {
    Simulator sim;
    sim.SelectLayout(Layout::Forwarding);
    int checked = 0;
    for (const auto& e : sim.Elements())
        for (const auto& link : e->ports)
            if (e->kind == ElementKind::Forwarding && link->side == Side::Right)
                for (double dy : {-0.4, 0.4}) {
                    ++checked;
                    const auto popup =
                        PopupTracker().OnMotion(sim, link->PortX() + 1, link->PortY() + dy, {});
                    ASSERT_TRUE(popup);
                    EXPECT_EQ(popup->text.substr(0, link->name.size() + 1), link->name + L":");
                }
    EXPECT_EQ(checked, 8);
}

}  // namespace
}  // namespace tandrel
