#include "model/Pipeline.h"

#include "model/Control.h"

namespace tandrel {

namespace {
constexpr int kForwardingLayout = 2;
}  // namespace

PipelineRegister::PipelineRegister(std::wstring name, ElementKind kind, Box box, double labelX,
                                   double labelY)
    : Component(std::move(name), kind, false, false, box, labelX, labelY) {}

void PipelineRegister::Evaluate() {
    --latchCountdown;
    if (latchCountdown == 1) Latch();
    if (latchCountdown == 0) latchCountdown = latchPeriod;
}

void PipelineRegister::Clock() {
    for (auto& link : ports)
        if (link->isOutput) link->value = 0;
}

void PipelineRegister::AddEdgePort(int port, bool output, int layout, double relY1, double relY2,
                                   const wchar_t* name, bool controlLine) {
    const double relY = layout == kForwardingLayout ? relY2 : relY1;
    PortSpec shape =
        output ? PortAt(Side::Right, name, 1.0, relY) : PortAt(Side::Left, name, 0.0, relY);
    if (controlLine) shape.Control();
    if (output)
        AddOutput(port, shape);
    else
        AddInput(port, shape);
}

IFIDReg::IFIDReg(std::wstring name, Box box, int layout)
    : PipelineRegister(std::move(name), ElementKind::IFIDReg, box, 0.04, 1.005) {
    const bool named = layout == kForwardingLayout;
    AddEdgePort(kInstructionIn, false, layout, 0.495, 0.5, named ? L"Instruction" : L"");
    AddEdgePort(kPcIn, false, layout, 0.855, 0.91, named ? L"PC" : L"");
    AddEdgePort(kInstructionOut, true, layout, 0.495, 0.5);
    AddEdgePort(kPcOut, true, layout, 0.855, 0.91);
    Out(kPcOut).pcLine = true;
}

void IFIDReg::Latch() {
    Copy(kInstructionIn, kInstructionOut);
    Copy(kPcIn, kPcOut);
}

IDEXReg::IDEXReg(std::wstring name, Box box, int layout_)
    : PipelineRegister(std::move(name), ElementKind::IDEXReg, box, -0.08, 1.005), layout(layout_) {
    AddEdgePort(kRdIn, false, layout, 0.05, 0.04);
    AddEdgePort(kRtIn, false, layout, 0.095, 0.08);
    AddEdgePort(kImmediateIn, false, layout, 0.195, 0.2);
    AddEdgePort(kReadData2In, false, layout, 0.397, 0.397);
    AddEdgePort(kReadData1In, false, layout, 0.5, 0.5);
    AddEdgePort(kPcIn, false, layout, 0.74, 0.78);
    AddEdgePort(kExIn, false, layout, 0.84, 0.86);
    AddEdgePort(kMemIn, false, layout, 0.9, 0.925);
    AddEdgePort(kWbIn, false, layout, 0.96, 0.985);
    AddEdgePort(kRdOut, true, layout, 0.05, 0.04);
    AddEdgePort(kRtOut, true, layout, 0.095, 0.08);
    AddEdgePort(kImmediateOut, true, layout, 0.195, 0.2);
    AddEdgePort(kReadData2Out, true, layout, 0.397, 0.397);
    AddEdgePort(kReadData1Out, true, layout, 0.5, 0.5);
    AddEdgePort(kPcOut, true, layout, 0.74, 0.78);
    AddEdgePort(kALUSrc, true, layout, 0.84, 0.852, L"", true);
    AddEdgePort(kALUOp, true, layout, 0.895, 0.86, L"", true);
    AddEdgePort(kRegDst, true, layout, 0.9, 0.87, L"", true);
    AddEdgePort(kMemOut, true, layout, 0.91, 0.925, L"", true);
    AddEdgePort(kWbOut, true, layout, 0.96, 0.985, L"", true);
    if (layout == kForwardingLayout) {
        AddEdgePort(kRsIn, false, layout, 0.11, 0.11);
        AddEdgePort(kRsOut, true, layout, 0.11, 0.11);
    }
}

void IDEXReg::Latch() {
    const std::uint64_t ex = Input(kExIn);
    Copy(kRdIn, kRdOut);
    Copy(kRtIn, kRtOut);
    Copy(kImmediateIn, kImmediateOut);
    Copy(kReadData2In, kReadData2Out);
    Copy(kReadData1In, kReadData1Out);
    Copy(kPcIn, kPcOut);
    SetOutput(kALUSrc, ex & packed::kExAluSrc);
    SetOutput(kALUOp, (ex >> packed::kExAluOpShift) & packed::kExAluOpMask);
    SetOutput(kRegDst, (ex & packed::kExRegDst) ? 1 : 0);
    Copy(kMemIn, kMemOut);
    Copy(kWbIn, kWbOut);
    if (layout == kForwardingLayout) Copy(kRsIn, kRsOut);
}

EXMEMReg::EXMEMReg(std::wstring name, Box box, int layout)
    : PipelineRegister(std::move(name), ElementKind::EXMEMReg, box, -0.35, 1.005) {
    AddEdgePort(kWriteRegIn, false, layout, 0.075, 0.06);
    AddEdgePort(kStoreDataIn, false, layout, 0.32, 0.315);
    AddEdgePort(kZeroIn, false, layout, 0.41, 0.41);
    AddEdgePort(kResultIn, false, layout, 0.425, 0.425);
    AddEdgePort(kTargetIn, false, layout, 0.68, 0.725);
    AddEdgePort(kMemIn, false, layout, 0.91, 0.925);
    AddEdgePort(kWbIn, false, layout, 0.96, 0.985);
    AddEdgePort(kWriteRegOut, true, layout, 0.075, 0.06);
    AddEdgePort(kStoreDataOut, true, layout, 0.32, 0.315);
    AddEdgePort(kZeroOut, true, layout, 0.41, 0.41);
    AddEdgePort(kResultOut, true, layout, 0.425, 0.425);
    AddEdgePort(kTargetOut, true, layout, 0.68, 0.725);
    AddEdgePort(kBranch, true, layout, 0.902, 0.92, L"", true);
    AddEdgePort(kMemWrite, true, layout, 0.91, 0.925, L"", true);
    AddEdgePort(kMemRead, true, layout, 0.92, 0.932, L"", true);
    AddEdgePort(kWbOut, true, layout, 0.96, 0.985, L"", true);
}

void EXMEMReg::Latch() {
    const std::uint64_t mem = Input(kMemIn);
    Copy(kWriteRegIn, kWriteRegOut);
    Copy(kStoreDataIn, kStoreDataOut);
    Copy(kZeroIn, kZeroOut);
    Copy(kResultIn, kResultOut);
    Copy(kTargetIn, kTargetOut);
    SetOutput(kBranch, mem & packed::kMemBranch);
    SetOutput(kMemWrite, (mem & packed::kMemWrite) ? 1 : 0);
    SetOutput(kMemRead, (mem >> packed::kMemReadShift) != 0 ? 1 : 0);
    Copy(kWbIn, kWbOut);
}

MEMWBReg::MEMWBReg(std::wstring name, Box box, int layout)
    : PipelineRegister(std::move(name), ElementKind::MEMWBReg, box, -0.35, 1.005) {
    AddEdgePort(kWriteRegIn, false, layout, 0.086, 0.07);
    AddEdgePort(kReadDataIn, false, layout, 0.495, 0.495);
    AddEdgePort(kResultIn, false, layout, 0.605, 0.605);
    AddEdgePort(kWbIn, false, layout, 0.96, 0.96);
    AddEdgePort(kWriteRegOut, true, layout, 0.086, 0.07);
    AddEdgePort(kReadDataOut, true, layout, 0.495, 0.495);
    AddEdgePort(kResultOut, true, layout, 0.605, 0.605);
    AddEdgePort(kMemToReg, true, layout, 0.952, 0.952, L"", true);
    AddEdgePort(kRegWrite, true, layout, 0.96, 0.96, L"", true);
}

void MEMWBReg::Latch() {
    const std::uint64_t wb = Input(kWbIn);
    Copy(kWriteRegIn, kWriteRegOut);
    Copy(kReadDataIn, kReadDataOut);
    Copy(kResultIn, kResultOut);
    SetOutput(kMemToReg, wb & packed::kWbMemToReg);
    SetOutput(kRegWrite, wb >= packed::kWbRegWrite ? 1 : 0);
}

Forwarding::Forwarding(std::wstring name, Box box)
    : Component(std::move(name), ElementKind::Forwarding, true, false, box, 0.3, 0.6) {
    AddInput(kReadReg2, PortAt(Side::Left, L"Read Reg 2", 0.0, 0.25));
    AddInput(kReadReg1, PortAt(Side::Left, L"Read Reg 1", 0.0, 0.75));
    // Each pipeline register's two signals enter side by side on the right,
    // EX/MEM above MEM/WB, two layout units apart, RegWrite on the outside.
    AddInput(kMemWbWriteReg, PortAt(Side::Right, L"MEM/WB Write Reg", 1.0, 0.35));
    AddInput(kExMemWriteReg, PortAt(Side::Right, L"EX/MEM Write Reg", 1.0, 0.55));
    AddOutput(kForwardB, PortAt(Side::Top, L"Forward B", 0.25, 1.0));
    AddOutput(kForwardA, PortAt(Side::Top, L"Forward A", 0.75, 1.0));
    // A store or branch in EX/MEM or MEM/WB carries a register number in its
    // destination field too; only an instruction that writes a register may
    // forward, so the unit also sees the two RegWrite signals.
    AddInput(kExMemRegWrite, PortAt(Side::Right, L"EX/MEM RegWrite", 1.0, 0.75).Control());
    AddInput(kMemWbRegWrite, PortAt(Side::Right, L"MEM/WB RegWrite", 1.0, 0.15).Control());
}

std::uint64_t Forwarding::Select(std::uint64_t source, std::uint64_t exMem, bool exMemWrites,
                                 std::uint64_t memWb, bool memWbWrites) {
    // Register 0 is never forwarded; the newer result (EX/MEM) wins.
    if (source == 0) return forward::kRegisterFile;
    if (exMemWrites && source == exMem) return forward::kExMem;
    if (memWbWrites && source == memWb) return forward::kMemWb;
    return forward::kRegisterFile;
}

void Forwarding::Evaluate() {
    const std::uint64_t exMem = Input(kExMemWriteReg);
    const std::uint64_t memWb = Input(kMemWbWriteReg);
    const bool exMemWrites = Input(kExMemRegWrite) != 0;
    const bool memWbWrites = Input(kMemWbRegWrite) != 0;
    SetOutput(kForwardA, Select(Input(kReadReg1), exMem, exMemWrites, memWb, memWbWrites));
    SetOutput(kForwardB, Select(Input(kReadReg2), exMem, exMemWrites, memWb, memWbWrites));
    SettleWhen([this] { return InputPort(kReadReg1).IsReady(); });
}

}  // namespace tandrel
