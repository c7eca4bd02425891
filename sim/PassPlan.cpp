#include "sim/PassPlan.h"

#include <algorithm>
#include <functional>

namespace tandrel {

namespace {

// What a junction with nothing feeding it passes on: no value, no activity.
const std::uint64_t kNoValue = 0;
const bool kInactive = false;
// A junction fed by itself counts as active and carries no value.
const bool kActive = true;

struct Feed {
    const std::uint64_t* value;
    const bool* active;
};

// Follows a chain of junctions from an output to the element driving it.
Feed FeedOf(const OutputLink& output) {
    const Component* owner = output.owner;
    if (!owner->IsNode()) return {&output.value, &owner->active};
    for (const auto& link : owner->ports) {
        if (link->isOutput) continue;
        const auto& input = static_cast<const InputLink&>(*link);
        if (!input.connected) continue;
        if (input.source->owner == owner) return {&kNoValue, &kActive};
        return FeedOf(*input.source);
    }
    return {&kNoValue, &kInactive};
}

// A junction is active when the element at the head of its chain is.
const bool* JunctionActivity(const Component& node) {
    for (const auto& link : node.ports) {
        if (link->isOutput) continue;
        const auto& input = static_cast<const InputLink&>(*link);
        if (input.connected) return input.FeedActive();
    }
    return &kInactive;
}

}  // namespace

void ResolveWiring(const std::vector<std::unique_ptr<Component>>& elements) {
    for (const auto& element : elements) {
        for (const auto& link : element->ports) {
            if (link->isOutput) continue;
            auto& input = static_cast<InputLink&>(*link);
            if (input.connected) {
                const Feed feed = FeedOf(*input.source);
                input.Resolve(feed.value, feed.active);
            } else {
                // No source: the value set by the layout stays, and the
                // layout's ready flag is the readiness.
                input.Resolve(&input.value, &input.defaultReady);
            }
        }
    }
}

PassPlan::PassPlan(const std::vector<std::unique_ptr<Component>>& elements, const Component* pc) {
    for (const auto& owned : elements) {
        Component* element = owned.get();
        if (element->IsNode()) {
            junctions_.push_back(element);
            glows_.push_back({&element->brightness, JunctionActivity(*element)});
            continue;
        }
        if (element == pc) {
            pc_ = element;
            pcLatch_ = evaluated_.size();
        }
        evaluated_.push_back(element);
        glows_.push_back({&element->brightness, &element->active});
        for (const auto& link : element->ports) {
            if (link->isOutput) continue;
            auto& input = static_cast<InputLink&>(*link);
            if (input.connected) copies_.push_back({&input.value, input.Feed()});
            if (element == pc) pcReady_.push_back(input.FeedActive());
        }
    }
    // The copies are independent of one another (each writes an input and
    // reads an output), so they go in the order of the inputs in memory.
    std::sort(copies_.begin(), copies_.end(),
              [](const Copy& a, const Copy& b) { return std::less<>()(a.to, b.to); });
}

bool PassPlan::RunSingleCycle() const {
    Evaluate();
    for (const Glow& glow : glows_)
        if (*glow.active) *glow.brightness = 0.7f;
    CopyInputs();

    bool pcReady = false;
    const std::size_t count = evaluated_.size();
    for (std::size_t i = 0; i < count; ++i) {
        Component* element = evaluated_[i];
        element->active = element->activeNext;
        if (i == pcLatch_ && pc_ != nullptr) {
            pcReady = true;
            for (const bool* ready : pcReady_) pcReady = pcReady && *ready;
        }
    }
    return pcReady;
}

void PassPlan::StartNextInstruction() const {
    for (Component* node : junctions_) node->SetActive(false);
    for (Component* element : evaluated_) {
        if (element == pc_) {
            element->brightness = 1.0f;
            continue;
        }
        element->SetActive(false);
        element->active = element->activeNext;
    }
}

}  // namespace tandrel
