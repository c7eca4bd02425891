#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "program/Parser.h"

namespace tandrel {
namespace {

struct Parsed {
    explicit Parsed(const std::wstring& text) : parser(lexer) { ok = parser.Parse(text); }

    std::vector<ParseError> Errors() const {
        std::vector<ParseError> codes;
        for (int i = 0; i < parser.ErrorCount(); ++i) codes.push_back(parser.GetErrorCode(i));
        return codes;
    }
    ProgramLine Line(std::uint64_t address) const {
        ProgramLine line;
        parser.GetProgramLine(address, line.text, line.error);
        return line;
    }

    Lexer lexer;
    Parser parser;
    bool ok = false;
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(ParserTest, EncodesEveryInstruction) {
    // Words worked out by hand from the field layout
    // opcode(6) rs(5) rt(5) rd(5) shamt(5) funct(6) / opcode rs rt immediate(16).
    using K = InstructionKind;
    const struct {
        std::wstring line;
        std::uint64_t word;
        K kind;
        std::wstring text;
    } cases[] = {
        {L"ADD $3, $1, $2", 0x00221820, K::ADD, L"ADD $3, $1, $2\n"},
        {L"SUB $3, $1, $2", 0x00221822, K::SUB, L"SUB $3, $1, $2\n"},
        {L"SLT $4, $5, $6", 0x00A6202A, K::SLT, L"SLT $4, $5, $6\n"},
        {L"OR $31, $31, $31", 0x03FFF825, K::OR, L"OR $31, $31, $31\n"},
        {L"and $1,$2,$3", 0x00430824, K::AND, L"AND $1, $2, $3\n"},
        {L"LW $8, 4($9)", 0x8D280004, K::LW, L"LW $8, 4($9)\n"},
        {L"Lw $8,4( $9 )", 0x8D280004, K::LW, L"LW $8, 4($9)\n"},
        {L"SW $8, -4($9)", 0xAD28FFFC, K::SW, L"SW $8, -4($9)\n"},
        {L"sw $8, 16384($9)", 0xAD284000, K::SW, L"SW $8, 16384($9)\n"},
        {L"ADDI $1, $0, -1", 0x2001FFFF, K::ADDI, L"ADDI $1, $0, -1\n"},
        {L"addi $1, $0, 40000", 0x20019C40, K::ADDI, L"ADDI $1, $0, 40000\n"},
        {L"BEQ $1, $2, 3", 0x10410003, K::BEQ, L"BEQ $1, $2, 3\n"},
        {L"  nOp  ", 0, K::NOP, L"NOP\n"},
        // Immediates beyond 16 bits keep to their field (70000 = 0x11170,
        // -70000 = 0x...FFFEEE90); the text shows the number as typed.
        {L"ADDI $1, $0, 70000", 0x20011170, K::ADDI, L"ADDI $1, $0, 70000\n"},
        {L"addi $1, $0, -70000", 0x2001EE90, K::ADDI, L"ADDI $1, $0, -70000\n"},
        {L"beq $31, $31, -2147483648", 0x13FF0000, K::BEQ, L"BEQ $31, $31, -2147483648\n"},
    };
    for (const auto& c : cases) {
        Parsed p(c.line + L"\nDATA:");
        SCOPED_TRACE(Narrow(c.line));
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.parser.GetInstruction(0), c.word);
        EXPECT_EQ(p.parser.GetInstructionKind(0), c.kind);
        EXPECT_EQ(p.Line(0).text, c.text);
        EXPECT_FALSE(p.Line(0).error);
        // Written back from the word, the line reads the same wherever the
        // immediate fits its 16 bits (the list shows what the machine runs).
        bool fits = true;
        for (const wchar_t* beyond : {L"40000", L"70000", L"2147483648"})
            fits &= c.text.find(beyond) == std::wstring::npos;
        if (fits) {
            EXPECT_EQ(InstructionText(c.word) + L"\n", c.text);
        }
    }
    EXPECT_EQ(InstructionText(0x2001EE90), L"ADDI $1, $0, -4464");
    EXPECT_EQ(InstructionText(0xFC000000), L"");  // opcode 63 is no instruction
}

TEST(ParserTest, RecordsOneErrorPerFaultyLine) {
    using E = ParseError;
    const struct {
        std::wstring line;
        ParseError error;
    } cases[] = {
        {L"move $1, $2", E::InstructionRequired},
        {L"5 nop", E::InstructionRequired},
        {L"loop add $1, $1, $1", E::InstructionRequired},
        {L"add 3, $1, $2", E::DollarRequired},
        {L"add $, $1, $2", E::RegisterNumberRequired},
        {L"add $32, $1, $2", E::RegisterOutOfBounds},
        {L"add $-1, $1, $2", E::RegisterOutOfBounds},
        {L"add $40, 7", E::RegisterOutOfBounds},  // the first fault only
        {L"add $3, $1", E::CommaRequired},
        {L"lw $8, ($9)", E::OffsetRequired},
        {L"lw $8, 16385($9)", E::OffsetRequired},
        {L"sw $8, -16385($9)", E::OffsetRequired},
        {L"lw $8, 4 $9", E::LeftParenRequired},
        {L"lw $8, 4($9", E::RightParenRequired},
        {L"addi $1, $2, x", E::ImmediateRequired},
        {L"add $3, $1, $2 x", E::EndOfLineRequired},
        {L"nop 5", E::EndOfLineRequired},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.line));
        Parsed p(L"nop\n" + c.line + L" \r\nnop\nDATA:");
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.Errors(), std::vector<ParseError>{c.error});
        std::wstring message;
        p.parser.GetErrorMessage(0, message);
        EXPECT_EQ(message, ParseErrorMessage(c.error));
        // The faulty line keeps its address and its text as typed; the next
        // line comes after it.
        EXPECT_EQ(p.Line(4).text, c.line + L" \r\n");
        EXPECT_TRUE(p.Line(4).error);
        EXPECT_EQ(p.parser.GetInstruction(4), 0u);
        EXPECT_EQ(p.Line(8).text, L"NOP\n");
    }
}

