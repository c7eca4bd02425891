#pragma once

#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "sim/LayoutTable.h"

namespace tandrel {
namespace cli {

enum class Command { None, Check, Run, Diagram, Compare, Picture, Explain };

// How diagram writes the pipeline diagram.
enum class DiagramFormat { Text, Csv, Svg, Json };

// Everything the command line asked for.
struct Options {
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::string file;
    Layout layout = Layout::Simple;
    bool untilDone = true;  // false once --steps is given
    long long steps = 0;
    long long maxSteps = 0;  // 0: the default limit of RunLimits
    NumberFormat format = NumberFormat::Decimal;
    bool json = false;
    bool strict = false;  // check: warnings fail too
    DiagramFormat diagramFormat = DiagramFormat::Text;
    std::string output;  // picture: -o
    std::string config;  // picture: --config
    bool svg = false;    // picture: --format svg (else PNG)
    double scale = 1.0;  // picture: --scale
};

// The options, or the one-line reason they cannot be used (error not empty).
struct ParsedArguments {
    Options options;
    std::string error;
};

// Reads the arguments after the program name. Help wins over every other
// mistake, so "run --bogus --help" still shows the help of run.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// "run", "check", ... and back.
const char* CommandName(Command command);
const char* LayoutName(Layout layout);

// Usage texts for the program and for each command.
std::string ProgramHelp();
std::string CommandHelp(Command command);

}  // namespace cli
}  // namespace tandrel
