#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sim/Simulator.h"

namespace tandrel {
namespace test {

// A single-cycle instruction takes this many Steps (one evaluation pass each).
constexpr int kPassesPerInstruction = 7;

inline const char* LayoutName(Layout layout) {
    static const char* const kNames[] = {"Simple", "Pipelined", "Forwarding"};
    return kNames[static_cast<int>(layout)];
}

// Gives the simulator a program and its initial data the way the window
// does: the data grid is the data memory when Parse is pressed, then Reset
// and the grid copied back. True when the text parsed without error.
inline bool LoadProgram(Simulator& sim, Layout layout, const std::wstring& text,
                        const std::map<std::uint64_t, std::uint32_t>& data) {
    sim.SelectLayout(layout);  // a fresh, empty data memory
    for (const auto& [index, word] : data) sim.GetDataMemory()->storage[index] = word;
    const bool parsed = sim.ParseProgram(text);
    sim.Reset();
    sim.LoadInitialData();
    return parsed;
}

// Register and data values without inserting the keys a Read would add.
inline std::uint64_t RegisterValue(const Simulator& sim, int n) {
    const auto& storage = sim.GetRegisters()->storage;
    const auto found = storage.find(static_cast<std::uint64_t>(n));
    return found == storage.end() ? 0 : found->second;
}

inline std::uint64_t DataValue(const Simulator& sim, std::uint64_t address) {
    const auto& storage = sim.GetDataMemory()->storage;
    const auto found = storage.find(address);
    return found == storage.end() ? 0 : found->second;
}

// Steps until the program, whose instructions end at byte address `end`,
// has finished: on the single-cycle datapath until the PC leaves it; on the
// pipelined ones until the PC has stayed outside long enough for everything
// in flight (a branch included) to be written back. False when `maxSteps`
// were not enough.
inline bool RunToEnd(Simulator& sim, std::uint64_t end, int maxSteps) {
    const int settle = sim.CurrentLayout() == Layout::Simple ? 0 : 6;
    int outside = 0;
    for (int step = 0; step < maxSteps; ++step) {
        if (sim.PcValue() >= end && outside >= settle) return true;
        sim.Step();
        outside = sim.PcValue() >= end ? outside + 1 : 0;
    }
    return false;
}

}  // namespace test
}  // namespace tandrel
