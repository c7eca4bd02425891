#include <algorithm>
#include <cmath>

#include "render/Painter.h"

namespace tandrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Arcs are drawn with this many segments: half a turn for the multiplexer
// and AND-gate ends, a whole turn for ellipses.
constexpr int kArcSegments = 20;
constexpr int kHalfArc = kArcSegments / 2;
constexpr double kHalfway = 0.5;
// Multiplexer ends: half-ellipses an eighth of the box high.
constexpr double kMuxEndHeight = 0.125;
// AND gate: straight for this share of the width, then a half circle.
constexpr double kAndGateStraight = 0.67;
constexpr double kAndGateCutX = 1.5;  // beyond the box, in the narrowed frame
// ALU outline heights: the slanted edges meet the right side at a third and
// two thirds, the notch on the left points to the middle.
constexpr double kAluLow = 0.33;
constexpr double kAluHigh = 0.67;
constexpr double kAluNotchX = 0.45;
constexpr double kAluLowShade = 0.33;
constexpr double kAluHighShade = 0.67;

// Shared state of one frame. Shades run from an element's fill colour
// (t = 0) to the fade colour (t = 1).
struct Frame {
    Painter& painter;
    DrawContext context;
    const ColourTable& colours;
    double zoom;

    const ColourRecord& Colour(int key) const { return colours.Get(key); }
};

double HalfTurn(int i) {
    return i * kPi / kArcSegments;
}
double FullTurn(int i) {
    return i * 2.0 * kPi / kArcSegments;
}

void DrawInputArrows(const Frame& frame, const Component& element) {
    if (element.IsNode()) return;
    for (const auto& link : element.ports) {
        if (link->isOutput) continue;
        const auto& input = static_cast<const InputLink&>(*link);
        if (!input.connected || input.source == nullptr) continue;
        const OutputLink& source = *input.source;
        if (SkipArrowhead(frame.context.options, source)) continue;
        const bool bold = IsBold(frame.context, source, element);
        frame.painter.Arrowhead({double(input.PortX()), double(input.PortY())},
                                ArrowheadRotation(input.side), kArrowheadLength,
                                ArrowheadHalfHeight(bold, frame.zoom),
                                WireIntoState(frame.context, source, input, frame.colours).colour);
    }
}

void DrawOutputWires(const Frame& frame, const Component& element) {
    const DisplayOptions& options = frame.context.options;
    for (const auto& link : element.ports) {
        if (!link->isOutput || SkipOutput(options, *link)) continue;
        const auto& output = static_cast<const OutputLink&>(*link);
        for (const InputLink* target : output.targets) {
            const Component& destination = *target->owner;
            if (SkipWireInto(options, destination)) continue;
            const WireState state = WireIntoState(frame.context, output, *target, frame.colours);
            frame.painter.Polyline(WirePath(output, *target),
                                   LineWidth(frame.context, output, destination), state.colour);
        }
    }
}

// The element's label, one painter line per text line, and the visible port
// names, in the box frame.
void DrawLabels(const Frame& frame, const Component& element) {
    const ColourRecord& text = frame.Colour(option::kTextColour);
    // Text keeps its size in layout units whatever the box's height.
    const double height = kTextHeight / (element.height > 0.0 ? element.height : 1.0);
    int lineBreaks = 0;
    std::wstring line;
    for (std::size_t i = 0; i <= element.name.size(); ++i) {
        if (i < element.name.size() && element.name[i] != L'\n') {
            line += element.name[i];
            continue;
        }
        const double y = element.labelY + LabelLineOffset(lineBreaks, element.Height());
        if (!line.empty()) frame.painter.Text({element.labelX, y}, line, height, text);
        line.clear();
        ++lineBreaks;
    }
    for (const auto& link : element.ports) {
        if (!ShowPortName(frame.context.options, *link)) continue;
        frame.painter.Text({link->labelX, link->labelY}, link->name, height, text);
    }
}

void GradientSquare(Painter& painter, const ColourRecord& fill, const ColourRecord& fade) {
    painter.Strip({{0.0, 0.0, 1.0}, {1.0, 0.0, kHalfway}, {0.0, 1.0, kHalfway}, {1.0, 1.0, 0.0}},
                  fill, fade);
}

