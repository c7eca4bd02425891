#include "program/Lexer.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <system_error>
#include <vector>

namespace tandrel {

namespace {

constexpr char kLineBreak = '\n';
constexpr char kReplacement = '?';
constexpr int kHighestAscii = 127;

// The only character set the program understands is 7-bit ASCII; anything
// else reads as '?' so that it becomes an Invalid token and shows as '?'.
char Narrow(wchar_t c) {
    return (c >= 0 && c <= kHighestAscii) ? static_cast<char>(c) : kReplacement;
}

wchar_t WidenByte(char byte) {
    const auto code = static_cast<unsigned char>(byte);
    return code <= kHighestAscii ? static_cast<wchar_t>(code) : static_cast<wchar_t>(kReplacement);
}

// Plain ASCII classification, so that the tokens never depend on the locale.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameCharacter(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
char ToLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr std::uint32_t kDecimalBase = 10;
constexpr char kCommentSign = '#';
// A number fits in 32 bits when it is a 32-bit pattern: signed from -2^31,
// unsigned up to 2^32 - 1.
constexpr std::uint64_t kLargest32 = 0xFFFFFFFFu;
constexpr std::uint64_t kMostNegative32 = 0x80000000u;
constexpr std::size_t kReadChunk = 64u << 10;

// Opening a directory or a device as a definition file makes no sense (and a
// pipe would block), so only regular files are opened.
bool OpenRegularFile(const std::wstring& fileName, std::ifstream& file) {
    if (fileName.find(L'\0') != std::wstring::npos) return false;
    try {
        const std::filesystem::path path(fileName);
        std::error_code error;
        if (!std::filesystem::is_regular_file(std::filesystem::status(path, error)) || error) {
            return false;
        }
        file.open(path, std::ios::in | std::ios::binary);
        return file.is_open();
    } catch (const std::exception&) {
        // The name cannot be converted to the platform's file-name encoding.
        return false;
    }
}

}  // namespace

Lexer::Lexer(const std::wstring& fileName) {
    keywords.emplace("data", TokenKind::Data);
    for (const InstructionInfo& info : kInstructionTable) {
        std::string word;
        for (const wchar_t* c = info.name; *c != L'\0'; ++c) word.push_back(ToLower(Narrow(*c)));
        keywords.emplace(word, static_cast<TokenKind>(info.kind));
    }
    for (const auto& entry : keywords) {
        longestKeyword = std::max(longestKeyword, entry.first.size());
    }

    if (fileName.empty()) return;
    if (!OpenRegularFile(fileName, file)) {
        file.setstate(std::ios::failbit);
        std::cout << "File Error" << std::endl;
        return;
    }
    char byte = 0;
    if (file.get(byte)) {
        current = Narrow(WidenByte(byte));
        end = false;
    } else {
        end = true;
    }
}

bool Lexer::IsGood() const {
    return !file.fail() && !file.bad();
}

void Lexer::LoadText(std::wstring& out) {
    text.clear();
    if (file.is_open()) {
        file.clear();
        file.seekg(0);
        std::vector<char> buffer(kReadChunk);
        while (text.size() < kMaxFileBytes) {
            const std::size_t wanted = std::min(kReadChunk, kMaxFileBytes - text.size());
            file.read(buffer.data(), static_cast<std::streamsize>(wanted));
            const auto got = static_cast<std::size_t>(file.gcount());
            std::transform(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got),
                           std::back_inserter(text), WidenByte);
            if (got < wanted) break;
        }
    }
    out = text;
    Restart();
}

void Lexer::SetText(const std::wstring& newText) {
    text = newText;
    Restart();
}

void Lexer::Restart() {
    position = 0;
    end = false;
    lineStart = 0;
    commentStart = std::wstring::npos;
    line = 1;
    tokenLine = 1;
    finishedLines = 0;
}

