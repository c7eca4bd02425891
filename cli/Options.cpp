#include "cli/Options.h"

#include <cstddef>
#include <cstdlib>
#include <string>
#include <utility>

namespace tandrel {
namespace cli {

namespace {

// A step count anyone would type; far beyond what finishes in reasonable time.
constexpr long long kLargestCount = 1000000000000LL;

struct CommandEntry {
    Command command;
    const char* name;
};

constexpr CommandEntry kCommands[] = {
    {Command::Check, "check"},     {Command::Run, "run"},         {Command::Diagram, "diagram"},
    {Command::Compare, "compare"}, {Command::Picture, "picture"}, {Command::Explain, "explain"},
};

// Which options a command takes.
struct Accepts {
    bool layout = false;
    bool steps = false;      // --steps
    bool untilDone = false;  // --until-done, --max-steps
    bool format = false;
    bool json = false;
    bool output = false;  // -o, --config
    bool strict = false;
};

Accepts AcceptsOf(Command command) {
    Accepts a;
    switch (command) {
        case Command::Run:
            a.layout = a.steps = a.untilDone = a.format = a.json = true;
            break;
        case Command::Diagram:
            a.layout = a.steps = a.untilDone = a.format = true;
            break;
        case Command::Explain:
            a.layout = a.steps = a.untilDone = a.json = true;
            break;
        case Command::Compare:
            a.steps = a.untilDone = a.format = true;
            break;
        case Command::Picture:
            a.layout = a.steps = a.output = true;
            break;
        case Command::Check:
            a.strict = true;
            break;
        case Command::None:
            break;
    }
    return a;
}

bool ParseCount(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 13) return false;
    long long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    if (result > kLargestCount) return false;
    value = result;
    return true;
}

bool ParseLayout(const std::string& text, Layout& layout) {
    if (text == "simple")
        layout = Layout::Simple;
    else if (text == "pipelined")
        layout = Layout::Pipelined;
    else if (text == "forwarding")
        layout = Layout::Forwarding;
    else
        return false;
    return true;
}

bool ParseFormat(const std::string& text, NumberFormat& format) {
    if (text == "dec")
        format = NumberFormat::Decimal;
    else if (text == "hex")
        format = NumberFormat::Hexadecimal;
    else if (text == "bin")
        format = NumberFormat::Binary;
    else
        return false;
    return true;
}

bool ParseDiagramFormat(const std::string& text, DiagramFormat& format) {
    static const std::pair<const char*, DiagramFormat> kFormats[] = {{"text", DiagramFormat::Text},
                                                                     {"csv", DiagramFormat::Csv},
                                                                     {"svg", DiagramFormat::Svg},
                                                                     {"json", DiagramFormat::Json}};
    for (const auto& [name, value] : kFormats) {
        if (text != name) continue;
        format = value;
        return true;
    }
    return false;
}

// A picture's scale: a plain decimal number from 0.25 to 4.
bool ParseScale(const std::string& text, double& scale) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(value >= 0.25 && value <= 4.0)) return false;
    scale = value;
    return true;
}

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

// Walks the arguments of one command.
class ArgumentReader {
  public:
    ArgumentReader(const std::vector<std::string>& args, Options& options)
        : args(args), options(options), accepts(AcceptsOf(options.command)) {}

