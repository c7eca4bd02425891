#include "render/Renderer.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tandrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Arcs are drawn with this many segments: half a turn for the multiplexer
// and AND-gate ends, a whole turn for ellipses and dots.
constexpr int kArcSegments = 20;
constexpr int kHalfArc = kArcSegments / 2;
constexpr double kBackgroundFar = 2000.0;
constexpr double kBackgroundNear = -1000.0;
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
constexpr unsigned kLastLatin1 = 0xFF;
void* const kFont = GLUT_BITMAP_HELVETICA_10;

void SetColour(const ColourRecord& c) {
    glColor4f(c.r, c.g, c.b, c.a);
}

// Shared state of one frame.
struct Frame {
    DrawContext context;
    const ColourTable& colours;

    const ColourRecord& Colour(int key) const { return colours.Get(key); }
};

void DrawBackground(const Frame& frame) {
    const ColourRecord& background = frame.Colour(option::kBackgroundColour);
    if (background.a >= 1.0f) {
        // An opaque background blended over anything is the background
        // itself, so clearing gives the same pixels as the full-window quad
        // at a fraction of the cost for a software renderer.
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glClearColor(background.r, background.g, background.b, background.a);
        glClear(GL_COLOR_BUFFER_BIT);
        glPopAttrib();
        return;
    }
    SetColour(background);
    glBegin(GL_QUAD_STRIP);
    glVertex2d(kBackgroundNear, kBackgroundNear);
    glVertex2d(kBackgroundFar, kBackgroundNear);
    glVertex2d(kBackgroundNear, kBackgroundFar);
    glVertex2d(kBackgroundFar, kBackgroundFar);
    glEnd();
}

void DrawInputArrows(const Frame& frame, const Component& element) {
    if (element.IsNode()) return;
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glEnable(GL_POLYGON_SMOOTH);
    for (const auto& link : element.ports) {
        if (link->isOutput) continue;
        const auto& input = static_cast<const InputLink&>(*link);
        if (!input.connected || input.source == nullptr) continue;
        const OutputLink& source = *input.source;
        if (SkipArrowhead(frame.context.options, source)) continue;

        SetColour(WireIntoState(frame.context, source, input, frame.colours).colour);
        const double h = ArrowheadHalfHeight(IsBold(frame.context, source, element));
        glPushMatrix();
        glTranslated(input.PortX(), input.PortY(), 0.0);
        glRotated(ArrowheadRotation(input.side), 0.0, 0.0, 1.0);
        glBegin(GL_TRIANGLES);
        glVertex2d(0.0, 0.0);
        glVertex2d(-kArrowheadLength, -h);
        glVertex2d(-kArrowheadLength, h);
        glEnd();
        glPopMatrix();
    }
    glPopAttrib();
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
            glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT);
            glLineWidth(LineWidth(frame.context, output, destination));
            SetColour(state.colour);
            glBegin(GL_LINE_STRIP);
            for (const Point& p : WirePath(output, *target)) glVertex2d(p.x, p.y);
            glEnd();
            glPopAttrib();
        }
    }
}

// The bitmap font covers Latin-1; anything beyond shows as a question mark.
void DrawCharacter(wchar_t ch) {
    const auto code = static_cast<unsigned>(ch);
    glutBitmapCharacter(kFont, code <= kLastLatin1 ? static_cast<int>(code) : '?');
}

void DrawText(const std::wstring& text) {
    for (const wchar_t ch : text) DrawCharacter(ch);
}

// The element's label and the visible port names, in the box transform.
void DrawLabels(const Frame& frame, const Component& element) {
    SetColour(frame.Colour(option::kTextColour));
    glPushMatrix();
    glTranslated(element.labelX, element.labelY, 0.0);
    glRasterPos2d(0.0, 0.0);
    int lineBreaks = 0;
    for (const wchar_t ch : element.name) {
        if (ch == L'\n') {
            glRasterPos2d(0.0, LabelLineOffset(++lineBreaks, element.Height()));
        } else {
            DrawCharacter(ch);
        }
    }
    glPopMatrix();

    for (const auto& link : element.ports) {
        if (!ShowPortName(frame.context.options, *link)) continue;
        glPushMatrix();
        glTranslated(link->labelX, link->labelY, 0.0);
        glRasterPos2d(0.0, 0.0);
        DrawText(link->name);
        glPopMatrix();
    }
}

