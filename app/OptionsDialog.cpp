// The options dialog, and what the main window does when it closes.
#include "app/OptionsDialog.h"

#include <wx/colordlg.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/MyFrame.h"

namespace tandrel {

namespace {

constexpr int kSwatchSize = 20;

// The colour grid, row by row: a label and its option number for each pair
// of columns; a null label stands for a pair of empty cells.
struct ColourCell {
    const wxChar* label;
    int index;
};

constexpr ColourCell kColourGrid[5][3] = {
    {{wxT("&Component:"), option::kComponentColour},
     {wxT("&Inactive link:"), option::kInactiveLinkColour},
     {wxT("&Stage 1:"), option::kStage1Colour}},
    {{wxT("&Pipeline register:"), option::kPipeRegColour},
     {wxT("&Text:"), option::kTextColour},
     {wxT("&Stage 2:"), option::kStage2Colour}},
    {{wxT("&Component fade:"), option::kFadeColour},
     {wxT("&Border:"), option::kBorderColour},
     {wxT("&Stage 3:"), option::kStage3Colour}},
    {{nullptr, 0},
     {wxT("&Background:"), option::kBackgroundColour},
     {wxT("&Stage 4:"), option::kStage4Colour}},
    {{nullptr, 0}, {nullptr, 0}, {wxT("&Stage 5:"), option::kStage5Colour}},
};

struct CheckCell {
    int index;
    const wxChar* label;
};

constexpr CheckCell kCheckBoxes[] = {
    {option::kShowLeftPanel, wxT("Show left panel")},
    {option::kShowInstructionsInFields, wxT("Split instructions into fields")},
    {option::kShowControlLines, wxT("Show control lines")},
    {option::kShowPcLines, wxT("Show program counter lines")},
    {option::kShowPopups, wxT("Show pop-ups")},
    {option::kHighlightSingleInstruction, wxT("Highlight single instruction on pipelined layouts")},
    {option::kShowBoldDataLines, wxT("Show bold data lines at all times")},
};

}  // namespace

wxColour ToWxColour(const Colour& colour) {
    if (!colour.valid) return wxColour();
    return wxColour(colour.r, colour.g, colour.b, colour.a);
}

Colour FromWxColour(const wxColour& colour) {
    if (!colour.IsOk()) return Colour{};
    return Colour::Rgba(colour.Red(), colour.Green(), colour.Blue(), colour.Alpha());
}

wxBitmap ColourSwatch(const wxColour& colour) {
    wxImage image(kSwatchSize, kSwatchSize);
    // A colour that was never set shows black rather than nothing.
    const wxColour shown = colour.IsOk() ? colour : *wxBLACK;
    image.SetRGB(wxRect(0, 0, kSwatchSize, kSwatchSize), shown.Red(), shown.Green(), shown.Blue());
    return wxBitmap(image, wxBITMAP_SCREEN_DEPTH);
}

bool ShowColourDialog(wxWindow* parent, wxColourData& data) {
    auto* dialog = new wxColourDialog(parent, &data);
    const bool accepted = dialog->ShowModal() == wxID_OK;
    if (accepted) data = dialog->GetColourData();
    dialog->Destroy();
    return accepted;
}

MyDialog::MyDialog(wxWindow* parent, wxWindowID id, const wxIconBundle& icons,
                   const wxString& title, const wxPoint& pos, const wxSize& size, long style,
                   const wxString& name)
    : wxDialog(parent, id, title, pos, size, style, name), chooseColour(ShowColourDialog) {
    SetIcons(icons);
    Config& config = Config::Instance();
    auto* column = new wxBoxSizer(wxVERTICAL);

    auto* colourBox = new wxStaticBoxSizer(wxHORIZONTAL, this, wxT("&Colours"));
    wxWindow* colourParent = colourBox->GetStaticBox();
    auto* grid = new wxFlexGridSizer(5, 6, 3, 3);
    grid->SetFlexibleDirection(wxHORIZONTAL);
    grid->AddGrowableCol(0, 5);
    for (const auto& row : kColourGrid) {
        for (const ColourCell& cell : row) {
            if (cell.label == nullptr) {
                // Empty cells keep the grid's shape: a label for each column.
                grid->Add(new wxStaticText(colourParent, wxID_ANY, wxEmptyString));
                grid->Add(new wxStaticText(colourParent, wxID_ANY, wxEmptyString));
                continue;
            }
            colours[cell.index] = ToWxColour(config.GetColour(cell.index));
            auto* button =
                new wxBitmapButton(colourParent, cell.index, ColourSwatch(colours[cell.index]),
                                   wxDefaultPosition, wxDefaultSize, 0);
            colourButtons[cell.index] = button;
            grid->Add(new wxStaticText(colourParent, wxID_ANY, cell.label), 0,
                      wxALL | wxALIGN_CENTER_VERTICAL, 3);
            grid->Add(button, 0, wxEXPAND | wxRIGHT, 3);
        }
    }
    colourBox->Add(grid, 0, wxEXPAND | wxALL, 3);
    column->Add(colourBox, 0, wxEXPAND | wxALL, 0);

    auto* optionBox = new wxStaticBoxSizer(wxVERTICAL, this, wxT("&Display options"));
    wxWindow* optionParent = optionBox->GetStaticBox();
    for (const CheckCell& cell : kCheckBoxes)
        checkBoxes[cell.index] = new wxCheckBox(optionParent, wxID_ANY, cell.label);
    for (auto& [index, box] : checkBoxes) {
        box->SetValue(config.GetFlag(index));
        optionBox->Add(box, 0, wxEXPAND | wxALL, 3);
    }
    column->Add(optionBox, 0, wxEXPAND | wxALL, 3);

    column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 3);
    SetSizerAndFit(column);
}

