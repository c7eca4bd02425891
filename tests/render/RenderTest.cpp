// The datapath as drawn: each layout is drawn into a window of the canvas's
// size, read back, and probed at a few places that identify the picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "render/Renderer.h"
#include "render/ViewGeometry.h"
#include "tests/DatapathRunner.h"
#include "tests/render/GlWindow.h"

namespace tandrel {
namespace {

using testing::GlWindow;
using testing::Image;

// Allowed difference per channel: anti-aliased edges and the gradient
// shading near a box corner.
constexpr int kTolerance = 12;

const wchar_t* const kProgram =
    L"LW $1, 0($0)\n"
    L"ADD $2, $1, $1\n"
    L"SW $2, 4($0)\n"
    L"BEQ $1, $2, 1\n";

Image::Rgb Rgb(const Colour& c) {
    return {c.r, c.g, c.b};
}

bool Near(Image::Rgb a, Image::Rgb b, int tolerance = kTolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string Text(Image::Rgb c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

// Whether every pixel within `radius` pixels of a layout point has the
// colour; a failure names the point and the colour found there.
::testing::AssertionResult OnlyColourNear(const Image& image, double x, double y,
                                          Image::Rgb colour, int radius = 2) {
    const int cx = static_cast<int>(x * view::kScaleX + 0.5);
    const int cy = static_cast<int>(y * view::kScaleY + 0.5);
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (!Near(image.At(cx + dx, cy + dy), colour))
                return ::testing::AssertionFailure()
                       << x << ", " << y << " is " << Text(image.At(cx, cy));
    return ::testing::AssertionSuccess();
}

const Component& FirstOfKind(const Simulator& sim, ElementKind kind) {
    for (const auto& e : sim.Elements())
        if (e->kind == kind) return *e;
    throw std::logic_error("layout has no element of that kind");
}

Point BoxPoint(const Component& e, double fx, double fy) {
    return {e.x + fx * e.width, e.y + fy * e.height};
}

// The middle of the longest straight piece of the wire from an output to
// its first input.
Point MiddleOfLongestSegment(const Link& output) {
    const auto& out = static_cast<const OutputLink&>(output);
    const auto path = WirePath(out, *out.targets.front());
    Point best{};
    double bestLength = -1;
    for (size_t i = 1; i < path.size(); ++i) {
        const double length =
            std::abs(path[i].x - path[i - 1].x) + std::abs(path[i].y - path[i - 1].y);
        if (length > bestLength) {
            bestLength = length;
            best = {(path[i].x + path[i - 1].x) / 2, (path[i].y + path[i - 1].y) / 2};
        }
    }
    return best;
}

class RenderTest : public ::testing::TestWithParam<Layout> {
  protected:
    void SetUp() override {
        if (!GlWindow::Open(view::kPixelWidth, view::kPixelHeight))
            GTEST_SKIP() << "no display for the drawing: " << GlWindow::Reason();
        test::LoadProgram(sim, GetParam(), kProgram, {});
    }

    Simulator sim;
};

TEST_P(RenderTest, BackgroundAndBodiesTakeTheConfiguredColours) {
    Config config{std::string{}};
    const Colour background = Colour::Rgba(200, 220, 240);
    const Colour component = Colour::Rgba(40, 120, 200);
    const Colour fade = Colour::Rgba(250, 250, 120);
    config.SetColour(option::kBackgroundColour, background);
    config.SetColour(option::kComponentColour, component);
    config.SetColour(option::kFadeColour, fade);
    const Image image = GlWindow::Draw(sim, DisplayOptions{}, ColourTable{config});

    // Empty corners of the layout.
    for (const auto& [x, y] : {std::pair{1.0, 1.0}, std::pair{247.0, 172.0}})
        EXPECT_TRUE(OnlyColourNear(image, x, y, Rgb(background)));

    // The instruction memory's body runs from the fade colour at the lower
    // left to the component colour at the upper right: across the unit box
    // the fade's share is 1 - (fx + fy) / 2.
    const Component& memory = FirstOfKind(sim, ElementKind::InstructionMemory);
    for (const auto& [fx, fy] :
         {std::pair{0.95, 0.95}, std::pair{0.05, 0.05}, std::pair{0.9, 0.1}, std::pair{0.5, 0.5}}) {
        const double t = 1.0 - (fx + fy) / 2.0;
        const auto mix = [t](int from, int to) { return static_cast<int>(from + (to - from) * t); };
        const Image::Rgb expected{mix(component.r, fade.r), mix(component.g, fade.g),
                                  mix(component.b, fade.b)};
        const Point p = BoxPoint(memory, fx, fy);
        EXPECT_TRUE(OnlyColourNear(image, p.x, p.y, expected, 1)) << "not " << Text(expected);
    }

    // A translucent background is blended over the white the window was
    // cleared to: half of each.
    config.SetColour(option::kBackgroundColour, Colour::Rgba(0, 100, 200, 128));
    const Image blended = GlWindow::Draw(sim, DisplayOptions{}, ColourTable{config});
    for (const auto& [x, y] : {std::pair{1.0, 1.0}, std::pair{247.0, 172.0}})
        EXPECT_TRUE(OnlyColourNear(blended, x, y, {127, 177, 227}));
}

TEST_P(RenderTest, BodiesAndLabelsScaleWithTheZoom) {
    Config config{std::string{}};
    const Colour text = Colour::Rgba(230, 20, 110);
    config.SetColour(option::kTextColour, text);
    const ColourTable colours{config};
    const Component& memory = FirstOfKind(sim, ElementKind::InstructionMemory);
    const Point centre = BoxPoint(memory, 0.5, 0.5);
    // The share of the memory's box its label covers, and the colour of a
    // point of its body clear of the label, where the zoom puts them.
    const auto probe = [&](double zoom, Image::Rgb& body) {
        const Image image = GlWindow::Draw(sim, DisplayOptions{}, colours, zoom, centre);
        const auto at = [&](double fx, double fy) {
            const Point p = BoxPoint(memory, fx, fy);
            return image.At(static_cast<int>((centre.x + (p.x - centre.x) * zoom) * view::kScaleX),
                            static_cast<int>((centre.y + (p.y - centre.y) * zoom) * view::kScaleY));
        };
        body = at(0.9, 0.1);
        // The text is red-purple on a grey body: red above green is ink,
        // counted by share so antialiased glyphs weigh what they cover.
        double ink = 0.0;
        for (int y = 1; y < 100; ++y)
            for (int x = 1; x < 100; ++x) {
                const Image::Rgb c = at(x / 100.0, y / 100.0);
                ink += std::max(0, c.r - c.g) / static_cast<double>(text.r - text.g);
            }
        return ink / (99.0 * 99.0);
    };
    Image::Rgb atHundred{}, zoomed{};
    const double base = probe(1.0, atHundred);
    ASSERT_GT(base, 0.0);
    for (const double zoom : {0.5, 2.0}) {
        const double share = probe(zoom, zoomed);
        EXPECT_TRUE(Near(zoomed, atHundred, 3)) << zoom << ": " << Text(zoomed);
        // The label covers the same share of the box at every zoom, give or
        // take the font's hinting.
        EXPECT_GT(share, base * 0.5) << zoom;
        EXPECT_LT(share, base * 2.0) << zoom;
    }
}

TEST_P(RenderTest, HiddenControlLinesLeaveNothingBehind) {
    Config config{std::string{}};
    const ColourTable colours{config};
    const Image::Rgb background = Rgb(config.GetColour(option::kBackgroundColour));
    const Component& control = FirstOfKind(sim, ElementKind::MainControl);
    const Point centre = BoxPoint(control, 0.5, 0.3);
    // The control unit's wires, and the control lines the pipeline
    // registers pass on.
    std::vector<Point> wires;
    for (const auto& e : sim.Elements()) {
        if (e->IsNode()) continue;
        for (const auto& link : e->ports) {
            const bool controlWire = e.get() == &control || link->controlLine;
            if (link->isOutput && link->IsConnected() && controlWire)
                wires.push_back(MiddleOfLongestSegment(*link));
        }
    }
    ASSERT_FALSE(wires.empty());

    DisplayOptions options;
    const Image shown = GlWindow::Draw(sim, options, colours);
    options.showControl = false;
    const Image hidden = GlWindow::Draw(sim, options, colours);

    EXPECT_FALSE(OnlyColourNear(shown, centre.x, centre.y, background));
    EXPECT_TRUE(OnlyColourNear(hidden, centre.x, centre.y, background));
    for (const Point& p : wires) {
        EXPECT_FALSE(OnlyColourNear(shown, p.x, p.y, background, 1)) << p.x << ", " << p.y;
        EXPECT_TRUE(OnlyColourNear(hidden, p.x, p.y, background, 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RenderTest,
                         ::testing::Values(Layout::Simple, Layout::Pipelined, Layout::Forwarding),
                         [](const auto& info) { return std::string(test::LayoutName(info.param)); });

}  // namespace
}  // namespace tandrel
