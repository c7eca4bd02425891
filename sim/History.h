#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "program/InstructionSet.h"

namespace tandrel {

// The whole changing state of the machine at one step, as a plain value: it
// points into no element, so it outlives the datapath it was taken from and
// can be put back into an identical one (same layout, same program).
struct MachineSnapshot {
    static constexpr int kStages = 5;
    static constexpr int kMemories = 3;  // instruction memory, registers, data memory
    using Storage = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

    // Per element, in the datapath's element order.
    std::vector<std::uint8_t> activity;  // bit 0 active, bit 1 activeNext
    std::vector<float> brightness;
    // Every port's value, elements in order and ports in ascending number.
    std::vector<std::uint64_t> ports;
    // The counters and latches of the state elements (PC, memories,
    // pipeline registers), in element order.
    std::vector<std::uint64_t> clocks;
    // Memory contents, keys a read has added included. Storage that did not
    // change between two checkpoints is shared by them.
    using Memories = std::array<std::shared_ptr<const Storage>, kMemories>;
    Memories memories;

    // The simulator's own bookkeeping.
    std::array<InstructionKind, kStages> stageInstruction{};
    std::array<bool, kStages> stageSquashed{};
    std::array<std::uint64_t, kStages> fetchAddress{};
    int fetchSlot = 0;
    int colourRotation = 0;
    // The followed instruction: address and stage of the automatic and of
    // the chosen journey.
    std::array<std::uint64_t, 2> followAddress{};
    std::array<int, 2> followStage{};
    long long steps = 0;
    long long instructions = 0;

    // Bytes this snapshot holds beyond any storage it shares.
    std::size_t OwnBytes() const;
};

// Checkpoints of one run, so that any earlier step can be reached by putting
// back the nearest one and stepping forward from it (the machine is
// deterministic). Near the current step there is one every kInterval steps;
// further away they thin out, one every `spacing` steps, the spacing
// doubling whenever more than kBudget checkpoints would be held. Memory is
// therefore bounded by kBudget snapshots at any depth (a snapshot is a few
// kilobytes of ports and counters plus the memories' contents, which
// checkpoints share while they are unchanged), and going back costs at most
// `spacing` steps of replay, kInterval once the steps around the current one
// have been replayed.
class History {
  public:
    static constexpr long long kInterval = 256;
    static constexpr std::size_t kBudget = 512;
    // Steps either side of the current one that keep every checkpoint.
    static constexpr long long kNearby = kInterval * static_cast<long long>(kBudget) / 4;

    void Clear();
    bool Empty() const { return checkpoints.empty(); }
    // Counts the Clears: whoever keeps something about the run (its
    // explanation, say) can tell that the run it knew is gone.
    std::uint64_t Generation() const { return generation; }
    // The earliest step that can be gone back to.
    long long Base() const { return base; }
    // True when a checkpoint of `step` should be taken: the first of a run,
    // and then one at every kInterval steps from it.
    bool Wants(long long step) const;
    // Keeps the snapshot of `step`; `now` is the current step, around which
    // checkpoints are kept densely when old ones have to go.
    void Keep(long long step, MachineSnapshot snapshot, long long now);
    // The latest checkpoint at or before `step`, or null.
    const MachineSnapshot* LatestAtOrBefore(long long step) const;

    std::size_t Count() const { return checkpoints.size(); }
    long long Spacing() const { return spacing; }
    // Bytes held by the checkpoints, shared storage counted once.
    std::size_t Bytes() const;

  private:
    void Thin(long long now);

    std::map<long long, MachineSnapshot> checkpoints;
    long long base = 0;
    long long spacing = kInterval;
    std::uint64_t generation = 0;
};

}  // namespace tandrel
