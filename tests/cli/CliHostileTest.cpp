// tandrel-cli fed the files a student may have: odd encodings, junk, huge
// files, folders, files it may not read, places it may not write. It says
// what happened, with an exit status to match, and changes no file it reads.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "tests/cli/CliTestSupport.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using clitest::Result;
using clitest::RunCli;
using clitest::TempDir;

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

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Permissions are only checked for an ordinary user: as root, the program
// runs as "nobody" for the cases that need it.
std::string Unprivileged() {
    return ::geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups" : "";
}

void OpenToOthers(const TempDir& dir) {
    fs::permissions(dir.path,
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
}

constexpr auto kReadOnly =
    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec;

const char* const kProgram = "ADDI $1, $0, 5\nNOP\nData:\n3\n";

TEST(CliHostile, ReadableFilesGiveTheirParseAndAreLeftAlone) {
    const struct {
        const char* name;
        std::string contents;
        int status;
        const char* out;  // in standard output
    } cases[] = {
        {"empty", "", 1, "case.def: 'Data' label is required.\n"},
        {"garbage", Junk(4096, 9), 1, "errors when parsing the instructions"},
        {"nul", std::string("ADDI $1, $0, 5\n\0\0NOP\0\nData:\n1, 2\n", 31), 1,
         "case.def:2: Instruction is required."},
        {"utf8", "ADDI $1, $0, 5\nNOP caf\xC3\xA9\nData:\n1\n", 1,
         "case.def:2: End of line required after instruction. | NOP caf??\n"},
        {"utf16",
         std::string("\xFF\xFE"
                     "A\0D\0D\0I\0 \0$\0"
                     "1\0,\0 \0$\0"
                     "0\0,\0 \0"
                     "5\0\n\0",
                     32),
         1, "case.def:1: Instruction is required."},
        {"crlf", "ADDI $1, $0, 5\r\nNOP\r\nData:\r\n3\r\n", 0, "Instructions successfully parsed."},
        {"cr", "ADDI $1, $0, 5\rNOP\rData:\r3\r", 1,
         "case.def:1: End of line required after instruction."},
        // Only the first 1000 lines are read, so no Data line is found.
        {"50MB", Repeat("ADDI $1, $0, 5\n", 50u << 20), 1,
         "case.def:1001: warning: only the first 1000 lines are read; the lines from here on are "
         "left out. | ADDI $1, $0, 5\n"},
        {"200k lines", Repeat("ADDI $1, $0, 5\n", 200000 * 15) + "Data:\n8\n", 0,
         "Instructions successfully parsed."},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("case.def", c.contents);
        const Result check = RunCli(dir, "check case.def");
        EXPECT_EQ(check.status, c.status) << c.name;
        EXPECT_TRUE(Contains(check.out, c.out)) << c.name << ":\n" << check.out.substr(0, 400);
        EXPECT_EQ(check.err, "") << c.name;
        const Result run = RunCli(dir, "run case.def --steps 7");
        if (c.status == 0) {
            EXPECT_EQ(run.status, 0) << c.name;
            EXPECT_TRUE(Contains(run.out, "\n$1 5\n")) << c.name << ":\n" << run.out;
        } else {
            EXPECT_EQ(run.status, 1) << c.name;
            EXPECT_EQ(run.out, "") << c.name;
            EXPECT_TRUE(Contains(run.err,
                                 "when parsing the instructions (see tandrel-cli check "
                                 "case.def)\n"))
                << c.name << ": " << run.err;
        }
        EXPECT_TRUE(dir.Read("case.def") == c.contents) << c.name;
        EXPECT_EQ(dir.Names(), (std::set<std::string>{"case.def"})) << c.name;
    }
}

TEST(CliHostile, FilesThatCannotBeOpenedStopWithTheReason) {
    const struct {
        const char* name;
        std::function<void(const TempDir&)> make;
        const char* err;
        bool unprivileged;
    } cases[] = {
        {"directory", [](const TempDir& dir) { fs::create_directory(dir.path + "/case.def"); },
         "tandrel-cli: case.def: Is a directory\n", false},
        {"no read permission",
         [](const TempDir& dir) {
             dir.Write("case.def", kProgram);
             fs::permissions(dir.path + "/case.def", fs::perms::none);
         },
         "tandrel-cli: case.def: Permission denied\n", true},
        {"does not exist", [](const TempDir&) {},
         "tandrel-cli: case.def: No such file or directory\n", false},
        {"a device",
         [](const TempDir& dir) { fs::create_symlink("/dev/full", dir.path + "/case.def"); },
         "tandrel-cli: case.def: not a regular file\n", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        OpenToOthers(dir);
        c.make(dir);
        const std::set<std::string> before = dir.Names();
        for (const char* command : {"check", "run", "compare"}) {
            const Result result = RunCli(dir, std::string(command) + " case.def",
                                         c.unprivileged ? Unprivileged() : "");
            EXPECT_EQ(result.status, 2) << c.name << ' ' << command;
            EXPECT_EQ(result.err, c.err) << c.name << ' ' << command;
            EXPECT_EQ(result.out, "") << c.name << ' ' << command;
        }
        EXPECT_EQ(dir.Names(), before) << c.name;
        if (c.unprivileged) {
            fs::permissions(dir.path + "/case.def", fs::perms::owner_read);
            EXPECT_EQ(dir.Read("case.def"), kProgram);
        }
    }
}

// The one file tandrel-cli writes is a picture. A write that fails says
// why and leaves what was there.
TEST(CliHostile, PicturesThatCannotBeWrittenSaySoAndKeepWhatWasThere) {
    {
        TempDir probe;
        probe.Write("p.def", kProgram);
        if (Contains(RunCli(probe, "picture p.def -o x.png").err, "cannot draw pictures"))
            GTEST_SKIP() << "built without the picture command";
    }
    const std::string old = "an old picture";
    const struct {
        const char* name;
        std::function<void(const TempDir&)> make;
        const char* output;
        const char* err;
        bool unprivileged;
        const char* kept;  // a file that was there before
    } cases[] = {
        {"read-only folder",
         [&](const TempDir& dir) {
             fs::create_directory(dir.path + "/ro");
             dir.Write("ro/keep.png", old);
             fs::permissions(dir.path + "/ro", kReadOnly);
         },
         "ro/keep.png", "tandrel-cli: ro/keep.png: Permission denied\n", true, "ro/keep.png"},
        {"/dev/full", [](const TempDir&) {}, "/dev/full",
         "tandrel-cli: /dev/full: No space left on device\n", false, nullptr},
        {"a directory's name",
         [&](const TempDir& dir) {
             fs::create_directory(dir.path + "/sub.png");
             dir.Write("sub.png/keep.png", old);
         },
         "sub.png", "tandrel-cli: sub.png: Is a directory\n", false, "sub.png/keep.png"},
    };
    for (const auto& c : cases) {
        std::error_code ignored;
        TempDir dir;
        OpenToOthers(dir);
        dir.Write("p.def", kProgram);
        c.make(dir);
        // The user "nobody" may not use the test's display; the program starts
        // one of its own.
        const Result result =
            RunCli(dir, std::string("picture p.def -o ") + c.output,
                   c.unprivileged ? Unprivileged() + " env -u DISPLAY" : std::string());
        EXPECT_EQ(result.status, 2) << c.name;
        EXPECT_EQ(result.err, c.err) << c.name;
        EXPECT_EQ(dir.Read("p.def"), kProgram) << c.name;
        if (c.kept != nullptr) {
            EXPECT_EQ(dir.Read(c.kept), old) << c.name;
        }
        fs::permissions(dir.path + "/ro", fs::perms::owner_all, ignored);
    }
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// The configuration a picture is drawn with (--config): one that cannot be
// read stops with the reason; junk and a huge file give what can be read.
TEST(CliHostile, ConfigurationFilesForPictures) {
    {
        TempDir probe;
        probe.Write("p.def", kProgram);
        if (Contains(RunCli(probe, "picture p.def -o x.png").err, "cannot draw pictures"))
            GTEST_SKIP() << "built without the picture command";
    }
    const struct {
        const char* name;
        std::function<void(const TempDir&)> make;
        int status;
        const char* err;
        bool unprivileged;
    } cases[] = {
        {"unreadable",
         [](const TempDir& dir) {
             dir.Write("my.conf", "backgroundcolour: 10, 20, 30, 255;\n");
             fs::permissions(dir.path + "/my.conf", fs::perms::none);
         },
         2, "tandrel-cli: my.conf: Permission denied\n", true},
        {"a directory", [](const TempDir& dir) { fs::create_directory(dir.path + "/my.conf"); }, 2,
         "tandrel-cli: my.conf: Is a directory\n", false},
        {"garbage",
         [](const TempDir& dir) {
             dir.Write("my.conf", Junk(5000, 3) + ";\nshowcontrollines: 0;\n" + Junk(5000, 4));
         },
         0, "", false},
        {"10 MB",
         [](const TempDir& dir) {
             dir.Write("my.conf", Repeat("componentcolour: 1, 2, 3, 4;\n", 10u << 20));
         },
         0, "", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        OpenToOthers(dir);
        dir.Write("p.def", kProgram);
        c.make(dir);
        const std::set<std::string> before = dir.Names();
        const Result result = RunCli(dir, "picture p.def -o out.png --config my.conf",
                                     c.unprivileged ? Unprivileged() : "");
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.err, c.err) << c.name;
        std::set<std::string> expected = before;
        if (c.status == 0) expected.insert("out.png");
        EXPECT_EQ(dir.Names(), expected) << c.name;
    }
}

}  // namespace
}  // namespace tandrel
