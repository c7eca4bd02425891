#pragma once

// The loop that both the command line's and the window's Run are timed on:
// a full instruction memory whose counted loop runs 10,000 times.

#include <string>

namespace tandrel {

constexpr int kIterations = 10000;
constexpr int kInstructions = 128;

// A counted loop (6 instructions, its two branch slots padded with NOPs),
// then straight-line code up to 128 instructions; as a definition file, with
// its (empty) "Data:" part.
inline std::string LoopProgram() {
    std::string text = "ADDI $1, $0, " + std::to_string(kIterations) +
                       "\n"
                       "NOP\n"
                       "NOP\n"
                       "BEQ $1, $0, 5\n"  // 12: leave for 36
                       "NOP\n"
                       "ADDI $1, $1, -1\n"
                       "ADDI $2, $2, 3\n"
                       "BEQ $0, $0, -5\n"  // 28: back to 12
                       "NOP\n";
    for (int i = 9; i < kInstructions; ++i) {
        const std::string reg = "$" + std::to_string(3 + i % 20);
        text += "ADDI " + reg + ", " + reg + ", " + std::to_string(i) + "\n";
    }
    return text + "Data:\n";
}

}  // namespace tandrel
