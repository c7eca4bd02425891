#pragma once

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/grid.h>
#include <wx/html/helpctrl.h>
#include <wx/iconbndl.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "app/DisplayState.h"
#include "app/MyGLCanvas.h"
#include "render/DrawRules.h"
#include "sim/RunRules.h"
#include "sim/Simulator.h"

namespace tandrel {

class MyDatalist;
class PipelinePanel;

// The question before a save replaces a file (EditorTab.cpp).
bool AskToReplace(wxWindow* parent, const wxString& chosenName);

// The answers to "save your changes first?".
enum class SaveAnswer { Save, Discard, Cancel };
SaveAnswer AskToSave(wxWindow* parent);

// The question of "Run to Cycle" (-1: cancelled) and the message when a run
// gives up at the step limit (RunControl.cpp).
long AskForCycle(wxWindow* parent, long current);
void TellRunLimit(wxWindow* parent, const wxString& message);

// The main window: menus, the simulator tab (datapath drawing, Step, Step
// Back, Run and Reset, the three lists) and the editor tab (program text, initial data,
// Load/Save/Parse). Each handler calls the simulator and then brings the
// window up to date in a fixed order. The tabs live in files of their own.
class MyFrame : public wxFrame, public CanvasHost {
  public:
    MyFrame(const wxString& title, const wxPoint& pos, const wxSize& size);
    ~MyFrame() override;
    wxStatusBar* OnCreateStatusBar(int number, long style, wxWindowID id,
                                   const wxString& name) override;

    // Start-up and panes (MyFrame.cpp).
    void FinishStartup();
    void UpdatePanes();
    void ShowLeftPanel(bool show, bool toggle) override;
    void ZoomChanged() override;
    std::vector<const Component*> StaleReadsShown() const override;

    // Simulator tab (SimulatorTab.cpp).
    void RebuildLists();
    void RefreshListValues();
    void ColourInstructionRows();
    // Says above the drawing what state the program is in, and names the
    // loaded file in the title bar.
    void ShowProgramState();

    // Editor tab (EditorTab.cpp).
    void SyncInitialData(bool reload);
    // The reason each refused data cell gives, by row.
    const std::map<int, wxString>& CellProblems() const { return cellProblems; }
    void HighlightErrors();
    void ShowParseMessages();
    // The flows behind Load, Save and Parse, with the file name already
    // chosen (the handlers ask for it with a file dialog first).
    void LoadFrom(const wxString& path);
    // Gives false when the save failed; `replacing` skips the question
    // before an existing file is replaced (saving over the loaded file).
    bool SaveTo(const wxString& path, bool replacing = false);
    void Parse();
    // True when the program text or the initial data differ from what was
    // last loaded or saved.
    bool HasUnsavedChanges() const;
    // With unsaved changes, asks whether to save them first; false when the
    // user cancels (or the save does not happen).
    bool ConfirmDiscard();
    // The example programs offered in File > Open Example.
    const std::vector<wxString>& Examples() const { return examples; }

    // Step Back, Run, breakpoints and the status bar (RunControl.cpp). Run
    // steps while the window is idle, showing the machine a few times a
    // second, until the program is done, a breakpoint's instruction is
    // fetched, the target step is reached, the step limit is hit, or Stop.
    void StartRun(long long targetStep = -1);
    void StopRun();
    bool Running() const { return running; }
    void ToggleBreakpoint(std::uint64_t address);
    const std::set<std::uint64_t>& Breakpoints() const { return breakpoints; }
    // Brings the counters and the buttons' states up to date.
    void UpdateStatus();
    // Redraws the lists, the counters and the drawing after the machine moved.
    void ShowMachine() override;
    // The lists, row colours and counters; RefreshListValues has the
    // timeline and explanation follow the machine first.
    void RefreshLists();
    // What the last run did, as the status bar says it.
    const wxString& RunState() const { return runState; }
    // The status bar's fields.
    static constexpr int kProgressField = 0;  // layout, cycle, instructions, CPI, PC
    static constexpr int kMessageField = 1;   // what the last action did
    static constexpr int kMouseField = 2;     // what the mouse does on the drawing

    // Access for the tests, which drive the window as a user would.
    Simulator& GetSimulator() { return *simulator; }
    MyGLCanvas* Canvas() { return canvas; }
    CanvasPane* DrawingView() { return glWindow; }
    wxSplitterWindow* SimulatorSplitter() { return simulatorSplitter; }
    wxSplitterWindow* EditorSplitter() { return editorSplitter; }
    MyDatalist* List(int id) { return lists.at(id); }
    wxTextCtrl* ProgramText() { return programText; }
    wxTextCtrl* MessagesText() { return messagesText; }
    wxStaticText* StateText() { return stateText; }
    wxGrid* DataGrid() { return dataGrid; }
    const DisplayState& Display() const { return display; }
    const ColourTable& Colours() const { return colours; }

