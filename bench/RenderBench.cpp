// Time to draw one frame of the forwarding datapath, the largest layout, as
// the canvas draws it, at 100% and zoomed to 200% (the middle of the
// drawing fills the canvas); and to export one step as SVG and as PNG.
// Frames need an X display (Xvfb with Mesa's software renderer is the
// reference); each ends with glFinish so the time includes rasterisation.
// Run for the median of 100 repetitions:
//   xvfb-run -a -s '-screen 0 1280x1024x24' render_bench

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/Picture.h"
#include "render/Renderer.h"
#include "render/ViewGeometry.h"
#include "sim/Simulator.h"

// Last: Xlib defines macros (None, Status) that clash with names above.
#include <X11/Xlib.h>

namespace tandrel {
namespace {

constexpr int kFrames = 100;
constexpr int kSteps = 4;  // enough for every stage to hold an instruction

bool OpenWindow() {
    static const bool opened = [] {
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == '\0') return false;
        Display* display = XOpenDisplay(nullptr);
        if (display == nullptr) return false;
        int argc = 1;
        char program[] = "render_bench";
        char* argv[] = {program, nullptr};
        glutInit(&argc, argv);
        // Closed only now: a server left without clients resets and refuses
        // connections meanwhile.
        XCloseDisplay(display);
        glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGBA);
        glutInitWindowSize(view::kPixelWidth, view::kPixelHeight);
        glutCreateWindow("Tandrel render benchmark");
        glutDisplayFunc([] {});
        glutMainLoopEvent();
        return true;
    }();
    return opened;
}

// The forwarding layout a few steps in, every instruction in flight coloured.
void LoadForwarding(Simulator& sim, DisplayOptions& options) {
    sim.SelectLayout(Layout::Forwarding);
    sim.ParseProgram(
        L"LW $1, 0($0)\nADDI $2, $0, 5\nADD $3, $1, $2\nSW $3, 8($0)\n"
        L"BEQ $3, $1, 2\nSUB $4, $3, $1\nOR $5, $4, $2\n");
    sim.Reset();
    for (int i = 0; i < kSteps; ++i) sim.Step();
    options.highlightSingle = false;
}

// Argument: the zoom in percent.
void BM_DrawForwardingFrame(benchmark::State& state) {
    if (!OpenWindow()) {
        state.SkipWithError("no X display; run under xvfb-run");
        return;
    }
    Simulator sim;
    DisplayOptions options;
    LoadForwarding(sim, options);
    const ColourTable colours;
    const double zoom = state.range(0) / 100.0;
    glDrawBuffer(GL_BACK);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);

    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        SetUpView(view::kPixelWidth, view::kPixelHeight);
        glScaled(zoom, zoom, 1.0);
        // Keep the middle of the layout in the middle of the canvas.
        glTranslated(view::kLayoutWidth * (1.0 / zoom - 1.0) / 2.0,
                     view::kLayoutHeight * (1.0 / zoom - 1.0) / 2.0, 0.0);
        DrawDatapath(sim, options, colours, zoom);
        glFinish();
    }
    glutSwapBuffers();
}

// Argument: 0 for SVG, 1 for PNG.
void BM_ExportForwardingPicture(benchmark::State& state) {
    Simulator sim;
    DisplayOptions options;
    LoadForwarding(sim, options);
    const ColourTable colours;
    const bool svg = state.range(0) == 0;
    const std::string path = std::string("/tmp/tandrel-render-bench.") + (svg ? "svg" : "png");
    std::string error;
    for (auto _ : state) {
        if (!ExportPicture(sim, options, colours, path,
                           svg ? PictureFormat::Svg : PictureFormat::Png, 1.0, &error))
            state.SkipWithError(error.c_str());
    }
    std::remove(path.c_str());
}

// One frame per repetition, wall-clock time (Mesa renders on its own
// threads); the report's median is over the 100 frames.
BENCHMARK(BM_DrawForwardingFrame)
    ->Arg(100)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(kFrames)
    ->ReportAggregatesOnly(true);

BENCHMARK(BM_ExportForwardingPicture)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kFrames)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tandrel

BENCHMARK_MAIN();
