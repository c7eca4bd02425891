#include "model/Link.h"

#include "model/Component.h"
#include "program/InstructionSet.h"

namespace tandrel {

void Link::SetBitRange(int, int) {}

void Link::SetUsed(int code, bool used) {
    auto markRange = [this](InstructionKind first, InstructionKind last) {
        for (int kind = static_cast<int>(first); kind <= static_cast<int>(last); ++kind)
            usedBy_ |= 1u << kind;
    };
    switch (code) {
        case use::kAllButNop:
            markRange(InstructionKind::LW, InstructionKind::OR);
            break;
        case use::kRegisterFormat:
            markRange(InstructionKind::ADD, InstructionKind::OR);
            break;
        default:
            if (code < 0 || code >= kUseBits) return;  // no instruction has such a code
            if (used)
                usedBy_ |= 1u << code;
            else
                usedBy_ &= ~(1u << code);
    }
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

bool InputLink::AskSource() const {
    return connected ? source->IsReady() : defaultReady;
}

std::uint64_t InputLink::SourceValue() const {
    return source->GetValue();
}

void InputLink::SetBitRange(int low, int count) {
    lowBit = low;
    bitCount = count;
    // A range outside the 64 bits reads 0.
    if (low < 0 || low >= 64 || count <= 0) {
        shift_ = 0;
        mask_ = 0;
    } else {
        shift_ = low;
        mask_ = count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
    }
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
