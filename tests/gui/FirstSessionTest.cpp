// What a newcomer meets in the window: a pipelined drawing that follows an
// instruction, the program's state in words, the question before unsaved
// work is lost, and the same picture as tandrel-cli draws.
#include <png.h>

#include <cstdlib>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "config/Config.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

const std::string kExample = std::string(TANDREL_EXAMPLES_DIR) + "/06-data-hazard.def";

void Command(MyFrame& frame, int id, wxEventType type = wxEVT_MENU) {
    wxCommandEvent event(type, id);
    frame.ProcessWindowEvent(event);
}

// Pixels of the canvas, bottom row first, within `tolerance` of a colour.
long CountColour(const std::vector<unsigned char>& pixels, const Colour& colour, int tolerance) {
    long count = 0;
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
        if (std::abs(pixels[i] - colour.r) <= tolerance &&
            std::abs(pixels[i + 1] - colour.g) <= tolerance &&
            std::abs(pixels[i + 2] - colour.b) <= tolerance)
            ++count;
    return count;
}

using FirstSession = FrameTest;

TEST_F(FirstSession, PipelinedStepsColourTheFollowedInstructionAndRowsCanBeFollowed) {
    MyFrame& frame = Start();
    frame.LoadFrom(kExample);
    MyDatalist* rows = frame.List(MyDatalist::kInstructions);
    for (int layout : {ID_LAYOUT_PIPELINED, ID_LAYOUT_FORWARDING}) {
        Command(frame, layout);
        Simulator& sim = frame.GetSimulator();
        // Default settings: one instruction's path is coloured, whole
        // journey after whole journey, never a black drawing.
        for (int step = 0; step < 7; ++step) {
            Command(frame, wxID_FORWARD, wxEVT_BUTTON);
            Settle();
            const Colour stage = Config::Instance().GetColour(
                option::kStage1Colour + sim.StageColourIndex(sim.FollowedStage()));
            EXPECT_GT(CountColour(frame.Canvas()->ReadPixels(), stage, 8), 200)
                << "layout " << layout << " step " << step;
            EXPECT_EQ(rows->MarkedRow(), static_cast<long>(sim.FollowedAddress() / 4));
        }
        // A click on a row in flight, row 0 too, follows it; a second click
        // goes back. The toolkit's selection colour never hides the stage's.
        Command(frame, wxID_STOP, wxEVT_BUTTON);
        Command(frame, wxID_FORWARD, wxEVT_BUTTON);
        for (bool chosen : {true, false}) {
            rows->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            Settle();
            EXPECT_EQ(sim.FollowingChosen(), chosen);
            EXPECT_EQ(rows->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), -1);
        }
    }
}

TEST_F(FirstSession, TheSimulatorTabAndTitleSayWhatStateTheProgramIsIn) {
    MyFrame& frame = Start();
    const wxString name = wxT("06-data-hazard.def");
    struct Case {
        const char* what;
        std::function<void()> act;
        const wchar_t* says;  // in the state text
        wxString title;
    };
    const Case cases[] = {
        {"first start", [] {}, L"choose File > Open Example", wxT("Tandrel")},
        {"load", [&] { frame.LoadFrom(kExample); }, L"Program: 06-data-hazard.def. Parsed",
         name + L" \u2014 Tandrel"},
        {"unparsed edit", [&] { frame.ProgramText()->AppendText(wxT("ADD $5, $1, $1\n")); },
         L"changed since the last parse", name + L" \u2014 Tandrel"},
        {"parse with an error",
         [&] {
             frame.ProgramText()->SetValue(wxT("ADD $5, $1\n"));
             frame.Parse();
         },
         L"It has 1 error", name + L" \u2014 Tandrel"},
        {"unreadable file", [&] { frame.LoadFrom(wxT("no-such.def")); },
         L"Could not open \"no-such.def\"", name + L" \u2014 Tandrel"},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_TRUE(frame.StateText()->GetLabel().Contains(c.says))
            << c.what << ": " << frame.StateText()->GetLabel();
        EXPECT_EQ(frame.GetTitle(), c.title) << c.what;
    }
}

TEST_F(FirstSession, UnsavedWorkIsAskedAboutBeforeALoadOrCloseLosesIt) {
    struct Case {
        SaveAnswer answer;
        bool goesOn;  // the load or the close happens
        bool saved;   // the edit reached the file
    };
    for (const Case& c :
         {Case{SaveAnswer::Cancel, false, false}, Case{SaveAnswer::Save, true, true},
          Case{SaveAnswer::Discard, true, false}}) {
        std::filesystem::create_directories(folder / "examples");
        WriteFile("examples/other.def", "NOP\nData:\n");
        WriteFile("mine.def", "ADDI $1, $0, 1\nData:\n");
        MyFrame& frame = Start();
        int asked = 0;
        frame.askToSave = [&] {
            ++asked;
            return c.answer;
        };
        frame.LoadFrom(wxT("mine.def"));
        frame.ProgramText()->AppendText(wxT("ADD $2, $1, $1\n"));
        ASSERT_EQ(frame.Examples().size(), 1u);
        Command(frame, ID_EXAMPLE_FIRST);  // File > Open Example > other.def
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(ReadFile("mine.def").find("ADD $2, $1, $1") != std::string::npos, c.saved);
        EXPECT_EQ(frame.GetTitle().StartsWith(wxT("other.def")), c.goesOn);

        frame.ProgramText()->AppendText(wxT("SUB $3, $1, $1\n"));
        EXPECT_EQ(frame.Close(), c.goesOn);
        EXPECT_EQ(asked, 2);
        Settle();
        if (c.goesOn) this->frame = nullptr;  // the window has gone
        TearDown();
        SetUp();
    }
}

#ifdef TANDREL_CLI_PATH
TEST_F(FirstSession, TheWindowDrawsWhatTandrelCliDrawsForTheSameSteps) {
    MyFrame& frame = Start();
    frame.LoadFrom(kExample);
    Command(frame, ID_LAYOUT_PIPELINED);
    for (int i = 0; i < 3; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
    Settle();
    const std::vector<unsigned char> window = frame.Canvas()->ReadPixels();
    const wxSize size = frame.Canvas()->PixelSize();
    const std::string command = std::string(TANDREL_CLI_PATH) + " picture '" + kExample +
                                "' --layout pipelined --steps 3 -o cli.png";
    ASSERT_EQ(clitest::RunLimited(command), 0) << command;  // a hang fails, and is killed

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, "cli.png"), 0);
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> cli(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, cli.data(), 0, nullptr), 0);
    // Both draw from the bottom-left corner at one scale: compare what both
    // show. The picture's rows run top first, the canvas's bottom first.
    const int width = std::min<int>(size.x, image.width);
    const int height = std::min<int>(size.y, image.height);
    ASSERT_GT(width * height, 500 * 500);
    long differ = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int i = 0; i < 3; ++i)
                differ +=
                    std::abs(
                        window[(std::size_t{1} * y * size.x + x) * 3 + i] -
                        cli[(std::size_t{1} * (image.height - 1 - y) * image.width + x) * 3 + i]) >
                    2;
    EXPECT_EQ(differ, 0) << "of " << width * height << " pixels";
}
#endif

}  // namespace
}  // namespace tandrel::test
