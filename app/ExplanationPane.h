#pragma once

#include <wx/textctrl.h>

#include "sim/ExplainedRun.h"

namespace tandrel {

// The current cycle told in sentences: each stale read, forward, taken
// branch, delay slot and squashed instruction of the cycle the machine is
// at, in the words `tandrel-cli explain` uses; on Simple, which level of the
// instruction the last Step worked.
class ExplanationPane : public wxTextCtrl {
  public:
    explicit ExplanationPane(wxWindow* parent);

    void ShowRun(const ExplainedRun& run, const Simulator& simulator);
};

// The text the pane shows for the run's current step.
wxString ExplanationText(const ExplainedRun& run, const Simulator& simulator);

}  // namespace tandrel
