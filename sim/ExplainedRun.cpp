#include "sim/ExplainedRun.h"

#include <algorithm>

#include "sim/Simulator.h"

namespace tandrel {

namespace {

constexpr long long kLastStage = Simulator::kStages - 1;

// The cycle in which a stale read's writer writes back, when the explainer
// learns the value the reader should have had. Its ready cycle is that
// write-back on Pipelined, the end of MEM (one cycle earlier) on Forwarding.
long long ExpectedKnownIn(Layout layout, const PipelineEvent& event) {
    return event.readyCycle + (layout == Layout::Forwarding ? 1 : 0);
}

}  // namespace

void ExplainedRun::Follow(Simulator& sim) {
    const long long now = sim.GetProgress().steps;
    const long long watched = origin + explainer.GetTimeline().cycles;
    if (!started || sim.CurrentLayout() != layout ||
        sim.GetHistory().Generation() != generation || now < origin) {
        Restart(sim, now);
    } else if (now > watched) {
        sim.GoToStep(watched);
        Watch(sim, now);
    }
    Show(sim.GetProgress().steps - origin);
}

void ExplainedRun::Restart(Simulator& sim, long long now) {
    // Before the history's first step the run cannot be replayed.
    const History& history = sim.GetHistory();
    origin = history.Empty() ? now : history.Base();
    if (origin != now) sim.GoToStep(origin);
    explainer.Start(sim);
    layout = sim.CurrentLayout();
    generation = history.Generation();
    started = true;
    Watch(sim, now);
}

void ExplainedRun::Watch(Simulator& sim, long long until) {
    while (sim.GetProgress().steps < until) {
        const long long before = sim.GetProgress().steps;
        sim.Step();
        if (sim.GetProgress().steps == before) return;  // no datapath to step
        explainer.Observe(sim);
    }
}

void ExplainedRun::Show(long long step) {
    const Timeline& all = explainer.GetTimeline();
    shown.cycles = origin + step;
    shown.rows.clear();
    for (const TimelineRow& row : all.rows) {
        if (row.fetchCycle > step + 1) break;
        TimelineRow now = row;
        // A squash is known in the cycle of the fetch it throws away.
        now.squashed = row.squashed && row.fetchCycle <= step;
        now.fetchCycle += origin;
        shown.rows.push_back(now);
    }
    events.clear();
    for (const PipelineEvent& event : explainer.Events()) {
        if (event.cycle > step) break;
        PipelineEvent now = event;
        if (event.kind == EventKind::StaleRead) {
            if (ExpectedKnownIn(layout, event) > step) {
                now.expected = 0;
                now.expectedKnown = false;
            }
            now.readyCycle += origin;
        }
        now.cycle += origin;
        events.push_back(now);
    }
}

std::vector<PipelineEvent> ExplainedRun::EventsAt(long long step) const {
    const auto first = std::lower_bound(
        events.begin(), events.end(), step,
        [](const PipelineEvent& event, long long cycle) { return event.cycle < cycle; });
    auto last = first;
    while (last != events.end() && last->cycle == step) ++last;
    return std::vector<PipelineEvent>(first, last);
}

std::vector<PipelineEvent> ExplainedRun::EventsOfRow(std::size_t index) const {
    std::vector<PipelineEvent> of;
    if (index >= shown.rows.size()) return of;
    const TimelineRow& row = shown.rows[index];
    for (const PipelineEvent& event : events) {
        if (event.cycle < row.fetchCycle || event.cycle > row.fetchCycle + kLastStage) continue;
        const bool namesOther = event.kind != EventKind::TakenBranch && event.kind != EventKind::Level;
        if (event.address == row.address || (namesOther && event.other == row.address))
            of.push_back(event);
    }
    return of;
}

}  // namespace tandrel
