#include <sys/stat.h>
#include <wx/grid.h>
#include <wx/menu.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/OptionsDialog.h"
#include "config/Config.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

const char* const kProgram =
    "addi $1, $0, 5\n"
    "addi $2, $0, -3\n"
    "nop\n"
    "nop\n"
    "add $3, $1, $2\n"
    "nop\n"
    "nop\n"
    "sw $3, 8($0)\n";

using MainWindow = FrameTest;

// A first start shows the defaults and writes every option; Parse and Step
// then show registers and data on every layout, and Reset clears them.
TEST_F(MainWindow, StartsWithDefaultsAndShowsRegistersAndDataOnEveryLayout) {
    MyFrame& frame = Start();
    EXPECT_EQ(frame.GetSimulator().CurrentLayout(), Layout::Simple);
    EXPECT_EQ(frame.Display().numberFormat, NumberFormat::Decimal);
    EXPECT_TRUE(frame.SimulatorSplitter()->IsSplit());
    // At the default sash a 32-bit binary word fits the value column.
    EXPECT_EQ(frame.SimulatorSplitter()->GetSashPosition(), 360);
    MyDatalist* registers = frame.List(MyDatalist::kRegisters);
    EXPECT_GE(registers->GetColumnWidth(1), registers->GetTextExtent(wxString('1', 32)).x);
    const std::string conf = ReadFile("tandrel.conf");
    EXPECT_EQ(std::count(conf.begin(), conf.end(), '\n'), option::kLast);
    EXPECT_EQ(frame.List(MyDatalist::kInstructions)->GetItemCount(), 512);
    EXPECT_EQ(registers->GetItemCount(), 32);
    EXPECT_EQ(frame.List(MyDatalist::kInstructions)->GetItemText(511, 0), wxT("2044"));
    // Row 0, at the PC, is followed; nobody chose it.
    EXPECT_EQ(frame.List(MyDatalist::kInstructions)->MarkedRow(), 0);
    EXPECT_EQ(frame.List(MyDatalist::kInstructions)->SelectedAddress(), -1);

    Parse(frame, kProgram);
    EXPECT_EQ(frame.MessagesText()->GetValue(),
              wxT("Instructions successfully parsed. Your program is now ready to run."));
    // The program text is rewritten in canonical form.
    EXPECT_TRUE(
        frame.ProgramText()->GetValue().StartsWith(wxT("ADDI $1, $0, 5\nADDI $2, $0, -3\n")));
    for (int id : {ID_LAYOUT_SIMPLE, ID_LAYOUT_PIPELINED, ID_LAYOUT_FORWARDING}) {
        Command(frame, id);
        Step(frame, id == ID_LAYOUT_SIMPLE ? 7 * 8 : 8 + 4);
        EXPECT_EQ(Cell(registers, 1), wxT("5")) << id;
        EXPECT_EQ(Cell(registers, 2), wxT("-3")) << id;
        EXPECT_EQ(Cell(registers, 3), wxT("2")) << id;
        EXPECT_EQ(Cell(frame.List(MyDatalist::kData), 8), wxT("2")) << id;
        Command(frame, wxID_STOP, wxEVT_BUTTON);
        EXPECT_EQ(Cell(registers, 3), wxT("0")) << id;
    }
    EXPECT_NE(ReadFile("tandrel.conf").find("showforwardinglayout: 1;"), std::string::npos);
}

// Each program line wears its instruction's stage colour after a Step, also
// once a Parse has rewritten the text (a line is restyled only on a change).
TEST_F(MainWindow, ProgramLinesKeepTheirStageColoursAcrossAParse) {
    MyFrame& frame = Start();
    Command(frame, ID_LAYOUT_PIPELINED);
    for (int parse = 0; parse < 2; ++parse) {
        Parse(frame, kProgram);
        Step(frame, 3 - parse);
        for (int line = 0; line < 8; ++line) {
            const int slot = frame.GetSimulator().InstructionRowColour(line * 4u);
            const Colour want = slot == Simulator::kWhiteRow
                                    ? Colour::Rgba(255, 255, 255)
                                    : Config::Instance().GetColour(option::kStage1Colour + slot);
            wxTextAttr style;
            ASSERT_TRUE(
                frame.ProgramText()->GetStyle(frame.ProgramText()->XYToPosition(1, line), style));
            EXPECT_EQ(style.GetBackgroundColour(), ToWxColour(want)) << parse << ' ' << line;
        }
    }
}

