// Files a student may hand the window: odd encodings, junk, huge files,
// folders, files it may not read, places it may not write. Whatever comes,
// the window says what happened and keeps what the user had.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/grid.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "config/Config.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

const char* const kProgram =
    "addi $1, $0, 5\n"
    "addi $2, $0, -3\n"
    "nop\n"
    "nop\n"
    "add $3, $1, $2\n";

void Command(MyFrame& frame, int id, wxEventType type = wxEVT_MENU) {
    wxCommandEvent event(type, id);
    frame.ProcessWindowEvent(event);
}

void Type(MyFrame& frame, const std::string& program) {
    frame.ProgramText()->SetValue(wxString::FromUTF8(program));
    Command(frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
}

std::string Junk(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFFu);
    return bytes;
}

std::string Repeat(const std::string& line, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes) text += line;
    text.resize(bytes);
    return text;
}

// Acts as the unprivileged user while alive, so that permissions are checked
// even when the tests run as root (who may read and write anything). Applies()
// is false when no such user could be taken on; those cases skip.
class Unprivileged {
  public:
    explicit Unprivileged(bool wanted) {
        if (!wanted || ::geteuid() != 0) return;
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) return;
        const gid_t group = nobody->pw_gid;
        const uid_t user = nobody->pw_uid;
        if (::setegid(group) != 0) return;
        if (::seteuid(user) != 0) {
            (void)::setegid(0);
            return;
        }
        switched = true;
    }
    ~Unprivileged() {
        if (switched) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    static bool Applies() { return ::geteuid() != 0; }

  private:
    bool switched = false;
};

// What the user has in the window before a load or save goes wrong.
struct Snapshot {
    wxString program;
    std::vector<wxString> grid;
    std::uint64_t pc = 0;
    std::uint64_t firstWord = 0;
    wxString register1;

    static Snapshot Of(MyFrame& frame) {
        Snapshot s;
        s.program = frame.ProgramText()->GetValue();
        for (int row = 0; row < frame.DataGrid()->GetNumberRows(); ++row)
            s.grid.push_back(frame.DataGrid()->GetCellValue(row, 0));
        s.pc = frame.GetSimulator().PcValue();
        s.firstWord = frame.GetSimulator().GetInstructionMemory()->Read(0);
        s.register1 = frame.List(MyDatalist::kRegisters)->GetItemText(1, 1);
        return s;
    }
};

void ExpectSame(const Snapshot& before, const Snapshot& after, const std::string& name) {
    EXPECT_EQ(after.program, before.program) << name;
    EXPECT_TRUE(after.grid == before.grid) << name;
    EXPECT_EQ(after.pc, before.pc) << name;
    EXPECT_EQ(after.firstWord, before.firstWord) << name;
    EXPECT_EQ(after.register1, before.register1) << name;
}

