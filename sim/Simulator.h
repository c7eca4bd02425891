#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "format/NumberFormat.h"
#include "model/Component.h"
#include "model/Pipeline.h"
#include "model/State.h"
#include "program/Lexer.h"
#include "program/Parser.h"
#include "sim/History.h"
#include "sim/LayoutBuilder.h"

namespace tandrel {

// How far a run has come since Reset, as the status bar and tandrel-cli
// report it. An instruction is completed when it has been written back (the
// pipelines) or its single cycle has ended (Simple); a NOP is an instruction
// like any other, a fetch squashed by a taken branch and an address without
// an instruction are not.
struct Progress {
    long long steps = 0;   // presses of Step
    long long cycles = 0;  // whole clock cycles
    long long instructions = 0;
    // Simple: the level (1 to Simulator::kSimpleLevels) the cycle under way
    // has reached; 0 on the pipelines, where one Step is one cycle.
    int level = 0;

    // Cycles per completed instruction so far; 0 before the first one.
    double Cpi() const {
        return instructions > 0 ? static_cast<double>(cycles) / static_cast<double>(instructions)
                                : 0.0;
    }
};

// Owns the datapath of the selected layout and clocks it; also holds the
// parsed program and tells which instruction occupies which pipeline stage.
class Simulator {
  public:
    // What a pipelined Step saw that no register keeps, read just before the
    // pipeline registers latched (every value had settled by then): the
    // explanations of hazards and branches are built from these and from the
    // pipeline registers themselves.
    struct StepFacts {
        bool branchTaken = false;    // the branch gate's output: squash IF/ID
        std::uint64_t forwardA = 0;  // the forwarding unit's codes (Data Forwarding)
        std::uint64_t forwardB = 0;
        std::uint64_t operandA = 0;   // what MUX A passed to the ALU
        std::uint64_t operandB = 0;   // what MUX B passed on (ALU input or store data)
        std::uint64_t writeData = 0;  // the register file's Write Data
    };

    static constexpr int kInstructionCount = 128;
    static constexpr int kDataWords = 512;
    static constexpr int kStages = 5;
    // InstructionRowColour's answer for a row no stage colour applies to.
    static constexpr int kWhiteRow = -1;
    static constexpr int kNoHighlight = -1;
    // A fetch-ring slot no step has filled yet; it matches no address, so the
    // first instruction is not taken to be in every stage at once.
    static constexpr std::uint64_t kNoFetch = ~std::uint64_t{0};
    static constexpr int kPipelinedPasses = 6;
    // On the single-cycle datapath one clock cycle takes this many Steps, one
    // level of the datapath each, from the PC to the write-back.
    static constexpr int kSimpleLevels = 7;
    // The pipeline registers latch in the 5th pass of a pipelined step.
    static constexpr int kLatchPass = 4;

    Simulator();

    // Rebuilds the datapath of a layout: registers and data memory start
    // empty, the instruction memory is refilled from the last good parse.
    void SelectLayout(Layout layout);
    void Reset() { SelectLayout(layout); }

    // One press of Step: one evaluation pass on the single-cycle datapath,
    // six (one clock cycle) on the pipelined ones.
    void Step() {
        Step([] {});
    }
    // The same, calling afterPass() after every evaluation pass, so a tool
    // can look at the datapath between passes.
    template <typename AfterPass>
    void Step(AfterPass&& afterPass) {
        if (datapath.elements.empty()) return;
        const InstructionKind running = StartStep();
        for (int pass = 0; pass < PassesPerStep(); ++pass) {
            if (pass == kLatchPass) RecordFacts();
            RunPass();
            afterPass();
        }
        FinishStep(running);
    }
    int PassesPerStep() const { return layout == Layout::Simple ? 1 : kPipelinedPasses; }

    // Time travel. Every Step is remembered (see History), so the machine
    // can return exactly to any step since Reset, Parse, Load, a layout
    // change or ClearHistory: drawing, lists and counters included.
    bool CanStepBack() const;
    bool StepBack();
    // Goes back, or steps forward, to the state after `step` Steps; false
    // when that lies before the earliest remembered step.
    bool GoToStep(long long step);
    // The Steps that make `cycle` whole clock cycles on this layout.
    long long StepsForCycles(long long cycles) const;
    // To be called when the machine's state is changed other than by Step
    // (an edit of the data memory, say): the steps before it cannot be
    // replayed any more.
    void ClearHistory() { history.Clear(); }
    // Whether Steps are remembered at all: a run that never goes back (the
    // command line's) need not pay for the checkpoints.
    void KeepHistory(bool keep) {
        keepHistory = keep;
        history.Clear();
    }
    const History& GetHistory() const { return history; }
    Progress GetProgress() const;

    // The machine's whole changing state, and putting it back. Restore
    // expects the datapath the snapshot was taken from (same layout).
    // Memories unchanged since `earlier` (a snapshot of this datapath) share
    // its copy.
    MachineSnapshot Capture(const MachineSnapshot* earlier = nullptr) const;
    void Restore(const MachineSnapshot& snapshot);

    // Reads a definition file as the new program text. A file that cannot be
    // opened changes nothing and gives false; the caller then keeps its
    // program and tells the user.
    bool LoadFile(const std::wstring& fileName);

    // Parses the editor's text together with the current data memory as the
    // initial data. An empty text parses what LoadFile read.
    bool ParseProgram(const std::wstring& editorText);

