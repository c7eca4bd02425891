// The simulator tab: Step, Step Back, Run, Stop and Reset, the three lists,
// and the drawing.
#include <wx/button.h>
#include <wx/filename.h>
#include <wx/sizer.h>

#include <algorithm>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/MyFrame.h"
#include "app/PipelinePanel.h"
#include "config/Config.h"

namespace tandrel {

namespace {

constexpr int kListCount = 3;

struct ListSpec {
    MyDatalist::ListId id;
    const wchar_t* page;
    unsigned step;
    unsigned count;
    const wchar_t* firstColumn;
};

constexpr ListSpec kLists[kListCount] = {
    {MyDatalist::kInstructions, L"&Instructions", 4, 512, L"Instr."},
    {MyDatalist::kRegisters, L"Re&gisters", 1, 32, L"Addr."},
    {MyDatalist::kData, L"D&ata", 1, 512, L"Addr."},
};

wxColour ToWx(const Colour& colour) {
    return wxColour(colour.r, colour.g, colour.b, colour.a);
}

// The instruction the word at an address is, as the machine will run it;
// empty where the program has no instruction.
wxString InstructionColumnText(const Simulator& simulator, std::uint64_t address) {
    if (simulator.GetInstructionKind(address) == InstructionKind::None) return wxString();
    return wxString(InstructionText(simulator.GetInstructionMemory()->Read(address)));
}

}  // namespace

void MyFrame::BuildSimulatorTab(wxNotebook* notebook) {
    Config& config = Config::Instance();
    auto* outer = new wxPanel(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER);
    simulatorSplitter = new wxSplitterWindow(outer, ID_SIMULATOR_SPLITTER, wxDefaultPosition,
                                             wxDefaultSize, wxSP_3D, wxT("splitter"));
    // The right pane: what state the program is in, over the drawing.
    drawingPane = new wxPanel(simulatorSplitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER);
    stateText = new wxStaticText(drawingPane, wxID_ANY, wxEmptyString);
    drawingSplitter = new wxSplitterWindow(drawingPane, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                           wxSP_3D | wxSP_LIVE_UPDATE);

    leftPanel = new wxPanel(simulatorSplitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                            wxTAB_TRAVERSAL | wxNO_BORDER);
    leftPanel->SetMinSize(wxSize(213, 450));
    auto* column = new wxBoxSizer(wxVERTICAL);
    // Step Back beside Step, Stop beside Run.
    auto* steps = new wxBoxSizer(wxHORIZONTAL);
    stepBackButton = new wxButton(leftPanel, ID_STEP_BACK, wxT("Step &Back"));
    stepBackButton->Enable(false);
    steps->Add(stepBackButton, 1, wxEXPAND | wxALL, 0);
    steps->Add(new wxButton(leftPanel, wxID_FORWARD, wxT("S&tep")), 1, wxEXPAND | wxALL, 0);
    column->Add(steps, 0, wxEXPAND | wxALL, 0);
    auto* runs = new wxBoxSizer(wxHORIZONTAL);
    runButton = new wxButton(leftPanel, ID_RUN, wxT("R&un"));
    stopButton = new wxButton(leftPanel, ID_STOP_RUN, wxT("Sto&p"));
    stopButton->Enable(false);
    runs->Add(runButton, 1, wxEXPAND | wxALL, 0);
    runs->Add(stopButton, 1, wxEXPAND | wxALL, 0);
    column->Add(runs, 0, wxEXPAND | wxALL, 0);
    column->Add(new wxButton(leftPanel, wxID_STOP, wxT("&Reset")), 0, wxEXPAND | wxALL, 0);
    auto* listBook = new wxNotebook(leftPanel, wxID_ANY);
    column->Add(listBook, 1, wxEXPAND | wxALL, 3);
    leftPanel->SetSizer(column);

    for (const ListSpec& row : kLists) {
        auto* page = new wxPanel(listBook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                 wxTAB_TRAVERSAL | wxNO_BORDER);
        auto* list = new MyDatalist(row.step, row.count, row.firstColumn, page, row.id);
        if (row.id == MyDatalist::kInstructions) {
            list->AddTextColumn(wxT("Instruction"));
            list->AddBreakpointColumn([this](long at) {
                ToggleBreakpoint(static_cast<std::uint64_t>(at) * kInstructionBytes);
            });
        }
        auto* pageSizer = new wxBoxSizer(wxVERTICAL);
        pageSizer->Add(list, 1, wxEXPAND | wxALL, 3);
        page->SetSizer(pageSizer);
        listBook->AddPage(page, row.page, row.id == MyDatalist::kInstructions);
        lists[row.id] = list;
    }

    simulator = std::make_unique<Simulator>();
    simulator->Reset();
    MyGLCanvas::FinishLoadingDriver();
    glWindow = new CanvasPane(drawingSplitter, *simulator, display, colours, *this);
    canvas = glWindow->Canvas();
    if (!config.GetFlag(option::kZoomToFit))
        glWindow->SetZoom(config.GetInteger(option::kZoomPercent) / 100.0);
    glWindow->SetMinSize(wxSize(400, 200));
    BuildTimeline();
    auto* paneSizer = new wxBoxSizer(wxVERTICAL);
    paneSizer->Add(stateText, 0, wxEXPAND | wxALL, 4);
    paneSizer->Add(drawingSplitter, 1, wxEXPAND | wxALL, 0);
    drawingPane->SetSizer(paneSizer);

    simulatorSplitter->SetMinimumPaneSize(20);
    simulatorSplitter->SplitVertically(leftPanel, drawingPane,
                                       config.GetInteger(option::kSimulatorSashPos));
    auto* outerSizer = new wxBoxSizer(wxHORIZONTAL);
    outerSizer->Add(simulatorSplitter, 1, wxEXPAND | wxALL, 0);
    outer->SetSizer(outerSizer);
    notebook->AddPage(outer, wxT("Si&mulator"), true);
}

void MyFrame::RebuildLists() {
    const bool fields = display.Flag(option::kShowInstructionsInFields);
    for (auto& [id, list] : lists) {
        std::vector<wxString> values(list->Count());
        std::vector<wxString> texts;
        for (unsigned row = 0; row < list->Count(); ++row) {
            const std::uint64_t address = std::uint64_t{row} * list->Step();
            if (id == MyDatalist::kInstructions) {
                values[row] =
                    fields ? wxString(simulator->InstructionFields(address, display.numberFormat))
                           : wxString(FormatNumber(simulator->GetInstructionMemory()->Read(address),
                                                   true, false, display.numberFormat));
                texts.push_back(InstructionColumnText(*simulator, address));
            } else {
                Memory* memory = id == MyDatalist::kRegisters
                                     ? static_cast<Memory*>(simulator->GetRegisters())
                                     : static_cast<Memory*>(simulator->GetDataMemory());
                values[row] =
                    FormatNumber(memory->Read(address), false, false, display.numberFormat);
            }
        }
        list->Rebuild(std::move(values), std::move(texts));
    }
    PipelinePanel::Follow(pipelinePanel);
    ColourInstructionRows();
    UpdateStatus();
}

void MyFrame::RefreshListValues() {
    PipelinePanel::Follow(pipelinePanel);
    RefreshLists();
}

void MyFrame::RefreshLists() {
    for (int id : {MyDatalist::kRegisters, MyDatalist::kData}) {
        MyDatalist* list = lists.at(id);
        Memory* memory = id == MyDatalist::kRegisters
                             ? static_cast<Memory*>(simulator->GetRegisters())
                             : static_cast<Memory*>(simulator->GetDataMemory());
        std::vector<wxString> values(list->Count());
        for (unsigned row = 0; row < list->Count(); ++row)
            values[row] = FormatNumber(memory->Read(std::uint64_t{row} * list->Step()), false,
                                       false, display.numberFormat);
        list->SetValues(std::move(values));
    }
    ColourInstructionRows();
    UpdateStatus();
}

void MyFrame::ColourInstructionRows() {
    MyDatalist* instructions = lists.at(MyDatalist::kInstructions);
    const std::uint64_t followed = simulator->FollowedAddress() / instructions->Step();
    instructions->SetMarkedRow(followed < instructions->Count() ? static_cast<long>(followed) : -1);

    Config& config = Config::Instance();
    const int textLines = programText != nullptr ? programText->GetNumberOfLines() : 0;
    programLineStyles.resize(static_cast<std::size_t>(std::max(textLines, 0)));
    long position = 0;
    for (unsigned row = 0; row < instructions->Count(); ++row) {
        const int slot = simulator->InstructionRowColour(std::uint64_t{row} * 4);
        const Colour background = slot == Simulator::kWhiteRow
                                      ? Colour::Rgba(255, 255, 255)
                                      : config.GetColour(option::kStage1Colour + slot);
        const wxColour colour = ToWx(background);
        instructions->SetRowColours(row, colour, ToWx(TextColourOn(background)));
        // Rows past the program text's last line have no text to colour.
        if (static_cast<int>(row) >= textLines) continue;
        const long length = programText->GetLineLength(static_cast<long>(row));
        LineStyle& styled = programLineStyles[row];
        if (length > 0 && (styled.length != length || styled.background != colour)) {
            styled = LineStyle{colour, length};
            wxTextAttr lineStyle;
            lineStyle.SetBackgroundColour(colour);
            // A faulty line keeps its own marking; the others get legible text.
            std::wstring text;
            bool faulty = false;
            simulator->GetProgramLine(std::uint64_t{row} * 4, text, faulty);
            if (!faulty) lineStyle.SetTextColour(ToWx(TextColourOn(background)));
            programText->SetStyle(position, position + length, lineStyle);
        }
        position += length + 1;
    }
}

void MyFrame::ShowProgramState() {
    const bool edited = programText->GetValue() != parsedText;
    wxString state;
    bool warning = true;
    if (!loadProblem.empty()) state = loadProblem + wxT("\n");
    if (!parsed && programText->IsEmpty()) {
        state +=
            wxT("No program yet. To begin, choose File > Open Example, or write a program on "
                "the Editor tab and press Parse there.\nThen press Step, or click the "
                "drawing, to run it one clock cycle at a time.");
        warning = !loadProblem.empty();
    } else if (!parsed) {
        state +=
            wxT("The program on the Editor tab has not been parsed yet: press Parse there "
                "to run it.");
    } else {
        state += currentFile.empty()
                     ? wxString(wxT("Program: not saved to a file."))
                     : wxT("Program: ") + wxFileName(currentFile).GetFullName() + wxT(".");
        const int errors = simulator->ErrorCount();
        if (errors > 0) {
            state += wxString::Format(
                wxT(" It has %d error%s (listed on the Editor tab), so it was not loaded: Step "
                    "runs an empty instruction memory (NOPs)."),
                errors, errors == 1 ? wxT("") : wxT("s"));
        } else {
            state +=
                wxT(" Parsed without errors: press Step, or click the drawing, to run one "
                    "clock cycle.");
            warning = edited;
        }
        if (edited)
            state +=
                wxT("\nThe program text has changed since the last parse: Step runs the "
                    "program as last parsed. Press Parse on the Editor tab to run the new "
                    "text.");
    }
    if (stateText->GetLabel() != state) {
        stateText->SetForegroundColour(warning ? wxColour(160, 0, 0) : wxNullColour);
        stateText->SetLabel(state);
        drawingPane->Layout();
    }
    const wxString title = currentFile.empty()
                               ? wxString(wxT("Tandrel"))
                               : wxFileName(currentFile).GetFullName() + L" \u2014 Tandrel";
    if (GetTitle() != title) SetTitle(title);
}

}  // namespace tandrel
