#include "model/State.h"

namespace tandrel {

namespace {

constexpr int kSimpleLayout = 0;
// A single-cycle instruction takes 7 evaluation passes; a pipelined step 6.
constexpr int kSimplePeriod = 7;
constexpr int kPipelinedPeriod = 6;

int PeriodOf(int layout) {
    return layout == kSimpleLayout ? kSimplePeriod : kPipelinedPeriod;
}

}  // namespace

PC::PC(std::wstring name, Box box, int layout)
    : Component(std::move(name), ElementKind::PC, false, false, box, 0.1, 0.48),
      counter(PeriodOf(layout)),
      period(PeriodOf(layout)),
      // Single-cycle: latch and drive together at the end of the cycle.
      // Pipelined: latch in the 4th pass, drive in the 5th.
      outputAt(layout == kSimpleLayout ? 0 : 1),
      latchAt(layout == kSimpleLayout ? 0 : 2) {
    AddInput(kInput, PortAt(Side::Left, L"Input", 0.0, 0.5));
    AddOutput(kOutput, PortAt(Side::Right, L"Output", 1.0, 0.5));
}

void PC::Evaluate() {
    --counter;
    if (counter == latchAt) held = Input(kInput);
    if (counter == outputAt) SetOutput(kOutput, held);
    if (counter == 0) counter = period;
}

InstructionMemory::InstructionMemory(std::wstring name, Box box)
    : Memory(std::move(name), ElementKind::InstructionMemory, false, false, box, 0.3, 0.85) {
    AddInput(kAddress, PortAt(Side::Left, L"Address", 0.0, 0.5).Label(0.02, 0.48));
    AddOutput(kInstruction, PortAt(Side::Right, L"Instruction", 1.0, 0.5).Label(0.55, 0.48));
}

void InstructionMemory::Evaluate() {
    lastAddress = Input(kAddress);
    SetOutput(kInstruction, Read(lastAddress));
    Settle();
}

Registers::Registers(std::wstring name, Box box, int layout)
    : Memory(std::move(name), ElementKind::Registers, false, false, box, 0.6, 0.48),
      period(PeriodOf(layout)) {
    AddInput(kRegWrite, PortAt(Side::Top, L"RegWrite", 0.5, 1.0));
    AddInput(kWriteData, PortAt(Side::Left, L"Write Data", 0.0, 0.8).Label(0.02, 0.78));
    // The read-register inputs take rs and rt straight from the instruction word.
    AddInput(kReadReg1, PortAt(Side::Left, L"Read Reg 1", 0.0, 0.61).Label(0.02, 0.58).Bits(21, 5));
    AddInput(kReadReg2, PortAt(Side::Left, L"Read Reg 2", 0.0, 0.4).Label(0.02, 0.38).Bits(16, 5));
    AddInput(kWriteReg, PortAt(Side::Left, L"Write Reg", 0.0, 0.2).Label(0.02, 0.18));
    AddOutput(kReadData1, PortAt(Side::Right, L"Read Data 1", 1.0, 0.8).Label(0.5, 0.78));
    AddOutput(kReadData2, PortAt(Side::Right, L"Read Data 2", 1.0, 0.2).Label(0.5, 0.18));
}

void Registers::Evaluate() {
    const std::uint64_t r1 = Input(kReadReg1);
    const std::uint64_t r2 = Input(kReadReg2);
    const std::uint64_t regWrite = Input(kRegWrite);
    // Reads come before the write of the same pass.
    SetOutput(kReadData1, Read(r1));
    SetOutput(kReadData2, Read(r2));
    const std::uint64_t n = Input(kWriteReg);
    if (period == kSimplePeriod) {
        // Single-cycle: the instruction's fields, control and result settle at
        // different passes, so earlier passes carry half-computed values (a
        // stale RegDst, an ALU result from the old operation). Writing only in
        // the last pass of the cycle, when everything has settled, keeps those
        // from reaching a register, and keeps an instruction that reads its
        // own destination (ADDI $1, $1, 1) from feeding on its own result.
        phase = (phase + 1) % period;
        if (phase == 0 && regWrite != 0 && n != 0) storage[n] = Input(kWriteData);
    } else {
        // Pipelined: Write Reg and Write Data come from MEM/WB and hold still
        // for a whole step, so the write repeats harmlessly from the third
        // pass with RegWrite asserted on.
        if (phase > 1 && n != 0) storage[n] = Input(kWriteData);  // register 0 is always 0
        if (regWrite != 0) phase = (phase + 1) % period;
    }
    SettleWhen([this] { return InputPort(kReadReg1).IsReady() && InputPort(kReadReg2).IsReady(); });
}

bool Registers::InputsReady() const {
    return InputPort(kRegWrite).IsReady() && InputPort(kReadReg1).IsReady() &&
           InputPort(kReadReg2).IsReady() && InputPort(kWriteReg).IsReady();
}

void Registers::Clock() {
    storage.clear();
    phase = 0;
}

DataMemory::DataMemory(std::wstring name, Box box, int layout)
    : Memory(std::move(name), ElementKind::DataMemory, false, false, box, 0.35, 0.55),
      period(PeriodOf(layout)),
      writeFrom(layout == kSimpleLayout ? 5 : 2) {
    AddInput(kMemWrite, PortAt(Side::Top, L"MemWrite", 0.2, 1.0));
    AddInput(kMemRead, PortAt(Side::Top, L"MemRead", 0.8, 1.0));
    AddInput(kAddress, PortAt(Side::Left, L"Address", 0.0, 0.8).Label(0.02, 0.78));
    AddInput(kWriteData, PortAt(Side::Left, L"Write Data", 0.0, 0.2).Label(0.02, 0.18));
    AddOutput(kReadData, PortAt(Side::Right, L"Read Data", 1.0, 0.8).Label(0.55, 0.78));
}

void DataMemory::Evaluate() {
    const std::uint64_t address = Input(kAddress);
    phase = (phase + 1) % period;
    // Writing waits until the address and data have settled in this cycle.
    if (Input(kMemWrite) != 0 && phase >= writeFrom) storage[address] = Input(kWriteData);
    if (Input(kMemRead) != 0) SetOutput(kReadData, Read(address));
    Settle();
}

void DataMemory::Clock() {
    storage.clear();
    phase = 0;
}

}  // namespace tandrel
