// Definition files: what survives saving and loading, the exact bytes of a
// saved file, reading a file's bytes, and files that cannot be read or
// written.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/DatapathRunner.h"
#include "tests/TempDir.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own.
class DefinitionFileTest : public ::testing::Test {
  protected:
    std::wstring File(const std::string& name) const { return temp.WideFile(name); }
    std::string Read(const std::string& name) const { return temp.Read(name); }
    void Write(const std::string& name, const std::string& bytes) const { temp.Write(name, bytes); }
    test::TempDir temp;
    const fs::path dir{temp.path};
};

// Everything a saved program consists of, as the simulator holds it.
std::vector<std::wstring> Snapshot(const Simulator& sim) {
    std::vector<std::wstring> all;
    for (std::uint64_t address = 0; address < 512; address += 4) {
        std::wstring text;
        bool error = false;
        sim.GetProgramLine(address, text, error);
        all.push_back(text + (error ? L"!" : L"") + L" " +
                      std::to_wstring(sim.GetParser().GetInstruction(address)) + L" " +
                      std::to_wstring(static_cast<int>(sim.GetInstructionKind(address))));
    }
    for (std::uint64_t index = 0; index < 512; ++index) all.push_back(std::to_wstring(sim.GetData(index)));
    for (int i = 0; i < sim.ErrorCount(); ++i) {
        std::wstring message;
        sim.GetErrorMessage(i, message);
        all.push_back(message);
    }
    return all;
}

// The editor's Load: read the file, then parse what was read.
bool LoadAndParse(Simulator& sim, const std::wstring& file) {
    if (!sim.LoadFile(file)) return false;
    sim.ParseProgram(L"");
    return true;
}

const std::map<std::uint64_t, std::uint32_t> kData = {
    {0, 7}, {1, 4294967295u}, {17, 2147483648u}, {255, 123456789}, {511, 42}};

