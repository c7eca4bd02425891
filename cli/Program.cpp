#include "cli/Program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "format/DiagramSvg.h"

namespace tandrel {
namespace cli {

namespace {

constexpr std::uint64_t kWordMask = 0xFFFFFFFFu;
constexpr int kRegisterCount = 32;

std::wstring WidePath(const std::string& path) {
    return std::filesystem::path(path).wstring();
}

std::uint32_t Word(std::uint64_t value) {
    return static_cast<std::uint32_t>(value & kWordMask);
}

// The physical lines of the text, each with its line break when it has one,
// as the lexer records a faulty line.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L'\n', start);
        const std::size_t stop = end == std::wstring::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, stop - start));
        start = stop;
    }
    return lines;
}

std::string WithoutLineBreak(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(c >= 0 && c < 128 ? static_cast<char>(c) : '?');
    return out;
}

std::string InstructionText(const Simulator& sim, std::uint64_t address) {
    return ProgramLineText(sim, address);
}

std::string UnreadableReason(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return path + ": " + std::strerror(EISDIR);
    if (!S_ISREG(info.st_mode)) return path + ": not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return path + ": " + std::strerror(errno);
    ::close(fd);
    try {
        WidePath(path);
    } catch (const std::exception&) {
        return path + ": the file name is not valid text in this locale";
    }
    return std::string();
}

void LoadDefinitionFile(Simulator& sim, const std::string& path, Layout layout) {
    sim.SelectLayout(layout);
    sim.LoadFile(WidePath(path));
    sim.ParseProgram(L"");
    sim.Reset();
    sim.LoadInitialData();
}

long long MaxStepsOn(const RunLimits& limits, Layout layout) {
    return tandrel::MaxStepsOn(layout, limits.maxSteps);
}

RunOutcome RunProgram(Simulator& sim, const RunLimits& limits, std::uint64_t end,
                      const std::function<void(const Simulator&)>& afterStep) {
    RunOutcome outcome;
    auto step = [&] {
        sim.Step();
        ++outcome.steps;
        if (sim.PcValue() >= kBelowAddressZero) outcome.wrapped = true;
        if (afterStep) afterStep(sim);
    };
    if (limits.untilDone) {
        const long long maxSteps = MaxStepsOn(limits, sim.CurrentLayout());
        while (!ProgramDone(sim, end)) {
            if (outcome.steps >= maxSteps) {
                outcome.limitHit = true;
                break;
            }
            step();
        }
    } else {
        while (outcome.steps < limits.steps) step();
    }
    outcome.done = ProgramDone(sim, end);
    return outcome;
}

MachineState CaptureState(const Simulator& sim) {
    MachineState state;
    state.pc = Word(sim.PcValue());
    const auto& registers = sim.GetRegisters()->storage;
    for (int n = 0; n < kRegisterCount; ++n) {
        const auto found = registers.find(static_cast<std::uint64_t>(n));
        if (found != registers.end()) state.registers[n] = Word(found->second);
    }
    for (const auto& [index, value] : sim.GetDataMemory()->storage)
        if (Word(value) != 0) state.data[index] = Word(value);
    return state;
}

std::string ListValue(std::uint32_t value, NumberFormat format) {
    return Narrow(FormatNumber(value, false, false, format));
}

std::string FormatRunText(const MachineState& state, long long steps, NumberFormat format) {
    std::ostringstream out;
    out << "steps " << steps << '\n';
    out << "pc " << ListValue(state.pc, format) << '\n';
    for (int n = 0; n < kRegisterCount; ++n)
        out << '$' << n << ' ' << ListValue(state.registers[n], format) << '\n';
    for (const auto& [index, value] : state.data)
        out << "data[" << index << "] " << ListValue(value, format) << '\n';
    return out.str();
}

std::string FormatRunJson(const MachineState& state, Layout layout, const RunOutcome& outcome,
                          const Progress& progress) {
    static const char* const kLayouts[] = {"simple", "pipelined", "forwarding"};
    std::ostringstream out;
    out << "{\"layout\":\"" << kLayouts[static_cast<int>(layout)]
        << "\",\"steps\":" << outcome.steps << ",\"cycles\":" << progress.cycles
        << ",\"instructions\":" << progress.instructions << ",\"cpi\":";
    // Three decimals, or null before any instruction has completed.
    if (progress.instructions > 0) {
        char cpi[32];
        std::snprintf(cpi, sizeof cpi, "%.3f", progress.Cpi());
        out << cpi;
    } else {
        out << "null";
    }
    out << ",\"done\":" << (outcome.done ? "true" : "false")
        << ",\"pc\":" << state.pc << ",\"registers\":[";
    for (int n = 0; n < kRegisterCount; ++n) out << (n == 0 ? "" : ",") << state.registers[n];
    out << "],\"data\":{";
    bool first = true;
    for (const auto& [index, value] : state.data) {
        out << (first ? "" : ",") << '"' << index << "\":" << value;
        first = false;
    }
    out << "}}\n";
    return out.str();
}

std::vector<ParseMessage> CollectParseMessages(const Simulator& sim) {
    const Parser& parser = sim.GetParser();
    const std::vector<std::wstring> lines = SplitLines(parser.ProgramText());
    auto message = [&lines](int line, const std::wstring& text, bool warning) {
        ParseMessage m;
        m.line = line;
        m.message = Narrow(text);
        m.warning = warning;
        if (line > 0 && static_cast<std::size_t>(line) <= lines.size())
            m.text = WithoutLineBreak(Narrow(lines[static_cast<std::size_t>(line) - 1]));
        return m;
    };
    std::vector<ParseMessage> messages;
    for (int i = 0; i < parser.ErrorCount(); ++i) {
        std::wstring text;
        parser.GetErrorMessage(i, text);
        messages.push_back(message(parser.GetErrorLine(i), text, false));
    }
    for (const ParseWarning& warning : parser.Warnings())
        messages.push_back(message(warning.line, warning.text, true));
    return messages;
}

std::string FormatCheck(const std::string& path, const std::string& summary,
                        const std::vector<ParseMessage>& messages) {
    std::string out = summary;
    if (out.empty() || out.back() != '\n') out += '\n';
    for (const ParseMessage& message : messages) {
        out += path;
        if (message.line > 0) out += ':' + std::to_string(message.line);
        out += message.warning ? ": warning: " : ": ";
        out += message.message;
        if (!message.text.empty()) out += " | " + message.text;
        out += '\n';
    }
    return out;
}

}  // namespace cli
}  // namespace tandrel
