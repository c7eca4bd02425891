// A long, seeded, random session on the real main window: menu commands,
// Step and Reset, Parse of arbitrary text, grid edits, option changes,
// instruction selection, hovering and clicks on the drawing, the left panel,
// Save and Load. After each action the window and the machine must still
// agree with each other; every so often the configuration file is checked
// as well. The sanitizer build turns any memory fault into a failure.
//
// TANDREL_SESSION_SEED picks the sequence, TANDREL_SESSION_ACTIONS its
// length; a failure shows the seed and the last actions.
#include <wx/grid.h>
#include <wx/tipwin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/OptionsDialog.h"
#include "config/Config.h"
#include "format/CellNumber.h"
#include "format/NumberFormat.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

constexpr std::uint64_t kDefaultSeed = 20261206;
constexpr long kDefaultActions = 300;
constexpr int kStrongCheckEvery = 50;
constexpr size_t kLogTail = 40;

constexpr int kCheckOptions[] = {option::kShowLeftPanel,    option::kShowInstructionsInFields,
                                 option::kShowControlLines, option::kShowPcLines,
                                 option::kShowPopups,       option::kHighlightSingleInstruction,
                                 option::kShowBoldDataLines};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 10);
}

std::string Quote(const wxString& text, size_t limit = 60) {
    const std::string utf8 = text.ToStdString(wxConvUTF8);
    return '"' + utf8.substr(0, limit) + (utf8.size() > limit ? "...\"" : "\"");
}

class Session {
  public:
    Session(MyFrame& frame_, std::uint64_t seed_, std::filesystem::path folder_)
        : frame(frame_), seed(seed_), random(seed_), folder(std::move(folder_)) {
        frame.confirmReplace = [](const wxString&) { return true; };
    }

    // Runs `count` actions; stops at the first broken invariant.
    void Run(long count) {
        for (action = 0; action < count; ++action) {
            RunOne();
            if (!problem.empty()) break;
            CheckAfterAction();
            if (!problem.empty()) break;
            if ((action + 1) % kStrongCheckEvery == 0) CheckStrongly();
            if (!problem.empty()) break;
        }
        if (problem.empty()) CheckStrongly();
        // The window then closes with whatever pop-up the last hover opened.
        if (problem.empty()) Hover(false);
        if (!problem.empty()) {
            std::ostringstream report;
            report << "seed " << seed << " (TANDREL_SESSION_SEED), action " << action << ": "
                   << problem << "\nlast actions:\n";
            for (const std::string& line : log) report << "  " << line << '\n';
            ADD_FAILURE() << report.str();
        }
    }

  private:
    int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    void Log(const std::string& line) {
        log.push_back(std::to_string(action) + ": " + line);
        if (log.size() > kLogTail) log.pop_front();
    }

    void Fail(const std::string& what) {
        if (problem.empty()) problem = what;
    }

    void Command(int id, wxEventType type) {
        wxCommandEvent event(type, id);
        frame.ProcessWindowEvent(event);
    }

    // --- random text ---------------------------------------------------

    // Text no program holds: control characters, accents, wide and
    // astral characters, the replacement character.
    wxString OddText() {
        static const wxChar* const kOdd[] = {wxT("\x01\x1f"), wxT("caf\u00e9"), wxT("\u4e2d\u6587"),
                                             wxT("\U0001F600"), wxT("\uFFFD"), wxT("#;()")};
        return kOdd[Pick(std::size(kOdd))];
    }

    wxString Register() {
        // Mostly valid register numbers, sometimes not.
        return wxString::Format(wxT("$%d"), Chance(95) ? Pick(32) : 30 + Pick(100));
    }

    wxString Immediate() {
        return Chance(75) ? wxString::Format(wxT("%d"), Pick(65536) - 32768)
                          : wxString::Format(wxT("%lld"), static_cast<long long>(random()));
    }

