#pragma once

#include "model/Link.h"

namespace tandrel {

// A rectangle in layout units; a point is inside only strictly between its
// edges.
struct HitBox {
    int left, right, bottom, top;
    bool Contains(double px, double py) const {
        return left < px && px < right && bottom < py && py < top;
    }
};

// The area around a port in which the mouse picks it: a small box on the
// outer side of the element's edge, a little larger for inputs.
inline HitBox PortHitBox(const Link& link) {
    const int x = link.PortX();
    const int y = link.PortY();
    const int d = link.isOutput ? 1 : 2;
    const int depth = link.isOutput ? 2 : 4;
    switch (link.side) {
        case Side::Left:
            return {x - 4, x, y - d, y + d};
        case Side::Right:
            return {x, x + 4, y - d, y + d};
        case Side::Top:
            return {x - 2, x + 2, y, y + depth};
        case Side::Bottom:
            return {x - 2, x + 2, y - depth, y};
    }
    return {x, x, y, y};
}

}  // namespace tandrel
