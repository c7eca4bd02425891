// The editor tab: program text, initial data, and Load, Save and Parse.
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/stdpaths.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/Help.h"
#include "app/Ids.h"
#include "app/MyFrame.h"
#include "config/Config.h"
#include "format/CellNumber.h"

namespace tandrel {

namespace {

constexpr int kDataRows = Simulator::kDataWords;
constexpr int kMaxMessages = 500;
const wxChar* const kDefinitionFiles = wxT("Definition files (*.def)|*.def");
// A data cell that is no 32-bit word.
const wxColour kRefusedBackground(255, 215, 215);
const wxColour kRefusedText(160, 0, 0);

// Why a file cannot be read, in the system's words; empty when it can.
wxString OpenProblem(const wxString& path) {
    std::ifstream probe(path.fn_str());
    if (probe.is_open() && !wxDirExists(path)) return wxString();
    if (wxDirExists(path)) return wxString::FromUTF8(std::strerror(EISDIR));
    return wxString::FromUTF8(std::strerror(errno != 0 ? errno : ENOENT));
}

// A text box refuses a whole insertion that holds a NUL character, so a NUL
// read from a file is shown as '?', like the other characters a program
// cannot use.
std::wstring Displayable(std::wstring text) {
    std::replace(text.begin(), text.end(), L'\0', L'?');
    return text;
}

}  // namespace

void MyFrame::BuildEditorTab(wxNotebook* notebook) {
    Config& config = Config::Instance();
    auto* outer = new wxPanel(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER);
    editorSplitter = new wxSplitterWindow(outer, ID_EDITOR_SPLITTER, wxDefaultPosition,
                                          wxDefaultSize, wxSP_3D, wxT("splitter"));
    editorSplitter->SetMinimumPaneSize(20);
    dataPanel = new wxPanel(editorSplitter, wxID_ANY, wxDefaultPosition,
                            wxSize(config.GetInteger(option::kEditorSashPos), 300),
                            wxTAB_TRAVERSAL | wxNO_BORDER);
    dataPanel->SetMinSize(wxSize(200, 300));
    auto* textPanel = new wxPanel(editorSplitter, wxID_ANY, wxDefaultPosition, wxSize(200, 300),
                                  wxTAB_TRAVERSAL | wxNO_BORDER);
    textPanel->SetMinSize(wxSize(200, 300));

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(textPanel, ID_LOAD_BUTTON, wxT("&Load")), 1, wxEXPAND | wxALL, 0);
    buttons->Add(new wxButton(textPanel, ID_SAVE_BUTTON, wxT("S&ave")), 1, wxEXPAND | wxALL, 0);
    buttons->Add(new wxButton(textPanel, ID_PARSE_BUTTON, wxT("&Parse")), 1, wxEXPAND | wxALL, 0);
    programText = new wxTextCtrl(textPanel, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                 wxDefaultSize, wxTE_MULTILINE | wxTE_RICH2);
    // Every keystroke may change what the simulator tab says about the program.
    programText->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        programLineStyles.clear();
        ShowProgramState();
    });
    messagesText = new wxTextCtrl(textPanel, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxDefaultSize, wxTE_MULTILINE | wxTE_RICH2);
    auto* textSizer = new wxBoxSizer(wxVERTICAL);
    textSizer->Add(buttons, 0, wxEXPAND | wxALL, 3);
    textSizer->Add(new wxStaticText(textPanel, wxID_ANY, wxT("Instructions:")), 0, wxEXPAND | wxALL,
                   3);
    textSizer->Add(programText, 2, wxEXPAND | wxALL, 3);
    textSizer->Add(new wxStaticText(textPanel, wxID_ANY, wxT("Messages:")), 0, wxEXPAND | wxALL, 3);
    textSizer->Add(messagesText, 1, wxEXPAND | wxALL, 3);
    textPanel->SetSizer(textSizer);

    dataGrid = new wxGrid(dataPanel, ID_DATA_GRID, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS);
    dataGrid->CreateGrid(kDataRows, 1, wxGrid::wxGridSelectCells);
    dataGrid->SetColLabelValue(0, wxT("Data"));
    // A plain text column: the grid's number editor would drop what it
    // cannot take (a '.', an 'x', digits past its range) as it is typed.
    auto* column = new wxGridCellAttr;
    column->SetAlignment(wxALIGN_RIGHT, wxALIGN_CENTRE);
    dataGrid->SetColAttr(0, column);
    dataGrid->SetColSize(0, 240);
    dataGrid->SetRowLabelSize(43);
    for (int row = 0; row < kDataRows; ++row) {
        dataGrid->SetCellValue(row, 0, wxT("0"));
        dataGrid->SetRowLabelValue(row, wxString::Format(wxT("%d"), row));
    }
    dataGrid->EnableDragGridSize(false);
    dataGrid->EnableDragColSize(false);
    dataGrid->EnableDragRowSize(false);
    auto* dataSizer = new wxBoxSizer(wxVERTICAL);
    dataSizer->Add(new wxStaticText(dataPanel, wxID_ANY, wxT("Initial Memory Data:")), 0,
                   wxEXPAND | wxALL, 3);
    dataSizer->Add(dataGrid, 2, wxEXPAND | wxALL, 3);
    cellProblemText = new wxStaticText(dataPanel, wxID_ANY, wxEmptyString);
    cellProblemText->SetForegroundColour(kRefusedText);
    dataSizer->Add(cellProblemText, 0, wxEXPAND | wxALL, 3);
    dataGrid->GetGridWindow()->Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
        event.Skip();
        const wxPoint at = dataGrid->CalcUnscrolledPosition(event.GetPosition());
        const auto problem = cellProblems.find(dataGrid->YToRow(at.y));
        dataGrid->GetGridWindow()->SetToolTip(problem != cellProblems.end() ? problem->second
                                                                            : wxString());
    });
    dataPanel->SetSizer(dataSizer);

    editorSplitter->SplitVertically(dataPanel, textPanel, 100);
    auto* outerSizer = new wxBoxSizer(wxHORIZONTAL);
    outerSizer->Add(editorSplitter, 1, wxEXPAND | wxALL, 3);
    outer->SetSizer(outerSizer);
    notebook->AddPage(outer, wxT("E&ditor"), false);
}

