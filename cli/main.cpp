#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Results are written through a stream of our own on standard output,
    // so that what the simulator itself prints can be kept off it.
    std::ostream out(std::cout.rdbuf());
    int status = tandrel::cli::RunCli(args, out, std::cerr);
    out.flush();
    // The stream shares standard output with std::cout, whose flushes (before
    // anything goes to std::cerr) may have met the error first.
    if (!out || std::ferror(stdout) != 0) {
        std::cerr << "tandrel-cli: standard output: write error\n";
        status = tandrel::cli::kExitUsage;
    }
    return status;
}
