#pragma once

#include <cstdint>
#include <vector>

#include "sim/Explanation.h"

namespace tandrel {

class Simulator;

// The explanation of the run the window shows, kept in step with time
// travel. One Explainer watches the run as far as it has gone; when the
// machine is taken back, what is shown is the part of that watch up to the
// current step, exactly as a fresh run to that step would tell it. That
// holds because the machine is deterministic: the run forward from any
// remembered step is the one already watched, until its history is cleared.
// Steps and cycles here are the machine's own (on the pipelines a Step is a
// clock cycle).
class ExplainedRun {
  public:
    // Brings the explanation to the machine's current step. Steps not yet
    // watched (a Step taken while nothing was shown) are replayed from the
    // last one watched, and the machine ends where it was. After Reset,
    // Parse, Load, a layout change or ClearHistory the watch starts again
    // from the earliest step the machine can go back to.
    void Follow(Simulator& sim);

    Layout CurrentLayout() const { return layout; }
    long long CurrentStep() const { return shown.cycles; }
    // The rows fetched up to the step after the current one, each as it
    // stands now (a row is marked squashed only once the flush happened).
    const Timeline& GetTimeline() const { return shown; }
    // The events up to the current step, in step order.
    const std::vector<PipelineEvent>& Events() const { return events; }
    // The events of one step.
    std::vector<PipelineEvent> EventsAt(long long step) const;
    // The events of the instruction in one timeline row while it is in the
    // pipeline: those about it and those naming it as the writer or branch.
    std::vector<PipelineEvent> EventsOfRow(std::size_t row) const;

  private:
    void Restart(Simulator& sim, long long now);
    void Watch(Simulator& sim, long long until);
    void Show(long long step);

    Explainer explainer;
    bool started = false;
    Layout layout = Layout::Simple;
    std::uint64_t generation = 0;  // the history's, when the watch began
    long long origin = 0;          // the machine's step when the watch began
    Timeline shown;
    std::vector<PipelineEvent> events;
};

}  // namespace tandrel
