#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tandrel {
namespace cli {

// Exit statuses.
constexpr int kExitSuccess = 0;
constexpr int kExitParseErrors = 1;
constexpr int kExitUsage = 2;  // bad arguments, unreadable or unwritable files
constexpr int kExitStepLimit = 3;

// The whole program: `args` are the arguments after the program name.
// Results go to `out`, messages to `err`.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace cli
}  // namespace tandrel
