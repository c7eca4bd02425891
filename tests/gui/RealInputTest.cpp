// Input that travels the road a user's does: wxUIActionSimulator hands mouse
// and key events to the X server (XTEST), which delivers them to the toolkit,
// which turns them into button, mouse and accelerator events of the frame.
#include <wx/button.h>
#include <wx/grid.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "render/ViewGeometry.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

// R1 = 26 shows as 26, 1A and 11010, so each format is told apart.
const char* const kProgram =
    "addi $1, $0, 26\n"
    "addi $2, $0, 7\n"
    "nop\n"
    "nop\n"
    "add $3, $1, $2\n";

// The single-cycle layout needs this many Steps to carry one instruction
// from fetch to write-back.
constexpr int kSimpleStepsPerInstruction = 7;

wxPoint ScreenCentre(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    return rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2);
}

// Without a window manager nobody gives the frame the keyboard: raise it,
// put the pointer over `target` (at `pointer`, its centre by default) and
// ask for the focus until the toolkit says the frame is active and `target`
// holds the focus.
bool GiveFocus(MyFrame& frame, wxWindow* target, wxPoint pointer = wxDefaultPosition) {
    if (pointer == wxDefaultPosition) pointer = ScreenCentre(target);
    wxUIActionSimulator input;
    for (int attempt = 0; attempt < 10; ++attempt) {
        input.MouseMove(pointer);
        frame.Raise();
        target->SetFocus();
        if (WaitFor([&] { return frame.IsActive() && wxWindow::FindFocus() == target; }, 30))
            return true;
    }
    return false;
}

// What a Step changes: the PC, which elements are lit, and the registers.
std::vector<std::uint64_t> MachineState(const Simulator& simulator) {
    std::vector<std::uint64_t> state{simulator.PcValue()};
    for (const auto& element : simulator.Elements()) state.push_back(element->IsActive());
    for (std::uint64_t reg = 0; reg < 32; ++reg)
        state.push_back(simulator.GetRegisters()->Read(reg));
    return state;
}

// Does `act` (a click, a key) `times` times, one Step each. A second machine
// with the same program, `done` Steps in, is stepped alongside: after every
// input the frame's machine must reach its next state, and stay there once
// the toolkit has nothing left to deliver (a doubled step would move it on).
void Follow(MyFrame& frame, const std::function<::testing::AssertionResult()>& act, int done,
            int times) {
    Simulator reference;
    reference.ParseProgram(wxString::FromUTF8(kProgram).ToStdWstring());
    reference.Reset();
    for (int i = 0; i < done; ++i) reference.Step();
    ASSERT_EQ(MachineState(frame.GetSimulator()), MachineState(reference))
        << "the machines differ before the first input";
    for (int time = 1; time <= times; ++time) {
        const auto before = MachineState(reference);
        reference.Step();
        const auto expected = MachineState(reference);
        ASSERT_NE(before, expected) << "a Step that changes nothing cannot be seen";
        ASSERT_TRUE(act()) << "input " << time;
        ASSERT_TRUE(WaitFor([&] { return MachineState(frame.GetSimulator()) == expected; }))
            << "after input " << time << " the machine is not where " << time << " Steps take it";
        wxMilliSleep(30);
        Settle();
        ASSERT_EQ(MachineState(frame.GetSimulator()), expected)
            << "input " << time << " stepped more than once";
    }
}

using RealInput = FrameTest;

// A click on Step, or F7 (with the Step button focused, which must not take
// F7 as a press of its own), is one Step; Ctrl+R starts again; and a click
// on the drawing is one Step too.
TEST_F(RealInput, StepButtonF7AndCanvasClicksStepOncePerPressAndCtrlRResets) {
    MyFrame& frame = Start();
    Parse(frame, kProgram);
    auto* step = wxDynamicCast(frame.FindWindow(wxID_FORWARD), wxButton);
    ASSERT_NE(step, nullptr);
    ASSERT_TRUE(GiveFocus(frame, step));

    const auto start = MachineState(frame.GetSimulator());
    MyDatalist* registers = frame.List(MyDatalist::kRegisters);
    const wxPoint centre = ScreenCentre(step);
    Follow(frame, [&] { return ClickAt(centre); }, 0, kSimpleStepsPerInstruction - 1);
    if (HasFatalFailure()) return;
    EXPECT_EQ(Cell(registers, 1), wxT("0"));  // not written back yet
    wxUIActionSimulator input;
    Follow(frame, [&] { return ::testing::AssertionResult(input.Char(WXK_F7)); },
           kSimpleStepsPerInstruction - 1, 1);
    if (HasFatalFailure()) return;
    // The list, not only the machine, shows the written register.
    EXPECT_TRUE(WaitFor([&] { return Cell(registers, 1) == wxT("26"); }))
        << "register 1 shows " << Cell(registers, 1);
    ASSERT_TRUE(input.Char('R', wxMOD_CONTROL));
    ASSERT_TRUE(WaitFor([&] { return MachineState(frame.GetSimulator()) == start; }))
        << "Ctrl+R did not reset the machine";

    // A point of the drawing with no element or port under it, so that no
    // pop-up opens in the way of the clicks; it must be inside the part of
    // the canvas the window shows.
    MyGLCanvas* canvas = frame.Canvas();
    const wxRect visible = canvas->GetParent()->GetScreenRect().Intersect(canvas->GetScreenRect());
    const wxPoint origin = canvas->GetScreenPosition();
    wxPoint target(-1, -1);
    for (int y = 20; y < visible.height - 20 && target.x < 0; y += 10) {
        for (int x = 20; x < visible.width - 20 && target.x < 0; x += 10) {
            const wxPoint screen = visible.GetPosition() + wxSize(x, y);
            const LayoutPoint at =
                MouseToLayout(screen.x - origin.x, screen.y - origin.y, canvas->Geometry());
            if (frame.GetSimulator().ElementAt(at.x, at.y) == nullptr &&
                frame.GetSimulator().PortAt(at.x, at.y) == nullptr)
                target = screen;
        }
    }
    ASSERT_GE(target.x, 0) << "no empty spot on the canvas";
    ASSERT_TRUE(GiveFocus(frame, canvas, target));
    Follow(frame, [&] { return ClickAt(target); }, 0, kSimpleStepsPerInstruction);
}