void Lexer::Advance() {
    if (position >= text.size()) {
        end = true;
        current = 0;
        // The end of the text finishes an unfinished line as a line break would.
        if (position > lineStart) FinishLine();
        return;
    }
    current = Narrow(text[position]);
    ++position;
}

void Lexer::FinishLine() {
    const std::size_t stop = std::min(position, text.size());
    lastComment = commentStart == std::wstring::npos || commentStart < lineStart
                      ? std::wstring::npos
                      : commentStart - lineStart;
    commentStart = std::wstring::npos;
    ++finishedLines;
    lastLine.clear();
    if (stop > lineStart) lastLine.reserve(stop - lineStart);
    for (std::size_t i = lineStart; i < stop; ++i) {
        lastLine.push_back(static_cast<wchar_t>(Narrow(text[i])));
    }
    lineStart = stop;
}

std::wstring Lexer::TokenText() const {
    const std::size_t stop = std::min(tokenEnd, text.size());
    std::wstring typed;
    for (std::size_t i = std::min(tokenStart, stop); i < stop; ++i)
        typed.push_back(static_cast<wchar_t>(Narrow(text[i])));
    return typed;
}

TokenKind Lexer::NextToken(std::int32_t& value) {
    tokenLine = line;
    while (!end) {
        if (current == kLineBreak) {
            FinishLine();
            Advance();
            ++line;
            return TokenKind::EndOfLine;
        }
        if (IsSpace(current)) {
            Advance();
            continue;
        }
        if (current == kCommentSign) {
            commentStart = position - 1;
            while (!end && current != kLineBreak) Advance();
            continue;
        }
        tokenStart = position - 1;
        tokenColumn = tokenStart >= lineStart ? tokenStart - lineStart : 0;
        if (IsDigit(current) || current == '-') return ReadNumber(value);
        if (IsLetter(current) || current == '_') return ReadWord();

        TokenKind kind = TokenKind::Invalid;
        switch (current) {
            case '$':
                kind = TokenKind::Dollar;
                break;
            case '(':
                kind = TokenKind::LeftParen;
                break;
            case ')':
                kind = TokenKind::RightParen;
                break;
            case ',':
                kind = TokenKind::Comma;
                break;
            case ':':
                kind = TokenKind::Colon;
                break;
            default:
                break;
        }
        Advance();
        return kind;
    }
    return TokenKind::EndOfText;
}

TokenKind Lexer::ReadNumber(std::int32_t& value) {
    const bool negative = current == '-';
    if (negative) Advance();
    // Digits past 32 bits wrap: unsigned arithmetic keeps that well defined.
    // The magnitude is followed separately, so the parser can tell.
    std::uint32_t number = 0;
    std::uint64_t magnitude = 0;
    bool digits = false;
    while (!end && IsDigit(current)) {
        const auto digit = static_cast<std::uint32_t>(current - '0');
        number = number * kDecimalBase + digit;
        if (magnitude <= kLargest32) magnitude = magnitude * kDecimalBase + digit;
        digits = true;
        Advance();
    }
    if (negative) number = 0u - number;
    value = static_cast<std::int32_t>(number);
    tokenEnd = end ? text.size() : position - 1;
    loneMinus = negative && !digits;
    numberFits = magnitude <= (negative ? kMostNegative32 : kLargest32);
    numberValue =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return TokenKind::Number;
}

TokenKind Lexer::ReadWord() {
    // Only the first few letters are kept: a longer word is no keyword, and a
    // megabyte-long word must not be copied.
    std::string word;
    bool tooLong = false;
    while (!end && IsNameCharacter(current)) {
        if (word.size() < longestKeyword) {
            word.push_back(ToLower(current));
        } else {
            tooLong = true;
        }
        Advance();
    }
    tokenEnd = end ? text.size() : position - 1;
    if (tooLong) return TokenKind::Name;
    const auto found = keywords.find(word);
    return found == keywords.end() ? TokenKind::Name : found->second;
}

}  // namespace tandrel
