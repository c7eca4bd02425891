// Capturing and restoring the machine, and the moves through time built on
// them.

#include <algorithm>
#include <type_traits>

#include "model/Pipeline.h"
#include "model/State.h"
#include "sim/Simulator.h"

namespace tandrel {

namespace {

constexpr std::uint8_t kActive = 1;
constexpr std::uint8_t kActiveNext = 2;

// The memory's contents as a snapshot keeps them: the earlier snapshot's
// copy when nothing has changed since (the usual case, and then nothing is
// allocated), else a new one.
std::shared_ptr<const MachineSnapshot::Storage> CopyStorage(
    const Memory* memory, const std::shared_ptr<const MachineSnapshot::Storage>& earlier) {
    if (memory == nullptr) return nullptr;
    const auto& storage = memory->storage;
    if (earlier && earlier->size() == storage.size() &&
        std::equal(storage.begin(), storage.end(), earlier->begin(),
                   [](const auto& now, const auto& then) {
                       return now.first == then.first && now.second == then.second;
                   }))
        return earlier;
    return std::make_shared<const MachineSnapshot::Storage>(storage.begin(), storage.end());
}

void PutStorage(Memory* memory, const std::shared_ptr<const MachineSnapshot::Storage>& storage) {
    if (memory == nullptr || !storage) return;
    memory->storage = std::map<std::uint64_t, std::uint64_t>(storage->begin(), storage->end());
}

// The counters and latches an element keeps besides its ports, each passed
// to `f` in a fixed order, so one walk serves both reading and writing.
template <typename Element, typename F>
void VisitClocks(Element& element, F&& f) {
    if (auto* pc = dynamic_cast<PC*>(&element)) {
        f(pc->counter);
        f(pc->held);
    } else if (auto* registers = dynamic_cast<Registers*>(&element)) {
        f(registers->phase);
    } else if (auto* data = dynamic_cast<DataMemory*>(&element)) {
        f(data->phase);
    } else if (auto* instructions = dynamic_cast<InstructionMemory*>(&element)) {
        f(instructions->lastAddress);
    } else if (auto* latch = dynamic_cast<PipelineRegister*>(&element)) {
        f(latch->latchCountdown);
    }
}

}  // namespace

MachineSnapshot Simulator::Capture(const MachineSnapshot* earlier) const {
    MachineSnapshot s;
    const auto& elements = datapath.elements;
    s.activity.reserve(elements.size());
    s.brightness.reserve(elements.size());
    if (earlier != nullptr) {  // the same datapath: as many ports and counters
        s.ports.reserve(earlier->ports.size());
        s.clocks.reserve(earlier->clocks.size());
    }
    for (const auto& element : elements) {
        s.activity.push_back(static_cast<std::uint8_t>((element->active ? kActive : 0) |
                                                       (element->activeNext ? kActiveNext : 0)));
        s.brightness.push_back(element->brightness);
        for (const auto& port : element->ports) s.ports.push_back(port->value);
        VisitClocks(*element,
                    [&s](auto& field) { s.clocks.push_back(static_cast<std::uint64_t>(field)); });
    }
    static const MachineSnapshot::Memories kNone{};
    const MachineSnapshot::Memories& before = earlier != nullptr ? earlier->memories : kNone;
    s.memories = {CopyStorage(datapath.instructionMemory, before[0]),
                  CopyStorage(datapath.registers, before[1]),
                  CopyStorage(datapath.dataMemory, before[2])};
    s.stageInstruction = stageInstruction;
    s.stageSquashed = stageSquashed;
    s.fetchAddress = fetchAddress;
    s.fetchSlot = fetchSlot;
    s.colourRotation = colourRotation;
    s.followAddress = {follow.automatic.address, follow.chosen.address};
    s.followStage = {follow.automatic.stage, follow.chosen.stage};
    s.steps = steps;
    s.instructions = instructions;
    return s;
}

void Simulator::Restore(const MachineSnapshot& s) {
    std::size_t port = 0, clock = 0, index = 0;
    for (auto& element : datapath.elements) {
        element->active = (s.activity.at(index) & kActive) != 0;
        element->activeNext = (s.activity.at(index) & kActiveNext) != 0;
        element->brightness = s.brightness.at(index);
        ++index;
        for (auto& link : element->ports) link->value = s.ports.at(port++);
        VisitClocks(*element, [&](auto& field) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(s.clocks.at(clock++));
        });
    }
    PutStorage(datapath.instructionMemory, s.memories[0]);
    PutStorage(datapath.registers, s.memories[1]);
    PutStorage(datapath.dataMemory, s.memories[2]);
    stageInstruction = s.stageInstruction;
    stageSquashed = s.stageSquashed;
    fetchAddress = s.fetchAddress;
    fetchSlot = s.fetchSlot;
    colourRotation = s.colourRotation;
    follow.automatic = Journey{s.followAddress[0], s.followStage[0]};
    follow.chosen = Journey{s.followAddress[1], s.followStage[1]};
    steps = s.steps;
    instructions = s.instructions;
}

bool Simulator::CanStepBack() const {
    return steps > 0 && history.LatestAtOrBefore(steps - 1) != nullptr;
}

bool Simulator::StepBack() {
    return steps > 0 && GoToStep(steps - 1);
}

// The one place that goes back: put back the nearest earlier checkpoint and
// replay from it. Replaying keeps checkpoints again as it passes, so the
// next step back from here replays little.
bool Simulator::GoToStep(long long target) {
    if (target < 0 || datapath.elements.empty()) return false;
    if (target < steps) {
        const MachineSnapshot* checkpoint = history.LatestAtOrBefore(target);
        if (checkpoint == nullptr) return false;
        Restore(*checkpoint);
    }
    while (steps < target) Step();
    return true;
}

long long Simulator::StepsForCycles(long long cycles) const {
    return layout == Layout::Simple ? cycles * kSimpleLevels : cycles;
}

Progress Simulator::GetProgress() const {
    Progress progress;
    progress.steps = steps;
    progress.instructions = instructions;
    if (layout == Layout::Simple) {
        progress.cycles = steps / kSimpleLevels;
        progress.level = static_cast<int>(steps % kSimpleLevels) + 1;
    } else {
        progress.cycles = steps;
    }
    return progress;
}

}  // namespace tandrel
