#include "cli/Commands.h"

#include <iostream>
#include <sstream>

#include "cli/Compare.h"
#include "cli/Diagram.h"
#include "cli/Explain.h"
#include "cli/Options.h"
#include "cli/Picture.h"
#include "cli/Program.h"

#ifndef TANDREL_VERSION
#define TANDREL_VERSION "unknown"
#endif

namespace tandrel {
namespace cli {

namespace {

// The simulator reports a file it cannot open and faulty element inputs on
// standard output, where they would spoil results meant for scripts: while
// it works, that goes to standard error instead.
class CoreOutputToErrors {
  public:
    explicit CoreOutputToErrors(std::ostream& err)
        : err(err), saved(std::cout.rdbuf(buffer.rdbuf())) {}
    ~CoreOutputToErrors() {
        std::cout.rdbuf(saved);
        err << buffer.str();
    }
    CoreOutputToErrors(const CoreOutputToErrors&) = delete;
    CoreOutputToErrors& operator=(const CoreOutputToErrors&) = delete;

  private:
    std::ostream& err;
    std::ostringstream buffer;
    std::streambuf* saved;
};

RunLimits LimitsOf(const Options& options) {
    RunLimits limits;
    limits.untilDone = options.untilDone;
    limits.steps = options.steps;
    limits.maxSteps = options.maxSteps;
    return limits;
}

void ReportLimit(std::ostream& err, const Options& options, Layout layout, const std::string& where,
                 bool wrapped) {
    err << "tandrel-cli: " << options.file << ": not finished after --max-steps "
        << MaxStepsOn(LimitsOf(options), layout) << " steps" << where
        << (wrapped ? "; a branch took the PC below address 0, from where it wraps round to 0 "
                      "and runs the program again"
                    : "; the program may never end")
        << "\n";
}

int Check(const Simulator& sim, const Options& options, std::ostream& out) {
    const Parser& parser = sim.GetParser();
    out << FormatCheck(options.file, Narrow(ParseSummary(parser)), CollectParseMessages(sim));
    const bool failed = parser.ErrorCount() > 0 || (options.strict && !parser.Warnings().empty());
    return failed ? kExitParseErrors : kExitSuccess;
}

int Run(Simulator& sim, const Options& options, std::ostream& out, std::ostream& err) {
    const RunOutcome outcome = RunProgram(sim, LimitsOf(options), ProgramEnd(sim));
    const MachineState state = CaptureState(sim);
    out << (options.json ? FormatRunJson(state, options.layout, outcome, sim.GetProgress())
                         : FormatRunText(state, outcome.steps, options.format));
    if (!outcome.limitHit) return kExitSuccess;
    ReportLimit(err, options, options.layout, "", outcome.wrapped);
    return kExitStepLimit;
}

// Runs the program with an explainer watching every step.
RunOutcome RunExplained(Simulator& sim, const Options& options, Explainer& explainer) {
    explainer.Start(sim);
    return RunProgram(sim, LimitsOf(options), ProgramEnd(sim),
                      [&explainer](const Simulator& s) { explainer.Observe(s); });
}

int DrawDiagram(Simulator& sim, const Options& options, std::ostream& out, std::ostream& err) {
    Explainer explainer;
    const RunOutcome outcome = RunExplained(sim, options, explainer);
    out << FormatDiagramAs(BuildDiagram(sim, explainer.GetTimeline()), options.diagramFormat);
    if (!outcome.limitHit) return kExitSuccess;
    ReportLimit(err, options, options.layout, "", outcome.wrapped);
    return kExitStepLimit;
}

int Explain(Simulator& sim, const Options& options, std::ostream& out, std::ostream& err) {
    Explainer explainer;
    const RunOutcome outcome = RunExplained(sim, options, explainer);
    out << (options.json ? FormatExplainJson(explainer) : FormatExplainText(sim, explainer));
    if (!outcome.limitHit) return kExitSuccess;
    ReportLimit(err, options, options.layout, "", outcome.wrapped);
    return kExitStepLimit;
}

int Compare(Simulator& sim, const Options& options, std::ostream& out, std::ostream& err) {
    const Comparison comparison = CompareLayouts(sim, LimitsOf(options));
    out << FormatComparison(comparison, options.format);
    std::string stopped;
    Layout first = Layout::Simple;
    bool wrapped = false;
    for (const LayoutRun& run : comparison.runs) {
        if (!run.outcome.limitHit) continue;
        if (stopped.empty()) first = run.layout;
        stopped += std::string(stopped.empty() ? "" : ", ") + LayoutName(run.layout);
        wrapped = wrapped || run.outcome.wrapped;
    }
    if (stopped.empty()) return kExitSuccess;
    ReportLimit(err, options, first, " on " + stopped, wrapped);
    return kExitStepLimit;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArguments parsed = ParseArguments(args);
    const Options& options = parsed.options;
    if (!parsed.error.empty()) {
        err << "tandrel-cli: " << parsed.error << '\n';
        return kExitUsage;
    }
    if (options.version) {
        out << "tandrel-cli " << TANDREL_VERSION << '\n';
        return kExitSuccess;
    }
    if (options.help) {
        out << CommandHelp(options.command);
        return kExitSuccess;
    }
    if (options.command == Command::Picture && !PictureSupported()) {
        err << "tandrel-cli: this build cannot draw pictures (built without the drawing library)\n";
        return kExitUsage;
    }
    const std::string unreadable = UnreadableReason(options.file);
    if (!unreadable.empty()) {
        err << "tandrel-cli: " << unreadable << '\n';
        return kExitUsage;
    }

    CoreOutputToErrors redirect(err);
    Simulator sim;
    sim.KeepHistory(false);  // nothing here steps back
    LoadDefinitionFile(sim, options.file, options.layout);
    if (options.command == Command::Check) return Check(sim, options, out);

    if (sim.ErrorCount() > 0) {
        const int n = sim.ErrorCount();
        err << "tandrel-cli: " << options.file << ": " << n << (n == 1 ? " error" : " errors")
            << " when parsing the instructions (see tandrel-cli check " << options.file << ")\n";
        return kExitParseErrors;
    }
    if (const std::size_t n = sim.GetParser().Warnings().size(); n > 0) {
        err << "tandrel-cli: " << options.file << ": " << n << (n == 1 ? " warning" : " warnings")
            << " (see tandrel-cli check " << options.file << ")\n";
    }
    switch (options.command) {
        case Command::Run:
            return Run(sim, options, out, err);
        case Command::Diagram:
            return DrawDiagram(sim, options, out, err);
        case Command::Compare:
            return Compare(sim, options, out, err);
        case Command::Picture:
            return DrawPictures(sim, options, err);
        case Command::Explain:
            return Explain(sim, options, out, err);
        case Command::Check:
        case Command::None:
            break;
    }
    return kExitUsage;
}

}  // namespace cli
}  // namespace tandrel
