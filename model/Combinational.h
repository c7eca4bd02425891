#pragma once

#include "model/Component.h"

namespace tandrel {

// Shared base of the two multiplexers (one drawing shape).
class MuxBase : public Component {
  protected:
    using Component::Component;
};

// Two-way multiplexer: Input1 (0), Input2 (1), Control (2) -> Output (3).
class Mux : public MuxBase {
  public:
    enum Ports { kInput1 = 0, kInput2 = 1, kControl = 2, kOutput = 3 };
    Mux(std::wstring name, Box box, bool isPcPath);
    void Evaluate() override;
};

// Three-way multiplexer in front of the ALU in the forwarding layout:
// Input1..3 (0..2), Control (3) -> Output (4).
class Mux3 : public MuxBase {
  public:
    enum Ports { kInput1 = 0, kInput2 = 1, kInput3 = 2, kControl = 3, kOutput = 4 };
    Mux3(std::wstring name, Box box);
    void Evaluate() override;
};

// ALU control codes, as produced by ALUControl.
namespace alu {
constexpr std::uint64_t kAnd = 0;
constexpr std::uint64_t kOr = 1;
constexpr std::uint64_t kAdd = 2;
constexpr std::uint64_t kSub = 6;
constexpr std::uint64_t kSlt = 7;
}  // namespace alu

// The main ALU and the two adders (whose Control is the constant kAdd).
class ALU : public Component {
  public:
    enum Ports { kInput1 = 0, kInput2 = 1, kControl = 2, kResult = 3, kZero = 4 };
    ALU(std::wstring name, Box box, bool isPcPath);
    void Evaluate() override;
};

// Takes the branch decision: Branch AND Zero.
class AndGate : public Component {
  public:
    enum Ports { kInput1 = 0, kInput2 = 1, kOutput = 2 };
    AndGate(std::wstring name, Box box, bool isPcPath);
    void Evaluate() override;
};

// Shared base of the decoding and field-converting boxes (one drawing shape).
class Control : public Component {
  protected:
    using Component::Component;
};

class SignExtend : public Control {
  public:
    enum Ports { kInput = 0, kOutput = 1 };
    SignExtend(std::wstring name, Box box);
    void Evaluate() override;
};

class ShiftLeft2 : public Control {
  public:
    enum Ports { kInput = 0, kOutput = 1 };
    ShiftLeft2(std::wstring name, Box box, bool isPcPath);
    void Evaluate() override;
};

// A wire junction. It stores nothing: value, activity and line class are
// those of the element at the head of its chain of junctions.
class Node : public Component {
  public:
    // One input and one output per edge.
    enum Ports {
        kInLeft = 0,
        kInTop = 1,
        kInBottom = 2,
        kInRight = 3,
        kOutLeft = 4,
        kOutTop = 5,
        kOutBottom = 6,
        kOutRight = 7,
    };
    Node(std::wstring name, double x, double y);

    std::uint64_t NodeValue() const override;
    bool IsActive() const override;
    bool IsControl() const override;
    bool IsPcPath() const override;
    int Width() const override { return 0; }
    int Height() const override { return 0; }

  private:
    // The element driving this junction's first connected input, or null.
    const Component* Driver() const;
    const InputLink* FirstConnectedInput() const;
};

}  // namespace tandrel