    std::string Read() {
        const std::string command = CommandName(options.command);
        bool stepsGiven = false, untilDoneGiven = false, optionsEnded = false;
        for (index = 1; index < args.size(); ++index) {
            const std::string& arg = args[index];
            if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
                if (!options.file.empty()) return "unexpected argument '" + arg + "'";
                options.file = arg;
                continue;
            }
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            std::string name = arg, value;
            bool hasValue = false;
            if (arg.compare(0, 2, "--") == 0) {
                const std::size_t equals = arg.find('=');
                if (equals != std::string::npos) {
                    name = arg.substr(0, equals);
                    value = arg.substr(equals + 1);
                    hasValue = true;
                }
            } else if (arg.compare(0, 2, "-o") == 0 && arg.size() > 2) {
                name = "-o";
                value = arg.substr(2);
                hasValue = true;
            }

            std::string error;
            if (name == "--layout" && accepts.layout) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseLayout(value, options.layout))
                    return "--layout must be simple, pipelined or forwarding, not '" + value + "'";
            } else if (name == "--steps" && accepts.steps) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseCount(value, options.steps)) return CountError(name, value);
                options.untilDone = false;
                stepsGiven = true;
            } else if (name == "--max-steps" && accepts.untilDone) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseCount(value, options.maxSteps)) return CountError(name, value);
            } else if (name == "--until-done" && accepts.untilDone && !hasValue) {
                untilDoneGiven = true;
            } else if (name == "--format" && options.command == Command::Diagram) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseDiagramFormat(value, options.diagramFormat))
                    return "--format must be text, csv, svg or json, not '" + value + "'";
            } else if (name == "--format" && options.command == Command::Picture) {
                if (!Value(name, hasValue, value, error)) return error;
                if (value != "png" && value != "svg")
                    return "--format must be png or svg, not '" + value + "'";
                options.svg = value == "svg";
            } else if (name == "--scale" && options.command == Command::Picture) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseScale(value, options.scale))
                    return "--scale needs a number from 0.25 to 4, not '" + value + "'";
            } else if (name == "--format" && accepts.format) {
                if (!Value(name, hasValue, value, error)) return error;
                if (!ParseFormat(value, options.format))
                    return "--format must be dec, hex or bin, not '" + value + "'";
            } else if (name == "--json" && accepts.json && !hasValue) {
                options.json = true;
            } else if (name == "--strict" && accepts.strict && !hasValue) {
                options.strict = true;
            } else if (name == "-o" && accepts.output) {
                if (!Value(name, hasValue, value, error)) return error;
                options.output = value;
            } else if (name == "--config" && accepts.output) {
                if (!Value(name, hasValue, value, error)) return error;
                options.config = value;
            } else {
                return "unknown option '" + arg + "' for " + command + " (see tandrel-cli " +
                       command + " --help)";
            }
        }
        if (stepsGiven && untilDoneGiven) return "--steps and --until-done exclude each other";
        if (options.file.empty())
            return command + " needs a FILE (see tandrel-cli " + command + " --help)";
        if (options.command == Command::Picture) {
            if (options.output.empty()) return "picture needs -o OUT.png (or OUT.svg)";
            options.untilDone = false;
        }
        if (options.command == Command::Diagram && options.layout == Layout::Simple)
            return "diagram draws the pipelined layouts only: --layout pipelined or forwarding";
        return std::string();
    }

  private:
    // Takes the value of an option, from "--name=value" or the next argument.
    bool Value(const std::string& name, bool hasValue, std::string& value, std::string& error) {
        if (hasValue) return true;
        if (index + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        value = args[++index];
        return true;
    }

    static std::string CountError(const std::string& name, const std::string& value) {
        return name + " needs a whole number from 0 to " + std::to_string(kLargestCount) +
               ", not '" + value + "'";
    }

    const std::vector<std::string>& args;
    Options& options;
    Accepts accepts;
    std::size_t index = 1;
};

}  // namespace

const char* CommandName(Command command) {
    for (const CommandEntry& entry : kCommands)
        if (entry.command == command) return entry.name;
    return "tandrel-cli";
}

const char* LayoutName(Layout layout) {
    switch (layout) {
        case Layout::Simple:
            return "simple";
        case Layout::Pipelined:
            return "pipelined";
        case Layout::Forwarding:
            return "forwarding";
    }
    return "unknown";
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments result;
    Options& options = result.options;
    if (args.empty()) {
        result.error = "a command is needed (see tandrel-cli --help)";
        return result;
    }
    const std::string& first = args[0];
    if (IsHelp(first) || first == "help") {
        options.help = true;
        if (first == "help" && args.size() > 1) {
            for (const CommandEntry& entry : kCommands)
                if (args[1] == entry.name) options.command = entry.command;
        }
        return result;
    }
    if (first == "--version") {
        options.version = true;
        return result;
    }
    for (const CommandEntry& entry : kCommands)
        if (first == entry.name) options.command = entry.command;
    if (options.command == Command::None) {
        result.error =
            (!first.empty() && first[0] == '-' ? "unknown option '" : "unknown command '") + first +
            "' (see tandrel-cli --help)";
        return result;
    }
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (IsHelp(args[i])) {
            options.help = true;
            return result;
        }
    }
    if (options.command == Command::Diagram || options.command == Command::Explain)
        options.layout = Layout::Pipelined;
    result.error = ArgumentReader(args, options).Read();
    return result;
}

