#include "sim/History.h"

#include <iterator>
#include <set>

namespace tandrel {

std::size_t MachineSnapshot::OwnBytes() const {
    return sizeof(*this) + activity.capacity() + brightness.capacity() * sizeof(float) +
           (ports.capacity() + clocks.capacity()) * sizeof(std::uint64_t);
}

void History::Clear() {
    checkpoints.clear();
    base = 0;
    spacing = kInterval;
    ++generation;
}

bool History::Wants(long long step) const {
    if (checkpoints.empty()) return true;
    return step > base && (step - base) % kInterval == 0 && checkpoints.count(step) == 0;
}

void History::Keep(long long step, MachineSnapshot snapshot, long long now) {
    if (checkpoints.empty()) base = step;
    // Memories mostly stay as they were: share the neighbour's copy then.
    auto neighbour = checkpoints.lower_bound(step);
    if (neighbour != checkpoints.begin()) {
        const MachineSnapshot& earlier = std::prev(neighbour)->second;
        for (int m = 0; m < MachineSnapshot::kMemories; ++m)
            if (earlier.memories[m] && snapshot.memories[m] &&
                earlier.memories[m] != snapshot.memories[m] &&
                *earlier.memories[m] == *snapshot.memories[m])
                snapshot.memories[m] = earlier.memories[m];
    }
    checkpoints[step] = std::move(snapshot);
    if (checkpoints.size() > kBudget) Thin(now);
}

void History::Thin(long long now) {
    // First those left behind by the current step, then, while that is not
    // enough, every other one of the rest. Nearby checkpoints number at most
    // 2 * kNearby / kInterval + 1, half the budget plus one, so this ends.
    for (bool first = true; first || checkpoints.size() > kBudget; first = false) {
        if (!first) spacing *= 2;
        for (auto it = checkpoints.begin(); it != checkpoints.end();) {
            const long long step = it->first;
            const bool nearby = step >= now - kNearby && step <= now + kNearby;
            const bool onSpacing = (step - base) % spacing == 0;
            it = nearby || onSpacing ? std::next(it) : checkpoints.erase(it);
        }
    }
}

const MachineSnapshot* History::LatestAtOrBefore(long long step) const {
    auto it = checkpoints.upper_bound(step);
    if (it == checkpoints.begin()) return nullptr;
    return &std::prev(it)->second;
}

std::size_t History::Bytes() const {
    std::size_t bytes = 0;
    std::set<const MachineSnapshot::Storage*> counted;
    for (const auto& [step, snapshot] : checkpoints) {
        bytes += snapshot.OwnBytes() + 4 * sizeof(void*);  // the map's node
        for (const auto& storage : snapshot.memories)
            if (storage && counted.insert(storage.get()).second)
                bytes += sizeof(*storage) + storage->capacity() * sizeof(storage->front());
    }
    return bytes;
}

}  // namespace tandrel
