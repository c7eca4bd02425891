#include "sim/Explanation.h"

#include <sstream>
#include <utility>
#include <vector>

#include "model/Combinational.h"
#include "sim/Simulator.h"

namespace tandrel {

namespace {

constexpr int kIF = 0, kID = 1, kEX = 2, kMEM = 3, kWB = 4;
constexpr std::uint64_t kWordMask = 0xFFFFFFFFu;
// The WB control word is MemToReg + 2 x RegWrite.
constexpr std::uint64_t kWbRegWrite = 2;
constexpr int kSimpleLevels = 7;

bool Uses(const Link& link, int kind) {
    return link.IsUsedBy(kind);
}

// Which instruction kinds use an output, by the layout's use table.
std::array<bool, 11> UsersOf(const Component* element, int port) {
    std::array<bool, 11> users{};
    if (element == nullptr) return users;
    for (int kind = 0; kind < static_cast<int>(users.size()); ++kind)
        users[kind] = Uses(element->Port(port), kind);
    return users;
}

std::uint64_t Field(const InputLink& port, std::uint64_t word) {
    return (word >> port.lowBit) & ((std::uint64_t{1} << port.bitCount) - 1);
}

// A part's label as the help names it: "M\nU\nX\n4" is MUX 4, "  Sign\nExtend"
// is Sign Extend; the AND gate has no label.
std::string PartName(const Component& element) {
    std::vector<std::string> pieces;
    bool letters = true;
    std::string piece;
    const std::wstring label = element.name + L"\n";
    for (wchar_t c : label) {
        if (c == L'\n') {
            if (!piece.empty()) pieces.push_back(piece);
            letters = letters && piece.size() <= 1;
            piece.clear();
        } else if (c != L' ') {
            piece.push_back(static_cast<char>(c));
        }
    }
    if (pieces.empty()) return element.kind == ElementKind::AndGate ? "AND gate" : "?";
    std::string name;
    if (letters) {
        for (const std::string& p : pieces) name += p;
        if (name.size() > 3 && name.compare(0, 3, "MUX") == 0) name.insert(3, " ");
        return name;
    }
    for (const std::string& p : pieces) name += (name.empty() ? "" : " ") + p;
    return name;
}

const char* LayoutTitle(Layout layout) {
    return layout == Layout::Forwarding ? "Data Forwarding" : "Pipelined";
}

// Small counts in words, as a sentence says them.
std::string Number(int n) {
    static const char* const kWords[] = {"none", "one", "two", "three"};
    return n >= 0 && n < 4 ? kWords[n] : std::to_string(n);
}

std::string Count(int n, const char* one, const char* many) {
    return (n == 0 ? std::string("no") : Number(n)) + " " + (n == 1 ? one : many);
}

// What a level of the single-cycle datapath does, told by the first part
// in this list it reached.
const char* LevelName(const std::vector<ElementKind>& reached) {
    static const std::pair<ElementKind, const char*> kLevels[] = {
        {ElementKind::InstructionMemory, "fetch"},
        {ElementKind::Registers, "decode and register read"},
        {ElementKind::ALUControl, "operands and ALU operation chosen"},
        {ElementKind::ALU, "ALU"},
        {ElementKind::DataMemory, "memory and branch decision"},
    };
    for (const auto& [kind, name] : kLevels)
        for (ElementKind k : reached)
            if (k == kind) return name;
    return "next PC and value to write back chosen";
}

}  // namespace

namespace timeline {
const char* CellName(Cell cell) {
    static const char* const kNames[] = {"", "IF", "ID", "EX", "MEM", "WB", "--"};
    return kNames[static_cast<int>(cell)];
}
}  // namespace timeline

timeline::Cell TimelineRow::CellAt(long long cycle) const {
    const long long stage = cycle - fetchCycle;
    if (stage < 0 || stage > kWB) return timeline::Cell::Empty;
    if (squashed && stage > kIF) return timeline::Cell::Bubble;
    return static_cast<timeline::Cell>(stage + 1);
}

void Explainer::Start(const Simulator& sim) {
    layout = sim.CurrentLayout();
    timeline = Timeline{};
    events.clear();
    pending.clear();
    lastSquashTold = -1;
    cycle = 0;
    level = 0;
    stageRow.fill(-1);
    wasActive.assign(sim.Elements().size(), false);
    if (layout == Layout::Simple) {
        for (std::size_t i = 0; i < sim.Elements().size(); ++i)
            wasActive[i] = sim.Elements()[i]->IsActive();
        return;
    }
    const BuiltLayout& path = sim.Datapath();
    if (path.ifid == nullptr) {  // no datapath built: nothing to watch
        layout = Layout::Simple;
        return;
    }
    usesRead1 = UsersOf(path.registers, Registers::kReadData1);
    usesRead2 = UsersOf(path.registers, Registers::kReadData2);
    const Component* muxA = nullptr;
    const Component* muxB = nullptr;
    for (const auto& element : sim.Elements()) {
        if (element->kind != ElementKind::Forwarding) continue;
        auto driven = [&](int port) -> const Component* {
            const auto& targets = element->Out(port).targets;
            return targets.empty() ? nullptr : targets.front()->owner;
        };
        muxA = driven(Forwarding::kForwardA);
        muxB = driven(Forwarding::kForwardB);
    }
    usesMuxA = UsersOf(muxA, Mux3::kOutput);
    usesMuxB = UsersOf(muxB, Mux3::kOutput);
    before = Capture(sim);
    stageRow[kIF] = AddRow(sim);
}

int Explainer::AddRow(const Simulator& sim) {
    const std::uint64_t address = sim.PcValue();
    const InstructionKind kind = sim.GetInstructionKind(address);
    if (kind == InstructionKind::None) return -1;
    TimelineRow row;
    row.address = address;
    row.kind = kind;
    row.fetchCycle = cycle + 1;
    timeline.rows.push_back(row);
    return static_cast<int>(timeline.rows.size()) - 1;
}

Explainer::Latched Explainer::Capture(const Simulator& sim) const {
    const BuiltLayout& path = sim.Datapath();
    Latched l;
    l.ifidWord = path.ifid->Port(IFIDReg::kInstructionOut).value;
    l.ifidPc = path.ifid->Port(IFIDReg::kPcOut).value;
    l.idexRt = path.idex->Port(IDEXReg::kRtOut).value;
    if (layout == Layout::Forwarding) l.idexRs = path.idex->Port(IDEXReg::kRsOut).value;
    l.idexRead1 = path.idex->Port(IDEXReg::kReadData1Out).value;
    l.idexRead2 = path.idex->Port(IDEXReg::kReadData2Out).value;
    l.idexAluSrc = path.idex->Port(IDEXReg::kALUSrc).value != 0;
    l.exmemWriteReg = path.exmem->Port(EXMEMReg::kWriteRegOut).value;
    l.exmemTarget = path.exmem->Port(EXMEMReg::kTargetOut).value;
    l.exmemRegWrite = (path.exmem->Port(EXMEMReg::kWbOut).value & kWbRegWrite) != 0;
    l.exmemLoads = path.exmem->Port(EXMEMReg::kMemRead).value != 0;
    l.memwbWriteReg = path.memwb->Port(MEMWBReg::kWriteRegOut).value;
    l.memwbRegWrite = path.memwb->Port(MEMWBReg::kRegWrite).value != 0;
    return l;
}

void Explainer::Observe(const Simulator& sim) {
    ++cycle;
    timeline.cycles = cycle;
    if (layout == Layout::Simple) {
        ObserveSimple(sim);
        return;
    }
    const Latched now = Capture(sim);
    const Simulator::StepFacts& facts = sim.LastStepFacts();

    // A flushed IF/ID holds a bubble (its PC + 4 is never 0 otherwise): the
    // instruction fetched in this cycle never reaches ID.
    if (now.ifidPc == 0 && stageRow[kIF] >= 0) timeline.rows[stageRow[kIF]].squashed = true;

    // The instruction in WB wrote its register in this cycle: the value the
    // readers that came too early should have had.
    const int writing = stageRow[kWB];
    for (std::size_t i = 0; i < pending.size();) {
        if (pending[i].writer != writing) {
            ++i;
            continue;
        }
        events[pending[i].event].expected = facts.writeData & kWordMask;
        events[pending[i].event].expectedKnown = true;
        pending[i] = pending.back();
        pending.pop_back();
    }

    if (layout == Layout::Pipelined)
        ReadInId(sim, now);
    else
        ReadInEx(sim);
    if (facts.branchTaken) Branch();

    before = now;
    for (int stage = kWB; stage > kIF; --stage) stageRow[stage] = stageRow[stage - 1];
    stageRow[kIF] = AddRow(sim);
}

// Pipelined: the instruction in ID reads the register file; a register still
// to be written by the instruction in EX or MEM gives the old value (the one
// in WB writes before the read).
void Explainer::ReadInId(const Simulator& sim, const Latched& now) {
    const int reader = stageRow[kID];
    if (!Live(reader)) return;
    const TimelineRow& row = timeline.rows[reader];
    if (before.ifidPc != row.address + kInstructionBytes) return;  // not what IF/ID held
    const auto kind = static_cast<int>(row.kind);
    const Ahead inEx{stageRow[kEX], now.exmemWriteReg, now.exmemRegWrite, now.exmemLoads};
    const Ahead inMem{stageRow[kMEM], now.memwbWriteReg, now.memwbRegWrite, false};
    const Registers& registers = *sim.GetRegisters();
    struct Read {
        bool used;
        std::uint64_t reg, value;
    };
    const Read reads[] = {
        {usesRead1[kind], Field(registers.In(Registers::kReadReg1), before.ifidWord),
         now.idexRead1},
        {usesRead2[kind], Field(registers.In(Registers::kReadReg2), before.ifidWord),
         now.idexRead2},
    };
    for (const Read& read : reads) {
        // Reading one register twice (ADD $2, $1, $1) is one stale read.
        if (!read.used || read.reg == 0 ||
            (&read == &reads[1] && reads[0].used && reads[0].reg == read.reg))
            continue;
        if (inEx.Writes(read.reg))
            StaleRead(reader, inEx, static_cast<int>(read.reg), Operand::RegisterRead, read.value);
        else if (inMem.Writes(read.reg))
            StaleRead(reader, inMem, static_cast<int>(read.reg), Operand::RegisterRead, read.value);
    }
}

// Data Forwarding: the instruction in EX takes its operands through MUX A and
// MUX B. The unit's choice is right when it names the nearest instruction
// ahead that writes the register and that instruction's value exists: an ALU
// result does at the end of EX, a loaded word only at the end of MEM.
void Explainer::ReadInEx(const Simulator& sim) {
    const int reader = stageRow[kEX];
    if (!Live(reader)) return;
    const auto kind = static_cast<int>(timeline.rows[reader].kind);
    const Simulator::StepFacts& facts = sim.LastStepFacts();
    const Ahead inMem{stageRow[kMEM], before.exmemWriteReg, before.exmemRegWrite,
                      before.exmemLoads};
    const Ahead inWb{stageRow[kWB], before.memwbWriteReg, before.memwbRegWrite, false};
    struct Read {
        bool used;
        std::uint64_t reg, code, value;
        Operand to;
    };
    const Read reads[] = {
        {usesMuxA[kind], before.idexRs, facts.forwardA, facts.operandA, Operand::AluA},
        {usesMuxB[kind], before.idexRt, facts.forwardB, facts.operandB,
         before.idexAluSrc ? Operand::StoreData : Operand::AluB},
    };
    for (const Read& read : reads) {
        if (!read.used || read.reg == 0) continue;
        const Ahead* writer = inMem.Writes(read.reg)  ? &inMem
                              : inWb.Writes(read.reg) ? &inWb
                                                      : nullptr;
        if (writer == nullptr) continue;  // written back before the ID read
        const bool fromExMem = read.code == forward::kExMem && writer == &inMem;
        const bool fromMemWb = read.code == forward::kMemWb && writer == &inWb;
        const int reg = static_cast<int>(read.reg);
        if ((!fromExMem && !fromMemWb) || (fromExMem && writer->loads)) {
            // Both ALU inputs reading one register (ADD $2, $1, $1) is one stale read.
            if (read.to == Operand::AluB && !events.empty()) {
                PipelineEvent& last = events.back();
                if (last.kind == EventKind::StaleRead && last.cycle == cycle &&
                    last.to == Operand::AluA && last.reg == reg) {
                    last.to = Operand::AluAB;
                    continue;
                }
            }
            StaleRead(reader, *writer, reg, read.to, read.value);
            events.back().forwarded = fromExMem;
            continue;
        }
        PipelineEvent& event = Add(EventKind::Forward, timeline.rows[reader].address);
        event.other = timeline.rows[writer->row].address;
        event.reg = reg;
        event.to = read.to;
        event.from = fromExMem ? ForwardSource::ExMem : ForwardSource::MemWb;
        event.read = read.value & kWordMask;
    }
}

// Events are built in place: copying one, with its string, costs more than
// the rest of a cycle's watching.
PipelineEvent& Explainer::Add(EventKind kind, std::uint64_t address) {
    PipelineEvent& event = events.emplace_back();
    event.cycle = cycle;
    event.kind = kind;
    event.address = address;
    return event;
}

void Explainer::StaleRead(int reader, const Ahead& writer, int reg, Operand to,
                          std::uint64_t value) {
    const TimelineRow& r = timeline.rows[reader];
    const TimelineRow& w = timeline.rows[writer.row];
    pending.push_back({events.size(), writer.row});
    PipelineEvent& event = Add(EventKind::StaleRead, r.address);
    event.other = w.address;
    event.reg = reg;
    event.to = to;
    event.read = value & kWordMask;
    event.writerLoads = writer.loads || w.kind == InstructionKind::LW;
    event.between = static_cast<int>(r.fetchCycle - w.fetchCycle - 1);
    // When the writer's value exists: written back in WB on Pipelined; on
    // Data Forwarding a loaded word at the end of MEM.
    const bool forwarding = layout == Layout::Forwarding;
    event.readyCycle = w.fetchCycle + (forwarding ? kMEM : kWB);
    event.needed = forwarding ? (event.writerLoads ? 1 : 0) : 2;
}

// The branch gate is on while a taken BEQ is in MEM: the instruction behind
// it in EX still runs, the two in ID and IF are flushed out of IF/ID.
void Explainer::Branch() {
    const int branch = stageRow[kMEM];
    if (!Live(branch)) return;
    const std::uint64_t at = timeline.rows[branch].address;
    Add(EventKind::TakenBranch, at).target = before.exmemTarget & kWordMask;
    if (Live(stageRow[kEX])) Add(EventKind::DelaySlot, timeline.rows[stageRow[kEX]].address).other = at;
    for (int stage : {kID, kIF}) {
        const int row = stageRow[stage];
        if (row <= lastSquashTold || !timeline.rows[row].squashed) continue;
        lastSquashTold = row;
        Add(EventKind::Squashed, timeline.rows[row].address).other = at;
    }
}

// Simple: one Step is one evaluation pass; the parts that became active in it
// are the level of the datapath the instruction has reached.
void Explainer::ObserveSimple(const Simulator& sim) {
    const auto& elements = sim.Elements();
    if (level == kSimpleLevels) level = 0;
    if (level == 0) levelAddress = sim.PcValue();  // it moves on only in the last level
    ++level;
    std::string parts;
    std::vector<ElementKind> reached;
    bool anyActive = false;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Component& element = *elements[i];
        const bool active = element.IsActive();
        if (!element.IsNode() && element.kind != ElementKind::PC) anyActive = anyActive || active;
        if (active && !wasActive[i] && !element.IsNode()) {
            parts += (parts.empty() ? "" : ", ") + PartName(element);
            reached.push_back(element.kind);
        }
        wasActive[i] = active;
    }
    PipelineEvent& event = Add(EventKind::Level, levelAddress);
    event.level = level;
    event.parts = anyActive ? std::move(parts) : "Registers (written), PC (next address)";
    event.what = anyActive ? LevelName(reached) : "write-back and next PC";
    if (!anyActive) level = kSimpleLevels;
}

