#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "program/Lexer.h"
#include "program/Parser.h"

namespace tandrel {
namespace {

using Token = std::pair<TokenKind, std::int32_t>;  // value checked for Number only

// Every token of `text`, up to and including the first EndOfText.
std::vector<Token> Lex(const std::wstring& text) {
    Lexer lexer;
    lexer.SetText(text);
    lexer.Advance();
    std::vector<Token> tokens;
    std::int32_t value = 0;
    TokenKind kind;
    do {
        kind = lexer.NextToken(value);
        tokens.emplace_back(kind, kind == TokenKind::Number ? value : 0);
    } while (kind != TokenKind::EndOfText && tokens.size() < 100);
    return tokens;
}

constexpr auto kEnd = Token{TokenKind::EndOfText, 0};
constexpr auto kLine = Token{TokenKind::EndOfLine, 0};
constexpr auto kBad = Token{TokenKind::Invalid, 0};
constexpr auto kName = Token{TokenKind::Name, 0};
constexpr auto kDollar = Token{TokenKind::Dollar, 0};
constexpr auto kComma = Token{TokenKind::Comma, 0};
Token Num(std::int32_t v) {
    return {TokenKind::Number, v};
}
Token Key(TokenKind kind) {
    return {kind, 0};
}

TEST(LexerTest, CutsTextIntoTokens) {
    const struct {
        std::wstring text;
        std::vector<Token> tokens;
    } cases[] = {
        {L"", {kEnd}},
        {L"ADD $3,$1,$2",
         {Key(TokenKind::ADD), kDollar, Num(3), kComma, kDollar, Num(1), kComma, kDollar, Num(2),
          kEnd}},
        {L"add$3", {Key(TokenKind::ADD), kDollar, Num(3), kEnd}},
        {L"Nop NOP nop Data DATA sLt",
         {Key(TokenKind::NOP), Key(TokenKind::NOP), Key(TokenKind::NOP), Key(TokenKind::Data),
          Key(TokenKind::Data), Key(TokenKind::SLT), kEnd}},
        {L"lw sw addi beq sub and or",
         {Key(TokenKind::LW), Key(TokenKind::SW), Key(TokenKind::ADDI), Key(TokenKind::BEQ),
          Key(TokenKind::SUB), Key(TokenKind::AND), Key(TokenKind::OR), kEnd}},
        // A word is one run of letters, digits and '_'; it is a name unless it
        // is a keyword. '#' hides the rest of its line.
        {L"addi add1 addix _a", {Key(TokenKind::ADDI), kName, kName, kName, kEnd}},
        {L"0x10", {Num(0), kName, kEnd}},
        {L"( ) : ; # , $\n,",
         {Key(TokenKind::LeftParen), Key(TokenKind::RightParen), Key(TokenKind::Colon), kBad, kLine,
          kComma, kEnd}},
        // 32-bit wrapping: 2^32 + 10 is 10.
        {L"4294967296 4294967295 2147483648 4294967306",
         {Num(0), Num(-1), Num(INT32_MIN), Num(10), kEnd}},
        {L"-0 --5 - -x", {Num(0), Num(0), Num(-5), Num(0), Num(0), kName, kEnd}},
        {std::wstring(1000, L'0') + L"7", {Num(7), kEnd}},
        {L"nop\n\nnop\n", {Key(TokenKind::NOP), kLine, kLine, Key(TokenKind::NOP), kLine, kEnd}},
        {L" \t\r\f\v nop \r\n", {Key(TokenKind::NOP), kLine, kEnd}},
        // Outside 7-bit ASCII, and NUL, every character is Invalid on its own.
        {std::wstring(L"\0nop", 4), {kBad, Key(TokenKind::NOP), kEnd}},
        {L"\u00e9nop n\u00f6p", {kBad, Key(TokenKind::NOP), kName, kBad, kName, kEnd}},
        {std::wstring{L'n', static_cast<wchar_t>(-1), L'\U0001F600', L'1'},
         {kName, kBad, kBad, Num(1), kEnd}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Lex(c.text), c.tokens) << std::string(c.text.begin(), c.text.end());
    }
}

// The last line after each EndOfLine, and after EndOfText.
std::vector<std::wstring> LastLines(const std::wstring& text) {
    Lexer lexer;
    lexer.SetText(text);
    lexer.Advance();
    std::vector<std::wstring> lines;
    std::int32_t value = 0;
    for (TokenKind kind = TokenKind::Invalid; kind != TokenKind::EndOfText;) {
        kind = lexer.NextToken(value);
        if (kind == TokenKind::EndOfLine || kind == TokenKind::EndOfText) {
            lines.push_back(lexer.LastLine());
        }
    }
    return lines;
}

TEST(LexerTest, KeepsTheTextOfTheLastLine) {
    const struct {
        std::wstring text;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"nop\r\n  add\r\n", {L"nop\r\n", L"  add\r\n", L"  add\r\n"}},
        {L"\t nop\nlast one", {L"\t nop\n", L"last one"}},
        {L"a\n\n", {L"a\n", L"\n", L"\n"}},
        {L"caf\u00e9 \u20ac\n", {L"caf? ?\n", L"caf? ?\n"}},
    };
    for (const auto& c : cases) EXPECT_EQ(LastLines(c.text), c.lines);
}

class LexerFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tandrel-lexer-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::wstring Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).wstring();
    }

    // Constructs a lexer on `name` and returns what it printed.
    static std::string Open(const std::wstring& name, bool& good) {
        ::testing::internal::CaptureStdout();
        Lexer lexer(name);
        good = lexer.IsGood();
        return ::testing::internal::GetCapturedStdout();
    }

    std::filesystem::path dir;
};