TEST_F(MainWindow, ErrorsAndWarningsAreCountedListedAndMarked) {
    MyFrame& frame = Start();
    Parse(frame, "add $1, $2\nnop\naddi $1, $0, 65536\n");
    EXPECT_EQ(frame.MessagesText()->GetValue(),
              wxT("There was 1 error when parsing the instructions.\n"
                  "These errors are listed below and highlighted above.\n\n"
                  "Line 1: ',' is required.\n\n"
                  "There was 1 warning:\n"
                  "Line 3: the immediate 65536 is outside -32768..65535; it becomes 0.\n"));
    // An error line and a warning line each have a background of their own,
    // neither a stage colour; a correct line has none.
    const wxColour backgrounds[] = {wxColour(255, 210, 210), wxColour(), wxColour(255, 236, 160)};
    for (int line = 0; line < 3; ++line) {
        wxTextAttr style;
        ASSERT_TRUE(
            frame.ProgramText()->GetStyle(frame.ProgramText()->XYToPosition(1, line), style));
        EXPECT_EQ(style.HasBackgroundColour() ? style.GetBackgroundColour() : wxColour(),
                  backgrounds[line]) << "line " << line;
    }

    Parse(frame, "add $1, $2\nlw $1, 4\n");
    EXPECT_TRUE(frame.MessagesText()->GetValue().StartsWith(
        wxT("There were 2 errors when parsing the instructions.\n")));
}

// The left panel hidden at start, and the sashes, come from the
// configuration; the editor tab does not wait for the hidden panel: its grid
// fits its pane. The panel comes back, and goes again, at the stored sash.
TEST_F(MainWindow, PanelAndSashesComeFromTheConfiguration) {
    WriteFile("tandrel.conf", "showleftpanel: 0; simulatorsashpos: 260; editorsashpos: 300;");
    MyFrame& frame = Start();
    EXPECT_FALSE(frame.SimulatorSplitter()->IsSplit());
    EXPECT_FALSE(frame.GetMenuBar()->IsChecked(ID_VIEW_LEFT_PANEL));
    EXPECT_EQ(frame.EditorSplitter()->GetSashPosition(), 300);
    EXPECT_LE(frame.DataGrid()->GetRowLabelSize() + frame.DataGrid()->GetColSize(0), 300);
    for (int round = 0; round < 2; ++round) {
        frame.ShowLeftPanel(true, true);
        Settle();
        EXPECT_TRUE(frame.SimulatorSplitter()->IsSplit());
        EXPECT_TRUE(frame.GetMenuBar()->IsChecked(ID_VIEW_LEFT_PANEL));
        EXPECT_EQ(frame.SimulatorSplitter()->GetSashPosition(), 260);
        EXPECT_NE(ReadFile("tandrel.conf").find("showleftpanel: 1;"), std::string::npos);
        Command(frame, ID_VIEW_LEFT_PANEL);  // unticks: the panel goes
        EXPECT_FALSE(frame.SimulatorSplitter()->IsSplit());
        EXPECT_NE(ReadFile("tandrel.conf").find("showleftpanel: 0;"), std::string::npos);
    }
}

