#pragma once

// Random programs for the datapaths: every instruction kind, taken and
// backward branches, loads and stores near each other, and registers that
// depend on each other. The same seed gives the same program everywhere.

#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sim/LayoutTable.h"

namespace tandrel {
namespace test {
namespace random_program {

constexpr int kMaxLength = 40;

enum class Op { Lw, Sw, Addi, Beq, Add, Sub, Slt, And, Or, Nop };

struct Instruction {
    Op op = Op::Nop;
    int rd = 0, rs = 0, rt = 0;
    std::int32_t imm = 0;

    // The register it writes, or 0.
    int Target() const {
        if (op == Op::Lw || op == Op::Addi) return rt;
        return IsRegisterFormat() ? rd : 0;
    }
    bool IsRegisterFormat() const { return op >= Op::Add && op <= Op::Or; }

    // Encoded here from the field layout, not by the parser, so that the
    // parser's words are checked too. Immediates keep their low 16 bits.
    std::uint32_t Encode() const {
        static const std::uint32_t kOpcode[] = {35, 43, 8, 4, 0, 0, 0, 0, 0, 0};
        static const std::uint32_t kFunct[] = {0, 0, 0, 0, 32, 34, 42, 36, 37, 0};
        const auto i = static_cast<int>(op);
        if (op == Op::Nop) return 0;
        const std::uint32_t head = kOpcode[i] << 26 | static_cast<std::uint32_t>(rs) << 21 |
                                   static_cast<std::uint32_t>(rt) << 16;
        if (IsRegisterFormat()) return head | static_cast<std::uint32_t>(rd) << 11 | kFunct[i];
        return head | (static_cast<std::uint32_t>(imm) & 0xFFFFu);
    }

    std::string Text() const {
        static const char* kName[] = {"lw",  "sw",  "addi", "beq", "add",
                                      "sub", "slt", "and",  "or",  "nop"};
        std::ostringstream out;
        out << kName[static_cast<int>(op)];
        if (IsRegisterFormat())
            out << " $" << rd << ", $" << rs << ", $" << rt;
        else if (op == Op::Lw || op == Op::Sw)
            out << " $" << rt << ", " << imm << "($" << rs << ")";
        else if (op != Op::Nop)
            out << " $" << rt << ", $" << rs << ", " << imm;
        return out.str();
    }
};

struct Program {
    std::vector<Instruction> code;
    std::map<std::uint64_t, std::uint32_t> data;  // initial words, indices 0..511

    std::string Text() const {
        std::string text;
        for (const Instruction& instruction : code) text += instruction.Text() + "\n";
        return text;
    }
    std::uint64_t End() const { return 4 * code.size(); }
};

// What the generator has to respect on each datapath.
struct Rules {
    // A register is read no sooner than this many instructions after the
    // one writing it (1: no limit).
    int producerDistance = 1;
    // The same for a register written by LW.
    int loadDistance = 1;
    // A NOP after every BEQ, for the instruction a taken BEQ still runs.
    bool padBranches = false;
};

inline Rules RulesFor(Layout layout) {
    if (layout == Layout::Pipelined) return {3, 3, true};
    return layout == Layout::Forwarding ? Rules{1, 2, true} : Rules{};
}

class Generator {
  public:
    Generator(std::uint64_t seed, Rules rules) : rng(seed), rules(rules) {}

    Program Make() {
        Program program;
        const int length = Uniform(1, kMaxLength);
        // Data words: small, signed, and full 32-bit patterns.
        for (int n = Uniform(0, 12); n > 0; --n)
            program.data[static_cast<std::uint64_t>(Uniform(0, 511))] = RandomWord();
        std::vector<int> beqAt;
        while (static_cast<int>(program.code.size()) < length) {
            Instruction next = RandomInstruction(program.code);
            program.code.push_back(next);
            if (next.op == Op::Beq) {
                beqAt.push_back(static_cast<int>(program.code.size()) - 1);
                if (rules.padBranches) program.code.push_back(Instruction{});
            }
        }
        // Branch targets anywhere from the first instruction to the end.
        const int size = static_cast<int>(program.code.size());
        for (int at : beqAt) {
            // A backward BEQ on one register, or onto itself, never ends.
            Instruction& beq = program.code[at];
            const bool backward = at > 0 && beq.rs != beq.rt && Uniform(0, 3) == 0;
            const int target = backward ? Uniform(0, at - 1) : Uniform(at + 1, size);
            beq.imm = target - (at + 1);
        }
        return program;
    }