// Puts a program, data and a machine part-way through its run in the window.
void WorkInProgress(MyFrame& frame) {
    Type(frame, kProgram);
    frame.DataGrid()->SetCellValue(5, 0, wxT("12"));
    frame.SyncInitialData(false);
    for (int i = 0; i < 9; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
}

// A failed toolkit check would open a modal dialog and stop the test run;
// here it fails the test instead.
class AssertsFail {
  public:
    AssertsFail() : previous(wxSetAssertHandler(&Fail)) {}
    ~AssertsFail() { wxSetAssertHandler(previous); }
    AssertsFail(const AssertsFail&) = delete;
    AssertsFail& operator=(const AssertsFail&) = delete;

  private:
    static void Fail(const wxString& file, int line, const wxString& function,
                     const wxString& condition, const wxString& message) {
        const std::string where = file.utf8_string();
        ADD_FAILURE_AT(where.c_str(), line)
            << function.utf8_string() << ": " << condition.utf8_string() << ": "
            << message.utf8_string();
    }
    wxAssertHandler_t previous;
};

class HostileFile : public FrameTest {
    AssertsFail asserts;
};

// Files that open: the window shows the parse of what they hold, and keeps
// stepping afterwards. Loading only reads: the file stays as it was.
TEST_F(HostileFile, ReadableFilesLoadWithTheirParseMessages) {
    const struct {
        const char* name;
        std::string contents;
        const char* message;   // in the messages box
        const char* program;   // the start of the program text; nullptr: not checked
        std::uint64_t word0;   // instruction memory at 0 after the load
        const char* dataRow0;  // the grid's first row
    } cases[] = {
        {"empty", "", "'Data' label is required.", "", 0, "0"},
        {"garbage", Junk(4096, 9), "errors when parsing the instructions", nullptr, 0, "0"},
        {"nul", std::string("ADDI $1, $0, 5\n\0\0NOP\0\nData:\n1, 2\n", 31),
         "Instruction is required.", "ADDI $1, $0, 5\n??NOP?\n", 0, "1"},
        {"utf8", "ADDI $1, $0, 5\nNOP caf\xC3\xA9 \xC3\xBC\nData:\n1\n",
         "End of line required after instruction.", "ADDI $1, $0, 5\nNOP caf?? ??\n", 0, "1"},
        {"utf16",
         std::string("\xFF\xFE"
                     "A\0D\0D\0I\0 \0$\0"
                     "1\0,\0 \0$\0"
                     "0\0,\0 \0"
                     "5\0\n\0",
                     32),
         "Instruction is required.", nullptr, 0, "0"},
        {"crlf", "ADDI $1, $0, 5\r\nNOP\r\nData:\r\n3\r\n", "Instructions successfully parsed.",
         "ADDI $1, $0, 5\nNOP\n", 0x20010005u, "3"},
        // One line: a carriage return alone is white space.
        {"cr", "ADDI $1, $0, 5\rNOP\rData:\r3\r", "End of line required after instruction.",
         "ADDI $1, $0, 5", 0, "0"},
        // Only the first 16 MiB are read, and the window keeps the first 512
        // instructions, which parse.
        {"50MB", Repeat("ADDI $1, $0, 5\n", 50u << 20), "Instructions successfully parsed.",
         "ADDI $1, $0, 5\nADDI $1, $0, 5\n", 0x20010005u, "0"},
        // Only the first 512 instructions fit in memory; the rest are parsed.
        {"200k lines", Repeat("ADDI $1, $0, 5\n", 200000 * 15) + "Data:\n8\n",
         "Instructions successfully parsed.", "ADDI $1, $0, 5\nADDI $1, $0, 5\n", 0x20010005u, "8"},
    };
    MyFrame& frame = Start();
    for (const auto& c : cases) {
        WorkInProgress(frame);
        const fs::path file = folder / "case.def";
        WriteFile("case.def", c.contents);
        frame.LoadFrom(wxString(file.wstring()));
        EXPECT_TRUE(frame.MessagesText()->GetValue().Contains(wxString::FromUTF8(c.message)))
            << c.name << ": " << frame.MessagesText()->GetValue();
        if (c.program != nullptr) {
            EXPECT_TRUE(frame.ProgramText()->GetValue().StartsWith(wxString::FromUTF8(c.program)))
                << c.name << ": " << frame.ProgramText()->GetValue().Left(200);
        }
        EXPECT_EQ(frame.GetSimulator().GetInstructionMemory()->Read(0), c.word0) << c.name;
        EXPECT_EQ(frame.DataGrid()->GetCellValue(0, 0), wxString::FromUTF8(c.dataRow0)) << c.name;
        EXPECT_EQ(frame.DataGrid()->GetCellValue(5, 0), wxT("0")) << c.name;
        EXPECT_TRUE(ReadFile("case.def") == c.contents) << c.name;
        // The window goes on working with what it loaded.
        for (int i = 0; i < 8; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
        Command(frame, wxID_STOP, wxEVT_BUTTON);
        EXPECT_EQ(frame.GetSimulator().PcValue(), 0u) << c.name;
        fs::remove(file);
    }
}

// Files that cannot be opened: a message naming the file and the reason,
// and the program, the data grid and the machine exactly as they were.
TEST_F(HostileFile, FilesThatCannotBeOpenedLoseNothing) {
    const struct {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        const char* reason;
        bool unprivileged;  // the case needs permissions to be checked
    } cases[] = {
        {"directory",
         [](const fs::path& dir) {
             fs::create_directory(dir / "folder.def");
             return dir / "folder.def";
         },
         "Is a directory", false},
        {"no read permission",
         [](const fs::path& dir) {
             std::ofstream(dir / "locked.def") << "ADDI $7, $0, 7\nData:\n";
             fs::permissions(dir / "locked.def", fs::perms::none);
             return dir / "locked.def";
         },
         "Permission denied", true},
        {"does not exist", [](const fs::path& dir) { return dir / "missing.def"; },
         "No such file or directory", false},
    };
    MyFrame& frame = Start();
    WorkInProgress(frame);
    for (const auto& c : cases) {
        const fs::path path = c.make(folder);
        const Snapshot before = Snapshot::Of(frame);
        {
            Unprivileged user(c.unprivileged);
            if (c.unprivileged && !Unprivileged::Applies()) {
                ADD_FAILURE() << c.name << ": cannot act as an unprivileged user";
                continue;
            }
            frame.LoadFrom(wxString(path.wstring()));
        }
        EXPECT_EQ(frame.MessagesText()->GetValue(),
                  wxString::Format(wxT("Could not open \"%s\": %s\n"), wxString(path.wstring()),
                                   wxString::FromUTF8(c.reason)))
            << c.name;
        ExpectSame(before, Snapshot::Of(frame), c.name);
    }
    // The run goes on from where it was, with the user's program and data.
    for (int i = 0; i < 30; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
    EXPECT_EQ(frame.List(MyDatalist::kRegisters)->GetItemText(3, 1), wxT("2"));
    EXPECT_EQ(frame.List(MyDatalist::kData)->GetItemText(5, 1), wxT("12"));
}

// Saves that fail: the message names the file and the reason, nothing is
// left behind, and a file that was there keeps its contents.
TEST_F(HostileFile, SavesThatFailSaySoAndKeepTheOldFile) {
    const std::string old = "NOP\nData:\n";
    const struct {
        const char* name;
        // Prepares the folder and gives the name the user chose.
        std::function<fs::path(const fs::path&)> make;
        const char* shown;  // the file named in the message
        const char* reason;
        bool unprivileged;
    } cases[] = {
        {"read-only folder",
         [&](const fs::path& dir) {
             fs::create_directory(dir / "ro");
             std::ofstream(dir / "ro" / "keep.def") << old;
             fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
             return dir / "ro" / "keep.def";
         },
         "ro/keep.def", "Permission denied", true},
        // The device itself, reached through a link as a file dialog would.
        {"/dev/full",
         [](const fs::path& dir) {
             fs::create_symlink("/dev/full", dir / "full.def");
             return dir / "full.def";
         },
         "full.def", "Operation not permitted", false},
        {"a directory's name",
         [&](const fs::path& dir) {
             fs::create_directory(dir / "sub.def");
             std::ofstream(dir / "sub.def" / "inside.def") << old;
             return dir / "sub.def";
         },
         "sub.def", "Is a directory", false},
    };
    MyFrame& frame = Start();
    WorkInProgress(frame);
    for (const auto& c : cases) {
        const fs::path chosen = c.make(folder);
        std::vector<fs::path> present;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            present.push_back(entry.path());
        std::vector<wxString> errors;
        frame.reportError = [&](const wxString& message) { errors.push_back(message); };
        frame.confirmReplace = [](const wxString&) { return true; };
        const Snapshot before = Snapshot::Of(frame);
        {
            Unprivileged user(c.unprivileged);
            if (c.unprivileged && !Unprivileged::Applies()) {
                ADD_FAILURE() << c.name << ": cannot act as an unprivileged user";
                continue;
            }
            frame.SaveTo(wxString(chosen.wstring()));
        }
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_EQ(errors[0], wxString::Format(wxT("Could not save \"%s\": %s"),
                                              wxString((folder / c.shown).wstring()),
                                              wxString::FromUTF8(c.reason)))
            << c.name;
        std::vector<fs::path> after;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            after.push_back(entry.path());
        EXPECT_TRUE(after == present) << c.name << ": files were left or taken away";
        ExpectSame(before, Snapshot::Of(frame), c.name);
    }
    EXPECT_EQ(ReadFile("ro/keep.def"), old);
    EXPECT_EQ(ReadFile("sub.def/inside.def"), old);
    EXPECT_TRUE(fs::is_symlink(folder / "full.def"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    fs::permissions(folder / "ro", fs::perms::owner_all);
}

// The name a user types for the device: ".def" is added, and /dev is no
// place an ordinary user may write. Root could, so this runs unprivileged only.
TEST_F(HostileFile, SavingOnTheDeviceByNameIsRefused) {
    MyFrame& frame = Start();
    WorkInProgress(frame);
    std::vector<wxString> errors;
    frame.reportError = [&](const wxString& message) { errors.push_back(message); };
    frame.confirmReplace = [](const wxString&) { return true; };
    {
        Unprivileged user(true);
        if (!Unprivileged::Applies()) GTEST_SKIP() << "cannot act as an unprivileged user";
        frame.SaveTo(wxT("/dev/full"));
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], wxT("Could not save \"/dev/full.def\": Permission denied"));
    EXPECT_FALSE(fs::exists("/dev/full.def"));
}

// "tandrel.conf" as it may be found: the window starts with the defaults or
// what can be read, and format and layout changes go on working.
using HostileConfiguration = HostileFile;

TEST_F(HostileConfiguration, StartsAndKeepsRunning) {
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        bool unprivileged;
        NumberFormat format;  // what the window starts with
        bool leftPanel;
        bool keptAsItWas;  // the file (when there is one) is not rewritten
    } cases[] = {
        {"unreadable",
         [](const fs::path& dir) {
             std::ofstream(dir / "tandrel.conf") << "hexadecimalformat: 1; decimalformat: 0;\n";
             fs::permissions(dir / "tandrel.conf", fs::perms::none);
         },
         true, NumberFormat::Decimal, true, true},
        // Opening a pipe would wait for a writer (or reader) for ever.
        {"a named pipe",
         [](const fs::path& dir) { ::mkfifo((dir / "tandrel.conf").c_str(), 0644); }, false,
         NumberFormat::Decimal, true, true},
        {"a directory", [](const fs::path& dir) { fs::create_directory(dir / "tandrel.conf"); },
         false, NumberFormat::Decimal, true, true},
        // Junk around good lines: the good lines count; odd sash positions
        // are survived.
        {"garbage",
         [](const fs::path& dir) {
             std::ofstream(dir / "tandrel.conf", std::ios::binary)
                 << Junk(3000, 5) << ";\nhexadecimalformat: 1; decimalformat: 0;\n"
                 << Junk(3000, 6) << ";\nshowleftpanel: 0;\nsimulatorsashpos: 4294967295;\n"
                 << "editorsashpos: 99999999;\nbackgroundcolour: 1, 2;\n"
                 << std::string(1000, 'z') << ":" << std::string(1000, '9');
         },
         false, NumberFormat::Hexadecimal, false, false},
        {"10 MB",
         [](const fs::path& dir) {
             std::ofstream(dir / "tandrel.conf", std::ios::binary)
                 << Repeat("showleftpanel: 1; componentcolour: 1, 2, 3, 4;\n", 10u << 20)
                 << ";;\nbinaryformat: 1; decimalformat: 0; showleftpanel: 0;\n";
         },
         false, NumberFormat::Binary, false, false},
        {"read-only folder",
         [](const fs::path& dir) {
             std::ofstream(dir / "tandrel.conf") << "hexadecimalformat: 1; decimalformat: 0;\n";
             fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
         },
         true, NumberFormat::Hexadecimal, true, true},
        {"read-only folder, no file",
         [](const fs::path& dir) {
             fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
         },
         true, NumberFormat::Decimal, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(folder,
                        fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        fs::remove_all(folder / "tandrel.conf");
        c.make(folder);
        const fs::file_type type = fs::symlink_status(folder / "tandrel.conf").type();
        const bool hadFile = type == fs::file_type::regular;
        const std::string before = hadFile ? ReadFile("tandrel.conf") : std::string();
        {
            Unprivileged user(c.unprivileged);
            if (c.unprivileged && !Unprivileged::Applies()) {
                ADD_FAILURE() << "cannot act as an unprivileged user";
                continue;
            }
            MyFrame& frame = Start();
            EXPECT_EQ(frame.Display().numberFormat, c.format);
            EXPECT_EQ(frame.SimulatorSplitter()->IsSplit(), c.leftPanel);
            // Settings changes, each saved (or not) on the spot.
            Command(frame, ID_FORMAT_HEXADECIMAL);
            Command(frame, ID_LAYOUT_FORWARDING);
            frame.ShowLeftPanel(true, true);
            Settle();
            EXPECT_EQ(frame.Display().numberFormat, NumberFormat::Hexadecimal);
            EXPECT_EQ(frame.GetSimulator().CurrentLayout(), Layout::Forwarding);
            // The window still works.
            Type(frame, "addi $1, $0, 30\naddi $2, $0, -4\nnop\nnop\nadd $3, $1, $2\n");
            for (int i = 0; i < 12; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
            EXPECT_EQ(frame.List(MyDatalist::kRegisters)->GetItemText(3, 1).Upper(), wxT("1A"));
        }
        if (c.keptAsItWas) {
            EXPECT_EQ(fs::symlink_status(folder / "tandrel.conf").type(), type);
            if (hadFile) {
                EXPECT_TRUE(ReadFile("tandrel.conf") == before);
            }
        } else {
            // A readable, writable file is rewritten whole.
            const std::string conf = ReadFile("tandrel.conf");
            EXPECT_EQ(std::count(conf.begin(), conf.end(), '\n'), option::kLast);
            EXPECT_NE(conf.find("hexadecimalformat: 1;"), std::string::npos);
        }
        frame->Destroy();
        Settle();
        frame = nullptr;
    }
    fs::permissions(folder, fs::perms::owner_all);
}

}  // namespace
}  // namespace tandrel::test
