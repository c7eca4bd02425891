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

// Checks an element's port numbering: one letter per port, 'i' for an input
// and 'o' for an output, and the port names in port order.
inline void ExpectPorts(const Component& element, const std::string& directions,
                        const std::vector<std::wstring>& names) {
    ASSERT_EQ(element.PortCount(), static_cast<int>(directions.size()));
    ASSERT_EQ(names.size(), directions.size());
    for (int p = 0; p < element.PortCount(); ++p) {
        const Link& link = element.Component::Port(p);
        EXPECT_EQ(link.port, p);
        EXPECT_EQ(link.owner, &element) << p;
        EXPECT_EQ(link.isOutput, directions[p] == 'o') << p;
        EXPECT_EQ(link.name, names[p]) << p;
    }
}

// The fixed properties every element class gives its base.
inline void ExpectElement(const Component& e, ElementKind kind, bool isControl, bool isPcPath,
                          double labelX, double labelY) {
    EXPECT_EQ(e.kind, kind);
    EXPECT_EQ(e.isControl, isControl);
    EXPECT_EQ(e.isPcPath, isPcPath);
    EXPECT_DOUBLE_EQ(e.labelX, labelX);
    EXPECT_DOUBLE_EQ(e.labelY, labelY);
    EXPECT_FALSE(e.active);
    EXPECT_FALSE(e.activeNext);
}

inline Box AnyBox() {
    return Box{10.0, 20.0, 8.0, 12.0};
}

}  // namespace tandrel::test