void GradientSquare(const ColourRecord& fill, const ColourRecord& fade) {
    const ColourRecord middle = Mix(fill, fade, kHalfway);
    glBegin(GL_TRIANGLE_STRIP);
    SetColour(fade);
    glVertex2d(0.0, 0.0);
    SetColour(middle);
    glVertex2d(1.0, 0.0);
    glVertex2d(0.0, 1.0);
    SetColour(fill);
    glVertex2d(1.0, 1.0);
    glEnd();
}

void RectangleOutline() {
    glBegin(GL_LINE_LOOP);
    glVertex2d(0.0, 0.0);
    glVertex2d(1.0, 0.0);
    glVertex2d(1.0, 1.0);
    glVertex2d(0.0, 1.0);
    glEnd();
}

double HalfTurn(int i) {
    return i * kPi / kArcSegments;
}
double FullTurn(int i) {
    return i * 2.0 * kPi / kArcSegments;
}

void DrawAlu(const ColourRecord& fill, const ColourRecord& fade, const ColourRecord& border) {
    struct ShadedVertex {
        double x, y, t;
    };
    static constexpr ShadedVertex kStrip[] = {
        {0.0, 0.0, 1.0},
        {0.0, kAluLow, kAluHighShade},
        {1.0, kAluLow, kAluLowShade},
        {kAluNotchX, kHalfway, kAluLowShade},
        {1.0, kAluHigh, 0.0},
        {0.0, kAluHigh, kAluLowShade},
        {0.0, 1.0, 0.0},
    };
    glBegin(GL_TRIANGLE_STRIP);
    for (const ShadedVertex& v : kStrip) {
        SetColour(Mix(fill, fade, v.t));
        glVertex2d(v.x, v.y);
    }
    glEnd();

    SetColour(border);
    glBegin(GL_LINE_LOOP);
    glVertex2d(0.0, 0.0);
    glVertex2d(1.0, kAluLow);
    glVertex2d(1.0, kAluHigh);
    glVertex2d(0.0, 1.0);
    glVertex2d(0.0, kAluHigh);
    glVertex2d(kAluNotchX, kHalfway);
    glVertex2d(0.0, kAluLow);
    glEnd();
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
    GradientSquare(fill, frame.Colour(option::kFadeColour));
    // Paint the four corners over in the background colour, leaving a
    // stadium with half-elliptical ends.
    SetColour(frame.Colour(option::kBackgroundColour));
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= kArcSegments; ++i) {
        glVertex2d(i < kHalfArc ? 0.0 : 1.0, 0.0);
        const Point p = MuxLowerArc(i);
        glVertex2d(p.x, p.y);
    }
    glEnd();
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= kArcSegments; ++i) {
        glVertex2d(i < kHalfArc ? 1.0 : 0.0, 1.0);
        const Point p = MuxUpperArc(i);
        glVertex2d(p.x, p.y);
    }
    glEnd();

    SetColour(frame.Colour(option::kBorderColour));
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i <= kArcSegments; ++i) {
        const Point p = MuxLowerArc(i);
        glVertex2d(p.x, p.y);
    }
    for (int i = 0; i <= kArcSegments; ++i) {
        const Point p = MuxUpperArc(i);
        glVertex2d(p.x, p.y);
    }
    glEnd();
}

Point AndGateArc(int i) {
    const double theta = HalfTurn(i);
    return {1.0 + kHalfway * std::sin(theta), kHalfway + kHalfway * std::cos(theta)};
}

void DrawAndGate(const Frame& frame, const ColourRecord& fill) {
    GradientSquare(fill, frame.Colour(option::kFadeColour));
    glPushMatrix();
    glScaled(kAndGateStraight, 1.0, 1.0);
    SetColour(frame.Colour(option::kBackgroundColour));
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= kArcSegments; ++i) {
        glVertex2d(kAndGateCutX, i < kHalfArc ? 1.0 : 0.0);
        const Point p = AndGateArc(i);
        glVertex2d(p.x, p.y);
    }
    glEnd();

    SetColour(frame.Colour(option::kBorderColour));
    glBegin(GL_LINE_LOOP);
    glVertex2d(0.0, 0.0);
    glVertex2d(0.0, 1.0);
    glVertex2d(1.0, 1.0);
    for (int i = 0; i <= kArcSegments; ++i) {
        const Point p = AndGateArc(i);
        glVertex2d(p.x, p.y);
    }
    glVertex2d(1.0, 0.0);
    glEnd();
    glPopMatrix();
}

