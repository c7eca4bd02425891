#pragma once

#include <cstdint>

#include "model/Combinational.h"

namespace tandrel {

// The control signals the main control unit decodes from an opcode.
struct ControlSignals {
    bool regDst = false;
    bool branch = false;
    bool memToReg = false;
    bool memRead = false;
    int aluOp = 0;
    bool memWrite = false;
    bool aluSrc = false;
    bool regWrite = false;
};

// Decode of an opcode; an opcode outside the instruction set gives all
// signals 0, so a stray word does nothing.
ControlSignals DecodeOpcode(std::uint32_t opcode);

// The packed words the pipelined control unit hands to the pipeline
// registers, one per stage that still needs signals.
struct PackedControl {
    std::uint64_t wb;   // MemToReg + 2 RegWrite
    std::uint64_t mem;  // Branch + 2 MemWrite + 4 MemRead
    std::uint64_t ex;   // ALUSrc + 2 ALUOp + 8 RegDst
};
PackedControl Pack(const ControlSignals& s);

// Bits of the packed words, as the pipeline registers take them apart.
namespace packed {
constexpr std::uint64_t kExAluSrc = 1, kExAluOpShift = 1, kExAluOpMask = 3, kExRegDst = 8;
constexpr std::uint64_t kMemBranch = 1, kMemWrite = 2, kMemReadShift = 2;
constexpr std::uint64_t kWbMemToReg = 1, kWbRegWrite = 2;
}  // namespace packed

// Single-cycle main control: one output per control signal.
class MainControl : public Control {
  public:
    enum Ports {
        kInput = 0,
        kBranch = 1,
        kMemToReg = 2,
        kMemRead = 3,
        kALUOp = 4,
        kMemWrite = 5,
        kALUSrc = 6,
        kRegWrite = 7,
        kRegDst = 8,
    };
    MainControl(std::wstring name, Box box, int layout);
    void Evaluate() override;
};

// Pipelined main control: the same signals packed into WB, MEM and EX words.
class MainControlPipelined : public Control {
  public:
    enum Ports { kInput = 0, kWB = 1, kMEM = 2, kEX = 3 };
    MainControlPipelined(std::wstring name, Box box, int layout);
    void Evaluate() override;
};

// Turns ALUOp and the function field into the ALU's control code.
class ALUControl : public Control {
  public:
    enum Ports { kALUOp = 0, kFunction = 1, kOutput = 2 };
    ALUControl(std::wstring name, Box box);
    void Evaluate() override;
};

}  // namespace tandrel
