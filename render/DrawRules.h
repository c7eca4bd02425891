#pragma once

#include <array>
#include <vector>

#include "config/Config.h"
#include "model/Component.h"
#include "program/InstructionSet.h"
#include "sim/Explanation.h"
#include "sim/Simulator.h"

// The decisions behind the datapath drawing, kept free of OpenGL so they can
// be checked without a display: which wires are coloured and in which colour,
// which are bold, which elements, wires, arrowheads, dots and port names are
// hidden. The renderer only draws what these functions decide.

namespace tandrel {

// The user's drawing options, copied from the configuration by the window.
struct DisplayOptions {
    bool showControl = true;      // control units and control lines
    bool showPc = true;           // the PC path: branch adder, branch mux, ...
    bool highlightSingle = true;  // pipelined layouts: colour one instruction only
    bool boldDataLines = true;    // every data wire 2 pixels wide
};

// A drawing colour: components 0..1 as OpenGL takes them.
struct ColourRecord {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
    bool valid = false;
};

// The twelve drawing colours, indexed by their option numbers
// (option::kComponentColour .. option::kBackgroundColour).
class ColourTable {
  public:
    static constexpr int kFirstKey = option::kComponentColour;
    static constexpr int kLastKey = option::kBackgroundColour;
    static constexpr int kStageColours = Simulator::kStages;

    // The built-in default colours.
    ColourTable();
    explicit ColourTable(Config& config) : ColourTable() { Refresh(config); }

    // Reloads every colour from the configuration. A colour the store holds
    // as not valid keeps its previous value, so the picture never turns
    // transparent.
    void Refresh(Config& config);

    // The colour of an option number; throws std::out_of_range for a number
    // that is not a drawing colour.
    const ColourRecord& Get(int key) const;

    // Stage colour of colour index 0..4 (stage1colour .. stage5colour); any
    // other index gives opaque white.
    ColourRecord Stage(int index) const;

  private:
    std::array<ColourRecord, kLastKey - kFirstKey + 1> records{};
};

// Converts a configuration colour (0-255 components) to a drawing colour.
ColourRecord ToRecord(const Colour& colour);

// fill + (fade - fill) * t, component-wise, alpha included.
ColourRecord Mix(const ColourRecord& fill, const ColourRecord& fade, double t);

// A stage colour dimmed for an element that was active in an earlier pass:
// red, green and blue scaled by the brightness; alpha pulled up by
// 255 * (1 - brightness), so any dimmed colour ends up opaque. Components are
// clamped to 0..1 as OpenGL does.
ColourRecord Dimmed(const ColourRecord& colour, float brightness);

// Black or white, whichever stands out more from a background: the one with
// the higher contrast ratio by relative luminance (sRGB). Text on rows and
// lines coloured by pipeline stage uses it, so a dark stage colour gets
// white text.
Colour TextColourOn(const Colour& background);

// Everything one frame's decisions read besides the elements themselves.
struct DrawContext {
    DisplayOptions options;
    bool isSimple = true;
    int highlightStage = Simulator::kNoHighlight;
    int colourRotation = 0;
    std::array<InstructionKind, Simulator::kStages> stageInstruction{};