std::string ProgramHelp() {
    return "Usage: tandrel-cli COMMAND FILE [OPTIONS]\n"
           "Runs, checks, compares and draws Tandrel definition files (.def) without a window.\n"
           "A file is read exactly as the Load button reads it, so it needs its \"Data:\" line.\n"
           "\n"
           "Commands:\n"
           "  check FILE      parse and list the errors and warnings; exit 0 without errors,\n"
           "                  1 with errors (with --strict, with warnings too)\n"
           "  run FILE        run the program and print the PC, registers and data memory\n"
           "  diagram FILE    print the pipeline diagram of a pipelined run\n"
           "  compare FILE    run on all three layouts and print what differs\n"
           "  picture FILE    draw the datapath into a PNG (1150 x 870 at 100%) or SVG\n"
           "  explain FILE    tell cycle by cycle what the pipeline did: stale reads,\n"
           "                  forwards, taken branches (on simple: the level of each step)\n"
           "\n"
           "  tandrel-cli COMMAND --help   options of a command\n"
           "  tandrel-cli --version        the version\n"
           "\n"
           "Exit status: 0 success; 1 the program has parse errors; 2 bad arguments, or a\n"
           "file that cannot be read or written; 3 --max-steps stopped an unfinished program.\n";
}

std::string CommandHelp(Command command) {
    static const char* const kStepOptions =
        "  --until-done     step until the PC has left the last instruction and, on the\n"
        "                   pipelined layouts, every stage is empty again (the default)\n"
        "  --max-steps N    give up after N steps with exit status 3 (default: 300000\n"
        "                   clock cycles, that is 2100000 steps on simple)\n";
    switch (command) {
        case Command::Check:
            return "Usage: tandrel-cli check FILE [--strict]\n"
                   "Parses FILE and prints the editor's summary, then one line per error and\n"
                   "one per warning:\n"
                   "  FILE:LINE: MESSAGE | LINE AS TYPED\n"
                   "  FILE:LINE: warning: MESSAGE | LINE AS TYPED\n"
                   "An error that belongs to no line is printed as FILE: MESSAGE. A warning\n"
                   "does not stop the program from running.\n"
                   "Exit status 0 when there is no error, 1 when there are errors.\n"
                   "  --strict         exit status 1 for warnings too\n";
        case Command::Run:
            return std::string(
                       "Usage: tandrel-cli run FILE [--layout simple|pipelined|forwarding]\n"
                       "         [--steps N | --until-done] [--max-steps N] [--format "
                       "dec|hex|bin]\n"
                       "         [--json]\n"
                       "Loads FILE, resets, presses Step N times, then prints the step count, the "
                       "PC,\n"
                       "the 32 registers and every non-zero data word, one per line:\n"
                       "  steps N / pc V / $0 V ... $31 V / data[INDEX] V\n"
                       "\n"
                       "  --layout L       datapath to run on (default simple); on simple one\n"
                       "                   instruction takes 7 steps, on the others one step is\n"
                       "                   one clock cycle\n"
                       "  --steps N        press Step exactly N times\n") +
                   kStepOptions +
                   "  --format F       dec (default), hex or bin, as the window's lists show "
                   "values\n"
                   "  --json           one JSON object instead, values as unsigned 32-bit "
                   "numbers:\n"
                   "                   {\"layout\",\"steps\",\"done\",\"pc\",\"registers\":[32],\n"
                   "                   \"data\":{\"INDEX\":VALUE}}\n";
        case Command::Diagram:
            return std::string(
                       "Usage: tandrel-cli diagram FILE [--layout pipelined|forwarding]\n"
                       "         [--steps N | --until-done] [--max-steps N]\n"
                       "         [--format text|csv|svg|json]\n"
                       "Prints the pipeline diagram: one row per instruction fetched (address and\n"
                       "canonical text), one column per step (0 = right after Reset), cells IF ID "
                       "EX\n"
                       "MEM WB. A row marked x was squashed by a taken branch; its later cells "
                       "show --.\n"
                       "\n"
                       "  --layout L       pipelined (default) or forwarding\n"
                       "  --steps N        N steps (columns 0 to N)\n") +
                   kStepOptions +
                   "  --format F       text (default, as above); csv, svg or json: one column per\n"
                   "                   clock cycle 1 to N (cycle k is step k, text column k - 1),\n"
                   "                   csv: address,instruction,squashed,1,...,N\n"
                   "                   svg: a picture for a slide, cells in the stage colours\n"
                   "                   json: {\"layout\",\"cycles\",\"rows\":[{\"address\",\n"
                   "                   \"instruction\",\"fetch\",\"squashed\",\"cells\"}]}\n";
        case Command::Explain:
            return std::string(
                       "Usage: tandrel-cli explain FILE [--layout simple|pipelined|forwarding]\n"
                       "         [--steps N | --until-done] [--max-steps N] [--json]\n"
                       "Runs FILE and tells, cycle by cycle (cycle k is step k), what happened in\n"
                       "plain sentences: every register read too early (stale-read), with the\n"
                       "value read, the value it should have been and the fix; every value the\n"
                       "forwarding unit passed on (forward); every taken branch, the instruction\n"
                       "in its delay slot and the two it squashed. On simple, one line per step\n"
                       "naming the level of the datapath it reached.\n"
                       "\n"
                       "  --layout L       simple, pipelined (default) or forwarding\n"
                       "  --steps N        N steps\n") +
                   kStepOptions +
                   "  --json           "
                   "{\"layout\",\"cycles\",\"events\":[{\"cycle\",\"kind\",...}]}:\n"
                   "                   stale-read: register, reader, writer, read, expected\n"
                   "                   (null when the run stopped before the writer wrote)\n"
                   "                   forward: register, from, to, reader, writer\n"
                   "                   taken-branch, delay-slot, squashed: address\n"
                   "                   level (simple): address, level, what, parts\n";
        case Command::Compare:
            return std::string(
                       "Usage: tandrel-cli compare FILE [--steps N | --until-done] [--max-steps "
                       "N]\n"
                       "         [--format dec|hex|bin]\n"
                       "Runs FILE on the simple, pipelined and forwarding layouts and prints "
                       "every\n"
                       "register and data word whose final value differs, then for each pipelined\n"
                       "layout the first instruction after which its results left the simple "
                       "ones.\n"
                       "\n"
                       "  --steps N        N whole instructions on simple, N clock cycles on the "
                       "others\n") +
                   kStepOptions + "  --format F       dec (default), hex or bin\n";
        case Command::Picture:
            return "Usage: tandrel-cli picture FILE [--layout L] [--steps N] -o OUT.png\n"
                   "         [--format png|svg] [--scale S] [--config FILE]\n"
                   "Draws the datapath as the window shows it after N steps (default 0) into a\n"
                   "1150 x 870 PNG. With %d in OUT, writes one picture per step from 0 to N.\n"
                   "Needs no display. Colours and drawing options are the built-in defaults, or\n"
                   "those of the configuration file given with --config (only read).\n"
                   "\n"
                   "  --format F       png (default) or svg: a vector drawing for slides with\n"
                   "                   the same elements, wires, colours and text\n"
                   "  --scale S        S times the size, from 0.25 to 4 (default 1): 2 gives a\n"
                   "                   2300 x 1740 PNG with everything twice as large\n";
        case Command::None:
            break;
    }
    return ProgramHelp();
}

}  // namespace cli
}  // namespace tandrel
