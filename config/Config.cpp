#include "config/Config.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace tandrel {

namespace {

constexpr std::array<const char*, option::kLast + 1> kKeys{
    "",
    "componentcolour",
    "piperegcolour",
    "stage1colour",
    "stage2colour",
    "stage3colour",
    "stage4colour",
    "stage5colour",
    "textcolour",
    "fadecolour",
    "bordercolour",
    "inactivelinkcolour",
    "backgroundcolour",
    "showleftpanel",
    "showinstructionsinfields",
    "showsimplelayout",
    "showpipelinelayout",
    "showforwardinglayout",
    "showcontrollines",
    "showpclines",
    "showpopups",
    "highlightsingleinstruction",
    "showbolddatalines",
    "binaryformat",
    "decimalformat",
    "hexadecimalformat",
    "simulatorsashpos",
    "editorsashpos",
    "showtimeline",
    "timelineheight",
    "zoomtofit",
    "zoompercent",
};

bool IsColourOption(int index) {
    return index >= option::kComponentColour && index <= option::kBackgroundColour;
}
bool IsIntegerOption(int index) {
    return index == option::kSimulatorSashPos || index == option::kEditorSashPos ||
           index == option::kTimelineHeight ||
           index == option::kZoomPercent;
}

int IndexOfKey(const std::string& key) {
    for (int index = 1; index <= option::kLast; ++index)
        if (key == kKeys[static_cast<size_t>(index)]) return index;
    return 0;
}

enum class Token { End, Number, Name, Colon, Comma, Semicolon, Other };

// Reads the file one character at a time; names are case-insensitive and
// numbers wrap as unsigned 32-bit values.
class Tokenizer {
  public:
    explicit Tokenizer(std::istream& in) : in_(in) {}

    Token Next() {
        int c = in_.peek();
        while (c != EOF && std::isspace(c)) {
            in_.get();
            c = in_.peek();
        }
        if (c == EOF) return Token::End;
        if (std::isdigit(c)) {
            number = 0;
            while (c != EOF && std::isdigit(c)) {
                number = number * 10u + static_cast<std::uint32_t>(c - '0');
                in_.get();
                c = in_.peek();
            }
            return Token::Number;
        }
        if (std::isalpha(c)) {
            std::string name;
            while (c != EOF && std::isalnum(c)) {
                // Longer than any key: it cannot match, so stop collecting.
                if (name.size() <= 32) name.push_back(static_cast<char>(std::tolower(c)));
                in_.get();
                c = in_.peek();
            }
            index = IndexOfKey(name);
            return Token::Name;
        }
        in_.get();
        switch (c) {
            case ':':
                return Token::Colon;
            case ',':
                return Token::Comma;
            case ';':
                return Token::Semicolon;
            default:
                return Token::Other;
        }
    }

    std::uint32_t number = 0;
    int index = 0;

  private:
    std::istream& in_;
};

}  // namespace

namespace {
Config* instance = nullptr;  // lives as long as the program
}  // namespace

Config& Config::Instance() {
    if (instance == nullptr) instance = new Config("tandrel.conf");
    return *instance;
}

Config& Config::ReloadInstance() {
    delete instance;
    instance = new Config("tandrel.conf");
    return *instance;
}

Config::Config(std::string path_) : path(std::move(path_)) {
    SetDefaults();
    // Only a regular file is read: opening a named pipe would wait for a
    // writer for ever.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        std::ifstream in(path);
        if (in) Read(in);
    }
    if (!flags[option::kBinaryFormat] && !flags[option::kDecimalFormat] &&
        !flags[option::kHexadecimalFormat])
        flags[option::kDecimalFormat] = true;
    if (!flags[option::kShowSimpleLayout] && !flags[option::kShowPipelineLayout] &&
        !flags[option::kShowForwardingLayout])
        flags[option::kShowSimpleLayout] = true;
}