TEST_F(LexerFileTest, ReportsFilesItCannotOpen) {
    const std::wstring names[] = {
        (dir / "missing.def").wstring(),
        dir.wstring(),                // a directory
        L"/dev/zero",                 // a device, which would never end
        std::wstring(L"\xD800.def"),  // cannot be converted to a file name
        Write("a.def", "nop") + std::wstring(1, L'\0') + L"x",
    };
    for (const auto& name : names) {
        bool good = true;
        EXPECT_EQ(Open(name, good), "File Error\n");
        EXPECT_FALSE(good);
    }
    // An empty file opens, so it is not reported, but there is nothing to read.
    bool good = true;
    EXPECT_EQ(Open(Write("empty.def", ""), good), "");
    EXPECT_FALSE(good);
}

TEST_F(LexerFileTest, LoadedFileIsParsedByAnEmptyText) {
    // Bytes above 127 read as '?'; a last line without a line break is kept.
    Lexer lexer(Write("prog.def", std::string("nop\r\n\xC3\xA9\0;\nDATA:\n7", 17)));
    ASSERT_TRUE(lexer.IsGood());
    Parser parser(lexer);
    EXPECT_TRUE(parser.LoadText());
    EXPECT_EQ(parser.ProgramText(), std::wstring(L"nop\r\n??\0;\nDATA:\n7", 17));
    EXPECT_FALSE(parser.Parse(L""));
    EXPECT_EQ(parser.GetInstructionKind(0), InstructionKind::NOP);
    std::wstring line;
    bool error = false;
    parser.GetProgramLine(4, line, error);
    EXPECT_EQ(line, std::wstring(L"??\0;\n", 5));
    EXPECT_TRUE(error);
    EXPECT_EQ(parser.GetData(0), 7u);
}

TEST_F(LexerFileTest, LoadTextStopsAtTheSizeLimit) {
    const auto path = dir / "huge.def";
    std::ofstream(path, std::ios::binary) << "nop\n";
    std::filesystem::resize_file(path, Lexer::kMaxFileBytes + (1u << 20));
    Lexer lexer(path.wstring());
    std::wstring text;
    lexer.LoadText(text);
    EXPECT_EQ(text.size(), Lexer::kMaxFileBytes);
    EXPECT_EQ(text.substr(0, 4), L"nop\n");
}

}  // namespace
}  // namespace tandrel
