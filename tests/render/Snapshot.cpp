// Writes a picture of each datapath layout as PPM files, for looking at the
// drawing and for the screenshots in docs/:
//   render_snapshot OUTPUT_DIR [STEPS]
// Simple is drawn after a reset and STEPS steps (default 3), the pipelined
// layouts after a reset and STEPS steps with no instruction highlighted, so
// every instruction in flight shows its colour.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/ViewGeometry.h"
#include "tests/render/GlWindow.h"

namespace {

constexpr int kDefaultSteps = 3;

const wchar_t* const kProgram =
    L"LW $1, 0($0)\n"
    L"ADDI $2, $0, 5\n"
    L"ADD $3, $1, $2\n"
    L"SW $3, 8($0)\n"
    L"BEQ $3, $1, 2\n"
    L"SUB $4, $3, $1\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace tandrel;
    using testing::GlWindow;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [STEPS]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int steps = argc > 2 ? std::atoi(argv[2]) : kDefaultSteps;
    if (!GlWindow::Open(view::kPixelWidth, view::kPixelHeight)) {
        std::fprintf(stderr, "%s\n", GlWindow::Reason().c_str());
        return 1;
    }
    const ColourTable colours;
    const struct {
        Layout layout;
        const char* name;
    } layouts[] = {{Layout::Simple, "simple"},
                   {Layout::Pipelined, "pipelined"},
                   {Layout::Forwarding, "forwarding"}};
    for (const auto& [layout, name] : layouts) {
        Simulator sim;
        testing::LoadProgram(sim, layout, kProgram);
        for (int i = 0; i < steps; ++i) sim.Step();
        DisplayOptions options;
        if (layout != Layout::Simple) options.highlightSingle = false;
        const std::string path = dir + "/" + name + ".ppm";
        if (!GlWindow::Draw(sim, options, colours).WritePpm(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
