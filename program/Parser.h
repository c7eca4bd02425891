#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "program/InstructionSet.h"
#include "program/Lexer.h"

namespace tandrel {

// The errors a parse can report, with the numbers the message list uses.
// Unknown, InstructionLabelRequired and ColonRequired are never recorded;
// Unknown is what a sequence number without an error reads as.
enum class ParseError : int {
    Unknown = 0,
    InstructionRequired = 1,
    DollarRequired = 2,
    RegisterNumberRequired = 3,
    RegisterOutOfBounds = 4,
    CommaRequired = 5,
    OffsetRequired = 6,
    LeftParenRequired = 7,
    RightParenRequired = 8,
    ImmediateRequired = 9,
    EndOfLineRequired = 10,
    InstructionLabelRequired = 11,
    DataLabelRequired = 12,
    ColonRequired = 13,
};

// The fixed message of an error code.
const wchar_t* ParseErrorMessage(ParseError error);

// What the editor shows for one instruction address: the canonical text of a
// correct line, or the line exactly as typed (with its line break) when it
// is faulty.
struct ProgramLine {
    std::wstring text;
    bool error = false;
};

// Turns program text into instruction words, kinds and line texts by
// address, the initial data words, and the errors found. A faulty line is
// recorded with its own text and keeps its address; parsing always goes on
// to the end of the text.
class Parser {
  public:
    // The parser reads tokens from `lexer`, which must outlive it.
    explicit Parser(Lexer& lexer);

    // Makes the lexer's whole file the program text. Always succeeds.
    bool LoadText();

    // Parses `programText`, or, when it is empty, whatever the lexer has left
    // of its current text (a loaded file). True when there was no error.
    bool Parse(const std::wstring& programText);

    // Queries by byte address (0, 4, 8, ...); an address without an
    // instruction gives 0, None, or an empty correct line.
    std::uint64_t GetInstruction(std::uint64_t address) const;
    InstructionKind GetInstructionKind(std::uint64_t address) const;
    void GetProgramLine(std::uint64_t address, std::wstring& text, bool& error) const;

    // Initial data words by index; an index never written reads as 0.
    std::uint64_t GetData(std::uint64_t index) const;
    void SetData(std::uint64_t index, std::uint64_t value);
    // The word's low 32 bits in unsigned decimal followed by ", ", as a
    // definition file holds it.
    void FormatData(std::uint64_t index, std::wstring& text) const;

    // The errors of the last parse in the order found, numbered from 0. A
    // number without an error gives Unknown and an empty message.
    int ErrorCount() const { return static_cast<int>(errors.size()); }
    ParseError GetErrorCode(int sequence) const;
    void GetErrorMessage(int sequence, std::wstring& text) const;

    // The last non-empty text given to Parse, or the text of the loaded file.
    const std::wstring& ProgramText() const { return programText; }

  private:
    // What one instruction address holds.
    struct Slot {
        std::uint64_t word = 0;
        InstructionKind kind = InstructionKind::None;
        ProgramLine line;
    };

    void ReadToken();
    void RecordError(ParseError error);
    void ParseLine();
    void ParseInstruction(InstructionKind kind);
    void ReadRegister(std::uint32_t& reg);
    void Expect(TokenKind kind, ParseError error);
    void ReadImmediate(std::int32_t& immediate);
    void ReadOffset(std::int32_t& offset);
    void ParseDataSection();
    const Slot* SlotAt(std::uint64_t address) const;

    Lexer* lexer;
    int lineErrors = 0;
    TokenKind token = TokenKind::Invalid;
    std::int32_t value = 0;
    std::vector<Slot> slots;  // slot n holds address 4n
    std::map<std::uint64_t, std::uint64_t> data;
    std::wstring programText;
    std::vector<ParseError> errors;
};

}  // namespace tandrel
