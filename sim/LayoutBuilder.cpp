#include "sim/LayoutBuilder.h"

#include "model/Combinational.h"
#include "model/Control.h"

namespace tandrel {

namespace {

std::string Where(int element, int port) {
    return "E" + std::to_string(element) + " port " + std::to_string(port);
}

std::unique_ptr<Component> Create(const ElementRow& row, Layout layout) {
    const Box box{row.x, row.y, row.width, row.height};
    const int number = static_cast<int>(layout);
    switch (row.cls) {
        case ElementClass::PC:
            return std::make_unique<PC>(row.label, box, number);
        case ElementClass::InstructionMemory:
            return std::make_unique<InstructionMemory>(row.label, box);
        case ElementClass::Mux:
            return std::make_unique<Mux>(row.label, box, row.isPcPath);
        case ElementClass::Mux3:
            return std::make_unique<Mux3>(row.label, box);
        case ElementClass::MainControl:
            return std::make_unique<MainControl>(row.label, box, number);
        case ElementClass::MainControlPipelined:
            return std::make_unique<MainControlPipelined>(row.label, box, number);
        case ElementClass::ALU:
            return std::make_unique<ALU>(row.label, box, row.isPcPath);
        case ElementClass::Registers:
            return std::make_unique<Registers>(row.label, box, number);
        case ElementClass::SignExtend:
            return std::make_unique<SignExtend>(row.label, box);
        case ElementClass::ShiftLeft2:
            return std::make_unique<ShiftLeft2>(row.label, box, row.isPcPath);
        case ElementClass::ALUControl:
            return std::make_unique<ALUControl>(row.label, box);
        case ElementClass::DataMemory:
            return std::make_unique<DataMemory>(row.label, box, number);
        case ElementClass::AndGate:
            return std::make_unique<AndGate>(row.label, box, row.isPcPath);
        case ElementClass::IFIDReg:
            return std::make_unique<IFIDReg>(row.label, box, number);
        case ElementClass::IDEXReg:
            return std::make_unique<IDEXReg>(row.label, box, number);
        case ElementClass::EXMEMReg:
            return std::make_unique<EXMEMReg>(row.label, box, number);
        case ElementClass::MEMWBReg:
            return std::make_unique<MEMWBReg>(row.label, box, number);
        case ElementClass::Forwarding:
            return std::make_unique<Forwarding>(row.label, box);
        case ElementClass::Node:
            return std::make_unique<Node>(row.label, row.x, row.y);
    }
    throw LayoutError("unknown element class");
}

// Records an element under its role, checking the role fits its class.
template <typename T>
void Record(T*& field, Component* element, const char* role) {
    if (field != nullptr) throw LayoutError(std::string("two elements claim the role ") + role);
    field = dynamic_cast<T*>(element);
    if (field == nullptr) throw LayoutError(std::string("wrong element class for ") + role);
}

void RecordRole(BuiltLayout& built, Role role, Component* element) {
    switch (role) {
        case Role::None:
            break;
        case Role::Pc:
            Record(built.pc, element, "pc");
            break;
        case Role::InstructionMemory:
            Record(built.instructionMemory, element, "instruction memory");
            break;
        case Role::Registers:
            Record(built.registers, element, "registers");
            break;
        case Role::DataMemory:
            Record(built.dataMemory, element, "data memory");
            break;
        case Role::BranchGate:
            Record(built.branchGate, element, "branch gate");
            break;
        case Role::IFID:
            Record(built.ifid, element, "IF/ID");
            break;
        case Role::IDEX:
            Record(built.idex, element, "ID/EX");
            break;
        case Role::EXMEM:
            Record(built.exmem, element, "EX/MEM");
            break;
        case Role::MEMWB:
            Record(built.memwb, element, "MEM/WB");
            break;
    }
}

class Builder {
  public:
    Builder(const LayoutTable& table, Layout layout) : table_(table), layout_(layout) {}

    BuiltLayout Build() {
        for (const ElementRow& row : table_.elements) {
            built_.elements.push_back(Create(row, layout_));
            Component* element = built_.elements.back().get();
            element->stage = row.stage;
            RecordRole(built_, row.role, element);
        }
        for (const PortSettingRow& row : table_.settings) Apply(row);
        for (const UseRow& row : table_.uses)
            for (int code : row.codes) PortOf(row.element, row.port).SetUsed(code, true);
        for (const WireRow& row : table_.wires) Wire(row);
        CheckRoles();
        CheckJunctionChains();
        ResolveWiring(built_.elements);
        built_.plan = PassPlan(built_.elements, built_.pc);
        built_.pc->SetActive(true);
        built_.pc->LatchActive();
        return std::move(built_);
    }