// Control units and field converters: an ellipse shaded from the fade
// colour at the lower left to the fill colour at the upper right.
void DrawEllipse(const Frame& frame, const ColourRecord& fill) {
    const ColourRecord& fade = frame.Colour(option::kFadeColour);
    const auto shadedVertex = [&](double theta) {
        const double t = (std::cos(theta + 3.0 * kPi / 4.0) + 1.0) / 2.0;
        SetColour(Mix(fill, fade, t));
        glVertex2d(std::sin(theta), std::cos(theta));
    };
    glPushMatrix();
    glTranslated(kHalfway, kHalfway, 0.0);
    glScaled(kHalfway, kHalfway, 1.0);
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= kHalfArc; ++i) {
        shadedVertex(FullTurn(i));
        shadedVertex(FullTurn(kArcSegments - i));
    }
    glEnd();

    SetColour(frame.Colour(option::kBorderColour));
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i <= kArcSegments; ++i)
        glVertex2d(std::sin(FullTurn(i)), std::cos(FullTurn(i)));
    glEnd();
    glPopMatrix();
}

void DrawNodeDot(const Frame& frame, const Component& node) {
    if (!NodeDotVisible(frame.context.options, node)) return;
    const double radius = NodeDotRadius(frame.context, node);
    glPushAttrib(GL_CURRENT_BIT);
    SetColour(NodeDotState(frame.context, node, frame.colours).colour);
    glBegin(GL_POLYGON);
    for (int i = 0; i <= kArcSegments; ++i)
        glVertex2d(node.x + radius * std::cos(FullTurn(i)),
                   node.y + radius * std::sin(FullTurn(i)));
    glEnd();
    glPopAttrib();
}

void DrawBody(const Frame& frame, const Component& element) {
    if (element.IsNode()) {
        DrawNodeDot(frame, element);
        return;
    }
    const ColourRecord& fill = FillColour(frame.colours, element.kind);
    const ColourRecord& fade = frame.Colour(option::kFadeColour);
    glPushAttrib(GL_CURRENT_BIT);
    glPushMatrix();
    glTranslated(element.x, element.y, 0.0);
    glScaled(element.width, element.height, 1.0);
    switch (element.kind) {
        case ElementKind::ALU:
            DrawAlu(fill, fade, frame.Colour(option::kBorderColour));
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
            GradientSquare(fill, fade);
            SetColour(frame.Colour(option::kBorderColour));
            RectangleOutline();
            break;
    }
    DrawLabels(frame, element);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace

void DrawStaleReadMarks(const std::vector<const Component*>& parts) {
    constexpr double kMargin = 1.5;  // layout units outside the box
    constexpr float kWidth = 3.0f;
    constexpr GLushort kDashes = 0x0F0F;
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT);
    glLineWidth(kWidth);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(2, kDashes);
    glColor4f(0.85f, 0.0f, 0.0f, 1.0f);
    for (const Component* part : parts) {
        const double left = part->x - kMargin, right = part->x + part->width + kMargin;
        const double bottom = part->y - kMargin, top = part->y + part->height + kMargin;
        glBegin(GL_LINE_LOOP);
        glVertex2d(left, bottom);
        glVertex2d(right, bottom);
        glVertex2d(right, top);
        glVertex2d(left, top);
        glEnd();
    }
    glPopAttrib();
}

void StartGlut(int* argc, char** argv) {
#if defined(__SANITIZE_ADDRESS__)
    const __lsan::ScopedDisabler untracked;
#endif
    glutInit(argc, argv);
}

void SetUpView(int width, int height) {
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScaled(view::kScaleX, view::kScaleY, 1.0);
}

void DrawDatapath(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours) {
    const Frame frame{ContextOf(sim, options), colours};
    DrawBackground(frame);
    for (const auto& element : sim.Elements()) {
        if (SkipElement(options, *element)) continue;
        DrawInputArrows(frame, *element);
        DrawOutputWires(frame, *element);
        DrawBody(frame, *element);
    }
}

}  // namespace tandrel