void DrawAlu(const Frame& frame, const ColourRecord& fill) {
    frame.painter.Strip({{0.0, 0.0, 1.0},
                         {0.0, kAluLow, kAluHighShade},
                         {1.0, kAluLow, kAluLowShade},
                         {kAluNotchX, kHalfway, kAluLowShade},
                         {1.0, kAluHigh, 0.0},
                         {0.0, kAluHigh, kAluLowShade},
                         {0.0, 1.0, 0.0}},
                        fill, frame.Colour(option::kFadeColour));
    frame.painter.Outline({{0.0, 0.0},
                           {1.0, kAluLow},
                           {1.0, kAluHigh},
                           {0.0, 1.0},
                           {0.0, kAluHigh},
                           {kAluNotchX, kHalfway},
                           {0.0, kAluLow}},
                          frame.Colour(option::kBorderColour));
}

Point MuxLowerArc(int i) {
    const double theta = HalfTurn(i);
    return {kHalfway - kHalfway * std::cos(theta), kMuxEndHeight - kMuxEndHeight * std::sin(theta)};
}
Point MuxUpperArc(int i) {
    const double theta = HalfTurn(i);
    return {kHalfway + kHalfway * std::cos(theta),
            1.0 - kMuxEndHeight + kMuxEndHeight * std::sin(theta)};
}

void DrawMux(const Frame& frame, const ColourRecord& fill) {
    GradientSquare(frame.painter, fill, frame.Colour(option::kFadeColour));
    // Paint the four corners over in the background colour, leaving a
    // stadium with half-elliptical ends.
    const ColourRecord& background = frame.Colour(option::kBackgroundColour);
    std::vector<ShadedPoint> lower, upper;
    for (int i = 0; i <= kArcSegments; ++i) {
        const Point low = MuxLowerArc(i);
        lower.push_back({i < kHalfArc ? 0.0 : 1.0, 0.0});
        lower.push_back({low.x, low.y});
        const Point high = MuxUpperArc(i);
        upper.push_back({i < kHalfArc ? 1.0 : 0.0, 1.0});
        upper.push_back({high.x, high.y});
    }
    frame.painter.Strip(lower, background, background);
    frame.painter.Strip(upper, background, background);

    std::vector<Point> outline;
    for (int i = 0; i <= kArcSegments; ++i) outline.push_back(MuxLowerArc(i));
    for (int i = 0; i <= kArcSegments; ++i) outline.push_back(MuxUpperArc(i));
    frame.painter.Outline(outline, frame.Colour(option::kBorderColour));
}

Point AndGateArc(int i) {
    const double theta = HalfTurn(i);
    return {1.0 + kHalfway * std::sin(theta), kHalfway + kHalfway * std::cos(theta)};
}

void DrawAndGate(const Frame& frame, const ColourRecord& fill) {
    GradientSquare(frame.painter, fill, frame.Colour(option::kFadeColour));
    frame.painter.Transform(0.0, 0.0, kAndGateStraight, 1.0);
    const ColourRecord& background = frame.Colour(option::kBackgroundColour);
    std::vector<ShadedPoint> cut;
    for (int i = 0; i <= kArcSegments; ++i) {
        cut.push_back({kAndGateCutX, i < kHalfArc ? 1.0 : 0.0});
        const Point p = AndGateArc(i);
        cut.push_back({p.x, p.y});
    }
    frame.painter.Strip(cut, background, background);

    std::vector<Point> outline{{0.0, 0.0}, {0.0, 1.0}, {1.0, 1.0}};
    for (int i = 0; i <= kArcSegments; ++i) outline.push_back(AndGateArc(i));
    outline.push_back({1.0, 0.0});
    frame.painter.Outline(outline, frame.Colour(option::kBorderColour));
    frame.painter.Restore();
}

