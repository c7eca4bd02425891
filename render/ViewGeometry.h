#pragma once

namespace tandrel {

// The canvas shows the 250 x 174 unit datapath at a fixed 4.6 x 5.0 pixels
// per unit, origin bottom left: 1150 x 870 pixels.
namespace view {
constexpr int kLayoutWidth = 250;
constexpr int kLayoutHeight = 174;
constexpr int kPixelWidth = 1150;
constexpr int kPixelHeight = 870;
constexpr double kScaleX = 4.6;
constexpr double kScaleY = 5.0;
}  // namespace view

struct LayoutPoint {
    int x, y;
};
struct ScreenPoint {
    int x, y;
};

// A mouse position in pixels from the canvas's top-left corner, as layout
// units (truncated), for a canvas `height` pixels high.
inline LayoutPoint MouseToLayout(int px, int py, int height) {
    return {static_cast<int>(px * view::kLayoutWidth / static_cast<double>(view::kPixelWidth)),
            static_cast<int>((height - py) * view::kLayoutHeight /
                             static_cast<double>(view::kPixelHeight))};
}

// A layout position on the screen, given the canvas's screen origin and height.
inline ScreenPoint LayoutToScreen(double x, double y, int canvasX, int canvasY, int height) {
    return {static_cast<int>(canvasX + x * view::kPixelWidth / view::kLayoutWidth),
            static_cast<int>(canvasY + height - y * view::kPixelHeight / view::kLayoutHeight)};
}

}  // namespace tandrel
