#pragma once

#include <array>
#include <cstdint>

namespace tandrel {

// The ten instructions. The numbers double as the lexer's token codes for the
// mnemonics and as the keys of a wire's used-by table; 0 means "no
// instruction" (an address that holds none).
enum class InstructionKind : int {
    None = 0,
    LW = 1,
    SW = 2,
    ADDI = 3,
    BEQ = 4,
    ADD = 5,
    SUB = 6,
    SLT = 7,
    AND = 8,
    OR = 9,
    NOP = 10,
};

constexpr int kFirstInstructionKind = 1;
constexpr int kLastInstructionKind = 10;

enum class InstructionFormat { None, Register, Immediate, Memory };

// One row per instruction: adding an instruction is adding a row.
struct InstructionInfo {
    InstructionKind kind;
    const wchar_t* name;  // display name, always upper case
    InstructionFormat format;
    std::uint32_t opcode;
    std::uint32_t funct;  // register format only
};

inline constexpr std::array<InstructionInfo, 10> kInstructionTable{{
    {InstructionKind::LW, L"LW", InstructionFormat::Memory, 35, 0},
    {InstructionKind::SW, L"SW", InstructionFormat::Memory, 43, 0},
    {InstructionKind::ADDI, L"ADDI", InstructionFormat::Immediate, 8, 0},
    {InstructionKind::BEQ, L"BEQ", InstructionFormat::Immediate, 4, 0},
    {InstructionKind::ADD, L"ADD", InstructionFormat::Register, 0, 32},
    {InstructionKind::SUB, L"SUB", InstructionFormat::Register, 0, 34},
    {InstructionKind::SLT, L"SLT", InstructionFormat::Register, 0, 42},
    {InstructionKind::AND, L"AND", InstructionFormat::Register, 0, 36},
    {InstructionKind::OR, L"OR", InstructionFormat::Register, 0, 37},
    {InstructionKind::NOP, L"NOP", InstructionFormat::None, 0, 0},
}};

// The row of a kind from 1 to 10.
constexpr const InstructionInfo& InstructionInfoOf(InstructionKind kind) {
    return kInstructionTable[static_cast<int>(kind) - kFirstInstructionKind];
}

// Instruction word layout (bit 31 is the most significant). The datapath
// picks the fields apart by these positions.
namespace field {
constexpr int kOpcodeShift = 26;
constexpr int kRsShift = 21;
constexpr int kRtShift = 16;
constexpr int kRdShift = 11;
constexpr std::uint64_t kOpcodeMask = 0x3F;
constexpr std::uint64_t kRegisterMask = 0x1F;
constexpr std::uint64_t kFunctMask = 0x3F;
constexpr std::uint64_t kImmediateMask = 0xFFFF;
}  // namespace field

// Registers are $0 to $31.
constexpr std::uint32_t kHighestRegister = 31;

// Instruction memory holds 128 words at byte addresses 0, 4, ..., 508; data
// memory holds 512 words at indices 0 to 511.
constexpr std::uint64_t kInstructionBytes = 4;
constexpr std::uint64_t kInstructionCount = 128;
constexpr std::uint64_t kDataWordCount = 512;

// Opcodes the control units decode.
namespace opcode {
constexpr std::uint32_t kRegister = 0;
constexpr std::uint32_t kBeq = 4;
constexpr std::uint32_t kAddi = 8;
constexpr std::uint32_t kLw = 35;
constexpr std::uint32_t kSw = 43;
}  // namespace opcode

// Function codes of the register-format instructions.
namespace funct {
constexpr std::uint32_t kAdd = 32;
constexpr std::uint32_t kSub = 34;
constexpr std::uint32_t kAnd = 36;
constexpr std::uint32_t kOr = 37;
constexpr std::uint32_t kSlt = 42;
}  // namespace funct

}  // namespace tandrel
