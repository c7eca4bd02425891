// Definition files: what survives saving and loading, the exact bytes of a
// saved file, and files that cannot be read or written.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/DatapathRunner.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;

// A directory of its own for each test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() /
               ("tandrel-" + std::string(info->name()) + "-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter++));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::wstring File(const std::string& name) const { return (path / name).wstring(); }

    fs::path path;
};

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Everything a saved program consists of, as the parser holds it.
struct Snapshot {
    std::vector<std::uint64_t> words;
    std::vector<InstructionKind> kinds;
    std::vector<std::wstring> texts;
    std::vector<bool> faulty;
    std::vector<std::uint64_t> data;
    std::vector<std::wstring> errors;

    explicit Snapshot(const Simulator& sim) {
        for (std::uint64_t address = 0; address < 512; address += 4) {
            words.push_back(sim.GetParser().GetInstruction(address));
            kinds.push_back(sim.GetInstructionKind(address));
            std::wstring text;
            bool error = false;
            sim.GetProgramLine(address, text, error);
            texts.push_back(text);
            faulty.push_back(error);
        }
        for (std::uint64_t index = 0; index < 512; ++index) data.push_back(sim.GetData(index));
        for (int i = 0; i < sim.ErrorCount(); ++i) {
            std::wstring message;
            sim.GetErrorMessage(i, message);
            errors.push_back(message);
        }
    }
    bool operator==(const Snapshot& o) const {
        return words == o.words && kinds == o.kinds && texts == o.texts && faulty == o.faulty &&
               data == o.data && errors == o.errors;
    }
};

// The editor's Load: read the file, then parse what was read.
bool LoadAndParse(Simulator& sim, const std::wstring& file) {
    if (!sim.LoadFile(file)) return false;
    sim.ParseProgram(L"");
    return true;
}

const std::map<std::uint64_t, std::uint32_t> kData = {
    {0, 7}, {1, 4294967295u}, {17, 2147483648u}, {255, 123456789}, {511, 42}};

TEST(DefinitionFileTest, SaveThenLoadGivesBackWordsTextsAndData) {
    TempDir dir;
    Simulator sim;
    // Every instruction, typed carelessly, with blank lines, comments and a
    // label between.
    const std::wstring program =
        L"# each one\nlw $8,4( $9 )\n\nSw $31, -16384($0)  # Data: none\naddi $1, $0, -1\n"
        L"back:\taddi $2,$1,40000\nBEQ $1, $2, back\n\n\nadd $3,$1,$2\nsub $4, $5, $6\n"
        L"slt $7, $8, $9\nand $10, $11, $12\nOR $13, $14, $15\nnop #\n";
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Pipelined, program, kData));
    const Snapshot saved(sim);
    ASSERT_TRUE(sim.SaveProgram(dir.File("a.def")));
    EXPECT_EQ(ReadBytes(dir.path / "a.def")
                  .rfind("# each one\nLW $8, 4($9)\n\nSW $31, -16384($0)  # Data: none\n"
                         "ADDI $1, $0, -1\nback:\tADDI $2, $1, 40000\nBEQ $1, $2, back\n\n\n",
                         0),
              0u);

    Simulator other;
    other.SelectLayout(Layout::Pipelined);
    ASSERT_TRUE(LoadAndParse(other, dir.File("a.def")));
    EXPECT_TRUE(other.ProgramValid());
    EXPECT_TRUE(Snapshot(other) == saved);
    // The window then resets and fills the data memory: the datapath holds it too.
    other.Reset();
    other.LoadInitialData();
    for (std::uint64_t address = 0; address < 512; address += 4)
        EXPECT_EQ(other.GetInstructionMemory()->Read(address), saved.words[address / 4]);
    for (std::uint64_t index = 0; index < 512; ++index)
        EXPECT_EQ(test::DataValue(other, index), test::DataValue(sim, index)) << index;

    // Canonical texts, and words worked out by hand from the field layout.
    EXPECT_EQ(saved.texts[1], L"SW $31, -16384($0)\n");
    EXPECT_EQ(saved.words[1], 0xAC1FC000u);
    EXPECT_EQ(saved.texts[3], L"back: ADDI $2, $1, 40000\n");
    EXPECT_EQ(saved.words[3], 0x20229C40u);
    EXPECT_EQ(saved.words[4], 0x1041FFFEu);  // back to 12 from 16
    EXPECT_EQ(saved.kinds[11], InstructionKind::None);

    // A second round gives the same bytes.
    ASSERT_TRUE(other.SaveProgram(dir.File("b.def")));
    EXPECT_EQ(ReadBytes(dir.path / "b.def"), ReadBytes(dir.path / "a.def"));
}

