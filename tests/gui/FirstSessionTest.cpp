// What a newcomer meets in the window: a pipelined drawing that follows an
// instruction, the program's state in words, the question before unsaved
// work is lost, and the same picture as tandrel-cli draws.
#include <png.h>

#include <cstdlib>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "config/Config.h"
#include "render/DrawRules.h"
#include "render/ViewGeometry.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

const std::string kExample = std::string(TANDREL_EXAMPLES_DIR) + "/06-data-hazard.def";

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
    Command(frame, ID_ZOOM_ACTUAL);  // the picture's scale
    Step(frame, 3);
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
    // Both draw from the bottom-left corner at one scale, the window with
    // OpenGL and its bitmap font, the picture with Cairo: their wires must
    // agree. At the middle of every wire the picture has the window's
    // colour within a pixel; a point a label covers may differ in the font.
    // The picture's rows run top first, the canvas's bottom first, and the
    // canvas has the drawing's bottom-left corner at (Left, Bottom).
    const ViewGeometry& view = frame.Canvas()->Geometry();
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    const auto near = [&](int x, int y, const unsigned char* w) {
        const unsigned char* c =
            &cli[(std::size_t{1} * (image.height - 1 - y) * image.width + x) * 3];
        return std::abs(w[0] - c[0]) <= 2 && std::abs(w[1] - c[1]) <= 2 &&
               std::abs(w[2] - c[2]) <= 2;
    };
    int sampled = 0, agreed = 0;
    for (const auto& e : frame.GetSimulator().Elements())
        for (const auto& link : e->ports) {
            if (!link->isOutput) continue;
            for (const InputLink* target : static_cast<const OutputLink&>(*link).targets) {
                const std::vector<Point> path = WirePath(*link, *target);
                const Point& a = path[path.size() / 2 - 1];
                const Point& b = path[path.size() / 2];
                const int x = static_cast<int>((a.x + b.x) / 2 * view::kScaleX);
                const int y = static_cast<int>((a.y + b.y) / 2 * view::kScaleY);
                const int wx = x + view.Left();
                const int wy = y + view.Bottom();
                if (x < 1 || y < 1 || x + 1 >= width || y + 1 >= height || wx < 0 || wy < 0 ||
                    wx >= size.x || wy >= size.y)
                    continue;
                const unsigned char* w = &window[(std::size_t{1} * wy * size.x + wx) * 3];
                bool same = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) same = same || near(x + dx, y + dy, w);
                ++sampled;
                agreed += same;
            }
        }
    EXPECT_GT(sampled, 50);
    EXPECT_GE(agreed, sampled * 97 / 100) << "of " << sampled << " wires";
}
#endif

}  // namespace
}  // namespace tandrel::test
