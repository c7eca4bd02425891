#pragma once

#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/colour.h>
#include <wx/colourdata.h>
#include <wx/dialog.h>
#include <wx/iconbndl.h>

#include <functional>
#include <map>

#include "config/Config.h"

namespace tandrel {

// Configuration colours and the toolkit's colours hold the same four 0-255
// components; a colour that was never set stays "not valid" both ways.
wxColour ToWxColour(const Colour& colour);
Colour FromWxColour(const wxColour& colour);

// A 20 x 20 bitmap of the colour's red, green and blue (alpha ignored).
wxBitmap ColourSwatch(const wxColour& colour);

// The options dialog: the twelve drawing colours and seven display options.
// It works on copies taken from the configuration when it is built; the main
// window reads them back after OK (MyFrame::ApplyOptions).
class MyDialog : public wxDialog {
  public:
    MyDialog(wxWindow* parent, wxWindowID id, const wxIconBundle& icons, const wxString& title,
             const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
             long style = wxDEFAULT_DIALOG_STYLE, const wxString& name = wxT("dialogBox"));

    // The state of the check box of a display option.
    bool GetCheckBoxValue(int index) const;
    // The working copy of a colour option.
    wxColour GetColour(int index) const;

    // The controls, for the tests that drive the dialog.
    wxCheckBox* CheckBox(int index) const { return checkBoxes.at(index); }
    wxBitmapButton* ColourButton(int index) const { return colourButtons.at(index); }

    // Shows the colour chooser for `data` (parent this dialog) and tells
    // whether it was closed with OK, the chosen colour then being in `data`.
    // Tests answer in its place.
    std::function<bool(wxWindow* parent, wxColourData& data)> chooseColour;

    // The handler of the twelve swatch buttons: the chooser for the colour
    // whose option number is the button's id.
    void OnColourButton(wxCommandEvent& event);

  private:
    std::map<int, wxCheckBox*> checkBoxes;
    std::map<int, wxColour> colours;
    std::map<int, wxBitmapButton*> colourButtons;

    wxDECLARE_EVENT_TABLE();
};

// The toolkit's colour dialog, modal, destroyed when it closes.
bool ShowColourDialog(wxWindow* parent, wxColourData& data);

}  // namespace tandrel