void MyFrame::SyncInitialData(bool reload) {
    DataMemory* memory = simulator->GetDataMemory();
    if (memory == nullptr) return;
    // Data written here was not written by a Step: no replay would repeat it.
    simulator->ClearHistory();
    if (reload) {
        for (int row = 0; row < kDataRows; ++row) {
            const std::uint64_t word = simulator->GetData(static_cast<std::uint64_t>(row));
            memory->storage[static_cast<std::uint64_t>(row)] = word;
            dataGrid->SetCellValue(row, 0, FormatNumber(word, false, false, NumberFormat::Decimal));
        }
    }
    // A cell keeps what was typed; one that is no 32-bit word counts as 0
    // and is marked, with the reason, until it is put right.
    for (int row = 0; row < kDataRows; ++row) {
        const wxString text = dataGrid->GetCellValue(row, 0);
        const CellNumber cell = ReadCellNumber(text.ToStdWstring());
        memory->storage[static_cast<std::uint64_t>(row)] = cell.word;
        simulator->SetData(static_cast<std::uint64_t>(row), cell.word);
        if (text.empty()) dataGrid->SetCellValue(row, 0, wxT("0"));
        MarkCell(row, cell.problem);
    }
    ShowCellProblems();
}

void MyFrame::MarkCell(int row, const std::wstring& problem) {
    if (!problem.empty()) {
        const bool marked = cellProblems.count(row) != 0;
        cellProblems[row] = problem;
        if (marked) return;
        dataGrid->SetCellBackgroundColour(row, 0, kRefusedBackground);
        dataGrid->SetCellTextColour(row, 0, kRefusedText);
    } else if (cellProblems.erase(row) != 0) {
        dataGrid->SetAttr(row, 0, nullptr);  // back to the column's look
    }
}

