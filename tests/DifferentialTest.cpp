// Random programs run on each datapath and on the reference interpreter; the
// register file and data memory must go through the same values.
//
// Reproducible: the programs of a run use the seeds TANDREL_DIFF_SEED,
// TANDREL_DIFF_SEED + 1, ... (a fixed base by default), and a failure names
// the seed and shows the program, so TANDREL_DIFF_SEED=<seed>
// TANDREL_DIFF_PROGRAMS=1 replays it alone. TANDREL_DIFF_PROGRAMS sets how
// many programs each layout compares; a program that does not end within the
// limit is skipped and not counted.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/DatapathRunner.h"
#include "tests/ReferenceInterpreter.h"

namespace tandrel {
namespace {

using test::DataValue;
using test::LayoutName;
using test::LoadProgram;
using test::RegisterValue;

constexpr std::uint64_t kDefaultSeed = 20240611;
constexpr std::uint64_t kDefaultPrograms = 1500;
constexpr int kMaxLength = 40;
// A program still running after this many instructions is dropped: a random
// backward branch can loop for ever.
constexpr std::uint64_t kInstructionLimit = 400;

std::uint64_t EnvOr(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

enum class Op { Lw, Sw, Addi, Beq, Add, Sub, Slt, And, Or, Nop };

struct Instruction {
    Op op = Op::Nop;
    int rd = 0, rs = 0, rt = 0;
    std::int32_t imm = 0;

    // The register it writes, or 0.
    int Target() const {
        switch (op) {
            case Op::Lw:
            case Op::Addi:
                return rt;
            case Op::Add:
            case Op::Sub:
            case Op::Slt:
            case Op::And:
            case Op::Or:
                return rd;
            default:
                return 0;
        }
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

Rules RulesFor(Layout layout) {
    switch (layout) {
        case Layout::Pipelined:
            return {3, 3, true};
        case Layout::Forwarding:
            return {1, 2, true};
        default:
            return {};
    }
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
        switch (Uniform(0, 2)) {
            case 0:
                return static_cast<std::uint32_t>(Uniform(-8, 8));
            case 1:
                return static_cast<std::uint32_t>(Uniform(-100000, 100000));
            default:
                return static_cast<std::uint32_t>(rng());
        }
    }

    std::int32_t RandomImmediate() {
        switch (Uniform(0, 5)) {
            case 0:
                return Uniform(-32768, 32767);
            case 1:
                return Uniform(32768, 65535);  // sign-extends to a negative number
            case 2:
                return Uniform(-100000, 100000);  // only the low 16 bits count
            default:
                return Uniform(-10, 10);
        }
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

// Each register's and each stored-to data word's values, in the order they
// were taken, without repeats: what a student would see change.
struct History {
    std::array<std::vector<std::uint64_t>, 32> registers;
    std::map<std::uint64_t, std::vector<std::uint64_t>> data;

    static void Note(std::vector<std::uint64_t>& values, std::uint64_t value) {
        if (values.empty() || values.back() != value) values.push_back(value);
    }
};

std::string Show(const std::vector<std::uint64_t>& values) {
    std::string text;
    for (std::uint64_t value : values) text += " " + std::to_string(value);
    return text;
}

struct Tally {
    std::uint64_t programs = 0, dropped = 0, instructions = 0, taken = 0, backward = 0;
};

// Runs the program on the reference; false when it did not finish.
bool RunReference(const Program& program, History& history, std::uint64_t& count,
                  std::uint64_t& taken, std::vector<std::uint64_t>& pcs) {
    reference::ReferenceInterpreter ref;
    for (std::size_t i = 0; i < program.code.size(); ++i)
        ref.SetInstruction(4 * i, program.code[i].Encode());
    for (const auto& [index, word] : program.data) ref.SetData(index, word);
    for (int n = 0; n < 32; ++n) History::Note(history.registers[n], 0);
    count = taken = 0;
    pcs.clear();
    while (ref.Pc() < program.End() && count < kInstructionLimit) {
        const std::uint64_t pc = ref.Pc();
        const Instruction& in = program.code[pc / 4];
        if (in.op == Op::Sw) {
            // The address a store writes, with its value before the store.
            const std::uint64_t address =
                (ref.Register(in.rs) +
                 static_cast<std::uint32_t>(static_cast<std::int16_t>(in.imm))) &
                0xFFFFFFFFu;
            if (history.data.count(address) == 0)
                History::Note(history.data[address], ref.Data(address));
        }
        // A taken BEQ with offset 0 lands where it would have gone anyway.
        if (in.op == Op::Beq && ref.Register(in.rs) == ref.Register(in.rt)) ++taken;
        if (!ref.Step()) return false;
        ++count;
        pcs.push_back(ref.Pc());
        for (int n = 0; n < 32; ++n) History::Note(history.registers[n], ref.Register(n));
        if (in.op == Op::Sw) {
            for (auto& [address, values] : history.data) History::Note(values, ref.Data(address));
        }
    }
    return ref.Pc() >= program.End();
}

void Observe(const Simulator& sim, History& history) {
    for (int n = 0; n < 32; ++n) History::Note(history.registers[n], RegisterValue(sim, n));
    for (auto& [address, values] : history.data) History::Note(values, DataValue(sim, address));
}

void RunLayout(Layout layout) {
    const std::uint64_t base = EnvOr("TANDREL_DIFF_SEED", kDefaultSeed);
    const std::uint64_t programs = EnvOr("TANDREL_DIFF_PROGRAMS", kDefaultPrograms);
    const Rules rules = RulesFor(layout);
    Simulator sim;
    Tally tally;
    History expected, seen;
    std::vector<std::uint64_t> pcs;
    std::uint64_t seed = base;
    for (; tally.programs < programs; ++seed) {
        ASSERT_LT(tally.dropped, programs + 100) << "the generator makes only endless programs";
        const Program program = Generator(seed, rules).Make();
        const std::string text = program.Text();
        SCOPED_TRACE("seed " + std::to_string(seed) + " on " + LayoutName(layout) + ", program:\n" +
                     text);

        expected = History{};
        std::uint64_t count = 0, taken = 0;
        if (!RunReference(program, expected, count, taken, pcs)) {
            ++tally.dropped;
            continue;
        }
        ++tally.programs;
        tally.instructions += count;
        tally.taken += taken;
        for (const Instruction& in : program.code) tally.backward += in.op == Op::Beq && in.imm < 0;

        ASSERT_TRUE(LoadProgram(sim, layout, std::wstring(text.begin(), text.end()), program.data));
        for (std::size_t k = 0; k < program.code.size(); ++k)
            ASSERT_EQ(sim.GetParser().GetInstruction(4 * k), program.code[k].Encode())
                << "word of line " << k + 1;

        seen = History{};
        for (auto& [address, values] : expected.data) seen.data[address];
        Observe(sim, seen);
        if (layout == Layout::Simple) {
            // Every pass is looked at, and the PC after every instruction.
            for (std::uint64_t n = 0; n < count; ++n) {
                for (int pass = 0; pass < test::kPassesPerInstruction; ++pass) {
                    sim.Step();
                    Observe(sim, seen);
                }
                ASSERT_EQ(sim.PcValue(), pcs[n]) << "PC after instruction " << n + 1;
            }
        } else {
            // Until the PC has left the program long enough for everything
            // in flight to be written back. A taken BEQ costs three steps: the
            // NOP after it and two bubbles.
            const std::uint64_t limit = count + 3 * taken + 20;
            std::uint64_t steps = 0;
            for (int outside = 0; outside < 6; ++steps) {
                ASSERT_LT(steps, limit) << "the program does not end";
                sim.Step();
                Observe(sim, seen);
                outside = sim.PcValue() >= program.End() ? outside + 1 : 0;
            }
        }
        for (int n = 0; n < 32; ++n)
            ASSERT_EQ(Show(seen.registers[n]), Show(expected.registers[n])) << "values of $" << n;
        for (const auto& [address, values] : expected.data)
            ASSERT_EQ(Show(seen.data[address]), Show(values)) << "values of data " << address;
        // Nothing else in data memory changed.
        for (const auto& [address, word] : sim.GetDataMemory()->storage) {
            if (expected.data.count(address) != 0) continue;
            const auto initial = program.data.find(address);
            ASSERT_EQ(word, initial == program.data.end() ? 0 : initial->second)
                << "data " << address;
        }
    }
    std::cout << LayoutName(layout) << ": " << tally.programs << " programs (" << tally.dropped
              << " dropped as endless), " << tally.instructions << " instructions, " << tally.taken
              << " taken branches, " << tally.backward << " backward branches; seeds " << base
              << " to " << seed - 1 << "\n";
    // The generator must keep producing what the comparison relies on.
    if (programs >= 100) {
        EXPECT_LT(tally.dropped, programs / 3);
        EXPECT_GT(tally.taken, tally.programs / 2);
        EXPECT_GT(tally.backward, tally.programs / 10);
    }
}

TEST(DifferentialTest, SimpleMatchesTheReferenceOnAnyProgram) {
    RunLayout(Layout::Simple);
}

TEST(DifferentialTest, PipelinedMatchesTheReferenceWithProducersThreeApart) {
    RunLayout(Layout::Pipelined);
}

TEST(DifferentialTest, ForwardingMatchesTheReferenceWithLoadsTwoApart) {
    RunLayout(Layout::Forwarding);
}

}  // namespace
}  // namespace tandrel
