#include "app/MyFrame.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/stdpaths.h>

#include "app/Help.h"
#include <algorithm>
#include <cmath>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "config/Config.h"
#include "render/Picture.h"

namespace tandrel {

wxBEGIN_EVENT_TABLE(MyFrame, wxFrame)
    EVT_SPLITTER_SASH_POS_CHANGED(ID_SIMULATOR_SPLITTER, MyFrame::OnSashChanged)
    EVT_SPLITTER_SASH_POS_CHANGED(ID_EDITOR_SPLITTER, MyFrame::OnSashChanged)
    EVT_BUTTON(wxID_FORWARD, MyFrame::OnStep)
    EVT_BUTTON(wxID_STOP, MyFrame::OnReset)
    EVT_MENU(ID_STEP_MENU, MyFrame::OnStep)
    EVT_MENU(ID_RESET_MENU, MyFrame::OnReset)
    EVT_MENU(ID_VIEW_LEFT_PANEL, MyFrame::OnViewLeftPanel)
    EVT_MENU(ID_VIEW_TIMELINE, MyFrame::OnViewTimeline)
    EVT_MENU(ID_EXPORT_PICTURE, MyFrame::OnExportPicture)
    EVT_MENU_RANGE(ID_ZOOM_IN, ID_ZOOM_FIT, MyFrame::OnZoom)
    EVT_MENU(ID_LAYOUT_SIMPLE, MyFrame::OnLayout)
    EVT_MENU(ID_LAYOUT_PIPELINED, MyFrame::OnLayout)
    EVT_MENU(ID_LAYOUT_FORWARDING, MyFrame::OnLayout)
    EVT_MENU(ID_FORMAT_BINARY, MyFrame::OnFormat)
    EVT_MENU(ID_FORMAT_DECIMAL, MyFrame::OnFormat)
    EVT_MENU(ID_FORMAT_HEXADECIMAL, MyFrame::OnFormat)
    EVT_MENU(ID_OPTIONS, MyFrame::OnOptions)
    EVT_MENU(ID_LOAD_MENU, MyFrame::OnLoad)
    EVT_BUTTON(ID_LOAD_BUTTON, MyFrame::OnLoad)
    EVT_MENU(ID_HELP_CONTENTS, MyFrame::OnHelpContents)
    EVT_MENU(ID_ABOUT, MyFrame::OnAbout)
    EVT_BUTTON(ID_SAVE_BUTTON, MyFrame::OnSave)
    EVT_BUTTON(ID_PARSE_BUTTON, MyFrame::OnParse)
    EVT_GRID_CMD_CELL_CHANGED(ID_DATA_GRID, MyFrame::OnGridCellChanged)
    EVT_LIST_ITEM_SELECTED(MyDatalist::kInstructions, MyFrame::OnInstructionSelected)
    EVT_MENU_RANGE(ID_EXAMPLE_FIRST, ID_EXAMPLE_LAST, MyFrame::OnOpenExample)
    EVT_CLOSE(MyFrame::OnClose)
    EVT_BUTTON(ID_STEP_BACK, MyFrame::OnStepBack)
    EVT_MENU(ID_STEP_BACK, MyFrame::OnStepBack)
    EVT_BUTTON(ID_RUN, MyFrame::OnRun)
    EVT_MENU(ID_RUN, MyFrame::OnRun)
    EVT_BUTTON(ID_STOP_RUN, MyFrame::OnStopRun)
    EVT_MENU(ID_STOP_RUN, MyFrame::OnStopRun)
    EVT_MENU(ID_RUN_TO_CYCLE, MyFrame::OnRunToCycle)
    EVT_MENU(ID_TOGGLE_BREAKPOINT, MyFrame::OnToggleBreakpoint)
    EVT_IDLE(MyFrame::OnIdle)
wxEND_EVENT_TABLE()

namespace {
// The layout and format a configuration records: the first option that is on.
Layout ConfiguredLayout(Config& config) {
    if (config.GetFlag(option::kShowSimpleLayout)) return Layout::Simple;
    if (config.GetFlag(option::kShowPipelineLayout)) return Layout::Pipelined;
    return Layout::Forwarding;
}

NumberFormat ConfiguredFormat(Config& config) {
    if (config.GetFlag(option::kBinaryFormat)) return NumberFormat::Binary;
    if (config.GetFlag(option::kDecimalFormat)) return NumberFormat::Decimal;
    return NumberFormat::Hexadecimal;
}

// Radio items: the first option of the group that is on is checked.
void CheckFirst(wxMenu* menu, std::initializer_list<std::pair<int, int>> optionAndId) {
    Config& config = Config::Instance();
    for (const auto& [flag, id] : optionAndId) {
        if (config.GetFlag(flag)) {
            menu->Check(id, true);
            return;
        }
    }
}

// The Simulate menu, one row an item in menu order: the same actions as the
// buttons beside the drawing, with keys that work from either tab. F10 (the
// menu bar), F6 and F8 (moving between panes) stay with the toolkit.
struct MenuRow {
    int id;
    const wchar_t* label;  // with its mnemonic and, after a tab, its key
};

constexpr MenuRow kSimulateMenu[] = {
    {ID_STEP_MENU, L"&Step\tF7"},
    {ID_STEP_BACK, L"Step &Back\tShift+F7"},
    {ID_RUN, L"R&un\tF5"},
    {ID_STOP_RUN, L"S&top\tEsc"},
    {ID_RUN_TO_CYCLE, L"Run to &Cycle..."},
    {ID_TOGGLE_BREAKPOINT, L"Toggle Brea&kpoint\tF9"},
    {ID_RESET_MENU, L"&Reset\tCtrl+R"},
};

// The file File > Export Picture writes: PNG or SVG by the name's ending.
wxString AskForPictureName(wxWindow* parent) {
    wxFileDialog dialog(parent, wxT("Export the drawing"), wxEmptyString, wxT("datapath.png"),
                        wxT("PNG picture (*.png)|*.png|SVG drawing (*.svg)|*.svg"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return wxString();
    wxFileName name(dialog.GetPath());
    if (name.GetExt().empty()) name.SetExt(dialog.GetFilterIndex() == 1 ? wxT("svg") : wxT("png"));
    return name.GetFullPath();
}

// A status bar that repaints its changed field with the rest of the window.
// The toolkit's own paints the field at once, a second pass over the
// window's widgets on every Step; none of Tandrel's messages comes before
// a long wait that would hide it.
class StatusBar : public wxStatusBar {
  public:
    using wxStatusBar::wxStatusBar;

  protected:
    void DoUpdateStatusText(int field) override {
        wxRect rect;
        if (GetFieldRect(field, rect)) Refresh(true, &rect);
    }
    // A field outside the area being repainted would be clipped away
    // whole: its text need not be measured and cut to width again.
    void DrawField(wxDC& dc, int field, int textHeight) override {
        wxRect rect;
        if (GetFieldRect(field, rect) && GetUpdateRegion().Contains(rect.Inflate(2)) == wxOutRegion)
            return;
        wxStatusBar::DrawField(dc, field, textHeight);
    }
};

}  // namespace

wxStatusBar* MyFrame::OnCreateStatusBar(int number, long style, wxWindowID id,
                                        const wxString& name) {
    auto* bar = new StatusBar(this, id, style, name);
    bar->SetFieldsCount(number);
    return bar;
}

MyFrame::MyFrame(const wxString& title, const wxPoint& pos, const wxSize& size)
    : wxFrame(nullptr, wxID_ANY, title, pos, size, wxDEFAULT_FRAME_STYLE),
      confirmReplace([this](const wxString& name) { return AskToReplace(this, name); }),
      reportError([this](const wxString& message) {
          wxMessageBox(message, wxT("Error"), wxOK | wxICON_ERROR, this);
      }),
      askToSave([this] { return AskToSave(this); }),
      askPictureName([this] { return AskForPictureName(this); }) {
    SetMenuBar(BuildMenus());
    // The menus have no help texts, so the status bar keeps its messages
    // while a menu is open. The fields: the run's counters, what the last
    // action did, and what the mouse does on the drawing.
    CreateStatusBar(3);
    SetStatusBarPane(-1);
    const int fieldWidths[3] = {-3, -3, -3};
    SetStatusWidths(3, fieldWidths);
    SetStatusText(
        wxT("Left click on the drawing: one Step. Right click: show or hide the left panel."),
        kMouseField);
    Config& config = Config::Instance();
    config.Save();  // a complete configuration file at every start
    colours.Refresh(config);

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    auto* notebook = new wxNotebook(this, wxID_ANY);
    BuildSimulatorTab(notebook);
    BuildEditorTab(notebook);
    sizer->Add(notebook, 1, wxEXPAND | wxALL, 0);
    sizer->SetMinSize(400, 200);
    SetSizer(sizer);

    simulator->SelectLayout(ConfiguredLayout(config));
    display.numberFormat = ConfiguredFormat(config);
    display.CopyFrom(config);
    // The first picture's zoom, for the warm-up: fitted, the drawing takes
    // the page beside the left panel, less the timeline; the text above it
    // is not known yet, and on a screen of the usual shape the width decides.
    double firstZoom = glWindow->Zoom();
    if (glWindow->Fitted()) {
        const wxSize page = GetClientSize() - notebook->CalcSizeFromPage(wxSize(0, 0));
        const int left =
            config.GetFlag(option::kShowLeftPanel)
                ? simulatorSplitter->GetSashPosition() + simulatorSplitter->GetSashSize()
                : 0;
        const int below = drawingSplitter->IsSplit() ? config.GetInteger(option::kTimelineHeight) +
                                                           drawingSplitter->GetSashSize()
                                                     : 0;
        firstZoom = FitZoom(page.x - left, page.y - below);
    }
    canvas->WarmUp(simulator->CurrentLayout(), firstZoom);

    BuildHelp(false);
    BuildIcons();

    SetMinSize(wxSize(640, 480));
    Maximize(true);
}

// The list windows go with their parents; the map only forgets them. The
// help controller and the icons are the frame's alone and go with it.
MyFrame::~MyFrame() {
    lists.clear();
    delete help;
    delete icons;
}

// Each mnemonic has one owner among what is on screen together: the menu
// titles, the two tabs, and the buttons and list tabs of the page shown.
wxMenuBar* MyFrame::BuildMenus() {
    auto* file = new wxMenu;
    file->Append(ID_LOAD_MENU, wxT("&Load Instructions..."));
    auto* exampleMenu = new wxMenu;
    examples = ExampleFiles(wxStandardPaths::Get().GetExecutablePath());
    if (examples.size() > ID_EXAMPLE_LAST - ID_EXAMPLE_FIRST + 1u)
        examples.resize(ID_EXAMPLE_LAST - ID_EXAMPLE_FIRST + 1u);
    for (std::size_t i = 0; i < examples.size(); ++i)
        exampleMenu->Append(ID_EXAMPLE_FIRST + static_cast<int>(i),
                            wxFileName(examples[i]).GetFullName());
    if (examples.empty())
        exampleMenu->Append(ID_EXAMPLE_FIRST, wxT("(no examples installed)"))->Enable(false);
    file->AppendSubMenu(exampleMenu, wxT("Open &Example"));
    file->Append(ID_EXPORT_PICTURE, wxT("Export &Picture..."));

    auto* simulate = new wxMenu;
    for (const MenuRow& row : kSimulateMenu) simulate->Append(row.id, row.label);

    auto* layout = new wxMenu;
    layout->AppendRadioItem(ID_LAYOUT_SIMPLE, wxT("&Simple"));
    layout->AppendRadioItem(ID_LAYOUT_PIPELINED, wxT("&Pipelined"));
    layout->AppendRadioItem(ID_LAYOUT_FORWARDING, wxT("&Data Forwarding"));
    CheckFirst(layout, {{option::kShowSimpleLayout, ID_LAYOUT_SIMPLE},
                        {option::kShowPipelineLayout, ID_LAYOUT_PIPELINED},
                        {option::kShowForwardingLayout, ID_LAYOUT_FORWARDING}});

    // The menu labels carry the keys, so the toolkit both shows and binds them.
    auto* format = new wxMenu;
    format->AppendRadioItem(ID_FORMAT_BINARY, wxT("&Binary\tCtrl+B"));
    format->AppendRadioItem(ID_FORMAT_DECIMAL, wxT("&Decimal\tCtrl+D"));
    format->AppendRadioItem(ID_FORMAT_HEXADECIMAL, wxT("&Hexadecimal\tCtrl+H"));
    CheckFirst(format, {{option::kBinaryFormat, ID_FORMAT_BINARY},
                        {option::kDecimalFormat, ID_FORMAT_DECIMAL},
                        {option::kHexadecimalFormat, ID_FORMAT_HEXADECIMAL}});

    // A right click on the drawing hides the left panel; this is the way
    // back that can be found, and its tick shows which way it is.
    auto* view = new wxMenu;
    view->AppendCheckItem(ID_VIEW_LEFT_PANEL, wxT("Show &Left Panel\tCtrl+L"));
    view->Check(ID_VIEW_LEFT_PANEL, Config::Instance().GetFlag(option::kShowLeftPanel));
    view->AppendCheckItem(ID_VIEW_TIMELINE, wxT("&Timeline\tCtrl+T"));
    view->Check(ID_VIEW_TIMELINE, Config::Instance().GetFlag(option::kShowTimeline));
    // Ctrl+= and the keypad's keys zoom too: plus is a shifted key on most
    // keyboards.
    view->AppendSeparator();
    view->Append(ID_ZOOM_IN, wxT("Zoom &In\tCtrl++"))
        ->AddExtraAccel(wxAcceleratorEntry(wxACCEL_CTRL, '='));
    view->FindItem(ID_ZOOM_IN)->AddExtraAccel(wxAcceleratorEntry(wxACCEL_CTRL, WXK_NUMPAD_ADD));
    view->Append(ID_ZOOM_OUT, wxT("Zoom &Out\tCtrl+-"))
        ->AddExtraAccel(wxAcceleratorEntry(wxACCEL_CTRL, WXK_NUMPAD_SUBTRACT));
    view->Append(ID_ZOOM_ACTUAL, wxT("&100%\tCtrl+0"));
    view->AppendCheckItem(ID_ZOOM_FIT, wxT("&Fit to Window\tCtrl+F"));
    view->Check(ID_ZOOM_FIT, Config::Instance().GetFlag(option::kZoomToFit));

    auto* edit = new wxMenu;
    edit->Append(ID_OPTIONS, wxT("&Options..."));
    auto* helpMenu = new wxMenu;
    helpMenu->Append(ID_HELP_CONTENTS, wxT("&Contents..."));
    helpMenu->AppendSeparator();
    helpMenu->Append(ID_ABOUT, wxT("&About..."));

    auto* bar = new wxMenuBar;
    bar->Append(file, wxT("&File"));
    bar->Append(simulate, wxT("&Simulate"));
    bar->Append(layout, wxT("La&yout"));
    bar->Append(format, wxT("F&ormat"));
    bar->Append(view, wxT("&View"));
    bar->Append(edit, wxT("&Edit"));
    bar->Append(helpMenu, wxT("&Help"));
    return bar;
}

void MyFrame::FinishStartup() {
    initialised = true;
    if (!Config::Instance().GetFlag(option::kShowLeftPanel) && simulatorSplitter->IsSplit())
        simulatorSplitter->Unsplit(leftPanel);
    RebuildLists();
    UpdatePanes();
    savedSnapshot = EditorSnapshot();
    ShowProgramState();
}

// The first run puts both sashes where the configuration has them, later
// runs store where they are. The editor's sash and the grid do not wait for
// the left panel: with that panel hidden the editor tab is still in use.
void MyFrame::UpdatePanes() {
    if (!initialised) return;
    Config& config = Config::Instance();
    const bool leftShown = simulatorSplitter->IsSplit();
    int simulatorSash = leftShown ? simulatorSplitter->GetSashPosition()
                                  : config.GetInteger(option::kSimulatorSashPos);
    int editorSash = editorSplitter->GetSashPosition();
    if (panesRestored) {
        config.SetInteger(option::kEditorSashPos, editorSash);
        if (leftShown) config.SetInteger(option::kSimulatorSashPos, simulatorSash);
        config.Save();
    } else {
        simulatorSash = config.GetInteger(option::kSimulatorSashPos);
        editorSash = config.GetInteger(option::kEditorSashPos);
        if (leftShown) simulatorSplitter->SetSashPosition(simulatorSash, true);
        editorSplitter->SetSashPosition(editorSash, true);
    }
    // The value column takes what the sash leaves beside the address column;
    // in the instruction list it takes its widest value and the instruction
    // text the rest.
    const int textWidth = GetTextExtent(wxT("BEQ $31, $31, -32768")).x + 12;
    for (auto& [id, list] : lists) {
        list->SetColumnWidth(0, 45);
        const int room = simulatorSash - 30 - list->GetColumnWidth(0) -
                         (list->HasBreakpointColumn() ? MyDatalist::kBreakpointWidth : 0);
        if (list->HasTextColumn()) {
            const int valueWidth =
                std::max(list->WidestValue(), list->GetTextExtent(wxT("Data")).x) + 16;
            list->SetColumnWidth(1, valueWidth);
            list->SetColumnWidth(2, std::max(room - valueWidth, textWidth));
        } else {
            list->SetColumnWidth(1, room);
        }
    }
    dataGrid->SetColSize(0, std::max(editorSash - dataGrid->GetRowLabelSize() - 50, 60));
    dataGrid->ForceRefresh();
    panesRestored = true;
}

void MyFrame::ShowLeftPanel(bool show, bool toggle) {
    Config& config = Config::Instance();
    if (simulatorSplitter->IsSplit()) {
        if (!show || toggle) {
            simulatorSplitter->Unsplit(leftPanel);
            config.SetFlag(option::kShowLeftPanel, false);
        }
    } else if (show || toggle) {
        leftPanel->Show();
        simulatorSplitter->SplitVertically(leftPanel, drawingPane,
                                           config.GetInteger(option::kSimulatorSashPos));
        config.SetFlag(option::kShowLeftPanel, true);
    }
    GetMenuBar()->Check(ID_VIEW_LEFT_PANEL, simulatorSplitter->IsSplit());
    UpdatePanes();
    config.Save();
}

void MyFrame::OnViewLeftPanel(wxCommandEvent& event) {
    ShowLeftPanel(event.IsChecked(), false);
}

void MyFrame::OnZoom(wxCommandEvent& event) {
    switch (event.GetId()) {
        case ID_ZOOM_IN:
            glWindow->StepZoom(1);
            break;
        case ID_ZOOM_OUT:
            glWindow->StepZoom(-1);
            break;
        case ID_ZOOM_ACTUAL:
            glWindow->SetZoom(1.0);
            break;
        default:
            glWindow->FitToWindow();
            break;
    }
}

// The drawing as the window shows it, as a file for slides: an SVG, or a PNG
// at the zoom on screen (within the scales a picture may have).
void MyFrame::OnExportPicture(wxCommandEvent&) {
    const wxString path = askPictureName();
    if (path.empty()) return;
    const bool svg = wxFileName(path).GetExt().Lower() == wxT("svg");
    const double scale =
        std::clamp(glWindow->Zoom(), kSmallestPictureScale, kLargestPictureScale);
    std::string error;
    if (!ExportPicture(*simulator, canvas->DrawingOptions(), colours, path.utf8_string(),
                       svg ? PictureFormat::Svg : PictureFormat::Png, svg ? 1.0 : scale, &error,
                       StaleReadsShown()))
        reportError(wxString::FromUTF8(error));
    else
        SetStatusText(wxT("Exported the drawing to ") + path, kMessageField);
}

// The zoom is kept for the next start; a fitted view keeps the last
// percentage too, for when fitting is turned off by hand in the file.
void MyFrame::ZoomChanged() {
    Config& config = Config::Instance();
    config.SetFlag(option::kZoomToFit, glWindow->Fitted());
    if (!glWindow->Fitted())
        config.SetInteger(option::kZoomPercent,
                          static_cast<int>(std::lround(glWindow->Zoom() * 100)));
    config.Save();
    GetMenuBar()->Check(ID_ZOOM_FIT, glWindow->Fitted());
}

void MyFrame::OnSashChanged(wxSplitterEvent&) {
    UpdatePanes();
}

void MyFrame::OnStep(wxCommandEvent&) {
    StopRun();
    simulator->Step();
    ShowMachine();
}

void MyFrame::OnReset(wxCommandEvent&) {
    StopRun();
    simulator->Reset();
    SyncInitialData(false);
    simulator->ReloadInstructionMemory();
    ShowMachine();
}

void MyFrame::OnLayout(wxCommandEvent& event) {
    const int id = event.GetId();
    // (wxWindow has a Layout of its own, hence the full name.)
    const tandrel::Layout layout = id == ID_LAYOUT_SIMPLE      ? tandrel::Layout::Simple
                                   : id == ID_LAYOUT_PIPELINED ? tandrel::Layout::Pipelined
                                                               : tandrel::Layout::Forwarding;
    StopRun();
    simulator->SelectLayout(layout);
    Config& config = Config::Instance();
    config.SetFlag(option::kShowSimpleLayout, layout == tandrel::Layout::Simple);
    config.SetFlag(option::kShowPipelineLayout, layout == tandrel::Layout::Pipelined);
    config.SetFlag(option::kShowForwardingLayout, layout == tandrel::Layout::Forwarding);
    config.Save();
    SyncInitialData(false);
    ShowMachine();
}

void MyFrame::OnFormat(wxCommandEvent& event) {
    const int id = event.GetId();
    display.numberFormat = id == ID_FORMAT_BINARY    ? NumberFormat::Binary
                           : id == ID_FORMAT_DECIMAL ? NumberFormat::Decimal
                                                     : NumberFormat::Hexadecimal;
    Config& config = Config::Instance();
    config.SetFlag(option::kBinaryFormat, id == ID_FORMAT_BINARY);
    config.SetFlag(option::kDecimalFormat, id == ID_FORMAT_DECIMAL);
    config.SetFlag(option::kHexadecimalFormat, id == ID_FORMAT_HEXADECIMAL);
    config.Save();
    // A key does not pass through the menu: tick the format in use.
    GetMenuBar()->Check(id, true);
    RebuildLists();
    UpdatePanes();
}

void MyFrame::OnInstructionSelected(wxListEvent& event) {
    event.Skip();
    const long long address = lists.at(MyDatalist::kInstructions)->SelectedAddress();
    if (address < 0) return;
    if (simulator->CurrentLayout() == tandrel::Layout::Simple)
        SetStatusText(wxT("The single-cycle drawing always shows the instruction at the PC."),
                      kMessageField);
    else if (!simulator->ChooseInstruction(static_cast<std::uint64_t>(address)))
        SetStatusText(
            wxString::Format(
                wxT("The instruction at %lld is in no stage now, so there is nothing to follow."),
                address),
            kMessageField);
    else
        SetStatusText(simulator->FollowingChosen()
                          ? wxString::Format(wxT("Following the instruction at %lld; click it "
                                                 "again to follow automatically."),
                                             address)
                          : wxString(wxT("Following automatically: each instruction from IF "
                                         "to WB, one after another.")),
                      kMessageField);
    ColourInstructionRows();
    canvas->RefreshIfPainted();
}

void MyFrame::OnOpenExample(wxCommandEvent& event) {
    const auto index = static_cast<std::size_t>(event.GetId() - ID_EXAMPLE_FIRST);
    if (index >= examples.size() || !ConfirmDiscard()) return;
    LoadFrom(examples[index]);
}

void MyFrame::OnClose(wxCloseEvent& event) {
    if (event.CanVeto() && !ConfirmDiscard()) {
        event.Veto();
        return;
    }
    event.Skip();  // the frame goes
}

}  // namespace tandrel
