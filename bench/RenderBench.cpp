// Time to draw one frame of the forwarding datapath, the largest layout, as
// the canvas draws it. Needs an X display (Xvfb with Mesa's software
// renderer is the reference); each frame ends with glFinish so the time
// includes rasterisation. Run for the median of 100 frames:
//   xvfb-run -a -s '-screen 0 1280x1024x24' render_bench

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

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

void BM_DrawForwardingFrame(benchmark::State& state) {
    if (!OpenWindow()) {
        state.SkipWithError("no X display; run under xvfb-run");
        return;
    }
    Simulator sim;
    sim.SelectLayout(Layout::Forwarding);
    sim.ParseProgram(
        L"LW $1, 0($0)\nADDI $2, $0, 5\nADD $3, $1, $2\nSW $3, 8($0)\n"
        L"BEQ $3, $1, 2\nSUB $4, $3, $1\nOR $5, $4, $2\n");
    sim.Reset();
    for (int i = 0; i < kSteps; ++i) sim.Step();
    DisplayOptions options;
    options.highlightSingle = false;  // every instruction in flight coloured
    const ColourTable colours;
    glDrawBuffer(GL_BACK);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);

    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        SetUpView(view::kPixelWidth, view::kPixelHeight);
        DrawDatapath(sim, options, colours);
        glFinish();
    }
    glutSwapBuffers();
}

// One frame per repetition, wall-clock time (Mesa renders on its own
// threads); the report's median is over the 100 frames.
BENCHMARK(BM_DrawForwardingFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(kFrames)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tandrel

BENCHMARK_MAIN();