    // The handlers of the event table, public so tests can call them.
    void OnSashChanged(wxSplitterEvent& event);
    void OnStep(wxCommandEvent& event);
    void OnReset(wxCommandEvent& event);
    void OnLayout(wxCommandEvent& event);
    void OnFormat(wxCommandEvent& event);
    void OnOptions(wxCommandEvent& event);
    void OnLoad(wxCommandEvent& event);
    void OnSave(wxCommandEvent& event);
    void OnParse(wxCommandEvent& event);
    void OnHelpContents(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnGridCellChanged(wxGridEvent& event);
    void OnInstructionSelected(wxListEvent& event);
    void OnOpenExample(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnViewLeftPanel(wxCommandEvent& event);
    void OnStepBack(wxCommandEvent& event);
    void OnRun(wxCommandEvent& event);
    void OnStopRun(wxCommandEvent& event);
    void OnRunToCycle(wxCommandEvent& event);
    void OnToggleBreakpoint(wxCommandEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnZoom(wxCommandEvent& event);
    void OnExportPicture(wxCommandEvent& event);

    // The timeline and explanation under the drawing (PipelinePanel.cpp).
    void ShowTimeline(bool show);
    void OnViewTimeline(wxCommandEvent& event);
    // Moves the machine to the end of a clock cycle, as a click on the
    // timeline does, and brings the window up to date as a Step does.
    void GoToCycle(long long cycle);
    // None until the timeline is first shown.
    PipelinePanel* Pipeline() { return pipelinePanel; }

    // Applies the choices of a closed options dialog (OptionsDialog.cpp).
    void ApplyOptions(const class MyDialog& dialog);

  private:
    wxMenuBar* BuildMenus();
    void BuildSimulatorTab(wxNotebook* notebook);
    void BuildEditorTab(wxNotebook* notebook);
    void BuildTimeline();
    // Shows the timeline panel under the drawing, building it the first time.
    void SplitTimeline();
    void BuildHelp(bool openBook);
    void BuildIcons();
    void MarkCell(int row, const std::wstring& problem);
    void ShowCellProblems();
    void FinishRun(RunStop stop);
    void SayRunState(const wxString& state);

  public:
    // Asks before a save replaces a file; tests answer in its place.
    std::function<bool(const wxString& chosenName)> confirmReplace;
    // Tells the user that a save failed; tests read the message instead.
    std::function<void(const wxString& message)> reportError;
    // Asks whether unsaved changes are to be saved first; tests answer.
    std::function<SaveAnswer()> askToSave;
    // Asks for the clock cycle of "Run to Cycle"; tests answer.
    std::function<long(long current)> askCycle = [this](long c) { return AskForCycle(this, c); };
    // Asks where File > Export Picture writes ("" when cancelled); tests answer.
    std::function<wxString()> askPictureName;
    // Tells that a run gave up at the step limit; tests read the message.
    std::function<void(const wxString&)> tellRunLimit = [this](const wxString& message) {
        TellRunLimit(this, message);
    };

  private:
    std::unique_ptr<Simulator> simulator;
    DisplayState display;
    ColourTable colours;

    MyGLCanvas* canvas = nullptr;
    CanvasPane* glWindow = nullptr;
    wxSplitterWindow* drawingSplitter = nullptr;  // the drawing over the timeline
    PipelinePanel* pipelinePanel = nullptr;
    wxPanel* drawingPane = nullptr;  // the state text above the GL window
    wxStaticText* stateText = nullptr;
    wxPanel* leftPanel = nullptr;
    wxPanel* dataPanel = nullptr;
    wxSplitterWindow* simulatorSplitter = nullptr;
    wxSplitterWindow* editorSplitter = nullptr;
    wxTextCtrl* programText = nullptr;
    // The stage colour each program line was last given, with the line's
    // length then, so a line is styled again only when one of them changes;
    // emptied whenever the text itself changes.
    struct LineStyle {
        wxColour background;
        long length = -1;
    };
    std::vector<LineStyle> programLineStyles;
    wxTextCtrl* messagesText = nullptr;
    std::map<int, MyDatalist*> lists;
    wxGrid* dataGrid = nullptr;
    wxStaticText* cellProblemText = nullptr;
    std::map<int, wxString> cellProblems;
    wxHtmlHelpController* help = nullptr;
    wxIconBundle* icons = nullptr;
    bool initialised = false;
    bool panesRestored = false;

    wxString EditorSnapshot() const;
    std::vector<wxString> examples;
    wxString currentFile;    // the file last loaded or saved
    wxString loadProblem;    // why the last file could not be opened
    bool parsed = false;     // a program has been parsed or loaded
    wxString parsedText;     // the program text as the last parse left it
    wxString savedSnapshot;  // EditorSnapshot when last loaded or saved

    wxButton* stepBackButton = nullptr;
    wxButton* runButton = nullptr;
    wxButton* stopButton = nullptr;
    std::set<std::uint64_t> breakpoints;  // instruction addresses
    RunRequest runRequest;
    bool running = false;
    std::chrono::steady_clock::time_point runStarted, lastShown;
    std::chrono::steady_clock::duration runShowing{};  // time Run spent showing the machine
    wxString runState;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace tandrel
