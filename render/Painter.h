#pragma once

#include <string>
#include <vector>

#include "render/DrawRules.h"
#include "sim/Simulator.h"

// The datapath is drawn once, by DrawDatapath below, onto a painter: the
// window's OpenGL painter or a file painter (PNG, SVG). A painter knows only
// shapes, colours and its own scale; every decision about what to draw and
// in which colour stays in the drawing rules.

namespace tandrel {

// A vertex of a shaded triangle strip: its colour is Mix(from, to, t).
struct ShadedPoint {
    double x = 0.0, y = 0.0;
    double t = 0.0;
};

// Height of label and port-name text, in layout units (10 pixels at 100%).
constexpr double kTextHeight = 2.0;

class Painter {
  public:
    virtual ~Painter() = default;

    // Covers the whole picture in the background colour.
    virtual void Background(const ColourRecord& colour) = 0;

    // Until the matching Restore, points are given in a frame whose origin is
    // (x, y) of the current one, scaled by (sx, sy): element bodies are drawn
    // in their unit box this way.
    virtual void Transform(double x, double y, double sx, double sy) = 0;
    virtual void Restore() = 0;

    // An open line; `width` is in pixels at 100% and grows with the zoom.
    virtual void Polyline(const std::vector<Point>& points, double width,
                          const ColourRecord& colour) = 0;
    // A closed outline one pixel wide at 100%.
    virtual void Outline(const std::vector<Point>& points, const ColourRecord& colour) = 0;
    // A triangle strip shaded from `from` (t = 0) to `to` (t = 1); the shade
    // is linear across each shape drawn with it.
    virtual void Strip(const std::vector<ShadedPoint>& strip, const ColourRecord& from,
                       const ColourRecord& to) = 0;
    // A filled triangle with its tip at `tip`, pointing along `degrees` (0 is
    // +x), `length` long with a base 2 * halfHeight wide, in layout units.
    virtual void Arrowhead(Point tip, double degrees, double length, double halfHeight,
                           const ColourRecord& colour) = 0;
    // A filled junction dot.
    virtual void Dot(Point centre, double radius, const ColourRecord& colour) = 0;
    // One line of text with its baseline starting at `at`; `height` in layout
    // units.
    virtual void Text(Point at, const std::wstring& text, double height,
                      const ColourRecord& colour) = 0;
};

// Draws the whole datapath onto a painter: the background, then for every
// element its input arrowheads, the wires leaving it and its body, so later
// elements paint over earlier ones. `zoom` is the painter's scale (1.0 is
// 100%); it only keeps the thinnest arrowheads recognisable when zoomed out.
void DrawDatapath(Painter& painter, const Simulator& sim, const DisplayOptions& options,
                  const ColourTable& colours, double zoom);

// Outlines the parts where a stale read happened (see StaleReadParts) in
// dashed red, a little outside their boxes, over the drawing.
void DrawStaleReadMarks(Painter& painter, const std::vector<const Component*>& parts);

}  // namespace tandrel
