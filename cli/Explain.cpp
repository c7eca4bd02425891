#include "cli/Explain.h"

#include <map>
#include <sstream>

#include "cli/Diagram.h"
#include "cli/Options.h"

namespace tandrel {
namespace cli {

std::string FormatExplainText(const Simulator& sim, const Explainer& explainer) {
    std::ostringstream out;
    const Layout layout = explainer.CurrentLayout();
    std::map<EventKind, int> counts;
    for (const PipelineEvent& event : explainer.Events()) {
        out << (layout == Layout::Simple ? "step " : "cycle ") << event.cycle << ": "
            << DescribeEvent(sim, layout, event) << '\n';
        ++counts[event.kind];
    }
    const long long cycles = explainer.GetTimeline().cycles;
    out << cycles << (layout == Layout::Simple ? " steps" : " cycles");
    if (layout != Layout::Simple) {
        auto count = [&](EventKind kind, const char* one, const char* many) {
            const int n = counts[kind];
            return std::to_string(n) + ' ' + (n == 1 ? one : many);
        };
        out << ": " << count(EventKind::StaleRead, "stale read", "stale reads");
        if (layout == Layout::Forwarding)
            out << ", " << count(EventKind::Forward, "forward", "forwards");
        out << ", " << count(EventKind::TakenBranch, "taken branch", "taken branches") << ", "
            << count(EventKind::Squashed, "squashed instruction", "squashed instructions");
    }
    out << '\n';
    return out.str();
}

std::string FormatExplainJson(const Explainer& explainer) {
    std::ostringstream out;
    out << "{\"layout\":\"" << LayoutName(explainer.CurrentLayout())
        << "\",\"cycles\":" << explainer.GetTimeline().cycles << ",\"events\":[";
    bool first = true;
    for (const PipelineEvent& e : explainer.Events()) {
        out << (first ? "" : ",") << "{\"cycle\":" << e.cycle << ",\"kind\":\""
            << EventKindName(e.kind) << '"';
        first = false;
        switch (e.kind) {
            case EventKind::StaleRead:
                out << ",\"register\":" << e.reg << ",\"reader\":" << e.address
                    << ",\"writer\":" << e.other << ",\"read\":" << e.read << ",\"expected\":";
                if (e.expectedKnown)
                    out << e.expected;
                else
                    out << "null";
                break;
            case EventKind::Forward:
                out << ",\"register\":" << e.reg << ",\"from\":\"" << ForwardSourceName(e.from)
                    << "\",\"to\":\"" << OperandName(e.to) << "\",\"reader\":" << e.address
                    << ",\"writer\":" << e.other;
                break;
            case EventKind::TakenBranch:
            case EventKind::DelaySlot:
            case EventKind::Squashed:
                out << ",\"address\":" << e.address;
                break;
            case EventKind::Level:
                out << ",\"address\":" << e.address << ",\"level\":" << e.level
                    << ",\"what\":" << JsonString(e.what) << ",\"parts\":" << JsonString(e.parts);
                break;
        }
        out << '}';
    }
    out << "]}\n";
    return out.str();
}

}  // namespace cli
}  // namespace tandrel
