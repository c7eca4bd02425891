// Program text from characters to words: the parser of the editor text and
// of definition files, comments, labels, warnings, and files that must still
// read as they always have. (Reading the bytes of a file: DefinitionFileTest.)

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/Simulator.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;
using E = ParseError;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The editor's text: each case's words by address (a faulty line holds 0),
// its errors with their lines and, where given, the lines shown.
TEST(ProgramTextTest, TextGivesTheseWordsErrorsAndLines) {
    const struct {
        const wchar_t* text;
        std::vector<std::uint64_t> words;
        std::vector<std::pair<ParseError, int>> errors;
        const wchar_t* shown = nullptr;
    } cases[] = {
        // Words worked out by hand from the field layout
        // opcode(6) rs(5) rt(5) rd(5) shamt(5) funct(6) / opcode rs rt immediate(16).
        {L"ADD $3, $1, $2\nSUB $3, $1, $2\nSLT $4, $5, $6\nOR $31, $31, $31\nand $1,$2,$3",
         {0x00221820, 0x00221822, 0x00A6202A, 0x03FFF825, 0x00430824},
         {},
         L"ADD $3, $1, $2\nSUB $3, $1, $2\nSLT $4, $5, $6\nOR $31, $31, $31\nAND $1, $2, $3\n"},
        {L"Lw $8,4( $9 )\nSW $8, -4($9)\nsw $8, 16384($9)\n  nOp  ",
         {0x8D280004, 0xAD28FFFC, 0xAD284000, 0},
         {},
         L"LW $8, 4($9)\nSW $8, -4($9)\nSW $8, 16384($9)\nNOP\n"},
        // Immediates beyond 16 bits keep to their field; the text shows the
        // number as typed.
        {L"ADDI $1, $0, -1\naddi $1, $0, 40000\naddi $1, $0, -70000\nBEQ $1, $2, 3",
         {0x2001FFFF, 0x20019C40, 0x2001EE90, 0x10410003},
         {},
         L"ADDI $1, $0, -1\nADDI $1, $0, 40000\nADDI $1, $0, -70000\nBEQ $1, $2, 3\n"},
        // One error per faulty line, the first fault only; the line keeps its
        // address and its text as typed.
        {L"nop\nmove $1, $2\n5 nop\nadd 3, $1, $2\nadd $, $1, $2\nadd $-1, $1, $2 \r\nnop",
         {0, 0, 0, 0, 0, 0, 0},
         {{E::InstructionRequired, 2},
          {E::InstructionRequired, 3},
          {E::DollarRequired, 4},
          {E::RegisterNumberRequired, 5},
          {E::RegisterOutOfBounds, 6}},
         L"NOP\nmove $1, $2\n5 nop\nadd 3, $1, $2\nadd $, $1, $2\nadd $-1, $1, $2 \r\nNOP\n"},
        {L"add $40, 7\nadd $3, $1\nlw $8, ($9)\nlw $8, 16385($9)\nsw $8, -16385($9)",
         {0, 0, 0, 0, 0},
         {{E::RegisterOutOfBounds, 1},
          {E::CommaRequired, 2},
          {E::OffsetRequired, 3},
          {E::OffsetRequired, 4},
          {E::OffsetRequired, 5}}},
        {L"lw $8, 4 $9\nlw $8, 4($9\naddi $1, $2, x\nadd $3, $1, $2 x\nnop 5",
         {0, 0, 0, 0, 0},
         {{E::LeftParenRequired, 1},
          {E::RightParenRequired, 2},
          {E::ImmediateRequired, 3},
          {E::EndOfLineRequired, 4},
          {E::EndOfLineRequired, 5}}},
        // Comment, label and blank lines take no address; "Data" in a comment
        // neither ends the program nor goes missing.
        {L"# Data: 1, 2\n  # sum\n\nadd $1, $2, $3 # Data\nData_x:\tnop #",
         {0x00430820, 0},
         {},
         L"ADD $1, $2, $3\nData_x: NOP\n"},
        // Offsets count from the instruction after the BEQ, backwards and on.
        {L"top: nop\nbeq $1, $2, top\nbeq $1, $2, end\nnop\nend:\n\n  nop",
         {0, 0x1041FFFE, 0x10410001, 0, 0},
         {}},
        // Names are case-sensitive: Loop and loop are two labels.
        {L"Loop:\nloop: beq $0, $0, Loop # to itself", {0x1000FFFF}, {}},
        {L"a: b: nop\nbeq $0, $0, b", {0, 0x1000FFFE}, {}},
        {L"beq $1, $2, Top\ntop: nop", {0, 0}, {{E::UnknownLabel, 1}}},
        {L"a: nop\n\na: nop", {0, 0}, {{E::LabelDefinedTwice, 3}}},
        {L"top: addi $1, $0, top", {0}, {{E::ImmediateRequired, 1}}},  // only BEQ takes one
        {L"nop: nop", {0}, {{E::EndOfLineRequired, 1}}},                // a mnemonic is no label
        // The editor holds instructions only; its data are in the grid.
        {L"nop\ndata: 5", {0, 0}, {{E::InstructionRequired, 2}}},
        // Numbers past 32 bits no longer wrap into range.
        {L"add $4294967297, $1, $2\nlw $2, 4294967296($0)\naddi $1, $0, -4294967297",
         {0, 0, 0},
         {{E::RegisterOutOfBounds, 1}, {E::OffsetRequired, 2}, {E::NumberTooLarge, 3}}},
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
        std::wstring lines, line;
        bool faulty = false;
        for (std::uint64_t address = 0;; address += 4) {
            parser.GetProgramLine(address, line, faulty);
            if (line.empty()) break;
            words.push_back(parser.GetInstruction(address));
            lines += line;
        }
        EXPECT_EQ(words, c.words);
        if (c.shown != nullptr) {
            EXPECT_EQ(lines, c.shown);
        }
        std::vector<std::pair<ParseError, int>> errors;
        for (int i = 0; i < parser.ErrorCount(); ++i)
            errors.emplace_back(parser.GetErrorCode(i), parser.GetErrorLine(i));
        EXPECT_EQ(errors, c.errors);
        // Every line of the text is shown, an error line marked as one.
        const auto& shown = parser.ShownLines();
        const auto breaks = std::count(c.text, c.text + std::wcslen(c.text), L'\n');
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(breaks) + 1);
        for (const auto& [error, at] : errors) EXPECT_TRUE(shown.at(at - 1).error) << at;
    }
    // Written back from a word the list shows what the machine runs.
    EXPECT_EQ(InstructionText(0x2001EE90), L"ADDI $1, $0, -4464");
    EXPECT_EQ(InstructionText(0xAD28FFFC), L"SW $8, -4($9)");
    EXPECT_EQ(InstructionText(0xFC000000), L"");  // opcode 63 is no instruction
    // Comments, labels and indentation stay where they were typed.
    Simulator sim;
    sim.ParseProgram(L"  # sum\n\nx:\tadd $1,$2,$3 # Data\n  y: nop");
    std::wstring shown;
    for (const ProgramLine& line : sim.GetParser().ShownLines()) shown += line.text;
    EXPECT_EQ(shown, L"  # sum\n\nx:\tADD $1, $2, $3 # Data\n  y: NOP\n");
}