bool MyDialog::GetCheckBoxValue(int index) const {
    return checkBoxes.at(index)->GetValue();
}

wxColour MyDialog::GetColour(int index) const {
    return colours.at(index);
}

void MyDialog::OnColourButton(wxCommandEvent& event) {
    const int index = event.GetId();
    wxColourData data;
    data.SetChooseFull(true);
    data.SetColour(colours.at(index));
    if (chooseColour(this, data)) colours[index] = data.GetColour();
    // The swatch is rebuilt either way; after Cancel it shows the same colour.
    colourButtons.at(index)->SetBitmapLabel(ColourSwatch(colours.at(index)));
}

void MyFrame::OnOptions(wxCommandEvent&) {
    auto* dialog = new MyDialog(this, wxID_ANY, *icons, wxT("Options"), wxDefaultPosition,
                                wxDefaultSize, wxDEFAULT_DIALOG_STYLE, wxT("dialogBox"));
    if (dialog->ShowModal() == wxID_OK) ApplyOptions(*dialog);
    dialog->Destroy();
    // Saved after Cancel too: the file is rewritten with the values unchanged.
    Config::Instance().Save();
}

void MyFrame::ApplyOptions(const MyDialog& dialog) {
    Config& config = Config::Instance();
    ShowLeftPanel(dialog.GetCheckBoxValue(option::kShowLeftPanel), false);
    for (int index : {option::kShowInstructionsInFields, option::kShowControlLines,
                      option::kShowPcLines, option::kShowPopups}) {
        const bool on = dialog.GetCheckBoxValue(index);
        display.displayFlags[index] = on;
        config.SetFlag(index, on);
    }
    display.boldDataLines = dialog.GetCheckBoxValue(option::kShowBoldDataLines);
    config.SetFlag(option::kShowBoldDataLines, display.boldDataLines);
    display.highlightSingle = dialog.GetCheckBoxValue(option::kHighlightSingleInstruction);
    config.SetFlag(option::kHighlightSingleInstruction, display.highlightSingle);
    for (int index = option::kComponentColour; index <= option::kBackgroundColour; ++index)
        config.SetColour(index, FromWxColour(dialog.GetColour(index)));
    // The drawing takes its colours from its own table, refilled from the
    // store; the elements themselves carry none.
    colours.Refresh(config);
    canvas->RefreshIfPainted();
    RebuildLists();
    UpdatePanes();
}

wxBEGIN_EVENT_TABLE(MyDialog, wxDialog)
    EVT_COMMAND_RANGE(option::kComponentColour, option::kBackgroundColour, wxEVT_BUTTON,
                      MyDialog::OnColourButton)
wxEND_EVENT_TABLE()

}  // namespace tandrel