    wxString ValidLine() {
        static const wxChar* const kRegisterOps[] = {wxT("add "), wxT("sub "), wxT("and "),
                                                     wxT("or "), wxT("slt ")};
        const wxString a = Register() + wxT(", "), b = Register(), immediate = Immediate();
        switch (Pick(5)) {
            case 0:
                return kRegisterOps[Pick(5)] + a + b + wxT(", ") + Register();
            case 1:
                return wxT("addi ") + a + b + wxT(", ") + immediate;
            case 2:
                return (Chance(50) ? wxT("lw ") : wxT("sw ")) + a + immediate + wxT("(") + b + wxT(")");
            case 3:
                return wxT("beq ") + a + b + wxT(", ") + immediate;
            default:
                return Chance(50) ? wxT("nop") : wxT("NOP");
        }
    }

    wxString FaultyLine() {
        static const wxChar* const kLines[] = {
            wxT("add $1, $2"), wxT("foo"),         wxT("addi $40, $0, 1"), wxT("sw $1, ($2"),
            wxT("Data:"),      wxT("ADDI $1 $0 5"), wxT("beq $1, $2, 99999999999"),
        };
        return kLines[Pick(std::size(kLines))];
    }

    wxString RandomProgram() {
        if (Chance(5)) return wxString();
        if (Chance(10)) return OddText() + OddText();
        const int lines = Chance(10) ? 120 + Pick(40) : Pick(30);
        wxString text;
        for (int i = 0; i < lines; ++i) {
            const int kind = Pick(100);
            if (kind < 70) {
                text += ValidLine();
            } else if (kind < 85) {
                text += FaultyLine();
            } else if (kind < 95) {
                text += OddText();
            }  // else an empty line
            text += Chance(10) ? wxT("\r\n") : wxT("\n");
        }
        return text;
    }

    wxString RandomCell() {
        static const wxChar* const kCells[] = {wxT("2147483647"), wxT("-2147483648"), wxT(""),
                                               wxT(" 12 "), wxT("4294967296"), wxT("12abc")};
        if (Chance(40)) return wxString::Format(wxT("%d"), Pick(2000) - 1000);
        if (Chance(10)) return wxString::Format(wxT("%lld"), static_cast<long long>(random()));
        return Chance(80) ? wxString(kCells[Pick(std::size(kCells))]) : OddText();
    }

    // --- actions -------------------------------------------------------

    void RunOne() {
        const int kind = Pick(100);
        if (kind < 8) {
            const int id = ID_LAYOUT_SIMPLE + Pick(3);
            Log("layout " + std::to_string(id));
            Command(id, wxEVT_MENU);
        } else if (kind < 14) {
            const int id = ID_FORMAT_BINARY + Pick(3);
            Log("format " + std::to_string(id));
            Command(id, wxEVT_MENU);
        } else if (kind < 30) {
            const int steps = 1 + Pick(Chance(10) ? 60 : 6);
            Log("step x" + std::to_string(steps));
            for (int i = 0; i < steps; ++i) Command(wxID_FORWARD, wxEVT_BUTTON);
        } else if (kind < 34) {
            Log("reset");
            Command(wxID_STOP, wxEVT_BUTTON);
        } else if (kind < 44) {
            Parse();
        } else if (kind < 52) {
            EditGrid();
        } else if (kind < 56) {
            ChangeOptions();
        } else if (kind < 62) {
            SelectInstruction();
        } else if (kind < 77) {
            Hover();
        } else if (kind < 88) {
            LeftClick();
        } else if (kind < 90) {
            const bool show = Chance(50), toggle = Chance(50);
            Log(std::string("left panel show=") + (show ? "1" : "0") +
                " toggle=" + (toggle ? "1" : "0"));
            frame.ShowLeftPanel(show, toggle);
        } else if (kind < 98) {
            SaveAndLoad();
        } else {
            Log("settle");
            Settle();
        }
    }

