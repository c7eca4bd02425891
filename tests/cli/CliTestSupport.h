#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace tandrel {
namespace clitest {

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tandrel-cli-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Write(const std::string& name, const std::string& contents) const {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary) << contents;
        return file;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.insert(entry.path().filename().string());
        return names;
    }

    std::string path;
};

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
