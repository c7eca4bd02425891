// The timeline and explanation panes under the drawing, and the main
// window's part in them: View > Timeline, the stored height, and going to
// a clicked cycle.
#include "app/PipelinePanel.h"

#include <wx/menu.h>
#include <wx/sizer.h>

#include <functional>
#include <memory>

#include "app/Ids.h"
#include "app/MyFrame.h"
#include "config/Config.h"
#include "render/DrawRules.h"

namespace tandrel {

namespace {

constexpr int kSmallestPane = 60;

// Keeps the pane at a splitter's far end at the size the user last dragged
// it to; the other pane takes what the window gains or loses. The size is
// put back after the splitter has handled a resize itself (its own clamping
// and gravity would otherwise win), and only a drag changes it: the
// splitter also reports the moves it makes while the window is laid out.
void KeepEndPane(wxSplitterWindow* splitter, std::function<int()> wanted,
                 std::function<void(int)> dragged) {
    auto length = [splitter] {
        const wxSize size = splitter->GetClientSize();
        return splitter->GetSplitMode() == wxSPLIT_HORIZONTAL ? size.y : size.x;
    };
    auto dragging = std::make_shared<bool>(false);
    splitter->Bind(wxEVT_SPLITTER_SASH_POS_CHANGING, [dragging](wxSplitterEvent& event) {
        event.Skip();
        *dragging = true;
    });
    splitter->Bind(wxEVT_SPLITTER_SASH_POS_CHANGED, [=](wxSplitterEvent& event) {
        event.Skip();
        if (!*dragging) return;
        *dragging = false;
        dragged(length() - event.GetSashPosition() - splitter->GetSashSize());
    });
    splitter->Bind(wxEVT_SIZE, [=](wxSizeEvent& event) {
        event.Skip();
        splitter->CallAfter([=] {
            if (splitter->IsSplit())
                splitter->SetSashPosition(length() - wanted() - splitter->GetSashSize());
        });
    });
}

}  // namespace

PipelinePanel::PipelinePanel(wxWindow* parent, Simulator& simulator_, const ColourTable& colours)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      simulator(simulator_) {
    splitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    wxSP_3D | wxSP_LIVE_UPDATE);
    timeline = new TimelinePane(splitter, run, simulator, colours);
    explanation = new ExplanationPane(splitter);
    splitter->SetMinimumPaneSize(kSmallestPane);
    splitter->SetSashGravity(1.0);  // a wider window widens the timeline
    splitter->SplitVertically(timeline, explanation, -explanationWidth);
    KeepEndPane(
        splitter, [this] { return explanationWidth; },
        [this](int width) { explanationWidth = width; });
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(splitter, 1, wxEXPAND | wxALL, 0);
    SetSizer(sizer);
}

void PipelinePanel::Follow(PipelinePanel* panel) {
    if (panel != nullptr) panel->Follow();
}

void PipelinePanel::Follow() {
    if (!IsShown()) return;
    run.Follow(simulator);
    timeline->ShowRun();
    explanation->ShowRun(run, simulator);
}

// The panel is built when it is first shown: hidden, as it starts by
// default, it would only slow the window's opening.
void MyFrame::BuildTimeline() {
    Config& config = Config::Instance();
    drawingSplitter->SetMinimumPaneSize(kSmallestPane);
    drawingSplitter->SetSashGravity(1.0);  // the drawing takes what the window gains
    KeepEndPane(
        drawingSplitter, [] { return Config::Instance().GetInteger(option::kTimelineHeight); },
        [](int height) {
            Config& store = Config::Instance();
            store.SetInteger(option::kTimelineHeight, height);
            store.Save();
        });
    drawingSplitter->Initialize(glWindow);
    if (config.GetFlag(option::kShowTimeline)) SplitTimeline();
}

void MyFrame::SplitTimeline() {
    if (pipelinePanel == nullptr) {
        pipelinePanel = new PipelinePanel(drawingSplitter, *simulator, colours);
        pipelinePanel->Timeline()->onChooseCycle = [this](long long cycle) { GoToCycle(cycle); };
    }
    pipelinePanel->Show();
    drawingSplitter->SplitHorizontally(glWindow, pipelinePanel,
                                       -Config::Instance().GetInteger(option::kTimelineHeight));
}

void MyFrame::ShowTimeline(bool show) {
    Config& config = Config::Instance();
    if (show && !drawingSplitter->IsSplit()) {
        SplitTimeline();
    } else if (!show && drawingSplitter->IsSplit()) {
        drawingSplitter->Unsplit(pipelinePanel);
    }
    config.SetFlag(option::kShowTimeline, show);
    config.Save();
    GetMenuBar()->Check(ID_VIEW_TIMELINE, show);
    PipelinePanel::Follow(pipelinePanel);
}

void MyFrame::OnViewTimeline(wxCommandEvent& event) {
    ShowTimeline(event.IsChecked());
}

void MyFrame::GoToCycle(long long cycle) {
    // While Run is under way the machine is Run's (Step Back waits too).
    if (Running() || !simulator->GoToStep(simulator->StepsForCycles(cycle))) return;
    ShowMachine();
}

// The drawing marks a stale read only while the sentences that explain it
// are on screen beside it.
std::vector<const Component*> MyFrame::StaleReadsShown() const {
    if (pipelinePanel == nullptr || !pipelinePanel->IsShown()) return {};
    const ExplainedRun& run = pipelinePanel->Run();
    return StaleReadParts(*simulator, run.Events(), run.CurrentStep());
}

}  // namespace tandrel
