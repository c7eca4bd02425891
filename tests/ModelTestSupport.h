#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/Component.h"

namespace tandrel::test {

// One evaluation pass as the simulator drives it: evaluate every element but
// the junctions, then let every element pull its inputs, then latch activity.
inline void RunPass(const std::vector<Component*>& elements) {
    for (Component* e : elements)
        if (!e->IsNode()) e->Evaluate();
    for (Component* e : elements) e->PullInputs();
    for (Component* e : elements)
        if (!e->IsNode()) e->LatchActive();
}

inline void RunPasses(const std::vector<Component*>& elements, int count) {
    for (int i = 0; i < count; ++i) RunPass(elements);
}

// An unconnected input holding a constant, ready as the layouts make them.
inline void SetConstant(Component& element, int port, std::uint64_t value) {
    element.SetPortValue(port, value);
    element.SetPortReady(port, true);
}

inline Box AnyBox() {
    return Box{10.0, 20.0, 8.0, 12.0};
}

}  // namespace tandrel::test