// A save loads back as the same program, data and errors, and a second
// save writes the same bytes: for every instruction typed carelessly with
// comments and a label, for faulty lines kept as typed, and for a faulty
// last line that runs to the end of the file on carriage returns alone.
TEST_F(DefinitionFileTest, SaveThenLoadGivesBackWordsTextsDataAndErrors) {
    const struct {
        std::wstring program;
        const char* savedStart;
    } cases[] = {
        {L"# each one\nlw $8,4( $9 )\n\nSw $31, -16384($0)  # Data: none\naddi $1, $0, -1\n"
         L"back:\taddi $2,$1,40000\nBEQ $1, $2, back\nadd $3,$1,$2\nsub $4, $5, $6\n"
         L"slt $7, $8, $9\nand $10, $11, $12\nOR $13, $14, $15\nnop #\n",
         "# each one\nLW $8, 4($9)\n\nSW $31, -16384($0)  # Data: none\nADDI $1, $0, -1\n"
         "back:\tADDI $2, $1, 40000\nBEQ $1, $2, back\nADD $3, $1, $2\n"},
        {L"add $1, $2, $3\nADD $1 $2, $3\n  sw $4, 8($0\nlw $5, 4($0)\nfoo bar\naddi $1, $40, 2\n",
         "ADD $1, $2, $3\nADD $1 $2, $3\n  sw $4, 8($0\nLW $5, 4($0)\nfoo bar\n"
         "addi $1, $40, 2\nData:\n7, 4294967295, "},
        {L"ADDI $1, $0, 5\rBEQ $0, $0, -1\r", "ADDI $1, $0, 5\rBEQ $0, $0, -1\r\nData:\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.savedStart);
        Simulator sim;
        test::LoadProgram(sim, Layout::Pipelined, c.program, kData);
        const auto saved = Snapshot(sim);
        ASSERT_TRUE(sim.SaveProgram(File("a.def")));
        EXPECT_EQ(Read("a.def").rfind(c.savedStart, 0), 0u) << Read("a.def");

        Simulator other;
        other.SelectLayout(Layout::Pipelined);
        ASSERT_TRUE(LoadAndParse(other, File("a.def")));
        EXPECT_EQ(other.ProgramValid(), sim.ProgramValid());
        auto loaded = Snapshot(other);
        if (c.program.back() == L'\r') loaded[0].replace(loaded[0].find(L"\r\n"), 2, L"\r");
        EXPECT_EQ(loaded, saved);
        // The window then resets and fills the data memory: the datapath holds it too.
        other.Reset();
        other.LoadInitialData();
        for (std::uint64_t address = 0; address < 512; address += 4)
            EXPECT_EQ(other.GetInstructionMemory()->Read(address),
                      sim.GetInstructionMemory()->Read(address));
        for (const auto& [index, word] : kData) EXPECT_EQ(test::DataValue(other, index), word);

        ASSERT_TRUE(other.SaveProgram(File("b.def")));
        EXPECT_EQ(Read("b.def"), Read("a.def"));
    }
}

// A data line typed in the editor is faulty there, and saved as a comment so
// that the file's program does not end early; in the form the editor shows
// comments, so saving the loaded file again writes the same file (the
// trailing carriage return once made them differ).
TEST_F(DefinitionFileTest, AFaultyDataLineIsSavedAsAStableComment) {
    Simulator sim;
    EXPECT_FALSE(test::LoadProgram(sim, Layout::Simple, L"nop\nData: 5\r\nadd $1, $2, $3\n", kData));
    ASSERT_TRUE(sim.SaveProgram(File("a.def")));
    EXPECT_EQ(Read("a.def").rfind("NOP\n# Data: 5\nADD $1, $2, $3\nData:\n", 0), 0u) << Read("a.def");
    Simulator other;
    ASSERT_TRUE(LoadAndParse(other, File("a.def")));
    EXPECT_TRUE(other.ProgramValid());
    EXPECT_EQ(other.GetParser().GetInstruction(4), 0x00430820u);
    ASSERT_TRUE(other.SaveProgram(File("b.def")));
    EXPECT_EQ(Read("b.def"), Read("a.def"));
}

TEST_F(DefinitionFileTest, ExampleProgramSavesAsExactly36Lines) {
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Simple,
                                  L"lw $8, 0($0)\nadd $9, $8, $8\nsw $9, 4($0)", {{0, 7}}));
    ASSERT_TRUE(sim.SaveProgram(File("example.def")));
    // Sixteen data words a line, all 512 of them.
    std::string expected = "LW $8, 0($0)\nADD $9, $8, $8\nSW $9, 4($0)\nData:\n7, ";
    for (int i = 1; i < 512; ++i) expected += i % 16 == 0 ? "\n0, " : "0, ";
    EXPECT_EQ(Read("example.def"), expected + "\n");
}

// An empty file is no error, but there is nothing to read; a huge one is
// read up to the limit.
TEST_F(DefinitionFileTest, EmptyHugeAndOddFilesAreRead) {
    Write("empty.def", "");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Lexer(File("empty.def")).IsGood());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    Write("huge.def", "nop\n");
    fs::resize_file(dir / "huge.def", Lexer::kMaxFileBytes + (1u << 20));
    std::wstring text;
    Lexer(File("huge.def")).LoadText(text);
    EXPECT_EQ(text.size(), Lexer::kMaxFileBytes);

    // Bytes above 127 read as '?'; a last line without a line break is kept.
    Write("prog.def", std::string("nop\r\n\xC3\xA9\0;\nDATA:\n7", 17));
    Lexer lexer(File("prog.def"));
    ASSERT_TRUE(lexer.IsGood());
    Parser parser(lexer);
    EXPECT_TRUE(parser.LoadText());
    EXPECT_EQ(parser.ProgramText(), std::wstring(L"nop\r\n??\0;\nDATA:\n7", 17));
    EXPECT_FALSE(parser.Parse(L""));
    std::wstring line;
    bool error = false;
    parser.GetProgramLine(4, line, error);
    EXPECT_EQ(line, std::wstring(L"??\0;\n", 5));
    EXPECT_TRUE(error);
    EXPECT_EQ(parser.GetData(0), 7u);
}

