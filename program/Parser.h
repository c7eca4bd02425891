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
    UnknownLabel = 14,
    LabelDefinedTwice = 15,
    LabelWithoutInstruction = 16,
    NumberTooLarge = 17,
};

// The fixed message of an error code.
const wchar_t* ParseErrorMessage(ParseError error);

// An instruction word written out as a correct line reads ("ADDI $1, $0, 10",
// no line break), with the immediate as the machine takes it: 16 bits, sign
// extended. Empty for a word that is none of the ten instructions.
std::wstring InstructionText(std::uint64_t word);

class Parser;

// The summary the messages box and tandrel-cli check start with. It says
// "highlighted above" only of errors that belong to a line.
std::wstring ParseSummary(const Parser& parser);

// A message as it is listed: "Line 3: ',' is required.", or the bare
// message when it belongs to no line (line 0).
std::wstring MessageLine(int line, const std::wstring& message);

// What the editor shows for one line: the canonical text of a correct line
// (with its labels and its comment), or the line exactly as typed (with its
// line break) when it is faulty. A warning does not stop the program from
// running, but the line does not do all that it seems to.
struct ProgramLine {
    std::wstring text;
    bool error = false;
    bool warning = false;
};

// Something the student should know about a program that still runs.
struct ParseWarning {
    int line = 0;  // counted from 1
    std::wstring text;
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

    // Parses the editor's instruction text, whose initial data come from
    // `data` (index 0 upwards) instead of a data section. Every line of it is
    // an instruction line, so one that starts with the data keyword is faulty.
    bool ParseInstructions(const std::wstring& instructions,
                           const std::vector<std::uint64_t>& data);

    // The instruction section line by line, as the editor shows it after a
    // parse and a definition file keeps it: blank, comment and label lines
    // included, so line n of the text is entry n - 1. At most kMaxShownLines.
    const std::vector<ProgramLine>& ShownLines() const { return shown; }
    static constexpr std::size_t kMaxShownLines = 1000;

    // Queries by byte address (0, 4, 8, ...); an address without an
    // instruction gives 0, None, or an empty correct line. A correct line's
    // text starts with the labels that name its address.
    std::uint64_t GetInstruction(std::uint64_t address) const;
    InstructionKind GetInstructionKind(std::uint64_t address) const;
    void GetProgramLine(std::uint64_t address, std::wstring& text, bool& error) const;

    // Initial data words by index; an index never written reads as 0.
    std::uint64_t GetData(std::uint64_t index) const;
    void SetData(std::uint64_t index, std::uint64_t value);
    // The word's low 32 bits in unsigned decimal followed by ", ", as a
    // definition file holds it.
    void FormatData(std::uint64_t index, std::wstring& text) const;

    // The errors of the last parse, numbered from 0. A
    // number without an error gives Unknown and an empty message.
    int ErrorCount() const { return static_cast<int>(errors.size()); }
    ParseError GetErrorCode(int sequence) const;
    void GetErrorMessage(int sequence, std::wstring& text) const;
    // The line (from 1) an error belongs to; 0 for none ("'Data' label is
    // required."). Errors are in line order, that one last.
    int GetErrorLine(int sequence) const;

    // Warnings in line order; at most kMaxWarnings are kept.
    const std::vector<ParseWarning>& Warnings() const { return warnings; }
    static constexpr std::size_t kMaxWarnings = 500;

    // The last non-empty text given to Parse, or the text of the loaded file.
    const std::wstring& ProgramText() const { return programText; }

  private:
    // What one instruction address holds.
    struct Slot {
        std::uint64_t word = 0;
        InstructionKind kind = InstructionKind::None;
        ProgramLine line;
    };
    struct RecordedError {
        ParseError error;
        int line;
    };
    struct Label {
        std::wstring name;
        std::size_t slot;  // the slot of the instruction it names
        int line;
    };
    // A BEQ whose offset is a label, resolved once every label is known.
    struct LabelUse {
        std::wstring name;
        std::size_t slot;
        std::size_t shownLine;
        int line;
        std::wstring typed;
    };
    // What the line being parsed has found so far.
    struct LineState {
        int number = 0;
        bool labelled = false;
        bool duplicateLabel = false;
        std::size_t bodyColumn = 0;  // where the instruction starts
        bool slotPushed = false;
        std::wstring body;  // canonical instruction text, no line break
        std::wstring labelUse;
        std::vector<std::wstring> warnings;
    };

    bool ParseText(const std::wstring& text, bool dataSection);
    void ReadToken();
    void RecordError(ParseError error);
    void Warn(std::wstring text);
    void AddWarning(int line, std::wstring text);
    void ParseLine(bool dataSection);
    void FinishLine();
    void LeaveOutTheRest(bool dataSection);
    void ParseInstruction(InstructionKind kind);
    void ReadRegister(std::uint32_t& reg);
    void Expect(TokenKind kind, ParseError error);
    void ReadImmediate(InstructionKind kind, std::int32_t& immediate);
    void ReadOffset(std::int32_t& offset);
    void ResolveLabels();
    void MarkFaulty(std::size_t slot, std::size_t shownLine, const std::wstring& typed, int line);
    void ParseDataSection();
    const Slot* SlotAt(std::uint64_t address) const;

    Lexer* lexer;
    int lineErrors = 0;
    TokenKind token = TokenKind::Invalid;
    std::int32_t value = 0;
    LineState current;
    std::vector<Slot> slots;  // slot n holds address 4n
    std::vector<ProgramLine> shown;
    std::vector<Label> labels;  // in the order defined
    std::map<std::wstring, std::size_t> labelSlots;
    std::vector<LabelUse> labelUses;
    std::map<std::uint64_t, std::uint64_t> data;
    std::wstring programText;
    std::vector<RecordedError> errors;
    std::vector<ParseWarning> warnings;
};

}  // namespace tandrel