// A good file fills the editor, the data grid and memory. A load that fails
// names the file and the reason and keeps the program, the data grid and the
// machine; a save that fails says so and leaves the files as they were.
TEST_F(MainWindow, LoadsAGoodFileAndFilesThatCannotBeOpenedOrWrittenLoseNothing) {
    std::filesystem::create_directory(folder / "folder.def");
    WriteFile("folder.def/inside.def", "NOP\nData:\n");
    WriteFile("good.def", std::string(kProgram) + "Data:\n0, 0, 0, 0, 0, 12, \n");
    MyFrame& frame = Start();
    frame.LoadFrom(wxString((folder / "good.def").wstring()));
    EXPECT_EQ(Cell(frame.List(MyDatalist::kData), 5), wxT("12"));
    Step(frame, 9);
    const wxString program = frame.ProgramText()->GetValue();
    const std::uint64_t pc = frame.GetSimulator().PcValue();
    const auto unchanged = [&](const char* name) {
        EXPECT_EQ(frame.ProgramText()->GetValue(), program) << name;
        EXPECT_EQ(frame.DataGrid()->GetCellValue(5, 0), wxT("12")) << name;
        EXPECT_EQ(frame.GetSimulator().PcValue(), pc) << name;
        EXPECT_EQ(frame.GetSimulator().GetInstructionMemory()->Read(0), 0x20010005u) << name;
    };
    for (const auto& [name, reason] : {std::pair{"missing.def", "No such file or directory"},
                                       {"folder.def", "Is a directory"}}) {
        const wxString path((folder / name).wstring());
        frame.LoadFrom(path);
        EXPECT_EQ(frame.MessagesText()->GetValue(),
                  wxString::Format(wxT("Could not open \"%s\": %s\n"), path, reason));
        unchanged(name);
    }
    std::vector<wxString> errors;
    frame.reportError = [&](const wxString& message) { errors.push_back(message); };
    frame.confirmReplace = [](const wxString&) { return true; };
    frame.SaveTo(wxString((folder / "folder.def").wstring()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], wxString::Format(wxT("Could not save \"%s\": Is a directory"),
                                          wxString((folder / "folder.def").wstring())));
    EXPECT_EQ(ReadFile("folder.def/inside.def"), "NOP\nData:\n");
    unchanged("save");
    // The run goes on from where it was.
    Step(frame, 30);
    EXPECT_EQ(Cell(frame.List(MyDatalist::kRegisters), 3), wxT("2"));
    EXPECT_EQ(Cell(frame.List(MyDatalist::kData), 5), wxT("12"));
}

// "tandrel.conf" as it may be found: a pipe is not waited on, and junk around
// good lines leaves the good lines in force.
TEST_F(MainWindow, StartsWhateverTheConfigurationFileHolds) {
    ::mkfifo((folder / "tandrel.conf").c_str(), 0644);
    ASSERT_EQ(Start().Display().numberFormat, NumberFormat::Decimal);
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "tandrel.conf"));
    frame->Destroy();
    Settle();
    frame = nullptr;
    std::filesystem::remove(folder / "tandrel.conf");
    WriteFile("tandrel.conf", std::string("\x01\xff junk;\nhexadecimalformat: 1; decimalformat: 0;\n") +
                                  "editorsashpos: 99999999; simulatorsashpos: 250;\n" +
                                  std::string(1000, 'z') + ":9");
    MyFrame& again = Start();
    EXPECT_EQ(again.Display().numberFormat, NumberFormat::Hexadecimal);
    EXPECT_EQ(again.SimulatorSplitter()->GetSashPosition(), 250);
    Parse(again, kProgram);
    Step(again, 7 * 5);
    EXPECT_EQ(Cell(again.List(MyDatalist::kRegisters), 3), wxT("2"));
}

TEST_F(MainWindow, SavingOverAFileAsksFirst) {
    WriteFile("old.def", "NOP\nData:\n");
    MyFrame& frame = Start();
    Parse(frame, kProgram);
    wxString asked;
    frame.confirmReplace = [&](const wxString& name) {
        asked = name;
        return false;
    };
    frame.SaveTo(wxString((folder / "old").wstring()));  // ".def" is added
    EXPECT_EQ(asked, wxT("old"));
    EXPECT_EQ(ReadFile("old.def"), "NOP\nData:\n");
    frame.confirmReplace = [](const wxString&) { return true; };
    frame.SaveTo(wxString((folder / "old.def").wstring()));
    EXPECT_EQ(ReadFile("old.def").rfind("ADDI $1, $0, 5\nADDI $2, $0, -3\nNOP\n", 0), 0u);
}

}  // namespace
}  // namespace tandrel::test
