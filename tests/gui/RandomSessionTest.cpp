// A long, seeded, random session on the real main window: menu commands,
// Step and Reset, Parse of arbitrary text, grid edits, options, hovering and
// clicks on the drawing, Save and Load. After each action the lists must
// still show what the machine holds; the sanitizer build turns any memory
// fault into a failure. TANDREL_SESSION_SEED picks the sequence; a failure
// shows the seed and the last actions.
#include <wx/grid.h>
#include <wx/tipwin.h>

#include <cstdlib>
#include <deque>
#include <random>
#include <string>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/OptionsDialog.h"
#include "config/Config.h"
#include "format/CellNumber.h"
#include "format/NumberFormat.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

using RandomSession = FrameTest;

TEST_F(RandomSession, KeepsWindowAndMachineConsistent) {
    const char* seedText = std::getenv("TANDREL_SESSION_SEED");
    const std::uint64_t seed = seedText != nullptr ? std::strtoull(seedText, nullptr, 10) : 20261206;
    std::mt19937_64 random(seed);
    auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    // A toolkit assertion would open a modal report and hang the session;
    // it fails the test instead.
    const wxAssertHandler_t previous = wxSetAssertHandler(
        [](const wxString& file, int line, const wxString&, const wxString& cond, const wxString&) {
            ADD_FAILURE() << "toolkit assertion " << file.ToStdString() << ":" << line << " "
                          << cond.ToStdString();
        });
    MyFrame& frame = Start();
    frame.confirmReplace = [](const wxString&) { return true; };
    std::deque<std::string> log;
    // Lines a program may hold: good ones, faulty ones, text no program holds.
    const wxChar* const kLines[] = {
        wxT("addi $1, $1, 3"), wxT("add $2, $1, $1"), wxT("lw $3, 4($0)"), wxT("sw $2, 8($1)"),
        wxT("beq $1, $2, -2"), wxT("slt $4, $2, $1"), wxT("nop"), wxT("x: or $5, $4, $1 # c"),
        wxT("add $1, $2"), wxT("addi $40, $0, 1"), wxT("Data:"), wxT("\x01\u4e2d\U0001F600"),
    };
    const wxChar* const kCells[] = {wxT("2147483647"), wxT("-2147483648"), wxT(""), wxT(" 12 "),
                                    wxT("4294967296"), wxT("0x1F"), wxT("caf\u00e9")};
    const auto folder = this->folder;
    for (int action = 0; action < 300 && !HasFailure(); ++action) {
        const int kind = pick(100);
        log.push_back(std::to_string(action) + ": kind " + std::to_string(kind));
        if (log.size() > 30) log.pop_front();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", last actions: " + [&] {
            std::string all;
            for (const std::string& line : log) all += line + "; ";
            return all;
        }());
        if (kind < 8) {
            Command(frame, ID_LAYOUT_SIMPLE + pick(3));
        } else if (kind < 14) {
            Command(frame, ID_FORMAT_BINARY + pick(3));
        } else if (kind < 34) {
            Step(frame, 1 + pick(pick(10) == 0 ? 60 : 6));
        } else if (kind < 38) {
            Command(frame, wxID_STOP, wxEVT_BUTTON);
        } else if (kind < 50) {
            wxString text;
            for (int i = pick(pick(10) == 0 ? 160 : 30); i > 0; --i)
                text += wxString(kLines[pick(std::size(kLines))]) + (pick(10) ? wxT("\n") : wxT("\r\n"));
            frame.ProgramText()->SetValue(text);
            Command(frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
            const bool parsed =
                frame.MessagesText()->GetValue().StartsWith(wxT("Instructions successfully parsed."));
            EXPECT_EQ(parsed, frame.GetSimulator().ErrorCount() == 0);
        } else if (kind < 58) {
            wxGrid* grid = frame.DataGrid();
            const int row = pick(2) ? pick(8) : pick(grid->GetNumberRows());
            const wxString text = kCells[pick(std::size(kCells))];
            grid->SetCellValue(row, 0, text);
            wxGridEvent changed(ID_DATA_GRID, wxEVT_GRID_CELL_CHANGED, grid, row, 0);
            frame.ProcessWindowEvent(changed);
            EXPECT_EQ(frame.GetSimulator().GetData(row), ReadCellNumber(text.ToStdWstring()).word);
        } else if (kind < 62) {
            MyDialog dialog(&frame, wxID_ANY, frame.GetIcons(), wxT("Options"));
            for (int index : {option::kShowLeftPanel, option::kShowInstructionsInFields,
                              option::kShowControlLines, option::kShowPcLines, option::kShowPopups,
                              option::kHighlightSingleInstruction, option::kShowBoldDataLines})
                dialog.CheckBox(index)->SetValue(pick(4) != 0);
            frame.ApplyOptions(dialog);
            EXPECT_EQ(frame.SimulatorSplitter()->IsSplit(),
                      dialog.GetCheckBoxValue(option::kShowLeftPanel));
        } else if (kind < 66) {
            wxListEvent event(wxEVT_LIST_ITEM_SELECTED, frame.List(MyDatalist::kInstructions)->GetId());
            event.m_itemIndex = pick(16);
            event.SetEventObject(frame.List(MyDatalist::kInstructions));
            frame.List(MyDatalist::kInstructions)->ProcessWindowEvent(event);
        } else if (kind < 92) {
            MyGLCanvas* canvas = frame.Canvas();
            const wxSize size = canvas->GetClientSize();
            const wxPoint at(pick(std::max(1, size.x)), pick(std::max(1, size.y)));
            canvas->WarpPointer(at.x, at.y);  // the canvas reads the pointer where X has it
            wxMouseEvent mouse(kind < 82 ? wxEVT_MOTION : wxEVT_LEFT_UP);
            mouse.SetPosition(at);
            mouse.SetEventObject(canvas);
            canvas->ProcessWindowEvent(mouse);
            if (pick(4) == 0) Settle();
        } else {
            // A saved file loaded and saved again is the same file.
            frame.SaveTo(wxString((folder / "a.def").wstring()));
            frame.LoadFrom(wxString((folder / "a.def").wstring()));
            frame.SaveTo(wxString((folder / "b.def").wstring()));
            EXPECT_FALSE(ReadFile("a.def").empty());
            EXPECT_EQ(ReadFile("b.def"), ReadFile("a.def"));
        }
        const Simulator& sim = frame.GetSimulator();
        EXPECT_EQ(sim.PcValue() % 4, 0u);
        EXPECT_EQ(sim.GetRegisters()->Read(0), 0u);
        const NumberFormat format = frame.Display().numberFormat;
        for (unsigned row = 0; row < 32; ++row)
            EXPECT_EQ(frame.List(MyDatalist::kRegisters)->GetItemText(row, 1),
                      wxString(FormatNumber(sim.GetRegisters()->Read(row), false, false, format)))
                << "register " << row;
        int tips = 0;
        for (wxWindow* child : frame.Canvas()->GetChildren())
            tips += dynamic_cast<wxTipWindow*>(child) != nullptr && child->IsShown();
        EXPECT_LE(tips, 1) << "pop-ups open at once";
    }
    // The configuration file records the layout and format shown.
    Config stored((folder / "tandrel.conf").string());
    EXPECT_EQ(stored.GetFlag(option::kShowPipelineLayout),
              frame.GetSimulator().CurrentLayout() == Layout::Pipelined);
    EXPECT_EQ(stored.GetFlag(option::kBinaryFormat), frame.Display().numberFormat == NumberFormat::Binary);
    wxSetAssertHandler(previous);
}

}  // namespace
}  // namespace tandrel::test