// Nothing of a running simulator changes when a file cannot be read (the
// locked file only counts for a user that cannot read it: not root).
TEST_F(DefinitionFileTest, FileThatCannotBeReadChangesNothing) {
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    Write("locked.def", "add $1, $2, $3\nData:\n1, 2, 3, ");
    fs::permissions(dir / "locked.def", fs::perms::none);
    const bool lockedReadable = std::ifstream(dir / "locked.def").is_open();
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Forwarding,
                                  L"addi $1, $0, 5\nlw $2, 0($0)\nsw $1, 8($0)\n", kData));
    for (int i = 0; i < 8; ++i) sim.Step();
    const auto state = [&] {
        auto all = Snapshot(sim);
        for (const auto* memory : {&sim.GetInstructionMemory()->storage,
                                   &sim.GetRegisters()->storage, &sim.GetDataMemory()->storage})
            for (const auto& [key, word] : *memory) all.push_back(std::to_wstring(key) + L"=" + std::to_wstring(word));
        all.push_back(std::to_wstring(sim.PcValue()) + std::to_wstring(sim.ProgramValid()));
        return all;
    };
    const auto before = state();
    Write("a.def", "nop");
    const std::wstring names[] = {
        File("missing.def"), File("folder"), File("pipe"), L"/dev/zero",
        std::wstring(L"\xD800.def"),  // cannot be converted to a file name
        File("a.def") + std::wstring(1, L'\0') + L"x", File("locked.def")};
    for (const std::wstring& name : names) {
        if (lockedReadable && name == File("locked.def")) continue;
        const std::string shown(name.begin(), name.end());
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(sim.LoadFile(name)) << shown;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File Error\n");
        EXPECT_TRUE(state() == before) << shown;
    }
}

// Saving where nothing can be written reports failure and leaves what was
// there as it was; a device or pipe is refused, since renaming a file over
// it would destroy it; a private file stays private and a link a link.
TEST_F(DefinitionFileTest, SaveReportsFailureAndKeepsWhatWasThere) {
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Simple, L"add $1, $2, $3\n", kData));
    EXPECT_FALSE(sim.SaveProgram(L""));
    Write("plain", "a regular file");
    EXPECT_FALSE(sim.SaveProgram(File("plain") + L"/inside.def"));  // parent is a file
    for (const std::wstring& name : {std::wstring(L"\xD800.def"), File("plain") + L'\0' + L".def"})
        EXPECT_FALSE(sim.SaveProgram(name));  // no file of that name can exist
    EXPECT_EQ(Read("plain"), "a regular file");
    fs::create_directory(dir / "folder.def");
    EXPECT_FALSE(sim.SaveProgram(File("folder.def")));
    ASSERT_EQ(::mkfifo((dir / "pipe.def").c_str(), 0644), 0);
    EXPECT_FALSE(sim.SaveProgram(File("pipe.def")));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.def"));
    if (fs::is_character_file("/dev/full")) {
        EXPECT_FALSE(sim.SaveProgram(L"/dev/full"));
    }

    // A full disk, made with a file size limit (which root obeys too).
    Write("good.def", "ADD $1, $2, $3\nData:\n");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;  // the file needs more than 1 KB
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = sim.SaveProgram(File("good.def"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(Read("good.def"), "ADD $1, $2, $3\nData:\n");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"folder.def", "good.def", "pipe.def", "plain"}));

    Write("private.def", "old");
    fs::permissions(dir / "private.def", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(sim.SaveProgram(File("private.def")));
    EXPECT_EQ(fs::status(dir / "private.def").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "private.def", dir / "link.def");
    ASSERT_TRUE(sim.SaveProgram(File("link.def")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "link.def")));
    EXPECT_EQ(Read("private.def").rfind("ADD $1, $2, $3\nData:\n", 0), 0u);
}

}  // namespace
}  // namespace tandrel
