// The options dialog: what it shows, its colour chooser, and what OK and
// Cancel do to the configuration, its file, the display state and the window.
#include <wx/bmpbuttn.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/OptionsDialog.h"
#include "config/Config.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

constexpr int kColourOptions[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr int kCheckOptions[] = {13, 14, 18, 19, 20, 21, 22};

// A click on a swatch button as the toolkit reports it: from the button,
// travelling up to the dialog.
void ClickSwatch(MyDialog& dialog, int index) {
    wxBitmapButton* button = dialog.ColourButton(index);
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

wxColour SwatchColour(MyDialog& dialog, int index) {
    const wxImage image = dialog.ColourButton(index)->GetBitmapLabel().ConvertToImage();
    return wxColour(image.GetRed(10, 10), image.GetGreen(10, 10), image.GetBlue(10, 10));
}

// Runs the Options menu item; `answer` plays the user while the dialog is
// open and returns the id that closes it.
void RunOptions(MyFrame& frame, const std::function<int(MyDialog&)>& answer) {
    bool answered = false;
    wxTheApp->CallAfter([&] {
        auto* dialog = dynamic_cast<MyDialog*>(wxWindow::FindWindowByName(wxT("dialogBox")));
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->IsModal());
        answered = true;
        dialog->EndModal(answer(*dialog));
    });
    Command(frame, ID_OPTIONS);
    EXPECT_TRUE(answered);
    Settle();
    EXPECT_EQ(wxWindow::FindWindowByName(wxT("dialogBox")), nullptr) << "dialog not destroyed";
}

using OptionsDialog = FrameTest;

// Each swatch and check box stands for its own option and starts from the
// configuration; the colour chooser starts from the working colour, and only
// its OK changes that, and nothing reaches the configuration before OK. Then
// OK applies every choice to the configuration, the display state, the
// drawing and the lists, and leaves layout, format and sashes alone.
TEST_F(OptionsDialog, ShowsTheConfigurationAndOkAppliesEveryChoice) {
    WriteFile("tandrel.conf",
              "stage2colour: 10, 20, 30, 255;\nshowpopups: 0;\nshowsimplelayout: 0;\n"
              "showpipelinelayout: 1;\nbinaryformat: 0;\ndecimalformat: 0;\n"
              "hexadecimalformat: 1;\nsimulatorsashpos: 240;\neditorsashpos: 260;\n");
    MyFrame& frame = Start();
    Parse(frame, "addi $1, $0, 5\n");
    MyDatalist* instructions = frame.List(MyDatalist::kInstructions);
    EXPECT_EQ(instructions->GetItemText(0, 1), wxT("8, 0, 1, 5"));
    MyDialog dialog(&frame, wxID_ANY, frame.GetIcons(), wxT("Options"));
    for (int index : kColourOptions) {
        const Colour stored = Config::Instance().GetColour(index);
        EXPECT_EQ(SwatchColour(dialog, index), wxColour(stored.r, stored.g, stored.b)) << index;
    }
    EXPECT_EQ(dialog.GetColour(4), wxColour(10, 20, 30));
    for (int index : kCheckOptions)
        EXPECT_EQ(dialog.GetCheckBoxValue(index), index != option::kShowPopups) << index;
    EXPECT_EQ(dialog.CheckBox(option::kShowPopups)->GetLabel(), wxT("Show pop-ups"));

    const wxColour before = dialog.GetColour(12);
    wxColourData offered;
    bool accept = false;
    wxColour chosen(1, 2, 3);
    dialog.chooseColour = [&](wxWindow* parent, wxColourData& data) {
        EXPECT_EQ(parent, &dialog);
        offered = data;
        data.SetColour(chosen);
        return accept;
    };
    ClickSwatch(dialog, 12);  // closed with Cancel
    EXPECT_TRUE(offered.GetChooseFull());
    EXPECT_EQ(offered.GetColour(), before);
    EXPECT_EQ(dialog.GetColour(12), before);
    accept = true;
    ClickSwatch(dialog, 12);
    EXPECT_EQ(SwatchColour(dialog, 12), wxColour(1, 2, 3));
    ClickSwatch(dialog, 1);  // the first button of the range, for its own colour
    EXPECT_EQ(offered.GetColour(), wxColour(191, 191, 153));
    EXPECT_EQ(Config::Instance().GetColour(12), Colour::Rgba(255, 255, 255));

    for (int index : kCheckOptions)
        if (index != option::kShowLeftPanel) dialog.CheckBox(index)->SetValue(false);
    chosen = wxColour(10, 200, 30);
    ClickSwatch(dialog, option::kBackgroundColour);
    ClickSwatch(dialog, option::kStage1Colour);
    frame.ApplyOptions(dialog);

    Config& config = Config::Instance();
    for (int index : kCheckOptions) EXPECT_EQ(config.GetFlag(index), index == 13) << index;
    for (int index : {14, 18, 19, 20}) EXPECT_FALSE(frame.Display().Flag(index)) << index;
    EXPECT_FALSE(frame.Display().boldDataLines);
    EXPECT_FALSE(frame.Display().highlightSingle);
    EXPECT_EQ(config.GetColour(12), Colour::Rgba(10, 200, 30));
    EXPECT_EQ(config.GetColour(3), Colour::Rgba(10, 200, 30));
    EXPECT_EQ(config.GetColour(4), Colour::Rgba(10, 20, 30));
    // The drawing's own table follows.
    EXPECT_FLOAT_EQ(frame.Colours().Get(3).r, 10.0f / 255.0f);
    // The instruction list is rebuilt as whole words at once.
    EXPECT_EQ(instructions->GetItemText(0, 1), wxT("20010005"));
    // Untouched: layout, format and sash positions.
    EXPECT_EQ(frame.GetSimulator().CurrentLayout(), Layout::Pipelined);
    EXPECT_EQ(frame.Display().numberFormat, NumberFormat::Hexadecimal);
    for (int index : {15, 23, 24}) EXPECT_FALSE(config.GetFlag(index)) << index;
    for (int index : {16, 25}) EXPECT_TRUE(config.GetFlag(index)) << index;
}

TEST_F(OptionsDialog, CancelKeepsEveryValueButRewritesTheFile) {
    WriteFile("tandrel.conf", "showpopups: 0;\nfadecolour: 9, 8, 7, 255;\n");
    MyFrame& frame = Start();
    WriteFile("tandrel.conf", "replaced by hand\n");
    RunOptions(frame, [](MyDialog& dialog) {
        for (int index : kCheckOptions)
            dialog.CheckBox(index)->SetValue(!dialog.CheckBox(index)->GetValue());
        dialog.chooseColour = [](wxWindow*, wxColourData& data) {
            data.SetColour(wxColour(1, 2, 3));
            return true;
        };
        ClickSwatch(dialog, option::kFadeColour);
        EXPECT_EQ(dialog.GetColour(option::kFadeColour), wxColour(1, 2, 3));
        return wxID_CANCEL;
    });
    const std::string conf = ReadFile("tandrel.conf");
    EXPECT_EQ(std::count(conf.begin(), conf.end(), '\n'), option::kLast) << conf;
    for (const char* kept : {"fadecolour: 9, 8, 7, 255;\n", "showpopups: 0;\n", "showleftpanel: 1;\n"})
        EXPECT_NE(conf.find(kept), std::string::npos) << conf;
    EXPECT_TRUE(frame.SimulatorSplitter()->IsSplit());
    EXPECT_FALSE(frame.Display().Flag(option::kShowPopups));
    EXPECT_TRUE(frame.Display().Flag(option::kShowControlLines));
    EXPECT_FLOAT_EQ(frame.Colours().Get(option::kFadeColour).r, 9.0f / 255.0f);
}

}  // namespace
}  // namespace tandrel::test
