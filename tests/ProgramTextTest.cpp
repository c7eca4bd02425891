// Program text beyond bare instructions: comments, labels, warnings, and
// definition files that must still read as they always have.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sim/Simulator.h"

#ifndef TANDREL_EXAMPLES_DIR
#error "TANDREL_EXAMPLES_DIR must name the examples directory"
#endif

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using E = ParseError;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(ProgramTextTest, CommentsAndLabelsGiveTheseWordsAndErrors) {
    const struct {
        const wchar_t* text;
        std::vector<std::uint64_t> words;                // by address; a faulty line holds 0
        std::vector<std::pair<ParseError, int>> errors;  // with their lines
    } cases[] = {
        // Comment, label and blank lines take no address; "Data" in a comment
        // neither ends the program nor goes missing.
        {L"# Data: 1, 2\n  # sum\n\nadd $1, $2, $3 # Data\nData_x: nop #", {0x00430820, 0}, {}},
        // Offsets count from the instruction after the BEQ, backwards and on.
        {L"top: nop\nbeq $1, $2, top\nbeq $1, $2, end\nnop\nend:\n\n  nop",
         {0, 0x1041FFFE, 0x10410001, 0, 0},
         {}},
        // Names are case-sensitive: Loop and loop are two labels.
        {L"Loop:\nloop: beq $0, $0, Loop # to itself", {0x1000FFFF}, {}},
        {L"a: b: nop\nbeq $0, $0, b", {0, 0x1000FFFE}, {}},
        {L"beq $1, $2, nowhere\nnop", {0, 0}, {{E::UnknownLabel, 1}}},
        {L"beq $1, $2, Top\ntop: nop", {0, 0}, {{E::UnknownLabel, 1}}},
        {L"a: nop\n\na: nop", {0, 0}, {{E::LabelDefinedTwice, 3}}},
        {L"nop\nend:  # nothing follows", {0}, {{E::LabelWithoutInstruction, 2}}},
        {L"loop add $1, $2, $3\nnop", {0, 0}, {{E::InstructionRequired, 1}}},  // no colon
        {L"top: addi $1, $0, top", {0}, {{E::ImmediateRequired, 1}}},          // only BEQ takes one
        {L"nop: nop", {0}, {{E::EndOfLineRequired, 1}}},  // a mnemonic is no label
        // The editor holds instructions only; its data are in the grid.
        {L"nop\ndata: 5", {0, 0}, {{E::InstructionRequired, 2}}},
        // Numbers past 32 bits no longer wrap into range.
        {L"add $4294967297, $1, $2", {0}, {{E::RegisterOutOfBounds, 1}}},
        {L"lw $2, 4294967296($0)", {0}, {{E::OffsetRequired, 1}}},
        {L"addi $1, $0, -4294967297", {0}, {{E::NumberTooLarge, 1}}},
        // In line order, labels' errors included.
        {L"beq $0, $0, x\nadd $1\nx:",
         {0, 0},
         {{E::UnknownLabel, 1}, {E::CommaRequired, 2}, {E::LabelWithoutInstruction, 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        Simulator sim;
        EXPECT_EQ(sim.ParseProgram(c.text), c.errors.empty());
        const Parser& parser = sim.GetParser();
        std::vector<std::uint64_t> words;
        std::wstring line;
        bool faulty = false;
        for (std::uint64_t address = 0;; address += 4) {
            parser.GetProgramLine(address, line, faulty);
            if (line.empty()) break;
            words.push_back(parser.GetInstruction(address));
        }
        EXPECT_EQ(words, c.words);
        std::vector<std::pair<ParseError, int>> errors;
        for (int i = 0; i < parser.ErrorCount(); ++i)
            errors.emplace_back(parser.GetErrorCode(i), parser.GetErrorLine(i));
        EXPECT_EQ(errors, c.errors);
        // Every line of the text is shown, an error line marked as one.
        const auto& shown = parser.ShownLines();
        const auto breaks = std::count(c.text, c.text + std::wcslen(c.text), L'\n');
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(breaks) + 1);
        for (const auto& [error, line] : errors) EXPECT_TRUE(shown.at(line - 1).error) << line;
    }
}

TEST(ProgramTextTest, ParseKeepsCommentsLabelsAndIndentation) {
    Simulator sim;
    sim.ParseProgram(L"  # sum\n\nx:\tadd $1,$2,$3 # Data\n  y: nop");
    std::wstring shown;
    for (const ProgramLine& line : sim.GetParser().ShownLines()) shown += line.text;
    EXPECT_EQ(shown, L"  # sum\n\nx:\tADD $1, $2, $3 # Data\n  y: NOP\n");
}

// A data line typed in the editor is faulty there, and saved as a comment so
// that the file's program does not end early.
TEST(ProgramTextTest, DataLineTypedInTheEditorIsSavedAsAComment) {
    const fs::path file =
        fs::temp_directory_path() / ("tandrel-data-line-" + std::to_string(::getpid()) + ".def");
    Simulator sim;
    EXPECT_FALSE(sim.ParseProgram(L"nop\nData: 5\nadd $1, $2, $3\n"));
    ASSERT_TRUE(sim.SaveProgram(file.wstring()));
    Simulator loaded;
    ASSERT_TRUE(loaded.LoadFile(file.wstring()));
    EXPECT_TRUE(loaded.ParseProgram(L""));
    EXPECT_EQ(loaded.GetParser().GetInstruction(4), 0x00430820u);
    fs::remove(file);
}

std::wstring Repeat(const std::wstring& line, int times) {
    std::wstring text;
    for (int i = 0; i < times; ++i) text += line;
    return text;
}

TEST(ProgramTextTest, WarningsNameTheirLineAndTheProgramStillParses) {
    const struct {
        std::wstring text;  // a definition file's text
        int line;
        const wchar_t* message;
    } cases[] = {
        {L"# two\n# comments\n" + Repeat(L"nop\n", 130) + L"Data:", 131,
         L"only the first 128 instructions are loaded; this line is ignored."},
        {L"addi $6, $0, 65536\nData:", 1,
         L"the immediate 65536 is outside -32768..65535; it becomes 0."},
        {L"nop\nbeq $1, $2, -40000\nData:", 2,
         L"the offset -40000 is outside -32768..65535; it becomes 25536."},
        {L"addi $1, $0, 4294967295\nData:", 1,
         L"the immediate 4294967295 is outside -32768..65535; it becomes -1."},
        {L"add $-, $1, $2\nData:", 1, L"a lone '-' is read as 0."},
        {L"nop\nData:\n5,\n -, 7", 4, L"a lone '-' is read as 0."},
        {L"Data: # the data\n1, 4294967296, 3", 2,
         L"4294967296 does not fit in 32 bits; it is stored as 0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text.substr(0, 60)));
        Lexer lexer;
        Parser parser(lexer);
        EXPECT_TRUE(parser.Parse(c.text));
        ASSERT_FALSE(parser.Warnings().empty());
        EXPECT_EQ(parser.Warnings()[0].line, c.line);
        EXPECT_EQ(parser.Warnings()[0].text, c.message);
        const auto& shown = parser.ShownLines();
        if (static_cast<std::size_t>(c.line) <= shown.size()) {
            EXPECT_TRUE(shown[c.line - 1].warning);
            EXPECT_FALSE(shown[c.line - 1].error);
        }
    }
}

// The example files and the fuzzers' seed files parse to the words, kinds,
// data and error counts they always gave: the fingerprints (FNV-1a over those,
// file after file in name order) were taken before comments and labels existed.
TEST(ProgramTextTest, EarlierDefinitionFilesReadAsBefore) {
    const fs::path examples(TANDREL_EXAMPLES_DIR);
    const std::pair<fs::path, std::uint64_t> folders[] = {
        {examples, 0x5a0afb5101e13844},
        {examples / ".." / "fuzz" / "corpus" / "deffile", 0x5762c0ac4029396f},
    };
    for (const auto& [folder, fingerprint] : folders) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".def") files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        std::uint64_t hash = 1469598103934665603u;
        auto mix = [&hash](std::uint64_t value) {
            for (int byte = 0; byte < 8; ++byte) {
                hash ^= (value >> (8 * byte)) & 0xFF;
                hash *= 1099511628211u;
            }
        };
        for (const fs::path& file : files) {
            Simulator sim;
            ASSERT_TRUE(sim.LoadFile(file.wstring())) << file;
            sim.ParseProgram(L"");
            const Parser& parser = sim.GetParser();
            for (std::uint64_t address = 0; address < 512; address += 4) {
                mix(parser.GetInstruction(address));
                mix(static_cast<std::uint64_t>(parser.GetInstructionKind(address)));
            }
            for (std::uint64_t index = 0; index < 512; ++index) mix(parser.GetData(index));
            mix(static_cast<std::uint64_t>(parser.ErrorCount()));
        }
        EXPECT_EQ(hash, fingerprint) << folder << ", " << files.size() << " files";
    }
}

}  // namespace
}  // namespace tandrel
