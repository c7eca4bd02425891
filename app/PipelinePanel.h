#pragma once

#include <wx/panel.h>
#include <wx/splitter.h>

#include <functional>

#include "app/ExplanationPane.h"
#include "app/TimelinePane.h"
#include "sim/ExplainedRun.h"

namespace tandrel {

// Under the drawing: the timeline on the left, where a run grows to the
// right, and beside it the explanation of the current cycle, so the cells
// and the sentences about them are seen together while stepping.
class PipelinePanel : public wxPanel {
  public:
    PipelinePanel(wxWindow* parent, Simulator& simulator, const ColourTable& colours);

    // Brings both panes to the machine's current step (while shown; a
    // hidden panel catches up when it is shown again).
    void Follow();
    // The same for a panel that may not have been built yet.
    static void Follow(PipelinePanel* panel);

    TimelinePane* Timeline() { return timeline; }
    ExplanationPane* Explanation() { return explanation; }
    const ExplainedRun& Run() const { return run; }

  private:
    Simulator& simulator;
    ExplainedRun run;
    wxSplitterWindow* splitter = nullptr;
    TimelinePane* timeline = nullptr;
    ExplanationPane* explanation = nullptr;
    int explanationWidth = 420;  // until the user drags the sash
};

}  // namespace tandrel
