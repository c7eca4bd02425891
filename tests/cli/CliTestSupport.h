#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/TempDir.h"

namespace tandrel {
namespace clitest {

using test::TempDir;

struct Result {
    int status = -1;
    std::string out, err;
};

// Runs `command` with /bin/sh in a process group of its own; after
// `seconds` the whole group is killed, so a program that hangs fails its test
// instead of leaving it, and itself, running. The exit status, or -1.
inline int RunLimited(const std::string& command, int seconds = 120) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (child < 0) return -1;
    ::setpgid(child, child);
    int raw = 0;
    for (int waited = 0; ::waitpid(child, &raw, WNOHANG) == 0; ++waited) {
        if (waited >= seconds * 100) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, &raw, 0);
            return -1;
        }
        ::usleep(10000);
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs tandrel-cli with `args` (shell syntax) in `dir` as its working
// folder, the way a user does. `env` is put before the command, e.g.
// "env -u DISPLAY".
inline Result RunCli(const TempDir& dir, const std::string& args, const std::string& env = "") {
    TempDir capture;  // outside `dir`, so a test can see what the program wrote there
    const std::string command = "cd '" + dir.path + "' && exec " + env + " '" TANDREL_CLI_PATH
                                "' " + args + " >'" + capture.path + "/out' 2>'" + capture.path +
                                "/err'";
    Result result;
    result.status = RunLimited(command);
    result.out = capture.Read("out");
    result.err = capture.Read("err");
    return result;
}

// Runs a Python snippet on a file and gives what it printed.
inline std::string Python(const std::string& script, const std::string& file) {
    TempDir capture;
    const std::string command =
        "python3 -c '" + script + "' '" + file + "' >'" + capture.path + "/out' 2>&1";
    RunLimited(command);
    return capture.Read("out");
}

}  // namespace clitest
}  // namespace tandrel
