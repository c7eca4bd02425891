#include "sim/Popup.h"

#include "sim/HitBox.h"

namespace tandrel {

namespace {

bool IsPipelineRegister(const Component& element) {
    return element.kind == ElementKind::IFIDReg || element.kind == ElementKind::IDEXReg ||
           element.kind == ElementKind::EXMEMReg || element.kind == ElementKind::MEMWBReg;
}

// The instruction word at the address the instruction memory last read,
// followed by the instruction as written, with its label.
std::wstring InstructionText(Simulator& sim, const PopupOptions& options) {
    const InstructionMemory* memory = sim.GetInstructionMemory();
    std::wstring text = options.showFields
                            ? sim.InstructionFields(memory->lastAddress, options.format)
                            : FormatNumber(memory->Out(InstructionMemory::kInstruction).value, true,
                                           false, options.format);
    const std::wstring written = sim.InstructionText(memory->lastAddress);
    if (!written.empty()) text += L" (" + written + L")";
    return text;
}

}  // namespace

std::optional<Popup> PopupTracker::OnMotion(Simulator& sim, double x, double y,
                                            const PopupOptions& options) {
    if (!options.showPopups) return std::nullopt;
    if (const Component* element = sim.ElementAt(x, y)) {
        if ((!options.showControl && element->IsControl()) ||
            (!options.showPc && element->IsPcPath()))
            return std::nullopt;
        return ForElement(sim, *element, x, options);
    }
    const Link* port = sim.PortAt(x, y);
    if (port != nullptr && !options.showControl && port->controlLine) return std::nullopt;
    if (port == nullptr) {
        Forget();
        return std::nullopt;
    }
    if (!options.showPc && port->pcLine) return std::nullopt;
    return ForPort(sim, *port, options);
}

std::optional<Popup> PopupTracker::ForPort(Simulator& sim, const Link& port,
                                           const PopupOptions& options) {
    if (&port == lastPort) {
        Forget();
        return std::nullopt;
    }
    Popup popup;
    if (!IsPipelineRegister(*port.owner)) popup.text = port.name + L": ";
    const bool instructionWord = port.owner->kind == ElementKind::InstructionMemory &&
                                 port.port == InstructionMemory::kInstruction;
    popup.text += instructionWord ? InstructionText(sim, options) : port.ValueText(options.format);
    const HitBox box = PortHitBox(port);
    popup.left = box.left;
    popup.right = box.right;
    popup.bottom = box.bottom;
    popup.top = box.top;
    popup.maxWidth = kPortWidth;
    lastPort = &port;
    lastElement = nullptr;
    return popup;
}

std::optional<Popup> PopupTracker::ForElement(Simulator& sim, const Component& element, double x,
                                              const PopupOptions& options) {
    if (&element == lastElement) {
        Forget();
        return std::nullopt;
    }
    Popup popup;
    popup.left = element.x;
    popup.right = element.x + element.width;
    popup.bottom = element.y;
    popup.top = element.y + element.height;
    if (IsPipelineRegister(element)) {
        // Inputs on the left half, outputs on the right: crossing the middle
        // opens the other half's pop-up.
        popup.text = element.DescribeSide(x, options.format);
        const int left = static_cast<int>(element.x);
        const int middle = left + element.Width() / 2;
        const bool inputs = x < middle;
        popup.left = inputs ? left : middle;
        popup.right = inputs ? middle : left + element.Width();
        popup.bottom = static_cast<int>(element.y);
        popup.top = static_cast<int>(element.y) + element.Height();
    } else if (element.kind == ElementKind::InstructionMemory) {
        popup.text = L"Address: " +
                     FormatNumber(element.In(InstructionMemory::kAddress).value, false, false,
                                  options.format) +
                     L"\nInstruction: " + InstructionText(sim, options);
    } else {
        popup.text = element.DescribePorts(options.format);
    }
    popup.maxWidth = kElementWidth;
    lastElement = &element;
    lastPort = nullptr;
    return popup;
}

}  // namespace tandrel
