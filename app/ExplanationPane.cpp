#include "app/ExplanationPane.h"

namespace tandrel {

ExplanationPane::ExplanationPane(wxWindow* parent)
    : wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                 wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP,
                 wxDefaultValidator, wxT("Explanation")) {}

void ExplanationPane::ShowRun(const ExplainedRun& run, const Simulator& simulator) {
    const wxString text = ExplanationText(run, simulator);
    if (GetValue() != text) ChangeValue(text);
}

wxString ExplanationText(const ExplainedRun& run, const Simulator& simulator) {
    const long long step = run.CurrentStep();
    const bool simple = run.CurrentLayout() == Layout::Simple;
    if (step == 0)
        return simple ? wxString(wxT("Press Step: each Step works one level of the "
                                     "instruction, and this pane says which."))
                      : wxString(wxT("Press Step: every stale read, forward, taken branch and "
                                     "squashed instruction of the cycle is told here. Hover "
                                     "over a cell of the timeline for its instruction's "
                                     "events; click it to go to that cycle."));
    const std::vector<PipelineEvent> events = run.EventsAt(step);
    wxString text = wxString::Format(simple ? wxT("Step %lld") : wxT("Cycle %lld"), step);
    if (events.empty())
        return text + (simple ? wxString(wxT(".")) :
                              wxString(wxT(": no stale read, forward or taken branch.")));
    text += wxT(":");
    for (const PipelineEvent& event : events)
        text += wxT("\n\u2022 ") +
                wxString::FromUTF8(DescribeEvent(simulator, run.CurrentLayout(), event));
    return text;
}

}  // namespace tandrel
