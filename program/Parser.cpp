#include "program/Parser.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <set>

namespace tandrel {

namespace {

constexpr std::array<const wchar_t*, 18> kMessages{{
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
    L"Unknown label.",
    L"Label is defined twice.",
    L"Label names no instruction.",
    L"Number does not fit in 32 bits.",
}};

// LW and SW offsets are limited to this distance either side of the base.
constexpr std::int32_t kOffsetLimit = 16384;
// ADDI and BEQ take a signed or an unsigned 16-bit number; beyond that the
// field keeps only the low 16 bits.
constexpr std::int64_t kLowestImmediate = -32768;
constexpr std::int64_t kHighestImmediate = 65535;
// A number too long to quote in full is cut to this many characters.
constexpr std::size_t kQuotedDigits = 24;

static_assert(static_cast<int>(TokenKind::LW) == static_cast<int>(InstructionKind::LW) &&
                  static_cast<int>(TokenKind::NOP) == static_cast<int>(InstructionKind::NOP),
              "mnemonic tokens are instruction kinds");

bool IsMnemonic(TokenKind token) {
    const int code = static_cast<int>(token);
    return code >= kFirstInstructionKind && code <= kLastInstructionKind;
}

// The 16-bit field of an immediate or offset: v for v >= 0, v + 65536 below.
// Masking keeps an immediate beyond 16 bits out of the register and opcode
// fields; for in-range values it changes nothing.
std::uint64_t FieldValue(std::int32_t v) {
    const std::int64_t field = v >= 0 ? std::int64_t{v} : std::int64_t{v} + 65536;
    return static_cast<std::uint64_t>(field) & field::kImmediateMask;
}

// Operands of the instruction being parsed.
struct Operands {
    std::uint32_t rs = 0;
    std::uint32_t rt = 0;
    std::uint32_t rd = 0;
    std::int32_t immediate = 0;  // as typed, also a memory offset
    std::wstring label;          // a BEQ's target when it was given by name
};

std::uint64_t Shifted(std::uint64_t value, int shift) {
    return value << shift;
}

std::uint64_t Encode(const InstructionInfo& info, const Operands& ops) {
    const std::uint64_t common = Shifted(info.opcode, field::kOpcodeShift) |
                                 Shifted(ops.rs, field::kRsShift) |
                                 Shifted(ops.rt, field::kRtShift);
    switch (info.format) {
        case InstructionFormat::Register:
            return common | Shifted(ops.rd, field::kRdShift) | info.funct;
        case InstructionFormat::Immediate:
        case InstructionFormat::Memory:
            return common | FieldValue(ops.immediate);
        case InstructionFormat::None:
            break;
    }
    return 0;
}

// Signed decimal without leading zeros or spaces. std::to_wstring goes through
// the wide printf machinery, which would dominate the time of a whole parse.
void AppendDecimal(std::wstring& text, std::int64_t number) {
    wchar_t digits[24];
    wchar_t* first = std::end(digits);
    // The magnitude is taken unsigned so that the most negative value is safe.
    std::uint64_t magnitude =
        number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    do {
        *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) *--first = L'-';
    text.append(first, std::end(digits));
}

void AppendRegister(std::wstring& text, std::uint32_t number) {
    text += L'$';
    AppendDecimal(text, number);
}

// The text a correct line is shown and saved with, e.g. "LW $8, 4($9)\n".
std::wstring CanonicalText(const InstructionInfo& info, const Operands& ops) {
    std::wstring text;
    text.reserve(32);
    text += info.name;
    switch (info.format) {
        case InstructionFormat::Register:
            text += L' ';
            AppendRegister(text, ops.rd);
            text += L", ";
            AppendRegister(text, ops.rs);
            text += L", ";
            AppendRegister(text, ops.rt);
            break;
        case InstructionFormat::Immediate:
            text += L' ';
            AppendRegister(text, ops.rt);
            text += L", ";
            AppendRegister(text, ops.rs);
            text += L", ";
            if (ops.label.empty()) {
                AppendDecimal(text, ops.immediate);
            } else {
                text += ops.label;
            }
            break;
        case InstructionFormat::Memory:
            text += L' ';
            AppendRegister(text, ops.rt);
            text += L", ";
            AppendDecimal(text, ops.immediate);
            text += L'(';
            AppendRegister(text, ops.rs);
            text += L')';
            break;
        case InstructionFormat::None:
            break;
    }
    return text;
}

std::wstring Quoted(std::wstring number) {
    if (number.size() > kQuotedDigits) number = number.substr(0, kQuotedDigits) + L"...";
    return number;
}

std::wstring Decimal(std::int64_t number) {
    std::wstring text;
    AppendDecimal(text, number);
    return text;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\f' || c == L'\v';
}

// The comment of a line as typed, from '#' to the end without the line break,
// with the blanks before it (or with one blank when there were none).
std::wstring CommentOf(const std::wstring& typed, std::size_t at) {
    if (at >= typed.size()) return std::wstring();
    std::size_t stop = typed.size();
    while (stop > at && (typed[stop - 1] == L'\n' || IsBlank(typed[stop - 1]))) --stop;
    std::size_t from = at;
    while (from > 0 && IsBlank(typed[from - 1])) --from;
    const std::wstring comment = typed.substr(from, stop - from);
    return from == at ? L" " + comment : comment;
}

}  // namespace

std::wstring InstructionText(std::uint64_t word) {
    if (word == 0) return InstructionInfoOf(InstructionKind::NOP).name;
    const auto opcode =
        static_cast<std::uint32_t>((word >> field::kOpcodeShift) & field::kOpcodeMask);
    const auto funct = static_cast<std::uint32_t>(word & field::kFunctMask);
    for (const InstructionInfo& info : kInstructionTable) {
        if (info.format == InstructionFormat::None || info.opcode != opcode) continue;
        if (info.format == InstructionFormat::Register && info.funct != funct) continue;
        Operands ops;
        ops.rs = static_cast<std::uint32_t>((word >> field::kRsShift) & field::kRegisterMask);
        ops.rt = static_cast<std::uint32_t>((word >> field::kRtShift) & field::kRegisterMask);
        ops.rd = static_cast<std::uint32_t>((word >> field::kRdShift) & field::kRegisterMask);
        ops.immediate = static_cast<std::int16_t>(word & field::kImmediateMask);
        return CanonicalText(info, ops);
    }
    return std::wstring();
}

const wchar_t* ParseErrorMessage(ParseError error) {
    const auto code = static_cast<std::size_t>(error);
    return code < kMessages.size() ? kMessages[code] : kMessages[0];
}

std::wstring ParseSummary(const Parser& parser) {
    const int errors = parser.ErrorCount();
    if (errors == 0) return L"Instructions successfully parsed. Your program is now ready to run.";
    std::wstring text = errors == 1 ? std::wstring(L"There was 1 error")
                                    : L"There were " + Decimal(errors) + L" errors";
    text += L" when parsing the instructions.\n";
    int onLines = 0;
    for (int i = 0; i < errors; ++i)
        if (parser.GetErrorLine(i) > 0) ++onLines;
    if (onLines == errors)
        return text + L"These errors are listed below and highlighted above.\n\n";
    if (onLines == 0) return text + L"These errors are listed below.\n\n";
    return text +
           L"These errors are listed below; those with a line number are highlighted "
           L"above.\n\n";
}

std::wstring MessageLine(int line, const std::wstring& message) {
    return line > 0 ? L"Line " + Decimal(line) + L": " + message : message;
}

Parser::Parser(Lexer& source) : lexer(&source) {}

bool Parser::LoadText() {
    lexer->LoadText(programText);
    return true;
}

void Parser::ReadToken() {
    token = lexer->NextToken(value);
}

void Parser::RecordError(ParseError error) {
    errors.push_back({error, current.number});
    // Skip the rest of the line, so that the lexer's last line is this line.
    while (token != TokenKind::EndOfLine && token != TokenKind::EndOfText) ReadToken();
    ++lineErrors;
}

void Parser::Warn(std::wstring text) {
    current.warnings.push_back(std::move(text));
}

void Parser::AddWarning(int line, std::wstring text) {
    if (warnings.size() < kMaxWarnings) warnings.push_back({line, std::move(text)});
}

bool Parser::Parse(const std::wstring& text) {
    return ParseText(text, true);
}

bool Parser::ParseInstructions(const std::wstring& instructions,
                               const std::vector<std::uint64_t>& words) {
    // An empty text must not fall back on what the lexer holds.
    const bool ok = ParseText(instructions.empty() ? std::wstring(L"\n") : instructions, false);
    if (instructions.empty()) {
        programText.clear();
        shown.clear();
    }
    for (std::size_t index = 0; index < words.size(); ++index)
        data.insert_or_assign(data.end(), index, words[index]);
    return ok;
}

bool Parser::ParseText(const std::wstring& text, bool dataSection) {
    token = TokenKind::Invalid;
    errors.clear();
    warnings.clear();
    if (!text.empty()) {
        programText = text;
        lexer->SetText(text);
    }
    slots.clear();
    shown.clear();
    labels.clear();
    labelSlots.clear();
    labelUses.clear();
    data.clear();

    lexer->Advance();
    do {
        ParseLine(dataSection);
    } while (token != TokenKind::EndOfText && token != TokenKind::Data &&
             shown.size() < kMaxShownLines);
    if (shown.size() == kMaxShownLines) LeaveOutTheRest(dataSection);
    ResolveLabels();
    // Errors are found in line order, except those about labels.
    std::stable_sort(
        errors.begin(), errors.end(),
        [](const RecordedError& a, const RecordedError& b) { return a.line < b.line; });
    if (!dataSection) return errors.empty();
    current = LineState{};
    if (token != TokenKind::Data) RecordError(ParseError::DataLabelRequired);

    // Whatever stands between the data keyword and its ':' is ignored.
    do {
        ReadToken();
    } while (token != TokenKind::Colon && token != TokenKind::EndOfText);
    if (token == TokenKind::Colon) ParseDataSection();
    return errors.empty();
}

void Parser::ParseLine(bool dataSection) {
    ReadToken();
    lineErrors = 0;
    current = LineState{};
    current.number = lexer->TokenLine();
    bool strayWord = false;  // a word that is neither a mnemonic nor a label
    while (token == TokenKind::Name) {
        const std::wstring name = lexer->TokenText();
        ReadToken();
        if (token != TokenKind::Colon) {
            strayWord = true;
            break;
        }
        if (labelSlots.count(name) != 0) {
            current.duplicateLabel = true;
        } else {
            // The label names the next instruction, on this line or later.
            labelSlots.emplace(name, slots.size());
            labels.push_back({name, slots.size(), current.number});
        }
        current.labelled = true;
        ReadToken();
    }

    const bool lineEnds = token == TokenKind::EndOfText || token == TokenKind::EndOfLine;
    if (!strayWord && IsMnemonic(token)) {
        current.bodyColumn = lexer->TokenColumn();
        ParseInstruction(static_cast<InstructionKind>(token));
    } else if (!current.labelled && token == TokenKind::Data && dataSection) {
        return;  // the end of the instruction section
    } else if (strayWord || !lineEnds) {
        RecordError(ParseError::InstructionRequired);
        Slot slot;
        slot.line = {lexer->LastLine(), true};
        slots.push_back(std::move(slot));
        current.slotPushed = true;
    } else if (token == TokenKind::EndOfText && lexer->FinishedLines() < current.number) {
        return;  // the text ended with a line break: no line follows
    }
    FinishLine();
}

// The lines past kMaxShownLines are no part of the program: the editor could
// not show them nor a file keep them. Skips them up to the data keyword.
void Parser::LeaveOutTheRest(bool dataSection) {
    bool lineStart = true;
    ReadToken();
    if (token == TokenKind::EndOfText || (token == TokenKind::Data && dataSection)) return;
    warnings.push_back({lexer->TokenLine(), L"only the first " + Decimal(kMaxShownLines) +
                                                L" lines are read; the lines from here on are "
                                                L"left out."});
    while (token != TokenKind::EndOfText &&
           !(token == TokenKind::Data && lineStart && dataSection)) {
        lineStart = token == TokenKind::EndOfLine;
        ReadToken();
    }
}

void Parser::FinishLine() {
    const std::wstring& typed = lexer->LastLine();
    if (lineErrors == 0 && current.duplicateLabel) {
        errors.push_back({ParseError::LabelDefinedTwice, current.number});
        ++lineErrors;
    }
    if (lineErrors != 0) {
        if (current.slotPushed) {
            slots.back().word = 0;
            slots.back().line = {typed, true};
        }
        shown.push_back({typed, true});
        return;
    }

    if (current.slotPushed && slots.size() > kInstructionCount)
        Warn(L"only the first " + Decimal(kInstructionCount) +
             L" instructions are loaded; this line is ignored.");
    const bool warned = !current.warnings.empty();
    for (std::wstring& text : current.warnings) AddWarning(current.number, std::move(text));

    // Indentation and labels stay as typed, the instruction takes its
    // canonical form, and the comment follows as typed.
    const std::size_t comment = lexer->LastLineComment();
    std::wstring text;
    if (current.body.empty()) {
        text = typed;
        while (!text.empty() && (IsBlank(text.back()) || text.back() == L'\n')) text.pop_back();
    } else {
        text = typed.substr(0, std::min(current.bodyColumn, typed.size())) + current.body;
        if (comment != std::wstring::npos) text += CommentOf(typed, comment);
    }
    text += L'\n';
    if (!current.labelUse.empty()) {
        labelUses.push_back(
            {current.labelUse, slots.size() - 1, shown.size(), current.number, typed});
    }
    shown.push_back({std::move(text), false, warned});
}

void Parser::ParseInstruction(InstructionKind kind) {
    const InstructionInfo& info = InstructionInfoOf(kind);
    Operands ops;
    switch (info.format) {
        case InstructionFormat::Register:
            ReadRegister(ops.rd);
            Expect(TokenKind::Comma, ParseError::CommaRequired);
            ReadRegister(ops.rs);
            Expect(TokenKind::Comma, ParseError::CommaRequired);
            ReadRegister(ops.rt);
            break;
        case InstructionFormat::Immediate:
            ReadRegister(ops.rt);
            Expect(TokenKind::Comma, ParseError::CommaRequired);
            ReadRegister(ops.rs);
            Expect(TokenKind::Comma, ParseError::CommaRequired);
            ReadImmediate(kind, ops.immediate);
            if (lineErrors == 0) ops.label = current.labelUse;
            break;
        case InstructionFormat::Memory:
            ReadRegister(ops.rt);
            Expect(TokenKind::Comma, ParseError::CommaRequired);
            ReadOffset(ops.immediate);
            Expect(TokenKind::LeftParen, ParseError::LeftParenRequired);
            ReadRegister(ops.rs);
            Expect(TokenKind::RightParen, ParseError::RightParenRequired);
            break;
        case InstructionFormat::None:
            break;
    }
    if (lineErrors == 0) {
        ReadToken();
        if (token != TokenKind::EndOfLine && token != TokenKind::EndOfText) {
            RecordError(ParseError::EndOfLineRequired);
        }
    }

    Slot slot;
    slot.kind = kind;
    current.slotPushed = true;
    if (lineErrors != 0) {
        slot.line = {lexer->LastLine(), true};
        slots.push_back(std::move(slot));
        return;
    }

    // A label operand's offset is added when the labels are resolved.
    slot.word = Encode(info, ops);
    current.body = CanonicalText(info, ops);
    slot.line.text = current.body + L'\n';
    slots.push_back(std::move(slot));
}

void Parser::ReadRegister(std::uint32_t& reg) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != TokenKind::Dollar) return RecordError(ParseError::DollarRequired);
    ReadToken();
    if (token != TokenKind::Number) return RecordError(ParseError::RegisterNumberRequired);
    // Compared unsigned, so that a negative number is out of bounds too; a
    // number past 32 bits must not wrap into bounds.
    const auto number = static_cast<std::uint32_t>(value);
    if (number > kHighestRegister || !lexer->NumberFits())
        return RecordError(ParseError::RegisterOutOfBounds);
    if (lexer->LoneMinus()) Warn(L"a lone '-' is read as 0.");
    reg = number;
}