    void Parse() {
        const wxString text = RandomProgram();
        Log("parse " + Quote(text));
        frame.ProgramText()->SetValue(text);
        if (frame.ProgramText()->GetValue() != text)
            Fail("the editor holds " + Quote(frame.ProgramText()->GetValue()) + " after typing");
        Command(ID_PARSE_BUTTON, wxEVT_BUTTON);
        CheckParseMessages();
        if (!problem.empty() || !Chance(30)) return;
        // What a parse shows parses to the same program and shows the same
        // again: nothing the user typed in the first 128 lines goes missing.
        const wxString shown = frame.ProgramText()->GetValue();
        std::vector<std::uint64_t> words;
        for (std::uint64_t address = 0; address < Simulator::kInstructionCount * 4u; address += 4)
            words.push_back(frame.GetSimulator().GetInstructionMemory()->Read(address));
        const int errors = frame.GetSimulator().ErrorCount();
        Command(ID_PARSE_BUTTON, wxEVT_BUTTON);
        if (frame.ProgramText()->GetValue() != shown)
            Fail("parsing the parsed text changed it: " + Quote(shown, 400) + " became " +
                 Quote(frame.ProgramText()->GetValue(), 400));
        for (std::uint64_t address = 0; address < Simulator::kInstructionCount * 4u; address += 4)
            if (frame.GetSimulator().GetInstructionMemory()->Read(address) != words[address / 4])
                Fail("parsing the parsed text changed the word at " + std::to_string(address));
        if (frame.GetSimulator().ErrorCount() > errors)
            Fail("parsing the parsed text found more errors");
    }

    void CheckParseMessages() {
        const wxString messages = frame.MessagesText()->GetValue();
        const int errors = frame.GetSimulator().ErrorCount();
        if (errors == 0 && !messages.StartsWith(wxT("Instructions successfully parsed.")))
            Fail("no errors but the messages say " + Quote(messages));
        if (errors > 0 && !messages.StartsWith(wxT("There w")))
            Fail(std::to_string(errors) + " errors but the messages say " + Quote(messages));
    }

