#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace tandrel {
namespace reference {

// A plain interpreter of the ten instructions, written from their meaning
// alone so that the datapath's results can be checked against it. It shares
// no code with the datapath: words are taken apart here by bit position.
//
// Registers hold 32-bit values and $0 always reads 0. Data memory is keyed by
// the address an instruction computes, exactly as the datapath's data memory
// is: LW $1, 4($0) reads key 4 (there are no byte lanes and no alignment).
class ReferenceInterpreter {
  public:
    static constexpr std::uint64_t kProgramBytes = 512;

    // One machine word at each byte address 0, 4, ..., 508; absent words are
    // 0, which is NOP.
    void SetInstruction(std::uint64_t address, std::uint32_t word) { program[address] = word; }
    void SetData(std::uint64_t address, std::uint32_t word) { data[address] = word; }

    // Runs the instruction at the PC. False, with nothing changed, for a word
    // that is none of the ten instructions.
    bool Step();

    // Runs until the PC leaves the instructions 0 ... end - 4, or until
    // `limit` instructions have run; the number of instructions run.
    std::uint64_t Run(std::uint64_t end, std::uint64_t limit);

    std::uint32_t Register(int n) const { return n == 0 ? 0 : registers[n]; }
    std::uint32_t Data(std::uint64_t address) const;
    const std::map<std::uint64_t, std::uint32_t>& DataWords() const { return data; }
    std::uint64_t Pc() const { return pc; }

  private:
    std::map<std::uint64_t, std::uint32_t> program;
    std::map<std::uint64_t, std::uint32_t> data;
    std::array<std::uint32_t, 32> registers{};
    std::uint64_t pc = 0;
};

}  // namespace reference
}  // namespace tandrel