  private:
    int Uniform(int low, int high) {  // inclusive; the same on every library
        return low + static_cast<int>(rng() % static_cast<std::uint64_t>(high - low + 1));
    }

    std::uint32_t RandomWord() {
        const int kind = Uniform(0, 2);
        if (kind == 0) return static_cast<std::uint32_t>(Uniform(-8, 8));
        if (kind == 1) return static_cast<std::uint32_t>(Uniform(-100000, 100000));
        return static_cast<std::uint32_t>(rng());
    }

    std::int32_t RandomImmediate() {
        const int kind = Uniform(0, 5);
        if (kind == 0) return Uniform(-32768, 32767);
        if (kind == 1) return Uniform(32768, 65535);      // sign-extends to a negative number
        if (kind == 2) return Uniform(-100000, 100000);  // only the low 16 bits count
        return Uniform(-10, 10);
    }

    // A few registers most of the time, so that instructions depend on each
    // other; now and then any of the 32.
    int AnyRegister() { return Uniform(0, 9) == 0 ? Uniform(0, 31) : Uniform(0, 5); }

    // A source register the rules allow after `code`; $0 is always allowed.
    int Source(const std::vector<Instruction>& code) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int reg = AnyRegister();
            if (reg == 0 || Allowed(code, reg)) return reg;
        }
        return 0;
    }

    bool Allowed(const std::vector<Instruction>& code, int reg) const {
        const int size = static_cast<int>(code.size());
        for (int back = 1; back <= size; ++back) {
            const Instruction& earlier = code[size - back];
            if (earlier.Target() != reg) continue;
            const int needed = earlier.op == Op::Lw ? rules.loadDistance : rules.producerDistance;
            return back >= needed;  // only the latest write matters
        }
        return true;
    }

    Instruction RandomInstruction(const std::vector<Instruction>& code) {
        static const Op kOps[] = {Op::Addi, Op::Addi, Op::Addi, Op::Add, Op::Add, Op::Sub,
                                  Op::Slt,  Op::Slt,  Op::And,  Op::Or,  Op::Lw,  Op::Lw,
                                  Op::Sw,   Op::Sw,   Op::Beq,  Op::Beq, Op::Nop};
        Instruction in;
        in.op = kOps[Uniform(0, static_cast<int>(std::size(kOps)) - 1)];
        switch (in.op) {
            case Op::Nop:
                break;
            case Op::Addi:
                in.rt = AnyRegister(), in.rs = Source(code), in.imm = RandomImmediate();
                break;
            case Op::Beq:
                in.rt = Source(code), in.rs = Source(code);  // the offset comes later
                break;
            case Op::Lw:
            case Op::Sw:
                in.rt = in.op == Op::Lw ? AnyRegister() : Source(code);
                if (Uniform(0, 2) == 0) {
                    in.rs = Source(code), in.imm = Uniform(-16384, 16384);
                } else {  // mostly words near 0, now and then an unaligned one
                    in.rs = 0, in.imm = 4 * Uniform(0, 15) + (Uniform(0, 7) == 0 ? 1 : 0);
                }
                break;
            default:
                in.rd = AnyRegister(), in.rs = Source(code), in.rt = Source(code);
                break;
        }
        return in;
    }

    std::mt19937_64 rng;
    Rules rules;
};

}  // namespace random_program
}  // namespace test
}  // namespace tandrel