    void EditGrid() {
        wxGrid* grid = frame.DataGrid();
        const int edits = 1 + Pick(3);
        std::vector<std::pair<int, wxString>> done;
        for (int i = 0; i < edits; ++i) {
            const int row = Chance(50) ? Pick(8) : Pick(grid->GetNumberRows());
            const wxString text = RandomCell();
            Log("grid row " + std::to_string(row) + " = " + Quote(text));
            grid->SetCellValue(row, 0, text);
            done.emplace_back(row, text);
        }
        wxGridEvent changed(ID_DATA_GRID, wxEVT_GRID_CELL_CHANGED, grid, done.back().first, 0);
        frame.ProcessWindowEvent(changed);
        // The last text written to each row decides its initial word.
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            bool later = false;
            for (auto after = done.rbegin(); after != it; ++after)
                later |= after->first == it->first;
            if (later) continue;
            const CellNumber cell = ReadCellNumber(it->second.ToStdWstring());
            const std::uint64_t expected = cell.word;
            const std::uint64_t word = frame.GetSimulator().GetData(it->first);
            if (word != expected)
                Fail("grid row " + std::to_string(it->first) + " holds " + std::to_string(word) +
                     ", expected " + std::to_string(expected));
            // What was typed stays, right or wrong: a refused cell says so.
            if (!it->second.empty() && grid->GetCellValue(it->first, 0) != it->second)
                Fail("cell text changed to " + Quote(grid->GetCellValue(it->first, 0)));
        }
    }

    void ChangeOptions() {
        MyDialog dialog(&frame, wxID_ANY, frame.GetIcons(), wxT("Options"));
        std::string line = "options";
        for (int index : kCheckOptions) {
            const bool on = Chance(75);
            dialog.CheckBox(index)->SetValue(on);
            line += " " + std::to_string(index) + "=" + (on ? "1" : "0");
        }
        wxColour chosen;
        dialog.chooseColour = [&](wxWindow*, wxColourData& data) {
            data.SetColour(chosen);
            return true;
        };
        const int recolour = Pick(4);
        for (int i = 0; i < recolour; ++i) {
            const int index = option::kComponentColour + Pick(12);
            chosen = wxColour(Pick(256), Pick(256), Pick(256));
            line += " colour" + std::to_string(index) + "=" + chosen.GetAsString().ToStdString();
            wxBitmapButton* button = dialog.ColourButton(index);
            wxCommandEvent click(wxEVT_BUTTON, button->GetId());
            click.SetEventObject(button);
            button->ProcessWindowEvent(click);
        }
        Log(line);
        frame.ApplyOptions(dialog);
        Config::Instance().Save();
        const bool split = frame.SimulatorSplitter()->IsSplit();
        if (split != dialog.GetCheckBoxValue(option::kShowLeftPanel))
            Fail("left panel shown=" + std::to_string(split) + " after the options said otherwise");
    }

    void SelectInstruction() {
        MyDatalist* list = frame.List(MyDatalist::kInstructions);
        const long row = Chance(60) ? Pick(16) : Pick(static_cast<int>(list->Count()));
        Log("select instruction row " + std::to_string(row));
        wxListEvent event(wxEVT_LIST_ITEM_SELECTED, list->GetId());
        event.m_itemIndex = row;
        event.SetEventObject(list);
        list->ProcessWindowEvent(event);
        if (list->SelectedAddress() != 4 * row)
            Fail("selected address " + std::to_string(list->SelectedAddress()) + " for row " +
                 std::to_string(row));
    }

    void Hover(bool mayClose = true) {
        MyGLCanvas* canvas = frame.Canvas();
        const wxSize size = canvas->GetClientSize();
        const int moves = 1 + Pick(8);
        int x = Pick(std::max(1, size.x)), y = Pick(std::max(1, size.y));
        Log("hover x" + std::to_string(moves) + " from " + std::to_string(x) + "," +
            std::to_string(y));
        for (int i = 0; i < moves; ++i) {
            // The canvas reads the pointer where the X server has it.
            canvas->WarpPointer(x, y);
            wxMouseEvent motion(wxEVT_MOTION);
            motion.SetPosition(wxPoint(x, y));
            motion.SetEventObject(canvas);
            canvas->ProcessWindowEvent(motion);
            x = std::clamp(x + Pick(41) - 20, 0, std::max(0, size.x - 1));
            y = std::clamp(y + Pick(41) - 20, 0, std::max(0, size.y - 1));
        }
        if (Chance(30)) Settle();
        if (mayClose && Chance(20)) CloseTips();
    }

    void LeftClick() {
        MyGLCanvas* canvas = frame.Canvas();
        const wxSize size = canvas->GetClientSize();
        const wxPoint at(Pick(std::max(1, size.x)), Pick(std::max(1, size.y)));
        Log("left click " + std::to_string(at.x) + "," + std::to_string(at.y));
        wxMouseEvent up(wxEVT_LEFT_UP);
        up.SetPosition(at);
        up.SetEventObject(canvas);
        canvas->ProcessWindowEvent(up);
    }

    std::string ReadAll(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void SaveAndLoad() {
        const auto first = folder / "session-a.def";
        const auto second = folder / "session-b.def";
        Log("save-load (save, load, save again)");
        frame.SaveTo(wxString(first.wstring()));
        const std::string saved = ReadAll(first);
        if (saved.empty()) {
            Fail("the save wrote nothing");
            return;
        }
        frame.LoadFrom(wxString(first.wstring()));
        frame.SaveTo(wxString(second.wstring()));
        const std::string again = ReadAll(second);
        if (again != saved)
            Fail("a saved file loaded and saved again differs:\n" + saved + "\n---\n" + again);
    }

    // Closes every pop-up and lets the toolkit delete them.
    void CloseTips() {
        // A pop-up that closed itself already waits for deletion; closing it
        // again would destroy it twice.
        for (wxWindow* child : frame.Canvas()->GetChildren())
            if (auto* tip = dynamic_cast<wxTipWindow*>(child);
                tip != nullptr && tip->IsShown() && !wxPendingDelete.Member(tip))
                tip->Close();
        Settle();
        wxTheApp->ProcessIdle();
    }

    // --- invariants ----------------------------------------------------

    void CheckAfterAction() {
        Simulator& simulator = frame.GetSimulator();
        if (simulator.PcValue() % 4 != 0)
            Fail("PC " + std::to_string(simulator.PcValue()) + " not a multiple of 4");
        if (simulator.GetRegisters()->Read(0) != 0) Fail("register 0 is not 0");
        const std::pair<int, unsigned> counts[] = {{MyDatalist::kInstructions, 512},
                                                   {MyDatalist::kRegisters, 32},
                                                   {MyDatalist::kData, 512}};
        for (auto [id, rows] : counts) {
            MyDatalist* list = frame.List(id);
            if (list->GetItemCount() != static_cast<int>(rows))
                Fail("list " + std::to_string(id) + " has " + std::to_string(list->GetItemCount()) +
                     " rows");
        }
        const NumberFormat format = frame.Display().numberFormat;
        MyDatalist* registers = frame.List(MyDatalist::kRegisters);
        for (unsigned row = 0; row < 32; ++row) {
            const wxString shown = registers->GetItemText(row, 1);
            const wxString expected(
                FormatNumber(simulator.GetRegisters()->Read(row), false, false, format));
            if (shown != expected)
                Fail("register " + std::to_string(row) + " shows " + Quote(shown) + ", holds " +
                     Quote(expected));
        }
        int tips = 0;
        for (wxWindow* child : frame.Canvas()->GetChildren())
            tips += dynamic_cast<wxTipWindow*>(child) != nullptr && child->IsShown();
        if (tips > 1) Fail(std::to_string(tips) + " pop-ups open at once");
    }

    void CheckStrongly() {
        Simulator& simulator = frame.GetSimulator();
        const NumberFormat format = frame.Display().numberFormat;
        MyDatalist* data = frame.List(MyDatalist::kData);
        for (unsigned row = 0; row < data->Count(); ++row) {
            const wxString expected(
                FormatNumber(simulator.GetDataMemory()->Read(row), false, false, format));
            if (data->GetItemText(row, 1) != expected) {
                Fail("data row " + std::to_string(row) + " shows " +
                     Quote(data->GetItemText(row, 1)) + ", holds " + Quote(expected));
                break;
            }
        }
        const std::string conf = ReadAll(folder / "tandrel.conf");
        const auto lines = std::count(conf.begin(), conf.end(), '\n');
        if (lines != option::kLast) Fail("tandrel.conf has " + std::to_string(lines) + " lines");
        Config stored((folder / "tandrel.conf").string());
        const Layout layout = simulator.CurrentLayout();
        if (stored.GetFlag(option::kShowSimpleLayout) != (layout == Layout::Simple) ||
            stored.GetFlag(option::kShowPipelineLayout) != (layout == Layout::Pipelined) ||
            stored.GetFlag(option::kShowForwardingLayout) != (layout == Layout::Forwarding))
            Fail("tandrel.conf does not record the layout shown");
        if (stored.GetFlag(option::kBinaryFormat) != (format == NumberFormat::Binary) ||
            stored.GetFlag(option::kDecimalFormat) != (format == NumberFormat::Decimal) ||
            stored.GetFlag(option::kHexadecimalFormat) != (format == NumberFormat::Hexadecimal))
            Fail("tandrel.conf does not record the number format shown");
        if (stored.GetFlag(option::kShowLeftPanel) != frame.SimulatorSplitter()->IsSplit())
            Fail("tandrel.conf does not record whether the left panel shows");
        for (int index : {option::kShowInstructionsInFields, option::kShowControlLines,
                          option::kShowPcLines, option::kShowPopups})
            if (stored.GetFlag(index) != frame.Display().Flag(index))
                Fail("tandrel.conf disagrees with the display about option " +
                     std::to_string(index));
    }

    MyFrame& frame;
    std::uint64_t seed;
    std::mt19937_64 random;
    std::filesystem::path folder;
    long action = 0;
    std::deque<std::string> log;
    std::string problem;
};

using RandomSession = FrameTest;

TEST_F(RandomSession, KeepsWindowAndMachineConsistent) {
    const std::uint64_t seed = EnvNumber("TANDREL_SESSION_SEED", kDefaultSeed);
    const long count = static_cast<long>(EnvNumber("TANDREL_SESSION_ACTIONS", kDefaultActions));
    // A toolkit assertion would open a modal report and hang the session;
    // it fails the test instead.
    static std::vector<std::string> assertions;
    assertions.clear();
    const wxAssertHandler_t previous =
        wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                              const wxString& message) {
            assertions.push_back(file.ToStdString() + ":" + std::to_string(line) + " " +
                                 cond.ToStdString() + " " + message.ToStdString());
        });
    MyFrame& frame = Start();
    Session(frame, seed, folder).Run(count);
    wxSetAssertHandler(previous);
    for (const std::string& assertion : assertions)
        ADD_FAILURE() << "toolkit assertion: " << assertion;
}

}  // namespace
}  // namespace tandrel::test