struct Parsed {
    explicit Parsed(const std::wstring& text) : parser(lexer) { ok = parser.Parse(text); }
    std::vector<ParseError> Errors() const {
        std::vector<ParseError> codes;
        for (int i = 0; i < parser.ErrorCount(); ++i) codes.push_back(parser.GetErrorCode(i));
        return codes;
    }
    Lexer lexer;
    Parser parser;
    bool ok = false;
};

// A definition file's text: instructions, then "Data:" and the data words.
TEST(ParserTest, DefinitionFileTextAndItsData) {
    const struct {
        std::wstring text;
        std::vector<ParseError> errors;
        std::map<std::uint64_t, std::uint64_t> data;
    } cases[] = {
        {L"", {E::DataLabelRequired}, {}},
        {L"nop\nbad", {E::InstructionRequired, E::DataLabelRequired}, {}},
        {L"nop data:", {E::EndOfLineRequired, E::DataLabelRequired}, {}},
        {L"nop\ndata", {}, {{0, 0}}},  // no ':' means no data, but no error
        {L"nop\nDATA:5, , 7", {}, {{0, 5}, {1, 0}, {2, 7}}},
        {L"nop\nDATA:5 6, 7", {}, {{0, 5}, {1, 0}, {2, 7}}},  // the 6 is taken as the separator
        {L"nop\r\nDATA:\r\n5\n6\r\n7\n", {}, {{0, 5}, {1, 6}, {2, 7}}},
        {L"nop\nDATA:-1, -2147483648, 2147483648", {}, {{0, 4294967295u}, {1, 2147483648u}, {2, 2147483648u}}},
        {L"nop\nDATA:nop 5 $ ( ) : x DATA, 9", {}, {{0, 5}, {1, 0}, {2, 9}}},
        // Everything from the keyword to the first ':' is skipped.
        {L"nop\ndata 1, 2\nadd $1\n3:4", {}, {{0, 4}}},
    };
    for (const auto& c : cases) {
        Parsed p(c.text);
        EXPECT_EQ(p.ok, c.errors.empty()) << Narrow(c.text);
        EXPECT_EQ(p.Errors(), c.errors) << Narrow(c.text);
        for (const auto& [index, word] : c.data)
            EXPECT_EQ(p.parser.GetData(index), word) << Narrow(c.text) << " at " << index;
    }

    // More than 128 lines are parsed and counted; only the first 1000 are read.
    std::wstring text;
    for (int i = 0; i < 200; ++i) text += L"addi $1, $1, " + std::to_wstring(i) + L"\n";
    for (int i = 0; i < 900; ++i) text += L"bad\n";
    Parsed p(text + L"DATA: 7");
    EXPECT_EQ(p.parser.ErrorCount(), 800);
    EXPECT_EQ(p.parser.GetInstruction(4 * 199), 0x202100C7u);
    EXPECT_EQ(p.parser.GetData(0), 7u);
    ASSERT_FALSE(p.parser.Warnings().empty());
    EXPECT_EQ(p.parser.Warnings().back().line, 1001);
    // A new parse starts afresh; an empty text continues the spent lexer.
    EXPECT_TRUE(p.parser.Parse(L"nop\nDATA:"));
    EXPECT_EQ(p.parser.GetInstructionKind(4), InstructionKind::None);
    EXPECT_EQ(p.parser.GetData(0), 0u);
    EXPECT_FALSE(p.parser.Parse(L""));
    EXPECT_EQ(p.Errors(), std::vector<ParseError>{E::DataLabelRequired});

    // A million digits are too many for an immediate; as a data word they
    // wrap, with a warning that quotes only the start of the number.
    Parsed longNumber(L"addi $1, $0, " + std::wstring(1000000, L'1') + L"\nDATA: " +
                      std::wstring(1000000, L'9'));
    EXPECT_EQ(longNumber.Errors(), std::vector<ParseError>{E::NumberTooLarge});
    ASSERT_EQ(longNumber.parser.Warnings().size(), 1u);
    EXPECT_LT(longNumber.parser.Warnings()[0].text.size(), 100u);
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
        {L"nop\nbeq $1, $2, -40000\nData:", 2,
         L"the offset -40000 is outside -32768..65535; it becomes 25536."},
        {L"addi $1, $0, 4294967295\nData:", 1,
         L"the immediate 4294967295 is outside -32768..65535; it becomes -1."},
        {L"nop\nData:\n5,\n -, 7", 4, L"a lone '-' is read as 0."},
        {L"Data: # the data\n1, 4294967296, 3", 2,
         L"4294967296 does not fit in 32 bits; it is stored as 0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text.substr(0, 60)));
        Parsed p(c.text);
        EXPECT_TRUE(p.ok);
        ASSERT_FALSE(p.parser.Warnings().empty());
        EXPECT_EQ(p.parser.Warnings()[0].line, c.line);
        EXPECT_EQ(p.parser.Warnings()[0].text, c.message);
        const auto& shown = p.parser.ShownLines();
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
