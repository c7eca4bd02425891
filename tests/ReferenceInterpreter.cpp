#include "tests/ReferenceInterpreter.h"

namespace tandrel {
namespace reference {

namespace {

std::uint32_t SignExtend16(std::uint32_t field) {
    return (field & 0x8000u) != 0 ? field | 0xFFFF0000u : field;
}

}  // namespace

std::uint32_t ReferenceInterpreter::Data(std::uint64_t address) const {
    const auto found = data.find(address);
    return found == data.end() ? 0 : found->second;
}

bool ReferenceInterpreter::Step() {
    const auto found = program.find(pc);
    const std::uint32_t word = found == program.end() ? 0 : found->second;
    const std::uint32_t op = word >> 26;
    const int rs = static_cast<int>((word >> 21) & 31u);
    const int rt = static_cast<int>((word >> 16) & 31u);
    const int rd = static_cast<int>((word >> 11) & 31u);
    const std::uint32_t funct = word & 63u;
    const std::uint32_t imm = SignExtend16(word & 0xFFFFu);
    const std::uint32_t a = Register(rs);
    const std::uint32_t b = Register(rt);

    int target = -1;  // register written, if any
    std::uint32_t result = 0;
    std::uint64_t next = (pc + 4) & 0xFFFFFFFFu;
    switch (op) {
        case 0:
            switch (funct) {
                case 0:  // NOP is the all-zero word (and SLL $0, $0, 0 would do nothing)
                    if (word != 0) return false;
                    break;
                case 32:
                    target = rd, result = a + b;
                    break;
                case 34:
                    target = rd, result = a - b;
                    break;
                case 36:
                    target = rd, result = a & b;
                    break;
                case 37:
                    target = rd, result = a | b;
                    break;
                case 42:
                    target = rd,
                    result = static_cast<std::int32_t>(a) < static_cast<std::int32_t>(b);
                    break;
                default:
                    return false;
            }
            break;
        case 8:  // ADDI
            target = rt, result = a + imm;
            break;
        case 35:  // LW
            target = rt, result = Data(a + imm);
            break;
        case 43:  // SW
            data[a + imm] = b;
            break;
        case 4:  // BEQ: offset in instructions from the one after the branch
            if (a == b) next = (pc + 4 + (static_cast<std::uint64_t>(imm) << 2)) & 0xFFFFFFFFu;
            break;
        default:
            return false;
    }
    if (target > 0) registers[target] = result;
    pc = next;
    return true;
}

std::uint64_t ReferenceInterpreter::Run(std::uint64_t end, std::uint64_t limit) {
    std::uint64_t count = 0;
    while (pc < end && count < limit && Step()) ++count;
    return count;
}

}  // namespace reference
}  // namespace tandrel