void Config::SetDefaults() {
    colours[option::kComponentColour] = Colour::Rgba(191, 191, 153);
    colours[option::kPipeRegColour] = Colour::Rgba(191, 153, 153);
    colours[option::kStage1Colour] = Colour::Rgba(255, 0, 0);
    colours[option::kStage2Colour] = Colour::Rgba(0, 255, 0);
    colours[option::kStage3Colour] = Colour::Rgba(255, 0, 255);
    colours[option::kStage4Colour] = Colour::Rgba(0, 0, 255);
    colours[option::kStage5Colour] = Colour::Rgba(0, 255, 255);
    colours[option::kTextColour] = Colour::Rgba(0, 0, 0);
    colours[option::kFadeColour] = Colour::Rgba(255, 255, 255);
    colours[option::kBorderColour] = Colour::Rgba(0, 0, 0);
    colours[option::kInactiveLinkColour] = Colour::Rgba(0, 0, 0);
    colours[option::kBackgroundColour] = Colour::Rgba(255, 255, 255);
    const std::array<std::pair<int, bool>, 15> defaultFlags{{
        {option::kShowLeftPanel, true},
        {option::kShowInstructionsInFields, true},
        {option::kShowSimpleLayout, true},
        {option::kShowPipelineLayout, false},
        {option::kShowForwardingLayout, false},
        {option::kShowControlLines, true},
        {option::kShowPcLines, true},
        {option::kShowPopups, true},
        {option::kHighlightSingleInstruction, true},
        {option::kShowBoldDataLines, true},
        {option::kBinaryFormat, false},
        {option::kDecimalFormat, true},
        {option::kHexadecimalFormat, false},
        {option::kShowTimeline, false},
        {option::kZoomToFit, true},
    }};
    for (const auto& [index, on] : defaultFlags) flags[index] = on;
    integers[option::kSimulatorSashPos] = 360;  // the three list tabs and a binary word fit
    integers[option::kEditorSashPos] = 200;
    integers[option::kTimelineHeight] = 260;
    integers[option::kZoomPercent] = 100;
}

void Config::Read(std::istream& in) {
    Tokenizer tokens(in);
    Token token = Token::Other;
    // Reads on to the end of the faulty statement: at least one token, up to
    // and including a ';'.
    auto skip = [&] {
        do token = tokens.Next();
        while (token != Token::Semicolon && token != Token::End);
    };
    while (token != Token::End) {
        token = tokens.Next();
        if (token == Token::End) break;
        if (token != Token::Name || tokens.index == 0) {
            skip();
            continue;
        }
        const int index = tokens.index;
        if ((token = tokens.Next()) != Token::Colon) {
            skip();
            continue;
        }
        if (IsColourOption(index)) {
            std::array<std::uint8_t, 4> channel{};
            bool complete = true;
            for (size_t i = 0; i < channel.size() && complete; ++i) {
                token = tokens.Next();
                if (token != Token::Number) {
                    complete = false;
                    break;
                }
                channel[i] = static_cast<std::uint8_t>(tokens.number & 0xFFu);
                token = tokens.Next();
                const Token separator = i == 3 ? Token::Semicolon : Token::Comma;
                if (token != separator) complete = false;
            }
            // A colour cut short leaves the option as it was.
            if (complete) {
                colours[index] = Colour::Rgba(channel[0], channel[1], channel[2], channel[3]);
            } else {
                skip();
            }
            continue;
        }
        token = tokens.Next();
        const std::uint32_t number = tokens.number;
        if (token != Token::Number || (!IsIntegerOption(index) && number >= 2)) {
            skip();
            continue;
        }
        token = tokens.Next();  // the terminator, whatever it is
        if (IsIntegerOption(index))
            integers[index] = static_cast<int>(number);
        else
            flags[index] = number != 0;
    }
}

bool Config::GetFlag(int index) {
    return flags[index];
}
Colour Config::GetColour(int index) {
    return colours[index];
}
int Config::GetInteger(int index) {
    return integers[index];
}

std::string Config::KeyName(int index) {
    if (index < 0 || index > option::kLast) return "";
    return kKeys[static_cast<size_t>(index)];
}

bool Config::Save() const {
    // Nor is anything but a regular file written: a named pipe would wait
    // for a reader for ever.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
    std::ofstream out(path, std::ios::trunc);
    if (!out) return false;
    // One line per option in index order, each written as its own kind: a
    // stray entry (a flag asked for under a colour's number) would make a
    // line the reader skips, and the skip would swallow the next option too.
    for (int index = 1; index <= option::kLast; ++index) {
        const std::string key = KeyName(index);
        if (IsColourOption(index)) {
            const auto found = colours.find(index);
            if (found == colours.end() || !found->second.valid) continue;
            const Colour& colour = found->second;
            out << key << ": " << unsigned{colour.r} << ", " << unsigned{colour.g} << ", "
                << unsigned{colour.b} << ", " << unsigned{colour.a} << ";\n";
        } else if (IsIntegerOption(index)) {
            const auto found = integers.find(index);
            if (found == integers.end()) continue;
            out << key << ": " << static_cast<std::uint32_t>(found->second) << ";\n";
        } else {
            const auto found = flags.find(index);
            if (found == flags.end()) continue;
            out << key << ": " << (found->second ? 1 : 0) << ";\n";
        }
        out << std::flush;
    }
    return static_cast<bool>(out);
}

}  // namespace tandrel