void MyFrame::ShowCellProblems() {
    wxString text;
    if (!cellProblems.empty()) {
        const auto& [row, problem] = *cellProblems.begin();
        text = wxString::Format(wxT("Row %d: "), row) + problem + wxT(" It counts as 0.");
        if (cellProblems.size() > 1)
            text += wxString::Format(wxT(" %d cells are marked."),
                                     static_cast<int>(cellProblems.size()));
    }
    if (cellProblemText->GetLabel() == text) return;
    cellProblemText->SetLabel(text);
    cellProblemText->Wrap(std::max(dataPanel->GetClientSize().x - 6, 100));
    dataGrid->ForceRefresh();
    dataPanel->Layout();
}

void MyFrame::HighlightErrors() {
    // Error and warning lines get a pale background of their own and a marker
    // in the font, so neither can be taken for the stage colours (saturated
    // red, green, magenta, blue and cyan) the lists use.
    wxTextAttr errorLine(wxColour(128, 0, 0), wxColour(255, 210, 210));
    errorLine.SetFontWeight(wxFONTWEIGHT_BOLD);
    errorLine.SetFontUnderlined(true);
    const wxTextAttr warningLine(wxColour(102, 68, 0), wxColour(255, 236, 160));

    programText->Freeze();
    programText->Clear();
    programLineStyles.clear();
    for (const ProgramLine& line : simulator->GetParser().ShownLines()) {
        const long start = programText->GetLastPosition();
        programText->AppendText(Displayable(line.text));
        if (line.error || line.warning)
            programText->SetStyle(start, programText->GetLastPosition(),
                                  line.error ? errorLine : warningLine);
    }
    programText->SetInsertionPoint(0);
    programText->Thaw();
}

void MyFrame::ShowParseMessages() {
    messagesText->Clear();
    const Parser& parser = simulator->GetParser();
    std::wstring text = ParseSummary(parser);
    std::wstring message;
    int shown = 0;
    for (int i = 0; i < parser.ErrorCount() && shown < kMaxMessages; ++i, ++shown) {
        parser.GetErrorMessage(i, message);
        text += MessageLine(parser.GetErrorLine(i), message) + L"\n";
    }
    const auto& warnings = parser.Warnings();
    if (!warnings.empty()) {
        text += parser.ErrorCount() == 0 ? L"\n\n" : L"\n";
        text += warnings.size() == 1
                    ? std::wstring(L"There was 1 warning:\n")
                    : L"There were " + std::to_wstring(warnings.size()) + L" warnings:\n";
    }
    for (std::size_t i = 0; i < warnings.size() && shown < kMaxMessages; ++i, ++shown)
        text += MessageLine(warnings[i].line, warnings[i].text) + L"\n";
    messagesText->AppendText(Displayable(text));
}

void MyFrame::Parse() {
    StopRun();
    simulator->ParseProgram(programText->GetValue().ToStdWstring());
    simulator->Reset();
    SyncInitialData(false);
    canvas->RefreshIfPainted();
    RebuildLists();
    HighlightErrors();
    ShowParseMessages();
    UpdatePanes();
    parsed = true;
    parsedText = programText->GetValue();
    loadProblem.clear();
    ShowProgramState();
}

void MyFrame::LoadFrom(const wxString& path) {
    // A file that cannot be opened leaves the user's program, data and
    // machine as they were; the messages say what went wrong.
    StopRun();
    if (!simulator->LoadFile(path.ToStdWstring())) {
        const wxString problem =
            wxString::Format(wxT("Could not open \"%s\": %s"), path, OpenProblem(path));
        messagesText->Clear();
        messagesText->AppendText(problem + wxT("\n"));
        loadProblem = problem;
        ShowProgramState();
        return;
    }
    simulator->ParseProgram(std::wstring());
    simulator->Reset();
    SyncInitialData(true);
    canvas->RefreshIfPainted();
    RebuildLists();
    HighlightErrors();
    ShowParseMessages();
    UpdatePanes();
    // Warnings about the file's data part are lost to the parse below, which
    // takes the data from the grid: they are listed after its messages.
    std::wstring dataWarnings;
    const Parser& parser = simulator->GetParser();
    for (const ParseWarning& warning : parser.Warnings())
        if (static_cast<std::size_t>(warning.line) > parser.ShownLines().size())
            dataWarnings += MessageLine(warning.line, warning.text) + L"\n";
    currentFile = path;
    Parse();
    if (!dataWarnings.empty())
        messagesText->AppendText(wxT("\n\nIn the data part of the file:\n") + dataWarnings);
    savedSnapshot = EditorSnapshot();
}

