#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "program/InstructionSet.h"
#include "sim/LayoutTable.h"

namespace tandrel {

class Simulator;

// Clock cycles are counted from 1: cycle k is the k-th press of Step on a
// pipelined layout. An instruction fetched in cycle f is in ID in f + 1, EX
// in f + 2, MEM in f + 3 and writes its register in WB in f + 4.
namespace timeline {
enum class Cell { Empty, IF, ID, EX, MEM, WB, Bubble };
const char* CellName(Cell cell);  // "IF" ... "WB", "--" for a bubble, "" for Empty
}  // namespace timeline

// One fetched instruction of a pipelined run.
struct TimelineRow {
    std::uint64_t address = 0;
    long long fetchCycle = 0;
    InstructionKind kind{};  // None; spelt so that X11's None macro cannot clash
    bool squashed = false;  // discarded by a taken branch: a bubble from ID on

    timeline::Cell CellAt(long long cycle) const;
};

// One row per fetched instruction, one column per cycle. Rows fetched in the
// cycle after the last one run (the instruction at the PC) are kept, so the
// state after the last Step can be shown too.
struct Timeline {
    long long cycles = 0;  // cycles run
    std::vector<TimelineRow> rows;
};

enum class EventKind : std::uint8_t {
    StaleRead,    // a register read before the instruction writing it had written it
    Forward,      // the forwarding unit passed a result on (Data Forwarding)
    TakenBranch,  // a BEQ in MEM redirects the PC
    DelaySlot,    // the instruction after a taken BEQ, which still runs
    Squashed,     // a fetched instruction a taken BEQ turned into a bubble
    Level,        // Simple: the level of the datapath one Step worked
};

// Where a value went: read in ID from the register file (Pipelined), or an
// input of the EX stage chosen by MUX A or MUX B (Data Forwarding).
enum class Operand : std::uint8_t { RegisterRead, AluA, AluB, AluAB, StoreData };

// Where a forwarded value came from.
enum class ForwardSource : std::uint8_t { ExMem, MemWb };

// The members are ordered by size, the small ones last: a long run keeps tens
// of thousands of these, and the padding between mixed members would be a
// quarter of each.
struct PipelineEvent {
    long long cycle = 0;
    // The reader; the branch; the delay-slot or squashed instruction; the
    // instruction a Simple step works on.
    std::uint64_t address = 0;
    // StaleRead and Forward: the writer. DelaySlot and Squashed: the branch.
    std::uint64_t other = 0;
    std::uint64_t read = 0;      // StaleRead: what the reader got; Forward: the value
    std::uint64_t expected = 0;  // StaleRead: what the writer produces in this run
    long long readyCycle = 0;    // StaleRead: cycle at whose end the writer's value exists
    std::uint64_t target = 0;    // TakenBranch: the address fetched next
    std::string parts;           // Level: the parts of the datapath reached
    const char* what = "";       // Level: what the level does ("fetch", "ALU", ...)
    int reg = 0;
    int between = 0;  // StaleRead: instructions (bubbles included) in between
    int needed = 0;   // StaleRead: how many this layout needs
    int level = 0;    // Level: 1 ... 7
    EventKind kind = EventKind::StaleRead;
    Operand to = Operand::RegisterRead;
    ForwardSource from = ForwardSource::ExMem;
    bool expectedKnown = false;  // StaleRead: false when the run stopped before that
    bool writerLoads = false;    // StaleRead: the writer is a LW
    bool forwarded = false;      // StaleRead: the value came from EX/MEM (`from`)
};

// Watches a run and tells what happened in every cycle, taken from the
// machine's own state: the pipeline registers' contents, the register
// numbers in them, the forwarding unit's codes and the operand multiplexers'
// outputs, the branch gate. It keeps no model of its own of the pipeline.
class Explainer {
  public:
    // Call after Reset (or SelectLayout) and after every Step.
    void Start(const Simulator& sim);
    void Observe(const Simulator& sim);

    Layout CurrentLayout() const { return layout; }
    const Timeline& GetTimeline() const { return timeline; }
    // In cycle order. A stale read's expected value is filled in when its
    // writer writes back, one or two cycles later.
    const std::vector<PipelineEvent>& Events() const { return events; }

  private:
    // The pipeline registers' outputs after a Step.
    struct Latched {
        std::uint64_t ifidWord = 0, ifidPc = 0;
        std::uint64_t idexRs = 0, idexRt = 0, idexRead1 = 0, idexRead2 = 0;
        bool idexAluSrc = false;
        std::uint64_t exmemWriteReg = 0, exmemTarget = 0;
        bool exmemRegWrite = false, exmemLoads = false;
        std::uint64_t memwbWriteReg = 0;
        bool memwbRegWrite = false;
    };
    // An instruction ahead of a reader that may write its register.
    struct Ahead {
        int row = -1;
        std::uint64_t writeReg = 0;
        bool regWrite = false;
        bool loads = false;
        bool Writes(std::uint64_t reg) const { return row >= 0 && regWrite && writeReg == reg; }
    };
    struct Pending {
        std::size_t event;
        int writer;
    };

    Latched Capture(const Simulator& sim) const;
    int AddRow(const Simulator& sim);
    bool Live(int row) const { return row >= 0 && !timeline.rows[row].squashed; }
    void ReadInId(const Simulator& sim, const Latched& now);
    void ReadInEx(const Simulator& sim);
    PipelineEvent& Add(EventKind kind, std::uint64_t address);
    void StaleRead(int reader, const Ahead& writer, int reg, Operand to, std::uint64_t value);
    void Branch();
    void ObserveSimple(const Simulator& sim);

    Layout layout = Layout::Simple;
    Timeline timeline;
    std::vector<PipelineEvent> events;
    std::vector<Pending> pending;
    int lastSquashTold = -1;  // squashed rows up to this one have their event
    long long cycle = 0;
    Latched before;
    // The rows in IF ... WB during the coming cycle; -1 for none.
    std::array<int, 5> stageRow{};
    // Which kinds use the register file's two read values, and MUX A's and
    // MUX B's outputs, by the layout's own use tables.
    std::array<bool, 11> usesRead1{}, usesRead2{}, usesMuxA{}, usesMuxB{};
    // Simple: the parts active after the last Step, and the level reached.
    std::vector<bool> wasActive;
    int level = 0;
    std::uint64_t levelAddress = 0;
};

// "ADD $2, $1, $1 (at 4)": an instruction as the explanations name it.
std::string InstructionLabel(const Simulator& sim, std::uint64_t address);

// One event as a plain sentence.
std::string DescribeEvent(const Simulator& sim, Layout layout, const PipelineEvent& event);

// "stale-read", "forward", ...: the kinds as the command line and its JSON
// name them.
const char* EventKindName(EventKind kind);
const char* OperandName(Operand to);                // "A", "B", "store data"; "" for RegisterRead
const char* ForwardSourceName(ForwardSource from);  // "EX/MEM", "MEM/WB"

}  // namespace tandrel
