// How quickly the main window answers: one Step until its picture is
// finished, a rebuild of the three lists, Run of a long loop, and start-up
// until the first picture. Run under a virtual display, e.g.
//   xvfb-run -a -s '-screen 0 1600x1200x24' ./gui_bench
//       --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// The budgets: Step 16 ms (one frame at 60 Hz), RebuildLists 100 ms,
// start-up 500 ms, a repaint of the timeline pane with 2,000 rows 16 ms.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "app/Ids.h"
#include "app/MyDatalist.h"
#include "app/MyFrame.h"
#include "app/PipelinePanel.h"
#include "bench/LoopProgram.h"
#include "cli/Program.h"
#include "config/Config.h"

namespace tandrel {
namespace {

// 30 instructions of every kind, producers far enough from their consumers
// for every layout, and a branch that is not taken.
const wchar_t* const kProgram =
    L"addi $1, $0, 7\n"
    L"addi $2, $0, 12\n"
    L"nop\n"
    L"nop\n"
    L"add $3, $1, $2\n"
    L"sub $4, $2, $1\n"
    L"slt $5, $1, $2\n"
    L"and $6, $1, $2\n"
    L"or $7, $1, $2\n"
    L"sw $3, 4($0)\n"
    L"lw $8, 4($0)\n"
    L"nop\n"
    L"nop\n"
    L"add $9, $8, $1\n"
    L"beq $1, $2, 2\n"
    L"addi $10, $0, -5\n"
    L"sw $10, 8($0)\n"
    L"lw $11, 8($0)\n"
    L"nop\n"
    L"nop\n"
    L"sub $12, $11, $3\n"
    L"or $13, $12, $4\n"
    L"and $14, $13, $5\n"
    L"slt $15, $10, $0\n"
    L"addi $16, $15, 100\n"
    L"sw $16, 12($0)\n"
    L"nop\n"
    L"nop\n"
    L"add $17, $16, $16\n"
    L"sw $17, 16($0)\n";
constexpr int kProgramLength = 30;

// Lets the toolkit handle everything pending (paints, sizes, posted events).
void Settle() {
    for (int round = 0; round < 5; ++round) {
        wxTheApp->ProcessPendingEvents();
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->Yield(true);
    }
}

// Handles events until the canvas has had its first paint, whose Render
// then runs to the end; false if it never comes.
bool UntilFirstPicture(MyFrame& frame) {
    for (int round = 0; round < 100000; ++round) {
        wxTheApp->ProcessPendingEvents();
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->Yield(true);
        if (frame.Canvas()->Painted()) {
            glFinish();  // the paint left the canvas's context current
            return true;
        }
    }
    return false;
}

// The program's start-up, with the size a maximized window would have (a
// virtual display has no window manager to maximize it).
MyFrame* OpenFrame() {
    Config::ReloadInstance();
    auto* frame = new MyFrame(wxT("Tandrel"), wxPoint(50, 50), wxSize(450, 340));
    frame->Show(true);
    frame->SetSize(wxSize(1500, 950));
    wxTheApp->SetTopWindow(frame);
    frame->FinishStartup();
    return frame;
}

void Command(MyFrame& frame, int id, wxEventType type = wxEVT_MENU) {
    wxCommandEvent event(type, id);
    frame.ProcessWindowEvent(event);
}

// One frame, opened and painted once, with the program parsed.
MyFrame* sharedFrame = nullptr;

MyFrame* SharedFrame() {
    if (sharedFrame == nullptr) {
        sharedFrame = OpenFrame();
        if (!UntilFirstPicture(*sharedFrame)) return nullptr;
        sharedFrame->ProgramText()->SetValue(kProgram);
        Command(*sharedFrame, ID_PARSE_BUTTON, wxEVT_BUTTON);
        Settle();
    }
    return sharedFrame;
}

int LayoutMenuId(Layout layout) {
    switch (layout) {
        case Layout::Simple:
            return ID_LAYOUT_SIMPLE;
        case Layout::Pipelined:
            return ID_LAYOUT_PIPELINED;
        default:
            return ID_LAYOUT_FORWARDING;
    }
}

// Steps that carry the whole program through the layout; then it is reset
// (outside the timing) so every measured Step has instructions in flight.
int StepsPerRun(Layout layout) {
    return layout == Layout::Simple ? 7 * kProgramLength : kProgramLength + 4;
}

MyFrame* PrepareStep(benchmark::State& state, Layout layout) {
    MyFrame* frame = SharedFrame();
    if (frame == nullptr) {
        state.SkipWithError("the canvas was never painted");
        return nullptr;
    }
    Command(*frame, LayoutMenuId(layout));
    Command(*frame, wxID_STOP, wxEVT_BUTTON);
    Settle();
    if (!frame->GetSimulator().ProgramValid()) {
        state.SkipWithError("the program did not parse");
        return nullptr;
    }
    return frame;
}

// The Step handler (machine, register and data lists, row colours and
// status bar updated and repainted, canvas drawn and swapped) until OpenGL
// has finished the picture.
void BM_Step(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    MyFrame* frame = PrepareStep(state, layout);
    if (frame == nullptr) return;
    wxCommandEvent step(wxEVT_BUTTON, wxID_FORWARD);
    wxCommandEvent reset(wxEVT_BUTTON, wxID_STOP);
    int taken = 0;
    for (auto _ : state) {
        frame->OnStep(step);
        glFinish();
        if (++taken == StepsPerRun(layout)) {
            state.PauseTiming();
            frame->OnReset(reset);
            taken = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_Step)
    ->Arg(static_cast<int>(Layout::Simple))
    ->Arg(static_cast<int>(Layout::Pipelined))
    ->Arg(static_cast<int>(Layout::Forwarding))
    ->Unit(benchmark::kMillisecond);

// The same Step, followed by the repaint of anything it left invalidated:
// what the user waits for before the window shows the new state.
void BM_StepAndRepaint(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    MyFrame* frame = PrepareStep(state, layout);
    if (frame == nullptr) return;
    wxCommandEvent step(wxEVT_BUTTON, wxID_FORWARD);
    wxCommandEvent reset(wxEVT_BUTTON, wxID_STOP);
    int taken = 0;
    for (auto _ : state) {
        frame->OnStep(step);
        glFinish();
        frame->Update();
        if (++taken == StepsPerRun(layout)) {
            state.PauseTiming();
            frame->OnReset(reset);
            frame->Update();
            taken = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_StepAndRepaint)
    ->Arg(static_cast<int>(Layout::Simple))
    ->Arg(static_cast<int>(Layout::Pipelined))
    ->Arg(static_cast<int>(Layout::Forwarding))
    ->Unit(benchmark::kMillisecond);

// All three lists re-created, with the instruction rows and program text
// coloured, on the Pipelined layout with instructions in flight.
void BM_RebuildLists(benchmark::State& state) {
    MyFrame* frame = PrepareStep(state, Layout::Pipelined);
    if (frame == nullptr) return;
    for (int i = 0; i < 5; ++i) Command(*frame, wxID_FORWARD, wxEVT_BUTTON);
    for (auto _ : state) frame->RebuildLists();
}
BENCHMARK(BM_RebuildLists)->Unit(benchmark::kMillisecond);

// The window's Run of the loop and the command line's run of it, taken in
// turns in this one process so both meet the same load; the counters give
// the medians of the turns and their ratio (budget: 1.5). The window's turn
// is Reset, Run (F5) to the end and the redraws that come with it; the
// command line's is RunUntilDone in cli_bench: a new machine, the definition
// file read and parsed, and --until-done's run.
// Apart, as counters too: the window's Reset alone, one showing of the
// machine (lists and drawing, as the final one and each during the run) and
// the command line's reading of the file.
double Milliseconds(const std::chrono::steady_clock::duration& d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Wall and this thread's CPU milliseconds of f().
template <typename F>
std::pair<double, double> Timed(F&& f) {
    const double cpu = ThreadCpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    f();
    return {Milliseconds(std::chrono::steady_clock::now() - start), ThreadCpuMilliseconds() - cpu};
}

void BM_RunLoopVsCli(benchmark::State& state) {
    const auto layout = static_cast<Layout>(state.range(0));
    MyFrame* frame = PrepareStep(state, layout);
    if (frame == nullptr) return;
    std::string text = LoopProgram();
    const std::string file = (std::filesystem::current_path() / "loop.def").string();
    std::ofstream(file) << text;
    text.erase(text.rfind("Data:"));
    frame->ProgramText()->SetValue(wxString::FromUTF8(text));
    Command(*frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
    Settle();
    std::vector<double> window, windowCpu, cli, cliCpu, reset, show, load;
    for (auto _ : state) {
        bool finished = false;
        const auto [wall, cpu] = Timed([&] {
            Command(*frame, wxID_STOP, wxEVT_BUTTON);
            Command(*frame, ID_RUN, wxEVT_BUTTON);
            while (frame->Running()) {
                wxTheApp->ProcessPendingEvents();
                while (wxTheApp->Pending()) wxTheApp->Dispatch();
                wxTheApp->ProcessIdle();
            }
            finished = frame->GetSimulator().GetRegisters()->Read(2) == 3u * kIterations;
        });
        window.push_back(wall);
        windowCpu.push_back(cpu);
        show.push_back(Timed([&] { Command(*frame, ID_STOP_RUN); }).first);
        reset.push_back(Timed([&] { Command(*frame, wxID_STOP, wxEVT_BUTTON); }).first);

        const auto [cliWall, cliCpuTime] = Timed([&] {
            Simulator sim;
            sim.KeepHistory(false);  // as the command line runs
            load.push_back(Timed([&] { cli::LoadDefinitionFile(sim, file, layout); }).first);
            const cli::RunOutcome outcome =
                cli::RunProgram(sim, cli::RunLimits{}, cli::ProgramEnd(sim));
            finished = finished && outcome.done && sim.GetRegisters()->Read(2) == 3u * kIterations;
        });
        cli.push_back(cliWall);
        cliCpu.push_back(cliCpuTime);
        if (!finished) {
            state.SkipWithError(("the loop did not finish: " + frame->RunState()).utf8_str());
            break;
        }
    }
    state.counters["window_ms"] = Median(window);
    state.counters["cli_ms"] = Median(cli);
    state.counters["ratio"] = Median(window) / Median(cli);
    state.counters["cpu_ratio"] = Median(windowCpu) / Median(cliCpu);
    state.counters["reset_ms"] = Median(reset);
    state.counters["show_ms"] = Median(show);
    state.counters["cli_load_ms"] = Median(load);
    std::filesystem::remove(file);
    frame->ProgramText()->SetValue(kProgram);
    Command(*frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
}
BENCHMARK(BM_RunLoopVsCli)
    ->ArgName("layout")
    ->Arg(static_cast<int>(Layout::Simple))
    ->Arg(static_cast<int>(Layout::Pipelined))
    ->Arg(static_cast<int>(Layout::Forwarding))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);

// The timeline pane repainted with 2,000 rows, scrolled to the middle of a
// long run of a loop (a taken branch and its squashed fetches each turn).
void BM_TimelineRepaint(benchmark::State& state) {
    MyFrame* frame = PrepareStep(state, Layout::Pipelined);
    if (frame == nullptr) return;
    frame->ProgramText()->SetValue(
        wxT("loop: addi $1, $1, 1\nadd $2, $1, $1\nsw $2, 4($0)\nbeq $0, $0, loop\nnop\n"));
    Command(*frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
    frame->ShowTimeline(true);
    TimelinePane* pane = frame->Pipeline()->Timeline();
    long long cycle = 0;
    while (pane->RowCount() < 2000) frame->GoToCycle(cycle += 500);
    Settle();
    int unitX = 1, unitY = 1;
    pane->GetScrollPixelsPerUnit(&unitX, &unitY);
    const wxSize virtualSize = pane->GetVirtualSize();
    pane->Scroll(virtualSize.x / 2 / unitX, virtualSize.y / 2 / unitY);
    Settle();
    const long long paints = pane->Paints();
    for (auto _ : state) {
        pane->Refresh(false);
        pane->Update();
    }
    if (pane->Paints() - paints < static_cast<long long>(state.iterations()))
        state.SkipWithError("Update did not repaint the pane");
    state.counters["rows"] = static_cast<double>(pane->RowCount());
    frame->ShowTimeline(false);
}
BENCHMARK(BM_TimelineRepaint)->Unit(benchmark::kMillisecond);

// One picture of the Forwarding layout with instructions in flight, drawn
// and swapped until OpenGL has finished it, at a zoom in percent (the
// scrolled 200% view: budget 8 ms).
void BM_FrameAtZoom(benchmark::State& state) {
    MyFrame* frame = PrepareStep(state, Layout::Forwarding);
    if (frame == nullptr) return;
    for (int i = 0; i < 5; ++i) Command(*frame, wxID_FORWARD, wxEVT_BUTTON);
    frame->DrawingView()->SetZoom(state.range(0) / 100.0);
    frame->DrawingView()->ScrollTo(400, 300);
    Settle();
    for (auto _ : state) {
        frame->Canvas()->Render();
        glFinish();
    }
    Command(*frame, ID_ZOOM_FIT);
}
BENCHMARK(BM_FrameAtZoom)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// From constructing the main window to its first finished picture.
void BM_StartUp(benchmark::State& state) {
    if (sharedFrame != nullptr) {  // only one main window at a time
        sharedFrame->Destroy();
        sharedFrame = nullptr;
        Settle();
    }
    for (auto _ : state) {
        MyFrame* frame = OpenFrame();
        const bool painted = UntilFirstPicture(*frame);
        state.PauseTiming();
        frame->Destroy();
        Settle();
        state.ResumeTiming();
        if (!painted) {
            state.SkipWithError("the canvas was never painted");
            break;
        }
    }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tandrel

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::cerr << "gui_bench needs an X display (run it under xvfb-run)\n";
        return 1;
    }
    // Each run gets a working folder of its own for "tandrel.conf".
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandrel-gui-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);

    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    // Warnings go to the terminal: a message box would stop the run.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxLog::SetLogLevel(wxLOG_Warning);

    benchmark::RunSpecifiedBenchmarks();

    if (tandrel::sharedFrame != nullptr) {
        tandrel::sharedFrame->Destroy();
        tandrel::Settle();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    benchmark::Shutdown();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    return 0;
}
