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
#include <vector>

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

// What a parse shows, fed back in, is the same program: the same words,
// kinds, lines and errors (warnings may go, as "$-" is shown as "$0").
void CheckShownTextParsesTheSame(const Parser& first, bool editor) {
    const auto& shown = first.ShownLines();
    // As saving does, a faulty last line without a line break gets one.
    std::vector<std::wstring> lines;
    std::wstring text;
    for (const ProgramLine& line : shown) {
        lines.push_back(line.text.back() == L'\n' ? line.text : line.text + L'\n');
        text += lines.back();
    }
    Lexer lexer;
    Parser again(lexer);
    editor ? again.ParseInstructions(text, {}) : again.Parse(text + L"DATA:");
    Check(again.ShownLines().size() == shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        Check(again.ShownLines()[i].text == lines[i]);
        Check(again.ShownLines()[i].error == shown[i].error);
    }
    for (std::uint64_t address = 0; address < 4 * kInstructionCount; address += 4) {
        Check(again.GetInstruction(address) == first.GetInstruction(address));
        Check(again.GetInstructionKind(address) == first.GetInstructionKind(address));
    }
    const int lineErrors =
        first.ErrorCount() -
        (first.GetErrorCode(first.ErrorCount() - 1) == ParseError::DataLabelRequired ? 1 : 0);
    Check(again.ErrorCount() == lineErrors);
    for (int i = 0; i < lineErrors; ++i) {
        Check(again.GetErrorCode(i) == first.GetErrorCode(i));
        Check(again.GetErrorLine(i) == first.GetErrorLine(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::wstring text = TextOf(bytes, size);
    // The second bit of the first byte: the editor's text, without a data part.
    const bool editor = size > 0 && (bytes[0] & 2) != 0;
    CheckLexer(text);

    Lexer lexer;
    Parser parser(lexer);
    const bool good = editor ? parser.ParseInstructions(text, {}) : parser.Parse(text);
    const int errorCount = parser.ErrorCount();
    Check(good == (errorCount == 0));

    for (std::uint64_t address = 0;; address += kInstructionBytes) {
        std::wstring line;
        bool error = false;
        parser.GetProgramLine(address, line, error);
        if (line.empty()) break;
        const std::uint64_t word = parser.GetInstruction(address);
        Check(word >> 32 == 0);
        Check(!error || word == 0);
        Check(error || (parser.GetInstructionKind(address) != InstructionKind::None &&
                        line.back() == L'\n'));
    }
    // Errors are in line order, one at most for a line, each marking its line.
    const auto& shown = parser.ShownLines();
    int previous = 0;
    for (int i = 0; i < errorCount; ++i) {
        std::wstring message;
        parser.GetErrorMessage(i, message);
        Check(!message.empty());
        const int line = parser.GetErrorLine(i);
        if (line == 0) {
            Check(i == errorCount - 1 && parser.GetErrorCode(i) == ParseError::DataLabelRequired);
            continue;
        }
        Check(line > previous);
        previous = line;
        if (static_cast<std::size_t>(line) <= shown.size()) Check(shown[line - 1].error);
    }
    int markedLines = 0;
    for (const ProgramLine& line : shown) {
        Check(!line.text.empty() && !(line.error && line.warning));
        if (line.error) ++markedLines;
    }
    Check(markedLines <= errorCount);
    for (const ParseWarning& warning : parser.Warnings()) Check(warning.line > 0);
    if (errorCount < 1000) CheckShownTextParsesTheSame(parser, editor);

    std::wstring none;
    parser.GetErrorMessage(errorCount, none);
    Check(none.empty());

    // The lexer has read everything: an empty text now reads as nothing.
    Check(!parser.Parse(std::wstring()));
    Check(parser.ErrorCount() == 1 && parser.GetErrorCode(0) == ParseError::DataLabelRequired);
    return 0;
}
