#include "cli/Picture.h"

#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "cli/Program.h"
#include "config/Config.h"
#include "render/Picture.h"
#include "sim/Explanation.h"

namespace tandrel {
namespace cli {

namespace {

DisplayOptions DisplayOptionsOf(Config& config) {
    DisplayOptions options;
    options.showControl = config.GetFlag(option::kShowControlLines);
    options.showPc = config.GetFlag(option::kShowPcLines);
    options.highlightSingle = config.GetFlag(option::kHighlightSingleInstruction);
    options.boldDataLines = config.GetFlag(option::kShowBoldDataLines);
    return options;
}

}  // namespace

bool PictureSupported() {
    return true;
}

int DrawPictures(Simulator& sim, const Options& options, std::ostream& err) {
    if (!options.config.empty()) {
        const std::string reason = UnreadableReason(options.config);
        if (!reason.empty()) {
            err << "tandrel-cli: " << reason << '\n';
            return kExitUsage;
        }
    }
    // Only read: the configuration is never written from here. Without
    // --config the built-in defaults apply, whatever the working directory holds.
    Config config(options.config);
    const ColourTable colours(config);
    const DisplayOptions display = DisplayOptionsOf(config);
    const PictureFormat format = options.svg ? PictureFormat::Svg : PictureFormat::Png;

    const bool series = options.output.find("%d") != std::string::npos;
    Explainer explainer;  // for the stale reads to mark
    explainer.Start(sim);
    for (long long step = 0; step <= options.steps; ++step) {
        if (step > 0) {
            sim.Step();
            explainer.Observe(sim);
        }
        if (!series && step < options.steps) continue;
        const std::string name = PictureFileName(options.output, step);
        std::error_code ignored;
        if (std::filesystem::equivalent(name, options.file, ignored)) {
            err << "tandrel-cli: " << name << ": is the program file; not overwritten\n";
            return kExitUsage;
        }
        std::string error;
        const auto staleReads = StaleReadParts(sim, explainer.Events(), step);
        if (!ExportPicture(sim, display, colours, name, format, options.scale, &error,
                           staleReads)) {
            err << "tandrel-cli: " << error << '\n';
            return kExitUsage;
        }
    }
    return kExitSuccess;
}

}  // namespace cli
}  // namespace tandrel
