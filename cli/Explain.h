#pragma once

#include <string>

#include "sim/Explanation.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// The events cycle by cycle, one sentence a line ("cycle 3: ..."), then a
// count of each kind.
std::string FormatExplainText(const Simulator& sim, const Explainer& explainer);

// {"layout":L,"cycles":N,"events":[{"cycle":c,"kind":k,...}]} on one line.
std::string FormatExplainJson(const Explainer& explainer);

}  // namespace cli
}  // namespace tandrel