void Parser::Expect(TokenKind kind, ParseError error) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != kind) RecordError(error);
}

void Parser::ReadImmediate(InstructionKind kind, std::int32_t& immediate) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token == TokenKind::Name && kind == InstructionKind::BEQ) {
        current.labelUse = lexer->TokenText();
        immediate = 0;
        return;
    }
    if (token != TokenKind::Number) return RecordError(ParseError::ImmediateRequired);
    // Beyond 32 bits the number would wrap to one the student never typed.
    if (!lexer->NumberFits()) return RecordError(ParseError::NumberTooLarge);
    immediate = value;
    const std::int64_t typed = lexer->NumberValue();
    if (lexer->LoneMinus()) {
        Warn(L"a lone '-' is read as 0.");
    } else if (typed < kLowestImmediate || typed > kHighestImmediate) {
        const auto becomes = static_cast<std::int16_t>(FieldValue(value));
        Warn(std::wstring(kind == InstructionKind::BEQ ? L"the offset " : L"the immediate ") +
             Quoted(lexer->TokenText()) + L" is outside -32768..65535; it becomes " +
             Decimal(becomes) + L".");
    }
}

void Parser::ReadOffset(std::int32_t& offset) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != TokenKind::Number || !lexer->NumberFits() || value < -kOffsetLimit ||
        value > kOffsetLimit) {
        return RecordError(ParseError::OffsetRequired);
    }
    if (lexer->LoneMinus()) Warn(L"a lone '-' is read as 0.");
    offset = value;
}

