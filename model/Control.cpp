#include "model/Control.h"

#include "program/InstructionSet.h"

namespace tandrel {

namespace {

struct DecodeRow {
    std::uint32_t opcode;
    ControlSignals signals;
};

// One row per opcode the processor knows; looked up on every pass, so a
// short array rather than a tree.
constexpr DecodeRow kDecodeTable[] = {
    //                     RegDst Branch MemToReg MemRead ALUOp MemWrite ALUSrc RegWrite
    {opcode::kRegister, {true, false, false, false, 2, false, false, true}},
    {opcode::kBeq, {false, true, false, false, 1, false, false, false}},
    {opcode::kAddi, {false, false, false, false, 0, false, true, true}},
    {opcode::kLw, {false, false, true, true, 0, false, true, true}},
    {opcode::kSw, {false, false, false, false, 0, true, true, false}},
};

// ALU control code per function field of a register-format instruction.
std::uint64_t FunctionCode(std::uint32_t f) {
    switch (f) {
        case funct::kAdd:
            return alu::kAdd;
        case funct::kSub:
            return alu::kSub;
        case funct::kAnd:
            return alu::kAnd;
        case funct::kOr:
            return alu::kOr;
        case funct::kSlt:
            return alu::kSlt;
        default:
            return alu::kAnd;  // a function outside the set (NOP's 0) does an AND
    }
}

// ALUOp values the main control units produce.
constexpr std::uint64_t kAluOpAdd = 0;
constexpr std::uint64_t kAluOpSubtract = 1;
constexpr std::uint64_t kAluOpFunction = 2;

}  // namespace

ControlSignals DecodeOpcode(std::uint32_t op) {
    for (const DecodeRow& row : kDecodeTable)
        if (row.opcode == op) return row.signals;
    return ControlSignals{};
}

PackedControl Pack(const ControlSignals& s) {
    return PackedControl{
        static_cast<std::uint64_t>(s.memToReg) + 2u * s.regWrite,
        static_cast<std::uint64_t>(s.branch) + 2u * s.memWrite + 4u * s.memRead,
        static_cast<std::uint64_t>(s.aluSrc) + 2u * static_cast<std::uint64_t>(s.aluOp) +
            8u * s.regDst,
    };
}

MainControl::MainControl(std::wstring name, Box box, int /*layout*/)
    : Control(std::move(name), ElementKind::MainControl, true, false, box, 0.1, 0.5) {
    AddInput(kInput, PortAt(Side::Left, L"Input", 0.0, 0.5).Control().Bits(26, 6));
    // The outputs sit on the right half of the ellipse the unit is drawn as.
    AddOutput(
        kBranch,
        PortAt(Side::Right, L"Branch", 0.8307189138830738, 0.875).Control().Pc().Label(1.1, 0.895));
    AddOutput(
        kMemToReg,
        PortAt(Side::Right, L"MemToReg", 0.9330127018922193, 0.75).Control().Label(1.1, 0.77));
    AddOutput(
        kMemRead,
        PortAt(Side::Right, L"MemRead", 0.9841229182759271, 0.625).Control().Label(1.1, 0.645));
    AddOutput(kALUOp, PortAt(Side::Right, L"ALUOp", 1.0, 0.5).Control().Label(1.1, 0.52));
    AddOutput(
        kMemWrite,
        PortAt(Side::Right, L"MemWrite", 0.9841229182759271, 0.375).Control().Label(1.1, 0.395));
    AddOutput(kALUSrc,
              PortAt(Side::Right, L"ALUSrc", 0.9330127018922193, 0.25).Control().Label(1.1, 0.27));
    AddOutput(
        kRegWrite,
        PortAt(Side::Right, L"RegWrite", 0.8307189138830738, 0.125).Control().Label(1.1, 0.145));
    AddOutput(kRegDst, PortAt(Side::Bottom, L"RegDst", 0.5, 0.0).Control().Label(0.0, -0.05));
}

void MainControl::Evaluate() {
    const ControlSignals s = DecodeOpcode(static_cast<std::uint32_t>(Input(kInput)));
    SetOutput(kRegDst, s.regDst);
    SetOutput(kBranch, s.branch);
    SetOutput(kMemToReg, s.memToReg);
    SetOutput(kMemRead, s.memRead);
    SetOutput(kALUOp, static_cast<std::uint64_t>(s.aluOp));
    SetOutput(kMemWrite, s.memWrite);
    SetOutput(kALUSrc, s.aluSrc);
    SetOutput(kRegWrite, s.regWrite);
    Settle();
}

MainControlPipelined::MainControlPipelined(std::wstring name, Box box, int /*layout*/)
    : Control(std::move(name), ElementKind::MainControl, true, false, box, 0.1, 0.5) {
    AddInput(kInput, PortAt(Side::Left, L"Input", 0.0, 0.5));
    AddOutput(kWB, PortAt(Side::Right, L"WB", 0.9330127018922193, 0.75));
    AddOutput(kMEM, PortAt(Side::Right, L"MEM", 1.0, 0.5));
    AddOutput(kEX, PortAt(Side::Right, L"EX", 0.9330127018922193, 0.25));
}

void MainControlPipelined::Evaluate() {
    const PackedControl words = Pack(DecodeOpcode(static_cast<std::uint32_t>(Input(kInput))));
    SetOutput(kWB, words.wb);
    SetOutput(kMEM, words.mem);
    SetOutput(kEX, words.ex);
    Settle();
}

ALUControl::ALUControl(std::wstring name, Box box)
    : Control(std::move(name), ElementKind::ALUControl, true, false, box, 0.05, 0.6) {
    AddInput(kALUOp, PortAt(Side::Left, L"ALUOp", 0.03, 0.67));
    AddInput(kFunction, PortAt(Side::Left, L"Function", 0.03, 0.33));
    AddOutput(kOutput, PortAt(Side::Top, L"Output", 0.5, 1.0));
}

void ALUControl::Evaluate() {
    const auto aluOp = static_cast<std::uint32_t>(Input(kALUOp));
    const auto function = static_cast<std::uint32_t>(Input(kFunction));
    try {
        switch (aluOp) {
            case kAluOpAdd:
                SetOutput(kOutput, alu::kAdd);
                break;
            case kAluOpSubtract:
                SetOutput(kOutput, alu::kSub);
                break;
            case kAluOpFunction:
                SetOutput(kOutput, FunctionCode(function));
                break;
            default:
                throw InvalidInputException();
        }
    } catch (const InvalidInputException& e) {
        ReportInvalidInput(e, *this);
        SetOutput(kOutput, alu::kAnd);
    }
    Settle();
}

}  // namespace tandrel
