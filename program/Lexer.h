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

    // The next token; `value` is written only for a Number.
    TokenKind NextToken(std::int32_t& value);

    // The full text of the most recently finished line, with its line break
    // when it had one.
    const std::wstring& LastLine() const { return lastLine; }

    // A definition file is a few kilobytes; reading stops here so that a huge
    // file or a device cannot exhaust memory or never end.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;

  private:
    void FinishLine();
    TokenKind ReadNumber(std::int32_t& value);
    TokenKind ReadWord();

    bool end = true;
    std::size_t position = 0;
    std::wstring text;
    std::ifstream file;
    char current = 0;
    std::size_t lineStart = 0;  // where the line being read begins in the text
    std::wstring lastLine;
    std::map<std::string, TokenKind> keywords;
    std::size_t longestKeyword = 0;
};

}  // namespace tandrel