// Control units and field converters: an ellipse shaded from the fade
// colour at the lower left to the fill colour at the upper right.
void DrawEllipse(const Frame& frame, const ColourRecord& fill) {
    const auto vertex = [](double theta) {
        const double t = (std::cos(theta + 3.0 * kPi / 4.0) + 1.0) / 2.0;
        return ShadedPoint{std::sin(theta), std::cos(theta), t};
    };
    frame.painter.Transform(kHalfway, kHalfway, kHalfway, kHalfway);
    std::vector<ShadedPoint> strip;
    for (int i = 0; i <= kHalfArc; ++i) {
        strip.push_back(vertex(FullTurn(i)));
        strip.push_back(vertex(FullTurn(kArcSegments - i)));
    }
    frame.painter.Strip(strip, fill, frame.Colour(option::kFadeColour));

    std::vector<Point> outline;
    for (int i = 0; i <= kArcSegments; ++i)
        outline.push_back({std::sin(FullTurn(i)), std::cos(FullTurn(i))});
    frame.painter.Outline(outline, frame.Colour(option::kBorderColour));
    frame.painter.Restore();
}

void DrawBody(const Frame& frame, const Component& element) {
    if (element.IsNode()) {
        if (NodeDotVisible(frame.context.options, element))
            frame.painter.Dot({static_cast<double>(element.x), static_cast<double>(element.y)},
                              NodeDotRadius(frame.context, element),
                              NodeDotState(frame.context, element, frame.colours).colour);
        return;
    }
    const ColourRecord& fill = FillColour(frame.colours, element.kind);
    frame.painter.Transform(element.x, element.y, element.width, element.height);
    switch (element.kind) {
        case ElementKind::ALU:
            DrawAlu(frame, fill);
            break;
        case ElementKind::Mux:
        case ElementKind::Mux3:
            DrawMux(frame, fill);
            break;
        case ElementKind::AndGate:
            DrawAndGate(frame, fill);
            break;
        case ElementKind::MainControl:
        case ElementKind::ALUControl:
        case ElementKind::SignExtend:
        case ElementKind::ShiftLeft2:
            DrawEllipse(frame, fill);
            break;
        default:  // PC, memories, pipeline registers, forwarding unit
            GradientSquare(frame.painter, fill, frame.Colour(option::kFadeColour));
            frame.painter.Outline({{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}},
                                  frame.Colour(option::kBorderColour));
            break;
    }
    DrawLabels(frame, element);
    frame.painter.Restore();
}

}  // namespace

void DrawDatapath(Painter& painter, const Simulator& sim, const DisplayOptions& options,
                  const ColourTable& colours, double zoom) {
    const Frame frame{painter, ContextOf(sim, options), colours, zoom};
    painter.Background(frame.Colour(option::kBackgroundColour));
    for (const auto& element : sim.Elements()) {
        if (SkipElement(options, *element)) continue;
        DrawInputArrows(frame, *element);
        DrawOutputWires(frame, *element);
        DrawBody(frame, *element);
    }
}

void DrawStaleReadMarks(Painter& painter, const std::vector<const Component*>& parts) {
    constexpr double kMargin = 1.5;  // layout units outside the box
    constexpr double kWidth = 3.0;   // pixels at 100%
    constexpr double kDash = 1.6;    // layout units drawn, then as many left out
    const ColourRecord red{0.85f, 0.0f, 0.0f, 1.0f};
    for (const Component* part : parts) {
        const double left = part->x - kMargin, right = part->x + part->width + kMargin;
        const double bottom = part->y - kMargin, top = part->y + part->height + kMargin;
        const Point corners[] = {{left, bottom}, {right, bottom}, {right, top}, {left, top}};
        for (int side = 0; side < 4; ++side) {
            const Point from = corners[side], to = corners[(side + 1) % 4];
            const double length = std::hypot(to.x - from.x, to.y - from.y);
            for (double at = 0.0; at < length; at += 2 * kDash) {
                const double end = std::min(at + kDash, length);
                painter.Polyline({{from.x + (to.x - from.x) * at / length,
                                   from.y + (to.y - from.y) * at / length},
                                  {from.x + (to.x - from.x) * end / length,
                                   from.y + (to.y - from.y) * end / length}},
                                 kWidth, red);
            }
        }
    }
}

}  // namespace tandrel