std::string InstructionLabel(const Simulator& sim, std::uint64_t address) {
    std::wstring text;
    bool error = false;
    sim.GetProgramLine(address, text, error);
    // The labels and the instruction, without a comment.
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\n' || c == L'\r' || c == L'#') break;
        out.push_back(c >= 0 && c < 128 ? static_cast<char>(c) : '?');
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + " (at " + std::to_string(address) + ")";
}

const char* EventKindName(EventKind kind) {
    static const char* const kNames[] = {"stale-read", "forward",  "taken-branch",
                                         "delay-slot", "squashed", "level"};
    return kNames[static_cast<int>(kind)];
}

const char* OperandName(Operand to) {
    static const char* const kNames[] = {"", "A", "B", "A and B", "store data"};
    return kNames[static_cast<int>(to)];
}

const char* ForwardSourceName(ForwardSource from) {
    return from == ForwardSource::ExMem ? "EX/MEM" : "MEM/WB";
}

std::string DescribeEvent(const Simulator& sim, Layout layout, const PipelineEvent& e) {
    std::ostringstream out;
    const std::string self = InstructionLabel(sim, e.address);
    const std::string other = InstructionLabel(sim, e.other);
    const std::string reg = "$" + std::to_string(e.reg);
    const std::string where =
        e.to == Operand::RegisterRead ? "in ID"
        : e.to == Operand::StoreData
            ? "as the data to store"
            : std::string(e.to == Operand::AluAB ? "for ALU inputs " : "for ALU input ") +
                  OperandName(e.to);
    switch (e.kind) {
        case EventKind::StaleRead:
            if (e.writerLoads && layout == Layout::Forwarding && e.forwarded)
                out << self << " got " << reg << " = " << e.read << " from "
                    << ForwardSourceName(e.from) << ' ' << where << ": that is the address "
                    << other << " reads, whose word arrives only at the end of cycle "
                    << e.readyCycle;
            else
                out << self << " read " << reg << " = " << e.read << ' ' << where << ", but "
                    << other << " writes " << reg << " only in cycle " << e.readyCycle;
            if (!e.expectedKnown)
                out << " (the run stopped before it did).";
            else if (e.expected == e.read)
                out << ": it should be " << e.expected
                    << ", the same by chance, but still a hazard.";
            else
                out << ": it should be " << e.expected << '.';
            out << " On " << LayoutTitle(layout) << " put at least "
                << Count(e.needed, "instruction or NOP", "instructions or NOPs")
                << " between them; here there " << (e.between == 1 ? "is " : "are ")
                << Number(e.between) << '.';
            break;
        case EventKind::Forward:
            out << other << " passes " << reg << " = " << e.read << " from "
                << ForwardSourceName(e.from) << " to " << self << ' ' << where << '.';
            break;
        case EventKind::TakenBranch:
            out << self << " is taken: the PC goes to " << e.target
                << "; the next instruction still runs, the two after it are dropped.";
            break;
        case EventKind::DelaySlot:
            out << self << " is in the delay slot of " << other << ": it still runs.";
            break;
        case EventKind::Squashed:
            out << self << " is squashed by " << other << ": it goes on as a bubble.";
            break;
        case EventKind::Level:
            out << self << ", level " << e.level << " of " << kSimpleLevels << ", " << e.what
                << ": " << e.parts << '.';
            break;
    }
    return out.str();
}

}  // namespace tandrel
