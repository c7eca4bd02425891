// libFuzzer target: the definition-file load path on arbitrary file contents.
// Built and run by scripts/fuzz.
//
// The file is loaded, parsed and saved; the saved file is loaded, parsed and
// saved again, and the two saves must be the same bytes. The program is then
// stepped a few times on each layout.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/Simulator.h"

using namespace tandrel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Files of this fuzzing process alone, so parallel jobs do not share them;
// in memory, because rewriting files on disk thousands of times a second is
// slow.
std::string FileOf(const char* name) {
    return "/dev/shm/tandrel-deffile-fuzz-" + std::to_string(getpid()) + "-" + name + ".def";
}

std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

std::string Contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Load, parse, reset and take the initial data, as the window's Load does,
// then save to `to`.
void LoadAndSave(Simulator& simulator, const std::string& from, const std::string& to) {
    Check(simulator.LoadFile(Wide(from)));
    simulator.ParseProgram(L"");
    simulator.Reset();
    simulator.LoadInitialData();
    Check(simulator.SaveProgram(Wide(to)));
}

constexpr int kStepsPerLayout = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::string input = FileOf("input");
    static const std::string first = FileOf("first");
    static const std::string second = FileOf("second");
    static const int removeAtExit = std::atexit([] {
        std::remove(input.c_str());
        std::remove(first.c_str());
        std::remove(second.c_str());
    });
    (void)removeAtExit;
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    }

    Simulator simulator;
    LoadAndSave(simulator, input, first);
    const std::string firstSave = Contents(first);

    Simulator again;
    LoadAndSave(again, first, second);
    Check(Contents(second) == firstSave);

    for (Layout layout : {Layout::Simple, Layout::Pipelined, Layout::Forwarding}) {
        simulator.SelectLayout(layout);
        simulator.LoadInitialData();
        for (int step = 0; step < kStepsPerLayout; ++step) simulator.Step();
    }
    return 0;
}