TEST(ParserTest, MessagesAreTheFixedTexts) {
    const wchar_t* messages[] = {
        L"Unknown Error.",
        L"Instruction is required.",
        L"'$' is required.",
        L"Register number is required.",
        L"Register number was outside allowable bounds (0-31).",
        L"',' is required.",
        L"Offset number is required.",
        L"'(' is required.",
        L"')' is required.",
        L"Immediate number is required.",
        L"End of line required after instruction.",
        L"'Instruction' label is required.",
        L"'Data' label is required.",
        L"':' is required.",
    };
    for (int code = 0; code < 14; ++code) {
        EXPECT_STREQ(ParseErrorMessage(static_cast<ParseError>(code)), messages[code]);
    }
}

TEST(ParserTest, DataKeywordIsRequired) {
    const struct {
        std::wstring text;
        std::vector<ParseError> errors;
    } cases[] = {
        {L"", {ParseError::DataLabelRequired}},
        {L"nop\n", {ParseError::DataLabelRequired}},
        {L"nop\nbad", {ParseError::InstructionRequired, ParseError::DataLabelRequired}},
        {L"nop data:", {ParseError::EndOfLineRequired, ParseError::DataLabelRequired}},
        {L"nop\ndata", {}},  // no ':' means no data, but no error
    };
    for (const auto& c : cases) {
        Parsed p(c.text);
        EXPECT_EQ(p.ok, c.errors.empty()) << Narrow(c.text);
        EXPECT_EQ(p.Errors(), c.errors) << Narrow(c.text);
    }
    std::wstring message = L"x";
    Parsed p(L"nop");
    p.parser.GetErrorMessage(1, message);
    EXPECT_EQ(message, L"");
    p.parser.GetErrorMessage(-1, message);
    EXPECT_EQ(message, L"");
}

TEST(ParserTest, LinesAndAddresses) {
    // Blank lines take no address; CRLF and a missing final line break are fine.
    Parsed p(L"add $3, $1, $2\r\n\r\n \t\r\nNop\r\n  bad line\r\nnop\r\nDATA:\r\n5,\r\n6");
    EXPECT_EQ(p.Errors(), std::vector<ParseError>{ParseError::InstructionRequired});
    EXPECT_EQ(p.Line(0).text, L"ADD $3, $1, $2\n");
    EXPECT_EQ(p.Line(4).text, L"NOP\n");
    EXPECT_EQ(p.Line(8).text, L"  bad line\r\n");
    EXPECT_EQ(p.Line(12).text, L"NOP\n");
    EXPECT_EQ(p.Line(16).text, L"");
    EXPECT_EQ(p.parser.GetData(0), 5u);
    EXPECT_EQ(p.parser.GetData(1), 6u);

    Parsed last(L"nop\nbad");
    EXPECT_EQ(last.Line(4).text, L"bad");
    EXPECT_TRUE(last.Line(4).error);
    EXPECT_EQ(last.parser.GetInstruction(2), 0u);  // not an instruction address
}