TEST(DefinitionFileTest, FaultyLineIsSavedAsTypedAndReportsItsErrorAgain) {
    TempDir dir;
    Simulator sim;
    const std::wstring program =
        L"add $1, $2, $3\nADD $1 $2, $3\n  sw $4, 8($0\nlw $5, 4($0)\nfoo bar\naddi $1, $40, 2\n";
    EXPECT_FALSE(test::LoadProgram(sim, Layout::Simple, program, kData));
    const Snapshot saved(sim);
    ASSERT_EQ(saved.errors.size(), 4u);
    ASSERT_TRUE(sim.SaveProgram(dir.File("faulty.def")));

    const std::string bytes = ReadBytes(dir.path / "faulty.def");
    EXPECT_EQ(bytes.substr(0, bytes.find("Data:\n")),
              "ADD $1, $2, $3\nADD $1 $2, $3\n  sw $4, 8($0\nLW $5, 4($0)\nfoo bar\n"
              "addi $1, $40, 2\n");

    Simulator other;
    ASSERT_TRUE(LoadAndParse(other, dir.File("faulty.def")));
    EXPECT_FALSE(other.ProgramValid());
    const Snapshot loaded(other);
    EXPECT_EQ(loaded.errors, saved.errors);
    EXPECT_EQ(loaded.texts, saved.texts);
    EXPECT_EQ(loaded.faulty, saved.faulty);
    EXPECT_TRUE(loaded == saved);
}

// Line breaks that are only carriage returns leave one faulty line that runs
// to the end of the file, without a line break of its own; the saved file
// must still start its data on a line of its own.
TEST(DefinitionFileTest, FaultyLastLineWithoutLineBreakKeepsDataApart) {
    TempDir dir;
    const std::string typed = "ADDI $1, $0, 5\rBEQ $0, $0, -1\rData:\r1, 2\r";
    WriteBytes(dir.path / "in.def", typed);
    Simulator sim;
    ASSERT_TRUE(LoadAndParse(sim, dir.File("in.def")));
    sim.SetData(3, 42);
    const Snapshot saved(sim);
    ASSERT_TRUE(sim.SaveProgram(dir.File("a.def")));
    const std::string bytes = ReadBytes(dir.path / "a.def");
    EXPECT_EQ(bytes.substr(0, bytes.find("Data:\n")), typed + "\n");

    Simulator other;
    ASSERT_TRUE(LoadAndParse(other, dir.File("a.def")));
    const Snapshot loaded(other);
    std::vector<std::wstring> texts = saved.texts;
    texts[0] += L'\n';  // the only change: the line now ends
    EXPECT_EQ(loaded.texts, texts);
    EXPECT_EQ(loaded.faulty, saved.faulty);
    EXPECT_EQ(loaded.data, saved.data);
    EXPECT_EQ(other.GetData(3), 42u);

    ASSERT_TRUE(other.SaveProgram(dir.File("b.def")));
    EXPECT_EQ(ReadBytes(dir.path / "b.def"), bytes);
}

TEST(DefinitionFileTest, ExampleProgramSavesAsExactly36Lines) {
    TempDir dir;
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Simple,
                                  L"lw $8, 0($0)\nadd $9, $8, $8\nsw $9, 4($0)", {{0, 7}}));
    ASSERT_TRUE(sim.SaveProgram(dir.File("example.def")));

    std::string zeros;
    for (int i = 0; i < 16; ++i) zeros += "0, ";
    std::string expected = "LW $8, 0($0)\nADD $9, $8, $8\nSW $9, 4($0)\nData:\n7, ";
    for (int i = 0; i < 15; ++i) expected += "0, ";
    expected += "\n";
    for (int line = 6; line <= 36; ++line) expected += zeros + "\n";
    const std::string bytes = ReadBytes(dir.path / "example.def");
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 36);
}

// The program, the datapath's memories and the PC of a simulator that has
// run a little, to see that nothing of it is lost.
struct RunningState {
    explicit RunningState(const Simulator& sim)
        : program(sim),
          valid(sim.ProgramValid()),
          instructions(sim.GetInstructionMemory()->storage),
          registers(sim.GetRegisters()->storage),
          data(sim.GetDataMemory()->storage),
          pc(sim.PcValue()) {}
    bool operator==(const RunningState& o) const {
        return program == o.program && valid == o.valid && instructions == o.instructions &&
               registers == o.registers && data == o.data && pc == o.pc;
    }
    Snapshot program;
    bool valid;
    std::map<std::uint64_t, std::uint64_t> instructions, registers, data;
    std::uint64_t pc;
};