// The main notebook: the program text's ancestor just below the frame.
wxNotebook* MainTabs(MyFrame& frame) {
    wxWindow* window = frame.ProgramText();
    while (window->GetParent() != &frame) window = window->GetParent();
    return wxDynamicCast(window, wxNotebook);
}

// Typed into the data grid, any 32-bit word is taken as written; a text that
// is none keeps what was typed and is marked, with the reason.
TEST_F(RealInput, TypedDataCellsAreTakenAsWrittenOrMarked) {
    MyFrame& frame = Start();
    const struct {
        const char* typed;
        std::uint32_t word;
        bool refused;
    } cells[] = {
        {"3000000000", 3000000000u, false},
        {"0x10", 16u, false},
        {"-2147483648", 0x80000000u, false},
        {"12.5", 0u, true},
    };
    MainTabs(frame)->SetSelection(1);
    wxGrid* grid = frame.DataGrid();
    ASSERT_TRUE(GiveFocus(frame, grid));
    wxUIActionSimulator input;
    for (int row = 0; row < 4; ++row) {
        const wxString typed = cells[row].typed;
        grid->SetGridCursor(row, 0);
        ASSERT_TRUE(input.Text(cells[row].typed));
        ASSERT_TRUE(input.Char(WXK_RETURN));
        ASSERT_TRUE(WaitFor([&] {
            return !grid->IsCellEditControlEnabled() && grid->GetCellValue(row, 0) == typed;
        })) << typed
            << " reads " << grid->GetCellValue(row, 0);
        EXPECT_EQ(frame.GetSimulator().GetData(row), cells[row].word) << typed;
        EXPECT_EQ(frame.CellProblems().count(row), cells[row].refused ? 1u : 0u) << typed;
    }
    EXPECT_NE(grid->GetCellBackgroundColour(3, 0), grid->GetCellBackgroundColour(0, 0));
    EXPECT_EQ(Cell(frame.List(MyDatalist::kData), 1), wxT("16"));  // the Data list follows
    // Put right, the cell is no longer marked.
    grid->SetCellValue(3, 0, wxT("7"));
    frame.SyncInitialData(false);
    EXPECT_EQ(frame.CellProblems().size(), 0u);
}

// Ctrl+H on the Simulator tab (its focused Step button must not fire) and
// Ctrl+B in the editor (whose text must stay as it was) reach the frame: the
// lists, the menu and the configuration file take the new format.
TEST_F(RealInput, FormatKeysWorkOnBothTabsAndChangeNothingElse) {
    MyFrame& frame = Start();
    Parse(frame, kProgram);
    Step(frame, kSimpleStepsPerInstruction);  // R1 = 26
    const struct {
        int tab;
        char key;
        NumberFormat format;
        int menu;
        const wchar_t* shown;
        const char* saved;
    } cases[] = {
        {0, 'H', NumberFormat::Hexadecimal, ID_FORMAT_HEXADECIMAL, L"1A", "hexadecimalformat: 1;"},
        {1, 'B', NumberFormat::Binary, ID_FORMAT_BINARY, L"11010", "binaryformat: 1;"},
    };
    wxUIActionSimulator input;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved);
        MainTabs(frame)->SetSelection(c.tab);
        ASSERT_TRUE(
            GiveFocus(frame, c.tab == 0 ? frame.FindWindow(wxID_FORWARD) : frame.ProgramText()));
        const auto machine = MachineState(frame.GetSimulator());
        const wxString program = frame.ProgramText()->GetValue();
        ASSERT_TRUE(input.Char(c.key, wxMOD_CONTROL));
        ASSERT_TRUE(WaitFor([&] { return frame.Display().numberFormat == c.format; }))
            << "the key did not reach the frame";
        EXPECT_EQ(Cell(frame.List(MyDatalist::kRegisters), 1), c.shown);
        EXPECT_TRUE(Cell(frame.List(MyDatalist::kInstructions), 0).Contains(c.shown))
            << Cell(frame.List(MyDatalist::kInstructions), 0);
        // The address column stays decimal.
        EXPECT_EQ(frame.List(MyDatalist::kInstructions)->GetItemText(4, 0), wxT("16"));
        EXPECT_NE(ReadFile("tandrel.conf").find(c.saved), std::string::npos);
        EXPECT_TRUE(frame.GetMenuBar()->IsChecked(c.menu)) << "the menu shows another";
        EXPECT_EQ(MachineState(frame.GetSimulator()), machine);
        EXPECT_EQ(frame.ProgramText()->GetValue(), program);
    }
}

