#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "model/Component.h"

namespace tandrel {

// The program counter. It counts evaluation passes and latches its input
// and drives its output at fixed passes of the clock cycle.
class PC : public Component {
  public:
    enum Ports { kInput = 0, kOutput = 1 };
    PC(std::wstring name, Box box, int layout);
    void Evaluate() override;
    void Clock() override { counter = period; }

    int counter;
    int period;
    std::uint64_t held = 0;
    int outputAt;
    int latchAt;
};

// A memory's words by address, in address order. A location never written
// reads 0 and exists from then on. The register file and the instruction
// memory are read several times in every pass, mostly at the addresses of
// the pass before, so the store remembers where it last found a few words;
// it forgets whenever a word could leave (clear, assignment), and nothing
// else can reach the words to remove one.
class WordStore {
  public:
    using Words = std::map<std::uint64_t, std::uint64_t>;
    using const_iterator = Words::const_iterator;

    WordStore() = default;
    WordStore(const WordStore& other) : words_(other.words_) {}
    WordStore& operator=(const WordStore& other) { return *this = other.words_; }
    WordStore& operator=(Words words) {
        words_ = std::move(words);
        Forget();
        return *this;
    }

    std::uint64_t& operator[](std::uint64_t key) {
        Seen& seen = seen_[key % kSeen];
        if (seen.word == nullptr || seen.key != key) seen = {key, &words_[key]};
        return *seen.word;
    }
    void clear() {
        words_.clear();
        Forget();
    }
    const_iterator find(std::uint64_t key) const { return words_.find(key); }
    const_iterator begin() const { return words_.begin(); }
    const_iterator end() const { return words_.end(); }
    std::size_t size() const { return words_.size(); }

  private:
    struct Seen {
        std::uint64_t key = 0;
        std::uint64_t* word = nullptr;
    };
    static constexpr std::size_t kSeen = 8;
    void Forget() { seen_.fill(Seen{}); }

    Words words_;
    std::array<Seen, kSeen> seen_{};
};

// Shared base of the three memories (one drawing shape, one word store).
class Memory : public Component {
  public:
    // The stored value; a location never written reads 0 and exists from then on.
    std::uint64_t Read(std::uint64_t key) { return storage[key]; }

    WordStore storage;

  protected:
    using Component::Component;
};

class InstructionMemory : public Memory {
  public:
    enum Ports { kAddress = 0, kInstruction = 1 };
    InstructionMemory(std::wstring name, Box box);
    void Evaluate() override;

    std::uint64_t lastAddress = 0;
};

// The register file. Reads happen every pass; writes are timed so that the
// value written is the one that had time to travel round the datapath: in the
// single-cycle layout once, in the last pass of the instruction; in the
// pipelined layouts from the third pass with RegWrite asserted on.
class Registers : public Memory {
  public:
    enum Ports {
        kRegWrite = 0,
        kWriteData = 1,
        kReadReg1 = 2,
        kReadReg2 = 3,
        kWriteReg = 4,
        kReadData1 = 5,
        kReadData2 = 6,
    };
    Registers(std::wstring name, Box box, int layout);
    void Evaluate() override;
    bool InputsReady() const override;
    void Clock() override;

    int phase = 0;
    int period;
};

class DataMemory : public Memory {
  public:
    enum Ports { kMemWrite = 0, kMemRead = 1, kAddress = 2, kWriteData = 3, kReadData = 4 };
    DataMemory(std::wstring name, Box box, int layout);
    void Evaluate() override;
    void Clock() override;

    int phase = 0;
    int period;
    int writeFrom;
};

}  // namespace tandrel