TEST(ParserTest, DataSection) {
    const struct {
        std::wstring data;
        std::map<std::uint64_t, std::uint64_t> words;
    } cases[] = {
        {L"5, 6, 7", {{0, 5}, {1, 6}, {2, 7}}},
        {L"5, , 7", {{0, 5}, {1, 0}, {2, 7}}},
        {L"5 6, 7", {{0, 5}, {1, 0}, {2, 7}}},  // the 6 is taken as the separator
        {L"5\n6\r\n7\n", {{0, 5}, {1, 6}, {2, 7}}},
        {L"-1, -2147483648, 2147483648", {{0, 4294967295u}, {1, 2147483648u}, {2, 2147483648u}}},
        {L"nop 5 $ ( ) : x DATA, 9", {{0, 5}, {1, 0}, {2, 9}}},
        {L"", {{0, 0}}},
    };
    for (const auto& c : cases) {
        Parsed p(L"nop\nDATA:" + c.data);
        EXPECT_TRUE(p.ok);
        for (const auto& [index, word] : c.words) {
            EXPECT_EQ(p.parser.GetData(index), word) << Narrow(c.data) << " at " << index;
        }
    }
    // Everything from the keyword to the first ':' is skipped.
    Parsed skipped(L"nop\ndata 1, 2\nadd $1\n3:4");
    EXPECT_TRUE(skipped.ok);
    EXPECT_EQ(skipped.parser.GetInstructionKind(4), InstructionKind::None);
    EXPECT_EQ(skipped.parser.GetData(0), 4u);
}

TEST(ParserTest, FullProgramAsTheEditorHandsItOver) {
    // More than 128 lines are all parsed and counted.
    std::wstring text;
    for (int i = 0; i < 200; ++i) text += L"addi $1, $1, " + std::to_wstring(i) + L"\n";
    for (int i = 0; i < 10; ++i) text += L"bad\n";
    text += L"\nDATA:\n";
    for (int i = 0; i < 512; ++i) text += std::to_wstring(3u * i) + L", ";
    Parsed p(text);
    EXPECT_EQ(p.parser.ErrorCount(), 10);
    EXPECT_EQ(p.parser.GetInstruction(508), 0x2021007Fu);  // addi $1, $1, 127
    EXPECT_EQ(p.parser.GetInstruction(4 * 199), 0x202100C7u);
    EXPECT_TRUE(p.Line(4 * 209).error);
    for (std::uint64_t i = 0; i < 512; ++i) EXPECT_EQ(p.parser.GetData(i), 3 * i);

    // A new parse starts afresh; an empty text continues the spent lexer.
    EXPECT_TRUE(p.parser.Parse(L"nop\nDATA:"));
    EXPECT_EQ(p.parser.GetInstructionKind(4), InstructionKind::None);
    EXPECT_EQ(p.parser.GetData(1), 0u);
    EXPECT_FALSE(p.parser.Parse(L""));
    EXPECT_EQ(p.Errors(), std::vector<ParseError>{ParseError::DataLabelRequired});
    EXPECT_EQ(p.Line(0).text, L"");
}

TEST(ParserTest, SurvivesHostileText) {
    const std::wstring mega(1u << 20, L'x');
    const std::wstring spaces(1u << 20, L' ');
    std::wstring manyLines;
    for (int i = 0; i < 100000; ++i) manyLines += L"nop\n";

    Parsed longWord(L"nop\n" + mega + L"\nDATA:");
    EXPECT_EQ(longWord.Errors(), std::vector<ParseError>{ParseError::InstructionRequired});
    EXPECT_EQ(longWord.Line(4).text.size(), mega.size() + 1);

    Parsed longLine(L"add $1, $2, $3" + spaces + L"\nDATA:");
    EXPECT_TRUE(longLine.ok);

    // Only the first 1000 lines are read; the data part is still found.
    Parsed lines(manyLines + L"DATA: 7");
    EXPECT_TRUE(lines.ok);
    EXPECT_EQ(lines.parser.GetInstructionKind(4 * 999), InstructionKind::NOP);
    EXPECT_EQ(lines.parser.GetInstructionKind(4 * 1000), InstructionKind::None);
    EXPECT_EQ(lines.parser.GetData(0), 7u);
    ASSERT_FALSE(lines.parser.Warnings().empty());
    EXPECT_EQ(lines.parser.Warnings().back().line, 1001);

    // A million digits are too many for an immediate; as a data word they
    // wrap, with a warning that quotes only the start of the number.
    Parsed longNumber(L"addi $1, $0, " + std::wstring(1000000, L'1') + L"\nDATA: " +
                      std::wstring(1000000, L'9'));
    EXPECT_EQ(longNumber.Errors(), std::vector<ParseError>{ParseError::NumberTooLarge});
    ASSERT_EQ(longNumber.parser.Warnings().size(), 1u);
    EXPECT_LT(longNumber.parser.Warnings()[0].text.size(), 100u);

    const std::wstring nasty[] = {
        std::wstring(10000, L'('),
        std::wstring(10000, L')') + L"lw $1, 0((((((($2",
        std::wstring(L"\0\0\0nop\0\n\0", 9) + L"DATA:\0" + std::wstring(1, L'\0'),
        std::wstring{static_cast<wchar_t>(0xFF), static_cast<wchar_t>(-5), L'\n', L'\xD800'},
    };
    for (const auto& text : nasty) {
        Parsed p(text);
        EXPECT_FALSE(p.ok);
        EXPECT_GE(p.parser.ErrorCount(), 1);
    }
}

}  // namespace
}  // namespace tandrel
