#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>

#include "program/InstructionSet.h"

namespace tandrel {

// The tokens of program text. The mnemonic codes are the numbers of
// InstructionKind, so a mnemonic token is also the kind of the instruction it
// starts.
enum class TokenKind : int {
    Invalid = 0,
    LW = 1,
    SW = 2,
    ADDI = 3,
    BEQ = 4,
    ADD = 5,
    SUB = 6,
    SLT = 7,
    AND = 8,
    OR = 9,
    NOP = 10,
    Number = 11,
    Colon = 12,
    Dollar = 13,
    Comma = 14,
    LeftParen = 15,
    RightParen = 16,
    EndOfText = 17,
    EndOfLine = 18,
    Data = 19,
    Name = 20,  // a word that is no keyword: a label
};

// Cuts program text into tokens and keeps the source text of the line it is
// in and of the line it finished last, so that a faulty line can be shown
// exactly as typed. It also owns the input stream of a definition file.
//
// Program text is 7-bit ASCII: every character above 127, typed or read from
// a file, is read as '?' (an Invalid token) and appears as '?' in the line
// texts.
class Lexer {
  public:
    // With a non-empty name, opens that file; when it cannot be opened (or is
    // not a regular file) prints "File Error" on standard output.
    explicit Lexer(const std::wstring& fileName = std::wstring());

    Lexer(const Lexer&) = delete;
    Lexer& operator=(const Lexer&) = delete;

    // True while the file stream is neither failed nor bad: false after a
    // failed open and for an empty file.
    bool IsGood() const;

    // Reads the whole file (at most kMaxFileBytes) into the text and into
    // `out`, and restarts reading at its first character.
    void LoadText(std::wstring& out);

    // Replaces the text and restarts reading at its first character.
    void SetText(const std::wstring& text);

    // Takes the next character of the text as the lookahead.
    void Advance();

    // The next token; `value` is written only for a Number. A '#' starts a
    // comment that runs to the end of its line and yields no token.
    TokenKind NextToken(std::int32_t& value);

    // About the token NextToken returned last: the line it stands on
    // (counted from 1), and its text as typed (for a Name or a Number).
    int TokenLine() const { return tokenLine; }
    std::wstring TokenText() const;
    // Where the last token starts in its line (0 for the first character).
    std::size_t TokenColumn() const { return tokenColumn; }
    // For a Number: whether it fits in 32 bits (-2147483648 to 4294967295),
    // and whether it was a '-' without digits, which reads as 0.
    bool NumberFits() const { return numberFits; }
    // The number as typed, when it fits in 32 bits.
    std::int64_t NumberValue() const { return numberValue; }
    bool LoneMinus() const { return loneMinus; }

    // Where the comment of the last finished line starts in LastLine(), or
    // npos when it has none.
    std::size_t LastLineComment() const { return lastComment; }
    // How many lines have been finished: the count of LastLine's line.
    int FinishedLines() const { return finishedLines; }

    // The full text of the most recently finished line, with its line break
    // when it had one.
    const std::wstring& LastLine() const { return lastLine; }

    // A definition file is a few kilobytes; reading stops here so that a huge
    // file or a device cannot exhaust memory or never end.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;

  private:
    void Restart();
    void FinishLine();
    TokenKind ReadNumber(std::int32_t& value);
    TokenKind ReadWord();

    bool end = true;
    std::size_t position = 0;
    std::wstring text;
    std::ifstream file;
    char current = 0;
    std::size_t lineStart = 0;                      // where the line being read begins in the text
    std::size_t commentStart = std::wstring::npos;  // '#' of the line being read
    std::wstring lastLine;
    std::size_t lastComment = std::wstring::npos;
    int line = 1;  // of the next character
    int finishedLines = 0;
    int tokenLine = 1;
    std::size_t tokenStart = 0;  // the last token's characters in the text
    std::size_t tokenEnd = 0;
    std::size_t tokenColumn = 0;
    bool numberFits = true;
    std::int64_t numberValue = 0;
    bool loneMinus = false;
    std::map<std::string, TokenKind> keywords;
    std::size_t longestKeyword = 0;
};

}  // namespace tandrel