// The keys of the Simulate menu pressed as a user would, on Pipelined: F7
// steps, Shift+F7 steps back to exactly the earlier machine, F5 runs to the
// end (n + 4 cycles for n instructions), a click in the Break column sets a
// breakpoint that Run stops at, and Escape stops an endless Run.
TEST_F(RealInput, F7StepsShiftF7StepsBackF5RunsAndEscapeStops) {
    MyFrame& frame = Start();
    Command(frame, ID_LAYOUT_PIPELINED);
    Parse(frame, kProgram);
    Simulator& sim = frame.GetSimulator();
    ASSERT_TRUE(GiveFocus(frame, frame.FindWindow(wxID_FORWARD)));
    auto steps = [&sim] { return sim.GetProgress().steps; };
    auto counters = [&frame] {
        return frame.GetStatusBar()->GetStatusText(MyFrame::kProgressField);
    };
    wxUIActionSimulator input;
    std::vector<std::vector<std::uint64_t>> seen{MachineState(sim)};
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(input.Char(WXK_F7));
        ASSERT_TRUE(WaitFor([&] { return steps() == n; })) << "F7 number " << n;
        seen.push_back(MachineState(sim));
    }
    ASSERT_TRUE(input.Char(WXK_F7, wxMOD_SHIFT));
    ASSERT_TRUE(WaitFor([&] { return steps() == 2; })) << "Shift+F7 did not step back";
    EXPECT_EQ(MachineState(sim), seen[2]);
    EXPECT_EQ(counters(), wxT("Pipelined | cycle 2 | 0 instructions | CPI - | PC 8"));

    ASSERT_TRUE(input.Char(WXK_F5));
    ASSERT_TRUE(WaitFor([&] { return !frame.Running(); }));
    EXPECT_EQ(frame.RunState(), wxT("Done: the program has finished."));
    EXPECT_EQ(steps(), 5 + 4);
    EXPECT_EQ(Cell(frame.List(MyDatalist::kRegisters), 3), wxT("33"));
    EXPECT_EQ(counters(), wxT("Pipelined | cycle 9 | 5 instructions | CPI 1.80 | PC 36"));

    // A click in the Break column of row 2 (address 8), then Reset and F5.
    MyDatalist* instructions = frame.List(MyDatalist::kInstructions);
    wxRect cell;
    ASSERT_TRUE(instructions->GetSubItemRect(2, instructions->BreakpointColumn(), cell));
    ASSERT_TRUE(ClickAt(instructions->ClientToScreen(cell.GetPosition() +
                                                     wxSize(cell.width / 2, cell.height / 2))));
    ASSERT_TRUE(WaitFor([&] { return frame.Breakpoints().count(8) != 0; })) << "no breakpoint set";
    EXPECT_EQ(instructions->GetItemText(2, instructions->BreakpointColumn()), L"\u25CF");
    ASSERT_TRUE(input.Char('R', wxMOD_CONTROL));
    ASSERT_TRUE(WaitFor([&] { return steps() == 0; }));
    ASSERT_TRUE(input.Char(WXK_F5));
    ASSERT_TRUE(WaitFor([&] { return !frame.Running() && steps() > 0; }));
    EXPECT_EQ(frame.RunState(), wxT("Stopped at the breakpoint at 8."));
    EXPECT_EQ(sim.PcValue(), 8u);

    frame.ToggleBreakpoint(8);
    Parse(frame, "addi $1, $1, 1\nbeq $0, $0, -2\nnop\n");
    frame.tellRunLimit = [](const wxString&) {};  // no message box if Escape is lost
    ASSERT_TRUE(input.Char(WXK_F5));
    ASSERT_TRUE(WaitFor([&] { return frame.Running() && steps() > 0; }));
    ASSERT_TRUE(input.Char(WXK_ESCAPE));
    ASSERT_TRUE(WaitFor([&] { return !frame.Running(); })) << "Escape did not stop the run";
    EXPECT_EQ(frame.RunState(), wxT("Stopped."));
    EXPECT_LT(steps(), kDefaultMaxCycles);
}

}  // namespace
}  // namespace tandrel::test