void Parser::MarkFaulty(std::size_t slot, std::size_t shownLine, const std::wstring& typed,
                        int line) {
    slots[slot].word = 0;
    slots[slot].line = {typed, true};
    if (shownLine < shown.size()) shown[shownLine] = {typed, true};
    warnings.erase(std::remove_if(warnings.begin(), warnings.end(),
                                  [line](const ParseWarning& w) { return w.line == line; }),
                   warnings.end());
}

void Parser::ResolveLabels() {
    for (const LabelUse& use : labelUses) {
        const auto found = labelSlots.find(use.name);
        if (found == labelSlots.end() || found->second >= slots.size()) {
            errors.push_back({ParseError::UnknownLabel, use.line});
            MarkFaulty(use.slot, use.shownLine, use.typed, use.line);
            continue;
        }
        // Counted in instructions from the one after the branch, as a
        // numeric offset is.
        const auto offset =
            static_cast<std::int64_t>(found->second) - static_cast<std::int64_t>(use.slot) - 1;
        slots[use.slot].word |= FieldValue(static_cast<std::int32_t>(offset));
    }
    std::set<int> faultyLines;
    for (const RecordedError& error : errors) faultyLines.insert(error.line);
    for (const Label& label : labels) {
        if (label.slot >= slots.size()) {
            if (!faultyLines.insert(label.line).second) continue;  // one error a line
            errors.push_back({ParseError::LabelWithoutInstruction, label.line});
            const auto at = static_cast<std::size_t>(label.line - 1);
            if (at < shown.size()) shown[at] = {shown[at].text, true, false};
            continue;
        }
        Slot& slot = slots[label.slot];
        if (!slot.line.error) slot.line.text.insert(0, label.name + L": ");
    }
}

