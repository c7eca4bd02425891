#include "model/Combinational.h"

namespace tandrel {

namespace {
constexpr std::uint64_t kWordMask = 0xFFFFFFFFu;
}  // namespace

Mux::Mux(std::wstring name, Box box, bool isPcPath)
    : MuxBase(std::move(name), ElementKind::Mux, false, isPcPath, box, 0.3, 0.75) {
    AddInput(kInput1, PortAt(Side::Left, L"Input1", 0.0, 0.67));
    AddInput(kInput2, PortAt(Side::Left, L"Input2", 0.0, 0.33));
    AddInput(kControl, PortAt(Side::Top, L"Control", 0.5, 1.0));
    AddOutput(kOutput, PortAt(Side::Right, L"Output", 1.0, 0.5));
}

void Mux::Evaluate() {
    // Input1 is refreshed here rather than at the end of the previous pass,
    // so a value arriving on it in this pass already passes through.
    InputPort(kInput1).Pull();
    SetOutput(kOutput, Input(kControl) != 0 ? Input(kInput2) : Input(kInput1));
    Settle();
}

Mux3::Mux3(std::wstring name, Box box)
    : MuxBase(std::move(name), ElementKind::Mux3, false, false, box, 0.3, 0.75) {
    AddInput(kInput1, PortAt(Side::Left, L"Input1", 0.0, 0.67));
    AddInput(kInput2, PortAt(Side::Left, L"Input2", 0.0, 0.5));
    AddInput(kInput3, PortAt(Side::Left, L"Input3", 0.0, 0.33));
    AddInput(kControl, PortAt(Side::Top, L"Control", 0.5, 1.0));
    AddOutput(kOutput, PortAt(Side::Right, L"Output", 1.0, 0.5));
}

void Mux3::Evaluate() {
    const auto select = static_cast<std::uint32_t>(Input(kControl));
    // Only the forwarding unit drives Control, with 0, 1 or 2; anything else
    // holds the previous output.
    if (select <= kInput3) SetOutput(kOutput, Input(static_cast<int>(select)));
    SettleWhen([this] { return InputPort(kInput1).IsReady() && InputPort(kControl).IsReady(); });
}

ALU::ALU(std::wstring name, Box box, bool isPcPath)
    : Component(std::move(name), ElementKind::ALU, false, isPcPath, box, 0.51, 0.48) {
    AddInput(kInput1, PortAt(Side::Left, L"Input1", 0.0, 0.8));
    AddInput(kInput2, PortAt(Side::Left, L"Input2", 0.0, 0.2));
    AddInput(kControl, PortAt(Side::Bottom, L"Control", 0.5, 0.167));
    AddOutput(kResult, PortAt(Side::Right, L"Result", 1.0, 0.5));
    AddOutput(kZero, PortAt(Side::Right, L"Zero", 1.0, 0.4).Control());
}

void ALU::Evaluate() {
    const std::uint64_t a = Input(kInput1);
    const std::uint64_t b = Input(kInput2);
    std::uint64_t result = OutputPort(kResult).value;
    switch (Input(kControl)) {
        case alu::kAnd:
            result = a & b;
            break;
        case alu::kOr:
            result = a | b;
            break;
        case alu::kAdd:
            result = (a + b) & kWordMask;
            break;
        case alu::kSub:
            result = (a - b) & kWordMask;
            break;
        case alu::kSlt:
            result = static_cast<std::int32_t>(static_cast<std::uint32_t>(a)) <
                             static_cast<std::int32_t>(static_cast<std::uint32_t>(b))
                         ? 1
                         : 0;
            break;
        default:
            break;  // an unknown operation leaves the result as it was
    }
    SetOutput(kResult, result);
    SetOutput(kZero, result == 0 ? 1 : 0);
    Settle();
}

AndGate::AndGate(std::wstring name, Box box, bool isPcPath)
    : Component(std::move(name), ElementKind::AndGate, true, isPcPath, box, 0.0, 1.0) {
    AddInput(kInput1, PortAt(Side::Left, L"Input1", 0.0, 0.8));
    AddInput(kInput2, PortAt(Side::Left, L"Input2", 0.0, 0.2));
    AddOutput(kOutput, PortAt(Side::Right, L"Output", 1.0, 0.5).Control());
}

void AndGate::Evaluate() {
    SetOutput(kOutput, Input(kInput1) & Input(kInput2));
    Settle();
}

SignExtend::SignExtend(std::wstring name, Box box)
    : Control(std::move(name), ElementKind::SignExtend, false, false, box, 0.05, 0.6) {
    InputLink& in = AddInput(kInput, PortAt(Side::Left, L"16", 0.0, 0.5).Label(-0.4, 0.55));
    in.is16Bit = true;
    AddOutput(kOutput, PortAt(Side::Right, L"32", 1.0, 0.5).Label(1.1, 0.55));
}

void SignExtend::Evaluate() {
    const std::uint64_t v = Input(kInput);
    SetOutput(kOutput, (v & 0x8000u) ? (v + 0xFFFF0000u) & kWordMask : v);
    Settle();
}

ShiftLeft2::ShiftLeft2(std::wstring name, Box box, bool isPcPath)
    : Control(std::move(name), ElementKind::ShiftLeft2, false, isPcPath, box, 0.25, 0.7) {
    AddInput(kInput, PortAt(Side::Left, L"Input", 0.0, 0.5));
    AddOutput(kOutput, PortAt(Side::Right, L"Output", 1.0, 0.5));
}

void ShiftLeft2::Evaluate() {
    SetOutput(kOutput, (Input(kInput) << 2) & kWordMask);
    Settle();
}

Node::Node(std::wstring name, double nx, double ny)
    : Component(std::move(name), ElementKind::Node, false, false, Box{nx, ny, 0, 0}, 0.0, 1.0) {
    AddInput(kInLeft, PortAt(Side::Left, L"", 0.0, 0.0));
    AddInput(kInTop, PortAt(Side::Top, L"", 0.0, 0.0));
    AddInput(kInBottom, PortAt(Side::Bottom, L"", 0.0, 0.0));
    AddInput(kInRight, PortAt(Side::Right, L"", 0.0, 0.0));
    AddOutput(kOutLeft, PortAt(Side::Left, L"", 0.0, 0.0));
    AddOutput(kOutTop, PortAt(Side::Top, L"", 0.0, 0.0));
    AddOutput(kOutBottom, PortAt(Side::Bottom, L"", 0.0, 0.0));
    AddOutput(kOutRight, PortAt(Side::Right, L"", 0.0, 0.0));
}

const InputLink* Node::FirstConnectedInput() const {
    for (int p = kInLeft; p <= kInRight; ++p)
        if (In(p).connected) return &In(p);
    return nullptr;
}

const Component* Node::Driver() const {
    const InputLink* input = FirstConnectedInput();
    return input ? input->source->owner : nullptr;
}

std::uint64_t Node::NodeValue() const {
    const InputLink* input = FirstConnectedInput();
    // A junction fed by itself has no value of its own to pass on.
    if (input == nullptr || input->source->owner == this) return 0;
    return input->source->GetValue();
}

bool Node::IsActive() const {
    const Component* driver = Driver();
    if (driver == nullptr) return false;
    return driver == this || driver->IsActive();
}

bool Node::IsControl() const {
    const Component* driver = Driver();
    return driver != nullptr && driver != this && driver->IsControl();
}

bool Node::IsPcPath() const {
    const Component* driver = Driver();
    return driver != nullptr && driver != this && driver->IsPcPath();
}

}  // namespace tandrel
