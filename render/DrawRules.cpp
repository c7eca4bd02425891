#include "render/DrawRules.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "model/Combinational.h"
#include "model/Pipeline.h"

namespace tandrel {

namespace {

constexpr float kComponentMax = 255.0f;
// Colour indices run 0..4; the rotation formula adds this before taking the
// remainder so it never goes negative for valid stages and rotations.
constexpr int kColourIndexBias = 10;
constexpr double kLabelLineSpacing = 3.0;  // layout units between label lines
constexpr double kBoldArrowHalfHeight = 1.0;
constexpr double kThinArrowHalfHeight = 0.5;

float Clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

// Whether a wire's used-by table lists an instruction kind; a kind the table
// never mentions (none, or a stray value) is not listed.
bool UsedBy(const Link& link, InstructionKind kind) {
    return link.IsUsedBy(static_cast<int>(kind));
}

// The coloured part of a wire's state, shared by wires and dots: which
// instruction is shown for `element`, whether `usedByTable` carries it, and
// whether the highlight allows colour there.
WireState StateFor(const DrawContext& context, const Link& usedByTable, const Component& element,
                   const ColourTable& colours) {
    const bool pipelinedHighlight = context.options.highlightSingle && !context.isSimple;
    const int shown =
        pipelinedHighlight && context.HighlightValid() ? context.highlightStage : element.stage;

    WireState inactive;
    inactive.colour = colours.Get(option::kInactiveLinkColour);
    // A stage outside the pipeline holds no instruction.
    if (shown < 0 || shown >= Simulator::kStages) return inactive;
    if (!UsedBy(usedByTable, context.stageInstruction[static_cast<size_t>(shown)])) return inactive;

    const bool highlighted = context.HighlightValid() && element.stage <= context.highlightStage;
    if (!highlighted && pipelinedHighlight) return inactive;

    WireState state;
    state.active = true;
    state.colourIndex = context.ColourIndex(shown);
    state.colour = Dimmed(colours.Stage(state.colourIndex), element.brightness);
    return state;
}

// The element's wires count as coloured for the bold rule and dot size: the
// highlight, when it applies, must reach the element's stage.
bool WithinHighlight(const DrawContext& context, const Component& element) {
    return !context.options.highlightSingle || context.isSimple ||
           (context.HighlightValid() && element.stage <= context.highlightStage);
}

const InputLink* FirstConnectedInput(const Component& element) {
    for (const auto& link : element.ports) {
        if (link->isOutput) continue;
        const auto& input = static_cast<const InputLink&>(*link);
        if (input.connected && input.source != nullptr) return &input;
    }
    return nullptr;
}

// Where a wire into an input leads, seen from the operand multiplexers of
// Data Forwarding.
struct OperandFeed {
    bool onlyOperandMuxes = false;  // into MUX A / MUX B data inputs and nowhere else
    // The multiplexers whose code picks this wire (MUX B may pick it for an
    // instruction that does not use MUX B, while MUX A uses it).
    std::array<const Component*, 2> chosenBy{};

