#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tandrel {

enum class Layout : int { Simple = 0, Pipelined = 1, Forwarding = 2 };

// The element classes a layout table can ask for.
enum class ElementClass {
    PC,
    InstructionMemory,
    Mux,
    Mux3,
    MainControl,
    MainControlPipelined,
    ALU,
    Registers,
    SignExtend,
    ShiftLeft2,
    ALUControl,
    DataMemory,
    AndGate,
    IFIDReg,
    IDEXReg,
    EXMEMReg,
    MEMWBReg,
    Forwarding,
    Node,
};

// The simulator field an element is recorded in, if any.
enum class Role { None, Pc, InstructionMemory, Registers, DataMemory, BranchGate, IFID, IDEX, EXMEM, MEMWB };

// One element, in creation order (the order of every pass). Elements are
// referred to elsewhere in the table by their 1-based row number.
struct ElementRow {
    ElementClass cls;
    const wchar_t* label;
    bool isPcPath;  // only read by Mux, ShiftLeft2, ALU and AndGate
    double x, y, width, height;
    int stage;
    Role role;
};

enum class Setting {
    Bits,         // keep bits first..last of what the input receives
    Constant,     // a constant value on an unconnected input
    Ready,        // an unconnected input that counts as ready
    ControlLine,  // the port belongs to the control lines
};

struct PortSettingRow {
    int element;
    int port;
    Setting setting;
    std::uint64_t first;  // Bits: low bit; Constant: the value
    std::uint64_t last;   // Bits: high bit
};

// Which instruction kinds (or group codes) use a port's wire.
struct UseRow {
    int element;
    int port;
    std::vector<int> codes;
};

// A wire from an output to an input, with the bend points of the drawn line.
struct WireRow {
    int fromElement;
    int outPort;
    int toElement;
    int inPort;
    std::vector<std::pair<double, double>> route;
};

struct LayoutTable {
    std::vector<ElementRow> elements;
    std::vector<PortSettingRow> settings;
    std::vector<UseRow> uses;
    std::vector<WireRow> wires;
};

const LayoutTable& SimpleLayoutTable();
const LayoutTable& PipelinedLayoutTable();
const LayoutTable& ForwardingLayoutTable();

}  // namespace tandrel
