#include "model/Component.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <stdexcept>

namespace tandrel {

namespace {
// Serial numbers of elements over the life of the process; the number is what
// the invalid-input report names.
int nextComponentId = 0;
}  // namespace

Component::Component(std::wstring name_, ElementKind kind_, bool isControl_, bool isPcPath_,
                     Box box, double labelX_, double labelY_)
    : name(std::move(name_)),
      kind(kind_),
      x(box.x),
      y(box.y),
      labelX(labelX_),
      labelY(labelY_),
      width(box.width),
      height(box.height),
      componentId(nextComponentId++),
      isControl(isControl_),
      isPcPath(isPcPath_) {}

Component::~Component() = default;

void Component::PullInputs() {
    if (IsActive()) brightness = 0.7f;
    if (IsNode()) return;
    for (InputLink* input : inputs_) input->Pull();
}

bool Component::InputsReady() const {
    for (const InputLink* input : inputs_)
        if (!input->IsReady()) return false;
    return true;
}

int Component::Width() const {
    return static_cast<int>(width);
}
int Component::Height() const {
    return static_cast<int>(height);
}

void Component::SetActive(bool b) {
    activeNext = b;
    if (!b) brightness = 1.0f;
}

void Component::Store(int port, std::unique_ptr<Link> link, const PortSpec& shape) {
    // Ports are declared in ascending order without gaps by every constructor.
    if (port != PortCount()) throw std::logic_error("ports must be added in order");
    link->side = shape.side;
    link->name = shape.name;
    link->relX = shape.relX;
    link->relY = shape.relY;
    link->labelX = shape.labelX;
    link->labelY = shape.labelY;
    link->showLabel = shape.showLabel;
    link->controlLine = shape.controlLine;
    link->pcLine = shape.pcLine;
    link->port = port;
    link->owner = this;
    ports.push_back(std::move(link));
}

InputLink& Component::AddInput(int port, const PortSpec& shape) {
    auto link = std::make_unique<InputLink>();
    InputLink& input = *link;
    input.SetBitRange(shape.lowBit, shape.bitCount);
    Store(port, std::move(link), shape);
    inputs_.push_back(&input);
    return input;
}

OutputLink& Component::AddOutput(int port, const PortSpec& shape) {
    auto link = std::make_unique<OutputLink>();
    OutputLink& output = *link;
    Store(port, std::move(link), shape);
    return output;
}

void Component::Connect(int outPort, Component& other, int inPort) {
    Link* from = PortByIndex(outPort);
    Link* to = other.PortByIndex(inPort);
    if (from == nullptr || to == nullptr || !from->isOutput || to->isOutput) return;
    auto* output = static_cast<OutputLink*>(from);
    auto* input = static_cast<InputLink*>(to);
    output->targets.push_back(input);
    input->source = output;
    input->connected = true;
}

void Component::SetPortValue(int port, std::uint64_t v) {
    if (Link* link = PortByIndex(port)) link->value = v;
}

void Component::SetPortReady(int port, bool ready) {
    if (Link* link = PortByIndex(port)) link->defaultReady = ready;
}

void Component::SetPortBits(int port, int lowBit, int bitCount) {
    if (Link* link = PortByIndex(port)) link->SetBitRange(lowBit, bitCount);
}

void Component::SetControlLine(int port, bool on) {
    Port(port).controlLine = on;
}

void Component::AddRoutePoint(int port, double px, double py) {
    Port(port).route.emplace_back(px, py);
}

void Component::SetUsedBy(int port, int code, bool used) {
    Port(port).SetUsed(code, used);
}

Link* Component::PortByIndex(int i) const {
    if (i < 0 || i >= PortCount()) return nullptr;
    return ports[static_cast<size_t>(i)].get();
}

void Component::NoSuchPort() {
    throw std::out_of_range("no such port");
}

void Component::WrongDirection(bool wantedInput) {
    throw std::logic_error(wantedInput ? "port is not an input" : "port is not an output");
}

std::wstring Component::DescribeSide(double mouseX, NumberFormat format) const {
    const bool inputs = mouseX < static_cast<int>(x) + Width() / 2;
    std::wstring text = inputs ? L"Inputs\n" : L"Outputs\n";
    // Topmost port first; of two ports at one height the later one is shown.
    std::map<double, const Link*> byHeight;
    for (const auto& link : ports)
        if (link->isOutput != inputs) byHeight[1.0 - link->relY] = link.get();
    for (const auto& [key, link] : byHeight) text += link->ValueText(format) + L"\n";
    text.pop_back();
    return text;
}

std::wstring Component::DescribePorts(NumberFormat format) const {
    std::wstring inputsText;
    std::wstring outputsText;
    for (const auto& link : ports) {
        std::wstring line = link->name;
        if (line.empty()) line = std::to_wstring(static_cast<unsigned>(link->port));
        line += L": " + FormatNumber(link->GetValue(), false, link->is16Bit, format);
        if (link->isOutput) {
            outputsText += L"\n" + line;
        } else {
            if (link->port != 0) inputsText += L"\n";
            inputsText += line;
        }
    }
    return inputsText + outputsText;
}

void ReportInvalidInput(const std::exception& e, const Component& element) {
    std::cout << e.what() << element.componentId << std::endl;
}

}  // namespace tandrel