void StartRunning(Simulator& sim) {
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Forwarding,
                                  L"addi $1, $0, 5\nlw $2, 0($0)\nsw $1, 8($0)\n", kData));
    for (int i = 0; i < 8; ++i) sim.Step();
    ASSERT_EQ(test::RegisterValue(sim, 1), 5u);
}

// Nothing of a running simulator changes when a file cannot be read (the
// locked file only counts for a user that cannot read it: not root).
TEST(DefinitionFileTest, FileThatCannotBeReadChangesNothing) {
    TempDir dir;
    fs::create_directory(dir.path / "folder");
    ASSERT_EQ(::mkfifo((dir.path / "pipe").c_str(), 0644), 0);
    WriteBytes(dir.path / "locked.def", "add $1, $2, $3\nData:\n1, 2, 3, ");
    fs::permissions(dir.path / "locked.def", fs::perms::none);
    const bool lockedReadable = std::ifstream(dir.path / "locked.def").is_open();
    Simulator sim;
    StartRunning(sim);
    const RunningState before(sim);
    for (const char* name : {"missing.def", "folder", "pipe", "locked.def"}) {
        if (lockedReadable && name == std::string("locked.def")) continue;
        SCOPED_TRACE(name);
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(sim.LoadFile(dir.File(name)));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File Error\n");
        EXPECT_TRUE(RunningState(sim) == before);
    }
}

// Saving where nothing can be written reports failure, and a good file that
// was already there stays as it was.
TEST(DefinitionFileTest, SaveThatCannotWriteReportsFailureAndKeepsTheOldFile) {
    TempDir dir;
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Simple, L"add $1, $2, $3\n", kData));
    EXPECT_FALSE(sim.SaveProgram(L""));

    WriteBytes(dir.path / "plain", "a regular file");
    EXPECT_FALSE(sim.SaveProgram(dir.File("plain") + L"/inside.def"));  // parent is a file
    EXPECT_EQ(ReadBytes(dir.path / "plain"), "a regular file");

    fs::create_directory(dir.path / "folder.def");
    EXPECT_FALSE(sim.SaveProgram(dir.File("folder.def")));
    EXPECT_TRUE(fs::is_directory(dir.path / "folder.def"));

    // A full disk, made with a file size limit (which root obeys too).
    const std::string good = "ADD $1, $2, $3\nData:\n";
    WriteBytes(dir.path / "good.def", good);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;  // the file needs more than 1 KB
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = sim.SaveProgram(dir.File("good.def"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(dir.path / "good.def"), good);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder.def", "good.def", "plain"}));
}

// A target that is a device or a pipe, as /dev/full is, is refused: renaming
// a regular file over it would destroy it. A private file stays private and
// a link stays a link to the file it names.
TEST(DefinitionFileTest, SaveKeepsWhatKindOfFileTheTargetIs) {
    TempDir dir;
    Simulator sim;
    ASSERT_TRUE(test::LoadProgram(sim, Layout::Simple, L"add $1, $2, $3\n", {}));

    const fs::path pipe = dir.path / "pipe.def";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    EXPECT_FALSE(sim.SaveProgram(pipe.wstring()));
    EXPECT_TRUE(fs::is_fifo(pipe));
    if (fs::is_character_file("/dev/full")) {
        EXPECT_FALSE(sim.SaveProgram(L"/dev/full"));
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }

    WriteBytes(dir.path / "private.def", "old");
    fs::permissions(dir.path / "private.def", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(sim.SaveProgram(dir.File("private.def")));
    EXPECT_EQ(fs::status(dir.path / "private.def").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(dir.path / "private.def").rfind("ADD $1, $2, $3\nData:\n", 0), 0u);

    WriteBytes(dir.path / "real.def", "old");
    fs::create_symlink(dir.path / "real.def", dir.path / "link.def");
    ASSERT_TRUE(sim.SaveProgram(dir.File("link.def")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path / "link.def")));
    EXPECT_EQ(ReadBytes(dir.path / "real.def").rfind("ADD $1, $2, $3\n", 0), 0u);
}

}  // namespace
}  // namespace tandrel
