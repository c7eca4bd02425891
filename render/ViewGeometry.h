#pragma once

#include <algorithm>
#include <cmath>
#include <utility>

namespace tandrel {

// At zoom 1 the canvas shows the 250 x 174 unit datapath at 4.6 x 5.0
// pixels per unit, origin bottom left: 1150 x 870 pixels.
namespace view {
constexpr int kLayoutWidth = 250;
constexpr int kLayoutHeight = 174;
constexpr int kPixelWidth = 1150;
constexpr int kPixelHeight = 870;
constexpr double kScaleX = 4.6;
constexpr double kScaleY = 5.0;

// The zooms Ctrl+plus and Ctrl+minus step through; fitting to the window
// stays between the first and the last.
constexpr double kZoomSteps[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.9, 1.0, 1.1,
                                 1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0};
constexpr double kMinZoom = kZoomSteps[0];
constexpr double kMaxZoom = kZoomSteps[std::size(kZoomSteps) - 1];
}  // namespace view

inline double ClampZoom(double zoom) {
    return std::isfinite(zoom) ? std::clamp(zoom, view::kMinZoom, view::kMaxZoom) : 1.0;
}

// The next zoom step above `zoom` (direction > 0) or below it, so a zoom
// between two steps (a fitted one) moves to the neighbouring step.
inline double NextZoom(double zoom, int direction) {
    constexpr double kSame = 0.005;
    if (direction > 0) {
        for (double step : view::kZoomSteps)
            if (step > zoom + kSame) return step;
        return view::kMaxZoom;
    }
    for (auto step = std::rbegin(view::kZoomSteps); step != std::rend(view::kZoomSteps); ++step)
        if (*step < zoom - kSame) return *step;
    return view::kMinZoom;
}

// The largest zoom that shows the whole drawing in a view of this size.
inline double FitZoom(int width, int height) {
    return ClampZoom(std::min(width / static_cast<double>(view::kPixelWidth),
                              height / static_cast<double>(view::kPixelHeight)));
}

// Where the drawing lies in the canvas, in window pixels (before a high-DPI
// screen's content scale): the zoom, the canvas's size and how far the
// drawing is scrolled. A drawing smaller than the canvas is centred in it.
struct ViewGeometry {
    double zoom = 1.0;
    int width = view::kPixelWidth;
    int height = view::kPixelHeight;
    int scrollX = 0;  // pixels of the drawing left of the canvas
    int scrollY = 0;  // pixels of the drawing above the canvas

    int DrawingWidth() const { return static_cast<int>(std::lround(view::kPixelWidth * zoom)); }
    int DrawingHeight() const { return static_cast<int>(std::lround(view::kPixelHeight * zoom)); }
    int MaxScrollX() const { return std::max(0, DrawingWidth() - width); }
    int MaxScrollY() const { return std::max(0, DrawingHeight() - height); }
    // The drawing's top-left corner in canvas pixels.
    int Left() const {
        return DrawingWidth() <= width ? (width - DrawingWidth()) / 2
                                       : -std::clamp(scrollX, 0, MaxScrollX());
    }
    int Top() const {
        return DrawingHeight() <= height ? (height - DrawingHeight()) / 2
                                         : -std::clamp(scrollY, 0, MaxScrollY());
    }
    // The drawing's bottom edge, in pixels up from the canvas's bottom.
    int Bottom() const { return height - Top() - DrawingHeight(); }
    double UnitX() const { return view::kScaleX * zoom; }
    double UnitY() const { return view::kScaleY * zoom; }

    void ScrollTo(int x, int y) {
        scrollX = std::clamp(x, 0, MaxScrollX());
        scrollY = std::clamp(y, 0, MaxScrollY());
    }
    // Changes the zoom keeping the drawing's point under canvas pixel
    // (px, py) where it is.
    void ZoomAbout(double newZoom, int px, int py) {
        const double unitsRight = (px - Left()) / UnitX();
        const double unitsDown = (py - Top()) / UnitY();
        zoom = ClampZoom(newZoom);
        ScrollTo(static_cast<int>(std::lround(unitsRight * UnitX() - px)),
                 static_cast<int>(std::lround(unitsDown * UnitY() - py)));
    }
};

// Which scrollbars a view needs: a drawing wider than the view needs the
// horizontal one, whose thickness may then make the vertical one needed too.
inline std::pair<bool, bool> NeededScrollbars(int viewWidth, int viewHeight, int verticalBarWidth,
                                              int horizontalBarHeight, int drawingWidth,
                                              int drawingHeight) {
    bool horizontal = drawingWidth > viewWidth;
    bool vertical = drawingHeight > viewHeight;
    if (horizontal && !vertical) vertical = drawingHeight > viewHeight - horizontalBarHeight;
    if (vertical && !horizontal) horizontal = drawingWidth > viewWidth - verticalBarWidth;
    return {horizontal, vertical};
}

struct LayoutPoint {
    int x, y;
};
struct ScreenPoint {
    int x, y;
};

// A mouse position in pixels from the canvas's top-left corner, as whole
// layout units (rounded down, so a point left of or below the drawing is
// negative).
inline LayoutPoint MouseToLayout(int px, int py, const ViewGeometry& view) {
    return {static_cast<int>(std::floor((px - view.Left()) / view.UnitX())),
            static_cast<int>(std::floor((view.Top() + view.DrawingHeight() - py) / view.UnitY()))};
}

// A layout position on the screen, given the canvas's screen origin.
inline ScreenPoint LayoutToScreen(double x, double y, int canvasX, int canvasY,
                                  const ViewGeometry& view) {
    return {static_cast<int>(canvasX + view.Left() + x * view.UnitX()),
            static_cast<int>(canvasY + view.Top() + view.DrawingHeight() - y * view.UnitY())};
}

}  // namespace tandrel
