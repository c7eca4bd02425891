// Parsing a full program as the editor hands it over: 128 instruction lines,
// then "\nDATA:\n" and the 512 data words, each followed by ", ".
#include <benchmark/benchmark.h>

#include <string>

#include "program/Lexer.h"
#include "program/Parser.h"

namespace {

std::wstring FullProgram() {
    const wchar_t* lines[] = {
        L"lw $8, 0($0)",      L"ADDI $9, $8, -25",
        L"add $10, $9, $8",   L"sub $11, $10, $9",
        L"slt $12, $11, $10", L"and $13, $12, $11",
        L"or $14, $13, $12",  L"sw $14, 2044($0)",
        L"beq $14, $13, -8",  L"nop",
    };
    std::wstring text;
    for (int i = 0; i < 128; ++i) text += std::wstring(lines[i % 10]) + L"\n";
    text += L"\nDATA:\n";
    for (unsigned i = 0; i < 512; ++i) text += std::to_wstring(i * 2654435761u) + L", ";
    return text;
}

void BM_ParseFullProgram(benchmark::State& state) {
    const std::wstring text = FullProgram();
    tandrel::Lexer lexer;
    tandrel::Parser parser(lexer);
    for (auto _ : state) {
        const bool ok = parser.Parse(text);
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("the program did not parse");
    }
}
BENCHMARK(BM_ParseFullProgram)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
