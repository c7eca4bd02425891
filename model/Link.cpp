#include "model/Link.h"

#include "model/Component.h"
#include "program/InstructionSet.h"

namespace tandrel {

Link::Link() {
    for (int kind = kFirstInstructionKind; kind <= kLastInstructionKind; ++kind)
        usedBy[kind] = false;
}

void Link::SetBitRange(int, int) {}

void Link::SetUsed(int code, bool used) {
    auto markRange = [this](InstructionKind first, InstructionKind last) {
        for (int kind = static_cast<int>(first); kind <= static_cast<int>(last); ++kind)
            usedBy[kind] = true;
    };
    switch (code) {
        case use::kAllButNop:
            markRange(InstructionKind::LW, InstructionKind::OR);
            break;
        case use::kRegisterFormat:
            markRange(InstructionKind::ADD, InstructionKind::OR);
            break;
        default:
            usedBy[code] = used;
    }
}

bool Link::IsUsedBy(int kind) {
    return usedBy[kind];
}

int Link::PortX() const {
    return static_cast<int>(static_cast<double>(owner->Width()) * relX +
                            static_cast<int>(owner->x));
}

int Link::PortY() const {
    return static_cast<int>(static_cast<double>(owner->Height()) * relY +
                            static_cast<int>(owner->y));
}

std::wstring Link::ValueText(NumberFormat format) const {
    return FormatNumber(GetValue(), false, is16Bit, format);
}

InputLink::InputLink() {
    isOutput = false;
}

bool InputLink::IsReady() const {
    return connected ? source->IsReady() : defaultReady;
}

std::uint64_t InputLink::GetValue() const {
    if (lowBit < 0 || lowBit >= 64 || bitCount <= 0) return 0;
    const std::uint64_t shifted = value >> lowBit;
    if (bitCount >= 64) return shifted;
    return shifted & ((std::uint64_t{1} << bitCount) - 1);
}

void InputLink::SetBitRange(int low, int count) {
    lowBit = low;
    bitCount = count;
}

void InputLink::Pull() {
    if (connected) value = source->GetValue();
}

OutputLink::OutputLink() {
    isOutput = true;
}

bool OutputLink::IsReady() const {
    return owner->IsActive();
}

std::uint64_t OutputLink::GetValue() const {
    return owner->IsNode() ? owner->NodeValue() : value;
}

}  // namespace tandrel
