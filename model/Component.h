#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/NumberFormat.h"
#include "model/Link.h"

namespace tandrel {

// Element kind numbers; the drawing picks a shape by them and the simulator
// treats Node and PC specially.
enum class ElementKind : int {
    Mux = 0,
    Mux3 = 1,
    MainControl = 2,  // also MainControlPipelined
    ALUControl = 3,
    SignExtend = 4,
    ShiftLeft2 = 5,
    InstructionMemory = 6,
    Registers = 7,
    DataMemory = 8,
    ALU = 9,
    AndGate = 10,
    PC = 11,
    Node = 12,
    IFIDReg = 13,
    IDEXReg = 14,
    EXMEMReg = 15,
    MEMWBReg = 16,
    Forwarding = 17,
};

// Where an element sits and how its name is anchored, in layout units.
struct Box {
    double x = 0, y = 0, width = 0, height = 0;
};

// Geometry and flags of a new port, read like a row of the port tables:
//   PortAt(Side::Right, L"Zero", 1.0, 0.4).Control()
// A port reads all 32 bits, shows no label and belongs to neither the control
// nor the PC lines unless a modifier says otherwise.
struct PortSpec {
    Side side = Side::Left;
    const wchar_t* name = L"";
    double relX = 0.0, relY = 0.0;
    double labelX = 0.0, labelY = 0.0;
    bool showLabel = false;
    bool controlLine = false;
    bool pcLine = false;
    int lowBit = 0;
    int bitCount = 32;

    PortSpec& Label(double x, double y) {
        showLabel = true;
        labelX = x;
        labelY = y;
        return *this;
    }
    PortSpec& Control() {
        controlLine = true;
        return *this;
    }
    PortSpec& Pc() {
        pcLine = true;
        return *this;
    }
    PortSpec& Bits(int low, int count) {
        lowBit = low;
        bitCount = count;
        return *this;
    }
};

inline PortSpec PortAt(Side side, const wchar_t* name, double relX, double relY) {
    PortSpec shape;
    shape.side = side;
    shape.name = name;
    shape.relX = relX;
    shape.relY = relY;
    return shape;
}

// Every box of the datapath. Ports are numbered 0, 1, 2, ... without gaps,
// inputs and outputs in one sequence, and always walked in ascending number.
class Component {
  public:
    Component(std::wstring name, ElementKind kind, bool isControl, bool isPcPath, Box box,
              double labelX, double labelY);
    virtual ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    virtual void Clock() {}
    virtual void PullInputs();
    virtual void Evaluate() {}
    virtual bool InputsReady() const;
    virtual int Width() const;
    virtual int Height() const;
    virtual bool IsActive() const { return active; }
    virtual std::uint64_t NodeValue() const { return 0; }
    virtual void LatchActive() { active = activeNext; }
    virtual bool IsControl() const { return isControl; }
    virtual bool IsPcPath() const { return isPcPath; }

    void SetActive(bool b);
    bool IsNode() const { return kind == ElementKind::Node; }

    // Port creation, used by the element constructors.
    InputLink& AddInput(int port, const PortSpec& shape);
    OutputLink& AddOutput(int port, const PortSpec& shape);

    // Wiring and per-instance settings, used by the layout builder.
    void Connect(int outPort, Component& other, int inPort);
    void SetPortValue(int port, std::uint64_t value);
    void SetPortReady(int port, bool ready);
    void SetPortBits(int port, int lowBit, int bitCount);
    void SetControlLine(int port, bool on);
    void AddRoutePoint(int port, double x, double y);
    void SetUsedBy(int port, int code, bool used);

    int PortCount() const { return static_cast<int>(ports.size()); }
    Link* PortByIndex(int i) const;
    // Checked look-ups, in line because the simulator asks them every pass;
    // the throwing is kept out of line.
    Link& Port(int i) const {
        if (i < 0 || i >= PortCount()) NoSuchPort();
        return *ports[static_cast<size_t>(i)];
    }
    InputLink& In(int i) const {
        Link& link = Port(i);
        if (link.isOutput) WrongDirection(true);
        return static_cast<InputLink&>(link);
    }
    OutputLink& Out(int i) const {
        Link& link = Port(i);
        if (!link.isOutput) WrongDirection(false);
        return static_cast<OutputLink&>(link);
    }

    // Pop-up texts: the values on the side of the box under the mouse, and
    // every port with its name.
    std::wstring DescribeSide(double mouseX, NumberFormat format) const;
    std::wstring DescribePorts(NumberFormat format) const;

    // What a pass touches first, next to the object's start.
    float brightness = 1.0f;
    bool activeNext = false;
    bool active = false;
    std::vector<std::unique_ptr<Link>> ports;  // index = port number
    int stage = 0;
    std::wstring name;
    ElementKind kind;
    double x, y;
    double labelX, labelY;
    double width, height;
    int componentId;
    bool isControl;
    bool isPcPath;

  protected:
    // The step every element ends its evaluation with: an element that is not
    // yet active becomes active at the end of the pass once it is ready.
    // `ready()` is asked only while the element is still dark: on the
    // pipelined layouts everything is active, and a pass should not walk to
    // the ports' readiness for nothing.
    template <typename Ready>
    void SettleWhen(Ready&& ready) {
        if (!active && ready()) activeNext = true;
    }
    // The same with every input as the condition, asked only when it matters.
    void Settle() {
        if (!active && InputsReady()) activeNext = true;
    }
    // An element's own ports, by the numbers its constructor gave them: these
    // look-ups cannot miss, so they are not checked.
    InputLink& InputPort(int port) const {
        return static_cast<InputLink&>(*ports[static_cast<size_t>(port)]);
    }
    OutputLink& OutputPort(int port) const {
        return static_cast<OutputLink&>(*ports[static_cast<size_t>(port)]);
    }
    std::uint64_t Input(int port) const { return InputPort(port).GetValue(); }
    void SetOutput(int port, std::uint64_t v) { OutputPort(port).value = v; }

  private:
    [[noreturn]] static void NoSuchPort();
    [[noreturn]] static void WrongDirection(bool wantedInput);
    void Store(int port, std::unique_ptr<Link> link, const PortSpec& shape);
    std::vector<InputLink*> inputs_;  // the input ports in ascending order, for PullInputs
};

// Raised by an element that meets an input it cannot handle; the element
// reports it on standard output itself and carries on.
class InvalidInputException : public std::exception {
  public:
    const char* what() const noexcept override { return "Invalid Input: ComponentID: "; }
};

// Writes the report line for an exception caught inside an element.
void ReportInvalidInput(const std::exception& e, const Component& element);

}  // namespace tandrel