  private:
    Component& ElementOf(int number) {
        if (number < 1 || number > static_cast<int>(built_.elements.size()))
            throw LayoutError("no element E" + std::to_string(number));
        return *built_.elements[static_cast<size_t>(number - 1)];
    }

    Link& PortOf(int element, int port) {
        Link* link = ElementOf(element).PortByIndex(port);
        if (link == nullptr) throw LayoutError("no " + Where(element, port));
        return *link;
    }

    InputLink& InputOf(int element, int port) {
        Link& link = PortOf(element, port);
        if (link.isOutput) throw LayoutError(Where(element, port) + " is not an input");
        return static_cast<InputLink&>(link);
    }

    void Apply(const PortSettingRow& row) {
        Component& element = ElementOf(row.element);
        switch (row.setting) {
            case Setting::Bits: {
                if (row.last < row.first || row.last > 63)
                    throw LayoutError("bad bit range at " + Where(row.element, row.port));
                InputOf(row.element, row.port);
                element.SetPortBits(row.port, static_cast<int>(row.first),
                                    static_cast<int>(row.last - row.first + 1));
                break;
            }
            case Setting::Constant:
                PortOf(row.element, row.port);
                element.SetPortValue(row.port, row.first);
                break;
            case Setting::Ready:
                InputOf(row.element, row.port);
                element.SetPortReady(row.port, row.first != 0);
                break;
            case Setting::ControlLine:
                PortOf(row.element, row.port);
                element.SetControlLine(row.port, row.first != 0);
                break;
        }
    }

    void Wire(const WireRow& row) {
        Link& from = PortOf(row.fromElement, row.outPort);
        if (!from.isOutput)
            throw LayoutError(Where(row.fromElement, row.outPort) + " is not an output");
        InputLink& to = InputOf(row.toElement, row.inPort);
        if (to.connected)
            throw LayoutError(Where(row.toElement, row.inPort) + " already has a source");
        for (const auto& [px, py] : row.route)
            ElementOf(row.toElement).AddRoutePoint(row.inPort, px, py);
        ElementOf(row.fromElement).Connect(row.outPort, ElementOf(row.toElement), row.inPort);
    }

    // Every chain of junctions must lead back to a real element: a loop of
    // junctions would have no value and no activity of its own.
    void CheckJunctionChains() const {
        const size_t limit = built_.elements.size();
        for (const auto& element : built_.elements) {
            const Component* at = element.get();
            size_t hops = 0;
            while (at != nullptr && at->IsNode()) {
                const Component* next = nullptr;
                for (const auto& link : at->ports) {
                    if (link->isOutput || !link->IsConnected()) continue;
                    next = static_cast<const InputLink&>(*link).source->owner;
                    break;
                }
                at = next;
                if (++hops > limit) throw LayoutError("a loop of junctions drives itself");
            }
        }
    }

    void CheckRoles() const {
        if (built_.pc == nullptr || built_.instructionMemory == nullptr ||
            built_.registers == nullptr || built_.dataMemory == nullptr ||
            built_.branchGate == nullptr)
            throw LayoutError("a layout needs a PC, three memories and a branch gate");
        const bool pipelined = layout_ != Layout::Simple;
        const bool hasRegisters = built_.ifid && built_.idex && built_.exmem && built_.memwb;
        if (pipelined && !hasRegisters)
            throw LayoutError("a pipelined layout needs its four pipeline registers");
    }

    const LayoutTable& table_;
    Layout layout_;
    BuiltLayout built_;
};

}  // namespace

const LayoutTable* LayoutTableFor(Layout layout) {
    switch (layout) {
        case Layout::Simple:
            return &SimpleLayoutTable();
        case Layout::Pipelined:
            return &PipelinedLayoutTable();
        case Layout::Forwarding:
            return &ForwardingLayoutTable();
    }
    return nullptr;
}

BuiltLayout BuildLayout(const LayoutTable& table, Layout layout) {
    return Builder(table, layout).Build();
}

BuiltLayout BuildLayout(Layout layout) {
    const LayoutTable* table = LayoutTableFor(layout);
    if (table == nullptr) return {};
    return BuildLayout(*table, layout);
}

}  // namespace tandrel
