// libFuzzer target: arbitrary input through the lexer and the parser, with
// checks of what must hold for any text. Built and run by scripts/fuzz.
//
// The first input byte picks how the rest becomes program text: even, one
// character per byte (0 to 255); odd, one character per four bytes, so that
// any 32-bit wide character (negative ones included) is tried.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "program/Lexer.h"
#include "program/Parser.h"

using namespace tandrel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::wstring TextOf(const std::uint8_t* bytes, std::size_t size) {
    std::wstring text;
    if (size == 0) return text;
    const bool wide = (bytes[0] & 1) != 0;
    ++bytes;
    --size;
    if (wide) {
        for (std::size_t i = 0; i + sizeof(std::uint32_t) <= size; i += sizeof(std::uint32_t)) {
            std::uint32_t unit = 0;
            std::memcpy(&unit, bytes + i, sizeof unit);
            text.push_back(static_cast<wchar_t>(unit));
        }
    } else {
        for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(bytes[i]));
    }
    return text;
}

// The lexer ends after at most one token per character, and the end of the
// text finishes an unfinished last line.
void CheckLexer(const std::wstring& text) {
    Lexer lexer;
    lexer.SetText(text);
    lexer.Advance();
    std::int32_t value = 0;
    std::size_t tokens = 0;
    while (lexer.NextToken(value) != TokenKind::EndOfText) {
        ++tokens;
        Check(tokens <= text.size());
    }
    Check(lexer.NextToken(value) == TokenKind::EndOfText);
    const std::size_t lastBreak = text.rfind(L'\n');
    const std::size_t tailStart = lastBreak == std::wstring::npos ? 0 : lastBreak + 1;
    if (tailStart < text.size()) {
        const std::wstring& last = lexer.LastLine();
        Check(last.size() == text.size() - tailStart);
        for (std::size_t i = 0; i < last.size(); ++i) {
            const wchar_t c = text[tailStart + i];
            Check(last[i] == ((c >= 0 && c <= 127) ? c : L'?'));
        }
    }
}

// A correct line's canonical text parses back to the same word and text.
void CheckCanonical(const std::wstring& line, std::uint64_t word, InstructionKind kind) {
    Lexer lexer;
    Parser parser(lexer);
    Check(parser.Parse(line + L"DATA:"));
    std::wstring text;
    bool error = true;
    parser.GetProgramLine(0, text, error);
    Check(!error && text == line);
    Check(parser.GetInstruction(0) == word);
    Check(parser.GetInstructionKind(0) == kind);
    Check(parser.GetInstructionKind(4) == InstructionKind::None);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::wstring text = TextOf(bytes, size);
    CheckLexer(text);

    Lexer lexer;
    Parser parser(lexer);
    const bool good = parser.Parse(text);
    const int errorCount = parser.ErrorCount();
    Check(good == (errorCount == 0));

    int faultyLines = 0;
    int roundTrips = 0;
    constexpr int kRoundTripLimit = 8;
    for (std::uint64_t address = 0;; address += kInstructionBytes) {
        std::wstring line;
        bool error = false;
        parser.GetProgramLine(address, line, error);
        if (line.empty()) break;
        const std::uint64_t word = parser.GetInstruction(address);
        const InstructionKind kind = parser.GetInstructionKind(address);
        Check(word >> 32 == 0);
        if (error) {
            ++faultyLines;
            Check(word == 0);
        } else {
            Check(kind != InstructionKind::None && line.back() == L'\n');
            if (roundTrips++ < kRoundTripLimit) CheckCanonical(line, word, kind);
        }
    }
    Check(faultyLines <= errorCount && errorCount <= faultyLines + 1);
    for (int i = 0; i < errorCount; ++i) {
        std::wstring message;
        parser.GetErrorMessage(i, message);
        Check(!message.empty());
    }
    std::wstring none;
    parser.GetErrorMessage(errorCount, none);
    Check(none.empty());

    // The lexer has read everything: an empty text now reads as nothing.
    Check(!parser.Parse(std::wstring()));
    Check(parser.ErrorCount() == 1 && parser.GetErrorCode(0) == ParseError::DataLabelRequired);
    return 0;
}
