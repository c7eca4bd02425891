#include "program/Parser.h"

#include <array>
#include <iterator>

namespace tandrel {

namespace {

constexpr std::array<const wchar_t*, 14> kMessages{{
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
}};

// LW and SW offsets are limited to this distance either side of the base.
constexpr std::int32_t kOffsetLimit = 16384;

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
            AppendDecimal(text, ops.immediate);
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
    text += L'\n';
    return text;
}

}  // namespace

const wchar_t* ParseErrorMessage(ParseError error) {
    const auto code = static_cast<std::size_t>(error);
    return code < kMessages.size() ? kMessages[code] : kMessages[0];
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
    errors.push_back(error);
    // Skip the rest of the line, so that the lexer's last line is this line.
    while (token != TokenKind::EndOfLine && token != TokenKind::EndOfText) ReadToken();
    ++lineErrors;
}

bool Parser::Parse(const std::wstring& text) {
    token = TokenKind::Invalid;
    errors.clear();
    if (!text.empty()) {
        programText = text;
        lexer->SetText(text);
    }
    slots.clear();
    data.clear();

    lexer->Advance();
    do {
        ParseLine();
    } while (token != TokenKind::EndOfText && token != TokenKind::Data);
    if (token != TokenKind::Data) RecordError(ParseError::DataLabelRequired);

    // Whatever stands between the data keyword and its ':' is ignored.
    do {
        ReadToken();
    } while (token != TokenKind::Colon && token != TokenKind::EndOfText);
    if (token == TokenKind::Colon) ParseDataSection();
    return errors.empty();
}

void Parser::ParseLine() {
    ReadToken();
    lineErrors = 0;
    if (IsMnemonic(token)) {
        ParseInstruction(static_cast<InstructionKind>(token));
        return;
    }
    if (token == TokenKind::EndOfText || token == TokenKind::EndOfLine ||
        token == TokenKind::Data) {
        return;  // a blank line, or the end of the instruction section
    }
    RecordError(ParseError::InstructionRequired);
    Slot slot;
    slot.line = {lexer->LastLine(), true};
    slots.push_back(std::move(slot));
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
            ReadImmediate(ops.immediate);
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
    if (lineErrors != 0) {
        slot.line = {lexer->LastLine(), true};
        slots.push_back(std::move(slot));
        return;
    }

    slot.word = Encode(info, ops);
    slot.line.text = CanonicalText(info, ops);
    slots.push_back(std::move(slot));
}

void Parser::ReadRegister(std::uint32_t& reg) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != TokenKind::Dollar) return RecordError(ParseError::DollarRequired);
    ReadToken();
    if (token != TokenKind::Number) return RecordError(ParseError::RegisterNumberRequired);
    // Compared unsigned, so that a negative number is out of bounds too.
    const auto number = static_cast<std::uint32_t>(value);
    if (number > kHighestRegister) return RecordError(ParseError::RegisterOutOfBounds);
    reg = number;
}

void Parser::Expect(TokenKind kind, ParseError error) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != kind) RecordError(error);
}

void Parser::ReadImmediate(std::int32_t& immediate) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != TokenKind::Number) return RecordError(ParseError::ImmediateRequired);
    immediate = value;
}

void Parser::ReadOffset(std::int32_t& offset) {
    if (lineErrors != 0) return;
    ReadToken();
    if (token != TokenKind::Number || value < -kOffsetLimit || value > kOffsetLimit) {
        return RecordError(ParseError::OffsetRequired);
    }
    offset = value;
}

void Parser::ParseDataSection() {
    std::uint64_t index = 0;
    for (;;) {
        ReadToken();
        if (token == TokenKind::Number) {
            // Stored as the 32-bit pattern: -1 is 4294967295.
            data.insert_or_assign(data.end(), index, static_cast<std::uint32_t>(value));
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
    return errors[static_cast<std::size_t>(sequence)];
}

void Parser::GetErrorMessage(int sequence, std::wstring& text) const {
    const ParseError error = GetErrorCode(sequence);
    text = error == ParseError::Unknown ? std::wstring() : ParseErrorMessage(error);
}

}  // namespace tandrel