void Parser::ParseDataSection() {
    std::uint64_t index = 0;
    for (;;) {
        ReadToken();
        if (token == TokenKind::Number) {
            // Stored as the 32-bit pattern: -1 is 4294967295.
            data.insert_or_assign(data.end(), index, static_cast<std::uint32_t>(value));
            if (lexer->LoneMinus()) {
                AddWarning(lexer->TokenLine(), L"a lone '-' is read as 0.");
            } else if (!lexer->NumberFits()) {
                AddWarning(lexer->TokenLine(), Quoted(lexer->TokenText()) +
                                                   L" does not fit in 32 bits; it is stored as " +
                                                   Decimal(static_cast<std::uint32_t>(value)) +
                                                   L".");
            }
            ReadToken();  // the separator, whatever it is
            ++index;
            if (token == TokenKind::EndOfText) return;
        } else if (token == TokenKind::Comma) {
            ++index;  // an empty entry
        } else if (token == TokenKind::EndOfText) {
            return;
        }
    }
}

const Parser::Slot* Parser::SlotAt(std::uint64_t address) const {
    if (address % kInstructionBytes != 0) return nullptr;
    const std::uint64_t n = address / kInstructionBytes;
    return n < slots.size() ? &slots[n] : nullptr;
}

std::uint64_t Parser::GetInstruction(std::uint64_t address) const {
    const Slot* slot = SlotAt(address);
    return slot ? slot->word : 0;
}

