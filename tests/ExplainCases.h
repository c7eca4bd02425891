#pragma once

// Hand-worked programs and the events the explanation must give for them,
// as `tandrel-cli explain --json` prints them. Data word 8 holds 7.

namespace tandrel {
namespace explaincase {

struct Case {
    const char* name;
    const char* program;
    const char* pipelined;   // events on Pipelined
    const char* forwarding;  // events on Data Forwarding
};

constexpr const char* kData = "Data:\n0, 0, 0, 0, 0, 0, 0, 0, 7\n";

inline const Case kCases[] = {
    {"AluResultAtDistance1", "ADDI $1, $0, 5\nADD $2, $1, $1\n",
     R"({"cycle":3,"kind":"stale-read","register":1,"reader":4,"writer":0,"read":0,"expected":5})",
     R"({"cycle":4,"kind":"forward","register":1,"from":"EX/MEM","to":"A","reader":4,"writer":0},)"
     R"({"cycle":4,"kind":"forward","register":1,"from":"EX/MEM","to":"B","reader":4,"writer":0})"},
    {"AluResultAtDistance2", "ADDI $1, $0, 5\nNOP\nADD $2, $1, $0\n",
     R"({"cycle":4,"kind":"stale-read","register":1,"reader":8,"writer":0,"read":0,"expected":5})",
     R"({"cycle":5,"kind":"forward","register":1,"from":"MEM/WB","to":"A","reader":8,"writer":0})"},
    {"AluResultAtDistance3", "ADDI $1, $0, 5\nNOP\nNOP\nSUB $2, $0, $1\n", "", ""},
    {"LoadUsedAtOnce", "LW $1, 8($0)\nADD $2, $1, $1\n",
     R"({"cycle":3,"kind":"stale-read","register":1,"reader":4,"writer":0,"read":0,"expected":7})",
     R"({"cycle":4,"kind":"stale-read","register":1,"reader":4,"writer":0,"read":8,"expected":7})"},
    {"LoadUsedAfterOneNop", "LW $1, 8($0)\nNOP\nADD $2, $0, $1\n",
     R"({"cycle":4,"kind":"stale-read","register":1,"reader":8,"writer":0,"read":0,"expected":7})",
     R"({"cycle":5,"kind":"forward","register":1,"from":"MEM/WB","to":"B","reader":8,"writer":0})"},
    {"StoreAfterProducer", "ADDI $1, $0, 5\nSW $1, 8($0)\n",
     R"({"cycle":3,"kind":"stale-read","register":1,"reader":4,"writer":0,"read":0,"expected":5})",
     R"({"cycle":4,"kind":"forward","register":1,"from":"EX/MEM","to":"store data",)"
     R"("reader":4,"writer":0})"},
    // On Pipelined the BEQ compares the old $1 (0) with $0 and is taken.
    {"BranchOnFreshRegister", "ADDI $1, $0, 5\nBEQ $1, $0, 1\nNOP\nADDI $2, $0, 1\n",
     R"({"cycle":3,"kind":"stale-read","register":1,"reader":4,"writer":0,"read":0,"expected":5},)"
     R"({"cycle":5,"kind":"taken-branch","address":4},{"cycle":5,"kind":"delay-slot","address":8},)"
     R"({"cycle":5,"kind":"squashed","address":12})",
     R"({"cycle":4,"kind":"forward","register":1,"from":"EX/MEM","to":"B","reader":4,"writer":0})"},
    {"TakenBranch", "BEQ $0, $0, 3\nNOP\nADDI $1, $0, 1\nADDI $2, $0, 2\nADDI $3, $0, 3\n",
     R"({"cycle":4,"kind":"taken-branch","address":0},{"cycle":4,"kind":"delay-slot","address":4},)"
     R"({"cycle":4,"kind":"squashed","address":8},{"cycle":4,"kind":"squashed","address":12})",
     R"({"cycle":4,"kind":"taken-branch","address":0},{"cycle":4,"kind":"delay-slot","address":4},)"
     R"({"cycle":4,"kind":"squashed","address":8},{"cycle":4,"kind":"squashed","address":12})"},
};

}  // namespace explaincase
}  // namespace tandrel