bool MyFrame::SaveTo(const wxString& chosen, bool replacing) {
    wxString path = chosen;
    if (!path.EndsWith(wxT(".def"))) path += wxT(".def");
    if (!replacing && OpenProblem(path).empty() &&
        !confirmReplace(wxFileName(chosen).GetFullName()))
        return false;
    // A save that fails is said so, and the file that was there stays.
    std::error_code why;
    if (!simulator->SaveProgram(path.ToStdWstring(), &why)) {
        reportError(wxString::Format(wxT("Could not save \"%s\": %s"), path,
                                     wxString::FromUTF8(why.message())));
        return false;
    }
    currentFile = path;
    savedSnapshot = EditorSnapshot();
    ShowProgramState();
    return true;
}

// The program text without the blank lines a parse leaves at its end, and
// every data cell: what a save would write.
wxString MyFrame::EditorSnapshot() const {
    wxString snapshot = programText->GetValue();
    snapshot.Trim(true);
    for (int row = 0; row < kDataRows; ++row)
        snapshot << wxT('\x1f') << dataGrid->GetCellValue(row, 0);
    return snapshot;
}

bool MyFrame::HasUnsavedChanges() const {
    return EditorSnapshot() != savedSnapshot;
}

bool MyFrame::ConfirmDiscard() {
    if (!HasUnsavedChanges()) return true;
    switch (askToSave()) {
        case SaveAnswer::Discard:
            return true;
        case SaveAnswer::Cancel:
            return false;
        case SaveAnswer::Save:
            break;
    }
    Parse();
    if (!currentFile.empty()) return SaveTo(currentFile, true);
    wxFileDialog dialog(this, wxT("Save Instruction File"), wxEmptyString, wxEmptyString,
                        kDefinitionFiles, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return false;
    return SaveTo(dialog.GetPath());
}

SaveAnswer AskToSave(wxWindow* parent) {
    wxMessageDialog question(parent,
                             wxT("The program has changes that are not saved.\nSave them first?"),
                             wxT("Tandrel"), wxYES_NO | wxCANCEL | wxICON_QUESTION);
    question.SetYesNoCancelLabels(wxT("&Save"), wxT("&Discard"), wxT("&Cancel"));
    switch (question.ShowModal()) {
        case wxID_YES:
            return SaveAnswer::Save;
        case wxID_NO:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
    }
}

bool AskToReplace(wxWindow* parent, const wxString& chosenName) {
    return wxMessageBox(chosenName + wxT(" already exists.\nDo you want to replace it?"),
                        wxT("Warning"), wxYES_NO | wxICON_EXCLAMATION, parent) == wxYES;
}

void MyFrame::OnParse(wxCommandEvent&) {
    Parse();
}

void MyFrame::OnLoad(wxCommandEvent&) {
    if (!ConfirmDiscard()) return;
    // Where there are no programs yet, the dialog opens on the examples.
    wxFileDialog dialog(this, wxT("Load Instruction File"),
                        LoadFolder(wxStandardPaths::Get().GetExecutablePath()), wxEmptyString,
                        kDefinitionFiles, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    LoadFrom(dialog.GetPath());
}

void MyFrame::OnSave(wxCommandEvent&) {
    Parse();
    wxFileDialog dialog(this, wxT("Save Instruction File"), wxEmptyString, wxEmptyString,
                        kDefinitionFiles, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    SaveTo(dialog.GetPath());
}

void MyFrame::OnGridCellChanged(wxGridEvent& event) {
    event.Skip();
    SyncInitialData(false);
    RefreshListValues();
}

}  // namespace tandrel