    void Add(const Component* mux) {
        for (const Component*& slot : chosenBy) {
            if (slot == mux) return;
            if (slot == nullptr) {
                slot = mux;
                return;
            }
        }
    }
};

// MUX A and MUX B: three-way multiplexers the forwarding unit drives.
bool IsOperandMux(const Component& element) {
    if (element.kind != ElementKind::Mux3) return false;
    const OutputLink* select = element.In(Mux3::kControl).source;
    return select != nullptr && select->owner != nullptr &&
           select->owner->kind == ElementKind::Forwarding;
}

OperandFeed FeedThrough(const Component& node);

OperandFeed FeedOf(const InputLink& target) {
    const Component& to = *target.owner;
    if (IsOperandMux(to)) {
        if (target.port == Mux3::kControl) return {};
        OperandFeed feed;
        feed.onlyOperandMuxes = true;
        if (to.In(Mux3::kControl).value == static_cast<std::uint64_t>(target.port)) feed.Add(&to);
        return feed;
    }
    return to.IsNode() ? FeedThrough(to) : OperandFeed{};
}

// A junction leads only into the operand multiplexers when every wire
// leaving it does.
OperandFeed FeedThrough(const Component& node) {
    OperandFeed feed;
    for (const auto& link : node.ports) {
        if (!link->isOutput) continue;
        for (const InputLink* target : static_cast<const OutputLink&>(*link).targets) {
            const OperandFeed next = FeedOf(*target);
            if (!next.onlyOperandMuxes) return {};
            feed.onlyOperandMuxes = true;
            for (const Component* mux : next.chosenBy)
                if (mux != nullptr) feed.Add(mux);
        }
    }
    return feed;
}

// A chosen input carries what the multiplexer passes on: it is coloured as
// the multiplexer's output, for the instruction in EX. The codes are those of
// that instruction only: an instruction followed on past EX had its own, which
// the datapath no longer holds, so no input is coloured for it.
WireState OperandState(const DrawContext& context, const OperandFeed& feed,
                       const ColourTable& colours) {
    WireState state;
    state.colour = colours.Get(option::kInactiveLinkColour);
    const bool followed = context.options.highlightSingle && context.HighlightValid();
    for (const Component* mux : feed.chosenBy) {
        if (mux == nullptr || (followed && context.highlightStage != mux->stage)) break;
        state = OutputWireState(context, mux->Out(Mux3::kOutput), colours);
        if (state.active) break;
    }
    return state;
}

}  // namespace

ColourTable::ColourTable() {
    // A store that reads no file holds exactly the defaults.
    Config defaults{std::string{}};
    Refresh(defaults);
}

void ColourTable::Refresh(Config& config) {
    for (int key = kFirstKey; key <= kLastKey; ++key) {
        const Colour colour = config.GetColour(key);
        if (colour.valid) records[static_cast<size_t>(key - kFirstKey)] = ToRecord(colour);
    }
}

const ColourRecord& ColourTable::Get(int key) const {
    if (key < kFirstKey || key > kLastKey) throw std::out_of_range("not a drawing colour");
    return records[static_cast<size_t>(key - kFirstKey)];
}

ColourRecord ColourTable::Stage(int index) const {
    if (index < 0 || index >= kStageColours) return ColourRecord{1.0f, 1.0f, 1.0f, 1.0f, true};
    return Get(option::kStage1Colour + index);
}

ColourRecord ToRecord(const Colour& colour) {
    return ColourRecord{colour.r / kComponentMax, colour.g / kComponentMax,
                        colour.b / kComponentMax, colour.a / kComponentMax, colour.valid};
}

ColourRecord Mix(const ColourRecord& fill, const ColourRecord& fade, double t) {
    const auto mix = [t](float from, float to) {
        return static_cast<float>(from + (to - from) * t);
    };
    return ColourRecord{mix(fill.r, fade.r), mix(fill.g, fade.g), mix(fill.b, fade.b),
                        mix(fill.a, fade.a), fill.valid};
}

ColourRecord Dimmed(const ColourRecord& colour, float brightness) {
    return ColourRecord{Clamp01(colour.r * brightness), Clamp01(colour.g * brightness),
                        Clamp01(colour.b * brightness),
                        Clamp01(colour.a * brightness + kComponentMax * (1.0f - brightness)),
                        colour.valid};
}

Colour TextColourOn(const Colour& background) {
    const auto linear = [](std::uint8_t component) {
        const double c = component / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(background.r) + 0.7152 * linear(background.g) +
                             0.0722 * linear(background.b);
    // Contrast ratios (L1 + 0.05) / (L2 + 0.05) against black (L 0) and white (L 1).
    const double againstBlack = (luminance + 0.05) / 0.05;
    const double againstWhite = 1.05 / (luminance + 0.05);
    return againstBlack >= againstWhite ? Colour::Rgba(0, 0, 0) : Colour::Rgba(255, 255, 255);
}

int DrawContext::ColourIndex(int stage) const {
    return (kColourIndexBias - colourRotation - stage) % Simulator::kStages;
}

DrawContext ContextOf(const Simulator& sim, const DisplayOptions& options) {
    DrawContext context;
    context.options = options;
    context.isSimple = sim.CurrentLayout() == Layout::Simple;
    context.highlightStage = sim.FollowedStage();
    context.colourRotation = sim.colourRotation;
    context.stageInstruction = sim.stageInstruction;
    return context;
}

WireState OutputWireState(const DrawContext& context, const Link& output,
                          const ColourTable& colours) {
    if (!output.IsReady() || output.owner == nullptr) {
        WireState inactive;
        inactive.colour = colours.Get(option::kInactiveLinkColour);
        return inactive;
    }
    return StateFor(context, output, *output.owner, colours);
}

WireState WireIntoState(const DrawContext& context, const Link& output, const InputLink& target,
                        const ColourTable& colours) {
    const OperandFeed feed = context.isSimple ? OperandFeed{} : FeedOf(target);
    if (!feed.onlyOperandMuxes) return OutputWireState(context, output, colours);
    return OperandState(context, feed, colours);
}

std::vector<const Component*> StaleReadParts(const Simulator& sim,
                                             const std::vector<PipelineEvent>& events,
                                             long long cycle) {
    const Component* muxA = nullptr;
    const Component* muxB = nullptr;
    for (const auto& element : sim.Elements()) {
        if (element->kind != ElementKind::Forwarding) continue;
        muxA = element->Out(Forwarding::kForwardA).targets.front()->owner;
        muxB = element->Out(Forwarding::kForwardB).targets.front()->owner;
    }
    std::vector<const Component*> parts;
    const auto mark = [&parts](const Component* part) {
        if (part != nullptr && std::find(parts.begin(), parts.end(), part) == parts.end())
            parts.push_back(part);
    };
    for (const PipelineEvent& event : events) {
        if (event.kind != EventKind::StaleRead || event.cycle != cycle) continue;
        if (event.to == Operand::RegisterRead) mark(sim.GetRegisters());
        if (event.to == Operand::AluA || event.to == Operand::AluAB) mark(muxA);
        if (event.to != Operand::RegisterRead && event.to != Operand::AluA) mark(muxB);
    }
    return parts;
}

bool IsBold(const DrawContext& context, const Link& output, const Component& destination) {
    const Component* source = output.owner;
    if (source == nullptr) return false;
    const bool coloured = output.IsReady() && WithinHighlight(context, *source);
    return (coloured || context.options.boldDataLines) && !destination.IsControl() &&
           !source->IsControl() && !output.controlLine;
}

bool SkipElement(const DisplayOptions& options, const Component& element) {
    return (!options.showControl && element.IsControl()) || (!options.showPc && element.IsPcPath());
}

bool SkipOutput(const DisplayOptions& options, const Link& output) {
    return (!options.showControl && output.controlLine) || (!options.showPc && output.pcLine);
}

bool SkipWireInto(const DisplayOptions& options, const Component& destination) {
    return SkipElement(options, destination);
}

bool SkipArrowhead(const DisplayOptions& options, const Link& source) {
    const Component* owner = source.owner;
    const bool control = source.controlLine || (owner != nullptr && owner->IsControl());
    const bool pc = source.pcLine || (owner != nullptr && owner->IsPcPath());
    return (!options.showControl && control) || (!options.showPc && pc);
}

bool ShowPortName(const DisplayOptions& options, const Link& port) {
    if (!port.showLabel) return false;
    return !(port.controlLine && !options.showControl) && !(port.pcLine && !options.showPc);
}

bool NodeDotVisible(const DisplayOptions& options, const Component& node) {
    if (options.showControl && options.showPc) return true;
    int outgoing = 0;
    int incoming = 0;
    for (const auto& link : node.ports) {
        if (link->isOutput) {
            const auto& output = static_cast<const OutputLink&>(*link);
            for (const InputLink* target : output.targets) {
                const Component& to = *target->owner;
                const bool hiddenControl =
                    !options.showControl && (to.IsControl() || output.controlLine);
                const bool hiddenPc = !options.showPc && (to.IsPcPath() || output.pcLine);
                if (!hiddenControl && !hiddenPc) ++outgoing;
            }
        } else {
            const auto& input = static_cast<const InputLink&>(*link);
            if (!input.connected || input.source == nullptr) continue;
            const Component& from = *input.source->owner;
            if (!options.showPc && from.IsPcPath()) continue;
            if (options.showControl || !from.IsControl()) ++incoming;
        }
    }
    return outgoing >= 2 && incoming >= 1;
}

WireState NodeDotState(const DrawContext& context, const Component& node,
                       const ColourTable& colours) {
    const InputLink* input = FirstConnectedInput(node);
    if (!node.IsActive() || input == nullptr) {
        WireState inactive;
        inactive.colour = colours.Get(option::kInactiveLinkColour);
        return inactive;
    }
    const OperandFeed feed = context.isSimple ? OperandFeed{} : FeedThrough(node);
    if (feed.onlyOperandMuxes) return OperandState(context, feed, colours);
    return StateFor(context, *input->source, node, colours);
}

double NodeDotRadius(const DrawContext& context, const Component& node) {
    if (node.IsActive() && WithinHighlight(context, node)) return kLargeDotRadius;
    return context.options.boldDataLines ? kLargeDotRadius : kSmallDotRadius;
}

std::vector<Point> WirePath(const Link& output, const InputLink& target) {
    std::vector<Point> path;
    path.reserve(target.route.size() + 2);
    const Component& owner = *output.owner;
    if (output.side == Side::Left || output.side == Side::Right) {
        // Left and right ends keep their fractional x, so a wire leaving a
        // slanted edge (the control unit's ellipse) starts on the outline.
        path.push_back({static_cast<int>(owner.x) + output.relX * owner.Width(),
                        static_cast<double>(output.PortY())});
    } else {
        path.push_back({static_cast<double>(output.PortX()), static_cast<double>(output.PortY())});
    }
    for (const auto& [x, y] : target.route) path.push_back({x, y});
    path.push_back({static_cast<double>(target.PortX()), static_cast<double>(target.PortY())});
    return path;
}

double ArrowheadRotation(Side side) {
    switch (side) {
        case Side::Bottom:
            return 90.0;
        case Side::Right:
            return 180.0;
        case Side::Top:
            return 270.0;
        case Side::Left:
            return 0.0;
    }
    return 0.0;
}

double ArrowheadHalfHeight(bool bold, double zoom) {
    const double units = bold ? kBoldArrowHalfHeight : kThinArrowHalfHeight;
    return zoom > 0.0 ? std::max(units, kThinArrowHalfHeight / zoom) : units;
}

double LabelLineOffset(int lineNumber, int elementHeight) {
    // An element too flat to have an integer height is treated as one unit
    // high rather than dividing by zero.
    const int height = elementHeight > 0 ? elementHeight : 1;
    return -kLabelLineSpacing * lineNumber / height;
}

const ColourRecord& FillColour(const ColourTable& colours, ElementKind kind) {
    switch (kind) {
        case ElementKind::IFIDReg:
        case ElementKind::IDEXReg:
        case ElementKind::EXMEMReg:
        case ElementKind::MEMWBReg:
            return colours.Get(option::kPipeRegColour);
        default:
            return colours.Get(option::kComponentColour);
    }
}

}  // namespace tandrel
