// Moving through time from the window: Step Back, Run (F5) and its Stop,
// "Run to Cycle", breakpoints on instruction rows, and the status bar field
// that counts cycles, instructions and CPI.
#include <wx/button.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/numdlg.h>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/MyFrame.h"
#include "app/PipelinePanel.h"

namespace tandrel {

namespace {

// Run steps for this long before it lets the window handle its events ...
constexpr auto kRunSlice = std::chrono::milliseconds(30);
// ... and shows the machine no more often than this, nor while showing it
// has taken more than a tenth of the run (a slow display then gets fewer
// pictures rather than a slower run).
constexpr auto kRunRedraw = std::chrono::milliseconds(200);
constexpr int kRunShowingShare = 10;
// Steps between looks at the clock.
constexpr long long kStepsPerLook = 256;

void EnableItem(wxMenuBar* bar, int id, bool enable) {
    if (bar != nullptr && bar->FindItem(id) != nullptr && bar->IsEnabled(id) != enable)
        bar->Enable(id, enable);
}

}  // namespace

long AskForCycle(wxWindow* parent, long current) {
    return wxGetNumberFromUser(wxT("Run until this many clock cycles have gone by."), wxT("Cycle:"),
                               wxT("Run to Cycle"), current + 1, 0,
                               static_cast<long>(kDefaultMaxCycles), parent);
}

void TellRunLimit(wxWindow* parent, const wxString& message) {
    wxMessageBox(message, wxT("Run"), wxOK | wxICON_INFORMATION, parent);
}

void MyFrame::ShowMachine() {
    // The timeline and explanation follow the machine before the picture is
    // drawn (its stale-read marks are theirs). The picture comes next: the
    // driver fills in its pixels on its own threads while the lists and the
    // status bar are brought up to date and repainted.
    PipelinePanel::Follow(pipelinePanel);
    canvas->StartPicture();
    RefreshLists();  // which brings the status bar up to date too
    Update();
    canvas->ShowPicture();
}

void MyFrame::UpdateStatus() {
    if (GetStatusBar() != nullptr) {
        const wxString progress = ProgressText(*simulator, display.numberFormat);
        if (GetStatusBar()->GetStatusText(kProgressField) != progress)
            SetStatusText(progress, kProgressField);
    }
    const bool canGoBack = !running && simulator->CanStepBack();
    if (stepBackButton != nullptr && stepBackButton->IsEnabled() != canGoBack)
        stepBackButton->Enable(canGoBack);
    if (runButton != nullptr && runButton->IsEnabled() == running) runButton->Enable(!running);
    if (stopButton != nullptr && stopButton->IsEnabled() != running) stopButton->Enable(running);
    // Escape is Stop's key only while a run can be stopped; otherwise it
    // stays with the grid's cell editor and the dialogs.
    EnableItem(GetMenuBar(), ID_STOP_RUN, running);
    EnableItem(GetMenuBar(), ID_STEP_BACK, canGoBack);
}

void MyFrame::SayRunState(const wxString& state) {
    runState = state;
    if (GetStatusBar() != nullptr) SetStatusText(runState, kMessageField);
}

void MyFrame::OnStepBack(wxCommandEvent&) {
    StopRun();
    simulator->StepBack();
    ShowMachine();
}

void MyFrame::OnRun(wxCommandEvent&) {
    StartRun();
}

void MyFrame::OnStopRun(wxCommandEvent&) {
    StopRun();
    ShowMachine();
}

void MyFrame::OnRunToCycle(wxCommandEvent&) {
    StopRun();
    const long cycle = askCycle(static_cast<long>(simulator->GetProgress().cycles));
    if (cycle < 0) return;
    const long long target = simulator->StepsForCycles(cycle);
    if (target >= simulator->GetProgress().steps) {
        StartRun(target);
        return;
    }
    // Back in time: the history takes the machine there at once.
    SayRunState(simulator->GoToStep(target)
                    ? wxString::Format(wxT("Back at cycle %ld."), cycle)
                    : wxString::Format(wxT("Cycle %ld is before the earliest one remembered "
                                           "(the last Reset, Parse, Load, layout change or "
                                           "data edit)."),
                                       cycle));
    ShowMachine();
}

void MyFrame::OnToggleBreakpoint(wxCommandEvent&) {
    const long long selected = lists.at(MyDatalist::kInstructions)->SelectedAddress();
    ToggleBreakpoint(static_cast<std::uint64_t>(selected < 0 ? 0 : selected));
}

void MyFrame::ToggleBreakpoint(std::uint64_t address) {
    if (breakpoints.erase(address) == 0) breakpoints.insert(address);
    std::set<long> rows;
    for (std::uint64_t at : breakpoints) rows.insert(static_cast<long>(at / kInstructionBytes));
    lists.at(MyDatalist::kInstructions)->SetBreakpointRows(std::move(rows));
    runRequest.breakpoints = breakpoints;  // a run under way takes it at once
}

void MyFrame::StartRun(long long targetStep) {
    if (running) return;
    runRequest.end = ProgramEnd(*simulator);
    runRequest.breakpoints = breakpoints;
    runRequest.targetStep = targetStep;
    runRequest.maxSteps = MaxStepsOn(simulator->CurrentLayout());
    running = true;
    runStarted = lastShown = std::chrono::steady_clock::now();
    runShowing = {};
    SayRunState(wxT("Running: Escape or Stop ends the run."));
    UpdateStatus();
    wxWakeUpIdle();
}

// Every other move of the machine calls this first: a run under way stops,
// and the word on how the last run ended goes once the machine has moved on.
void MyFrame::StopRun() {
    if (!running) {
        if (!runState.empty()) SayRunState(wxString());
        return;
    }
    running = false;
    SayRunState(wxT("Stopped."));
    UpdateStatus();
}

void MyFrame::OnIdle(wxIdleEvent& event) {
    event.Skip();
    if (!running) return;
    const auto start = std::chrono::steady_clock::now();
    RunStop stop = RunStop::Running;
    do {
        stop = RunSteps(*simulator, runRequest, kStepsPerLook);
    } while (stop == RunStop::Running && std::chrono::steady_clock::now() - start < kRunSlice);
    if (stop != RunStop::Running) {
        FinishRun(stop);
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown >= kRunRedraw && runShowing * kRunShowingShare <= now - runStarted) {
        ShowMachine();
        lastShown = std::chrono::steady_clock::now();
        runShowing += lastShown - now;
    }
    event.RequestMore();
}

void MyFrame::FinishRun(RunStop stop) {
    running = false;
    const Progress progress = simulator->GetProgress();
    const wxString pc = FormatNumber(simulator->PcValue(), true, false, display.numberFormat);
    switch (stop) {
        case RunStop::Done:
            SayRunState(wxT("Done: the program has finished."));
            break;
        case RunStop::Breakpoint:
            SayRunState(wxT("Stopped at the breakpoint at ") + pc + wxT("."));
            break;
        case RunStop::Target:
            SayRunState(wxString::Format(wxT("Stopped at cycle %lld."), progress.cycles));
            break;
        case RunStop::Limit:
        case RunStop::Running:
            SayRunState(wxT("Not finished."));
            break;
    }
    ShowMachine();
    if (stop == RunStop::Limit)
        tellRunLimit(wxString::Format(
            wxT("The program has not finished after %lld clock cycles, the same limit as "
                "tandrel-cli run --until-done: it may never end. Run stops here."),
            progress.cycles));
}

}  // namespace tandrel
