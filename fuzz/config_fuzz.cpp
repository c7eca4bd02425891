// libFuzzer target: the configuration reader on arbitrary file contents.
// Built and run by scripts/fuzz.
//
// Whatever the file holds, some layout and some number format are chosen,
// and what Save writes reads back to the same 27 options and saves again to
// the same text.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "config/Config.h"

using namespace tandrel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// One file per fuzzing process, so parallel jobs do not share it; in memory,
// because rewriting a file on disk thousands of times a second is slow.
std::string FileOf() {
    return "/dev/shm/tandrel-config-fuzz-" + std::to_string(getpid()) + ".conf";
}

std::string Contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::string input = FileOf();
    static const int removeAtExit = std::atexit([] { std::remove(input.c_str()); });
    (void)removeAtExit;
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    }
    Config read(input);
    Check(read.GetFlag(option::kShowSimpleLayout) || read.GetFlag(option::kShowPipelineLayout) ||
          read.GetFlag(option::kShowForwardingLayout));
    Check(read.GetFlag(option::kBinaryFormat) || read.GetFlag(option::kDecimalFormat) ||
          read.GetFlag(option::kHexadecimalFormat));

    Check(read.Save());
    const std::string first = Contents(input);

    Config back(input);
    for (int index = 1; index <= option::kLast; ++index) {
        if (index <= option::kBackgroundColour)
            Check(back.GetColour(index) == read.GetColour(index));
        else if (index >= option::kSimulatorSashPos)
            Check(back.GetInteger(index) == read.GetInteger(index));
        else
            Check(back.GetFlag(index) == read.GetFlag(index));
    }
    Check(back.Save());
    Check(Contents(input) == first);
    return 0;
}
