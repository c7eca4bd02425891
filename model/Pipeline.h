#pragma once

#include <cstdint>

#include "model/Component.h"

namespace tandrel {

// Base of the four pipeline registers: each latches in the 5th pass of every
// 6-pass step; Clock flushes its outputs to 0 (a bubble).
class PipelineRegister : public Component {
  public:
    void Evaluate() override;
    void Clock() override;

    int latchPeriod = 6;
    int latchCountdown = 6;

  protected:
    PipelineRegister(std::wstring name, ElementKind kind, Box box, double labelX, double labelY);
    virtual void Latch() = 0;
    // Adds a port on the left (input) or right (output) edge at the height
    // the layout number asks for.
    void AddEdgePort(int port, bool output, int layout, double relY1, double relY2,
                     const wchar_t* name = L"", bool controlLine = false);
    void Copy(int from, int to) { SetOutput(to, Input(from)); }
};

class IFIDReg : public PipelineRegister {
  public:
    enum Ports { kInstructionIn = 0, kPcIn = 1, kInstructionOut = 2, kPcOut = 3 };
    IFIDReg(std::wstring name, Box box, int layout);

  protected:
    void Latch() override;
};

class IDEXReg : public PipelineRegister {
  public:
    enum Ports {
        kRdIn = 0,
        kRtIn = 1,
        kImmediateIn = 2,
        kReadData2In = 3,
        kReadData1In = 4,
        kPcIn = 5,
        kExIn = 6,
        kMemIn = 7,
        kWbIn = 8,
        kRdOut = 9,
        kRtOut = 10,
        kImmediateOut = 11,
        kReadData2Out = 12,
        kReadData1Out = 13,
        kPcOut = 14,
        kALUSrc = 15,
        kALUOp = 16,
        kRegDst = 17,
        kMemOut = 18,
        kWbOut = 19,
        kRsIn = 20,
        kRsOut = 21,  // forwarding layout only
    };
    IDEXReg(std::wstring name, Box box, int layout);

    int layout;

  protected:
    void Latch() override;
};

class EXMEMReg : public PipelineRegister {
  public:
    enum Ports {
        kWriteRegIn = 0,
        kStoreDataIn = 1,
        kZeroIn = 2,
        kResultIn = 3,
        kTargetIn = 4,
        kMemIn = 5,
        kWbIn = 6,
        kWriteRegOut = 7,
        kStoreDataOut = 8,
        kZeroOut = 9,
        kResultOut = 10,
        kTargetOut = 11,
        kBranch = 12,
        kMemWrite = 13,
        kMemRead = 14,
        kWbOut = 15,
    };
    EXMEMReg(std::wstring name, Box box, int layout);

  protected:
    void Latch() override;
};

class MEMWBReg : public PipelineRegister {
  public:
    enum Ports {
        kWriteRegIn = 0,
        kReadDataIn = 1,
        kResultIn = 2,
        kWbIn = 3,
        kWriteRegOut = 4,
        kReadDataOut = 5,
        kResultOut = 6,
        kMemToReg = 7,
        kRegWrite = 8,
    };
    MEMWBReg(std::wstring name, Box box, int layout);

  protected:
    void Latch() override;
};

// Forwarding codes the unit sends to the operand multiplexers.
namespace forward {
constexpr std::uint64_t kRegisterFile = 0;  // the value read in ID
constexpr std::uint64_t kMemWb = 1;         // the value being written back
constexpr std::uint64_t kExMem = 2;         // the previous instruction's ALU result
}  // namespace forward

// Tells the operand multiplexers where the ALU operands come from.
class Forwarding : public Component {
  public:
    enum Ports {
        kReadReg2 = 0,
        kReadReg1 = 1,
        kMemWbWriteReg = 2,
        kExMemWriteReg = 3,
        kForwardB = 4,
        kForwardA = 5,
        kExMemRegWrite = 6,
        kMemWbRegWrite = 7,
    };
    Forwarding(std::wstring name, Box box);
    void Evaluate() override;

    // The code for one source register given the two destinations in flight
    // and whether the instructions there write a register at all.
    static std::uint64_t Select(std::uint64_t source, std::uint64_t exMem, bool exMemWrites,
                                std::uint64_t memWb, bool memWbWrites);
};

}  // namespace tandrel