    // The text of the correct instruction at an address, its labels first and
    // without its line break; empty for none or a faulty line.
    std::wstring InstructionText(std::uint64_t address) const;

    // Writes the program lines and initial data as a definition file. The
    // file is written beside its destination and renamed into place, so a
    // failed save (full disk, read-only folder) leaves any old file intact;
    // false on failure or for an empty name, with the reason in `why`.
    bool SaveProgram(const std::wstring& fileName, std::error_code* why = nullptr) const;

    void LoadInstructionMemory();
    void ReloadInstructionMemory() {
        if (programValid) LoadInstructionMemory();
    }
    // Copies the parsed initial data into the data memory, as the editor's
    // data grid does after a load.
    void LoadInitialData();

    std::uint64_t PcValue() const;

    Component* ElementAt(double px, double py) const;
    Link* PortAt(double px, double py) const;

    // Stage-colour index (0 for stage1colour ... 4 for stage5colour) of an
    // instruction-list row, or kWhiteRow.
    int InstructionRowColour(std::uint64_t address) const;

    // The pipelined drawing follows one instruction on its way from IF to
    // WB. Choosing an instruction in flight follows it; choosing the one
    // already chosen goes back to following automatically. False when the
    // address is in no stage (or the layout is Simple), with nothing changed.
    bool ChooseInstruction(std::uint64_t address);
    // The stage of the followed instruction, or kNoHighlight.
    int FollowedStage() const;
    // The address of the followed instruction; on the single-cycle
    // datapath, the one at the PC.
    std::uint64_t FollowedAddress() const;
    bool FollowingChosen() const { return follow.chosen.stage != kNoHighlight; }
    // The fields of the word at an address, chosen by its instruction kind.
    std::wstring InstructionFields(std::uint64_t address, NumberFormat format);

    // Colour index (0..4) an element of a stage is drawn in.
    int StageColourIndex(int stage) const;

    // The parser's results, forwarded for the main window.
    void GetProgramLine(std::uint64_t address, std::wstring& text, bool& error) const {
        parser->GetProgramLine(address, text, error);
    }
    std::uint64_t GetData(std::uint64_t index) const { return parser->GetData(index); }
    void SetData(std::uint64_t index, std::uint64_t value) { parser->SetData(index, value); }
    void GetErrorMessage(int sequence, std::wstring& text) const {
        parser->GetErrorMessage(sequence, text);
    }
    int ErrorCount() const { return parser->ErrorCount(); }
    InstructionKind GetInstructionKind(std::uint64_t address) const {
        return parser->GetInstructionKind(address);
    }
    const Parser& GetParser() const { return *parser; }

    Layout CurrentLayout() const { return layout; }
    bool ProgramValid() const { return programValid; }
    const std::vector<std::unique_ptr<Component>>& Elements() const { return datapath.elements; }
    InstructionMemory* GetInstructionMemory() const { return datapath.instructionMemory; }
    Registers* GetRegisters() const { return datapath.registers; }
    DataMemory* GetDataMemory() const { return datapath.dataMemory; }
    const BuiltLayout& Datapath() const { return datapath; }
    const StepFacts& LastStepFacts() const { return facts; }

    // The instruction kind in each stage (IF ... WB) and the addresses of
    // the last five fetches, newest at fetchSlot.
    std::array<InstructionKind, kStages> stageInstruction{};
    std::array<std::uint64_t, kStages> fetchAddress{};
    int fetchSlot = 0;

    // Turns an element's stage into a stage colour, so each instruction keeps
    // one colour from fetch to write-back.
    int colourRotation = 0;
    // One instruction's journey through the pipeline.
    struct Journey {
        std::uint64_t address = 0;
        int stage = kNoHighlight;  // kNoHighlight once it has left WB
    };
    // Which instruction the drawing follows. Without a choice it is the one
    // at the PC after a reset and then, each time the followed one leaves
    // the pipeline, the one fetched in that cycle (past the program's end,
    // the youngest one in flight), so there is always one whole journey to
    // watch. A plain value, copied with the machine state.
    struct FollowState {
        Journey automatic{0, 0};
        Journey chosen;  // picked in the instruction list; kNoHighlight when none
    };
    FollowState follow;

  private:
    void RunPass();
    void AdvanceColours();
    void AdvanceFollow(std::uint64_t fetched);
    // The first and last bookkeeping of a step: the history's first
    // checkpoint and, on Simple, the instruction the cycle runs; then the
    // counters, stages, fetch ring, colours, the followed instruction and
    // the history.
    InstructionKind StartStep();
    void FinishStep(InstructionKind running);
    void CountCompleted(InstructionKind simpleInstruction);

    // Steps since Reset and instructions completed in them; which stages
    // hold an instruction squashed by a taken branch.
    long long steps = 0;
    long long instructions = 0;
    std::array<bool, kStages> stageSquashed{};
    History history;
    bool keepHistory = true;
    void RecordFacts();

    BuiltLayout datapath;
    Layout layout = Layout::Simple;
    std::unique_ptr<Lexer> lexer;
    std::unique_ptr<Parser> parser;
    bool programValid = false;
    StepFacts facts;
    // The forwarding unit and the operand multiplexers it drives, found by
    // their wiring; null on the layouts without them.
    const Component* forwardingUnit = nullptr;
    const Component* muxA = nullptr;
    const Component* muxB = nullptr;
};

}  // namespace tandrel