    bool HighlightValid() const {
        return highlightStage >= 0 && highlightStage < Simulator::kStages;
    }
    // Colour index of an instruction in a stage; each instruction keeps its
    // index from fetch to write-back because the rotation turns back as the
    // stage goes up.
    int ColourIndex(int stage) const;
};

DrawContext ContextOf(const Simulator& sim, const DisplayOptions& options);

// Line widths in pixels.
constexpr float kThinLine = 1.0f;
constexpr float kBoldLine = 2.0f;

// Node dot radii in layout units.
constexpr double kLargeDotRadius = 0.65;
constexpr double kSmallDotRadius = 0.5;

// Whether a wire, arrowhead or dot is coloured, with the colour to draw it in.
struct WireState {
    bool active = false;
    int colourIndex = -1;  // stage colour index when active, else -1
    ColourRecord colour;
};

// State of the wires leaving an output port (of the port's element).
WireState OutputWireState(const DrawContext& context, const Link& output,
                          const ColourTable& colours);

// State of the wire from `output` into one of its inputs. On Data Forwarding
// MUX A and MUX B pass on one of three values, as the forwarding unit's code
// chooses: only the wire into the chosen input (and a junction's wires that
// lead only there) is coloured, as the operand it becomes; the inputs not
// chosen are drawn inactive, so a forwarded value is never shown as coming
// from the register file. Every other wire is in OutputWireState's state.
WireState WireIntoState(const DrawContext& context, const Link& output, const InputLink& target,
                        const ColourTable& colours);

// The parts where the stale reads an explanation gives for `cycle` happened,
// to be outlined: the register file on Pipelined (read in ID), MUX A and MUX B
// on Data Forwarding (an ALU input or the data to store).
std::vector<const Component*> StaleReadParts(const Simulator& sim,
                                             const std::vector<PipelineEvent>& events,
                                             long long cycle);

// True when the wire from `output` into an input of `destination` is drawn
// 2 pixels wide: data wires only, and only the coloured ones unless every
// data line is to be bold.
bool IsBold(const DrawContext& context, const Link& output, const Component& destination);

inline float LineWidth(const DrawContext& context, const Link& output,
                       const Component& destination) {
    return IsBold(context, output, destination) ? kBoldLine : kThinLine;
}

// Whether an element is left out of the picture altogether (with its
// arrowheads, wires and body).
bool SkipElement(const DisplayOptions& options, const Component& element);

// Whether every wire leaving an output port is left out.
bool SkipOutput(const DisplayOptions& options, const Link& output);

// Whether the wire into an input of `destination` is left out.
bool SkipWireInto(const DisplayOptions& options, const Component& destination);

// Whether the arrowhead at a connected input is left out; `source` is the
// output that feeds it.
bool SkipArrowhead(const DisplayOptions& options, const Link& source);

// Whether a port's name is written beside it.
bool ShowPortName(const DisplayOptions& options, const Link& port);

// A junction shows its dot only where it still visibly joins one incoming
// wire to at least two outgoing ones.
bool NodeDotVisible(const DisplayOptions& options, const Component& node);

// Colour of a junction's dot: its own stage and brightness, with the used-by
// table of the wire that feeds it; a junction that leads only into MUX A and
// MUX B is coloured only when one of them chooses it (see WireIntoState).
WireState NodeDotState(const DrawContext& context, const Component& node,
                       const ColourTable& colours);

double NodeDotRadius(const DrawContext& context, const Component& node);

// A point in layout units.
struct Point {
    double x = 0.0, y = 0.0;
};

// The polyline of the wire from an output to one of its inputs: the output's
// end, the bend points of the input, the input's end.
std::vector<Point> WirePath(const Link& output, const InputLink& target);

// Rotation of the arrowhead for a port side, in degrees about z; the
// unrotated arrowhead points along +x, into an element's left edge.
double ArrowheadRotation(Side side);

// Half the height of an arrowhead's base, in layout units, at a zoom (1.0
// is 100%): zoomed out, a thin arrowhead keeps the 2.5 pixels it has at
// 100%, so it still reads as a triangle.
double ArrowheadHalfHeight(bool bold, double zoom = 1.0);

// Length of an arrowhead from base to tip, in layout units.
constexpr double kArrowheadLength = 3.0;

// Vertical offset, in box fractions, of the n-th line of an element's label:
// each line sits 3 layout units below the previous one.
double LabelLineOffset(int lineNumber, int elementHeight);

// The fill colour of an element's body: pipeline registers have their own.
const ColourRecord& FillColour(const ColourTable& colours, ElementKind kind);

}  // namespace tandrel