InstructionKind Parser::GetInstructionKind(std::uint64_t address) const {
    const Slot* slot = SlotAt(address);
    return slot ? slot->kind : InstructionKind::None;
}

void Parser::GetProgramLine(std::uint64_t address, std::wstring& text, bool& error) const {
    const Slot* slot = SlotAt(address);
    text = slot ? slot->line.text : std::wstring();
    error = slot ? slot->line.error : false;
}

std::uint64_t Parser::GetData(std::uint64_t index) const {
    const auto found = data.find(index);
    return found == data.end() ? 0 : found->second;
}

void Parser::SetData(std::uint64_t index, std::uint64_t word) {
    data.insert_or_assign(index, word);
}

void Parser::FormatData(std::uint64_t index, std::wstring& text) const {
    text.clear();
    AppendDecimal(text, static_cast<std::uint32_t>(GetData(index)));
    text += L", ";
}

ParseError Parser::GetErrorCode(int sequence) const {
    if (sequence < 0 || static_cast<std::size_t>(sequence) >= errors.size()) {
        return ParseError::Unknown;
    }
    return errors[static_cast<std::size_t>(sequence)].error;
}

int Parser::GetErrorLine(int sequence) const {
    if (sequence < 0 || static_cast<std::size_t>(sequence) >= errors.size()) return 0;
    return errors[static_cast<std::size_t>(sequence)].line;
}

void Parser::GetErrorMessage(int sequence, std::wstring& text) const {
    const ParseError error = GetErrorCode(sequence);
    text = error == ParseError::Unknown ? std::wstring() : ParseErrorMessage(error);
}

}  // namespace tandrel
