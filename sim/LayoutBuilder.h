#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Component.h"
#include "model/Pipeline.h"
#include "model/State.h"
#include "sim/LayoutTable.h"
#include "sim/PassPlan.h"

namespace tandrel {

// The elements of one datapath, in pass order, with the ones the simulator
// drives or reads by name.
struct BuiltLayout {
    std::vector<std::unique_ptr<Component>> elements;
    PC* pc = nullptr;
    InstructionMemory* instructionMemory = nullptr;
    Registers* registers = nullptr;
    DataMemory* dataMemory = nullptr;
    Component* branchGate = nullptr;
    PipelineRegister* ifid = nullptr;
    PipelineRegister* idex = nullptr;
    PipelineRegister* exmem = nullptr;
    PipelineRegister* memwb = nullptr;
    // The evaluation pass over these elements, made once they are wired.
    PassPlan plan;
};

// A layout table that cannot describe a working datapath.
class LayoutError : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

const LayoutTable* LayoutTableFor(Layout layout);

// Builds the datapath of a table; throws LayoutError when a row names an
// element or port that does not exist, a wire does not run from an output to
// an input, an input gets two sources, or a role is missing or doubled.
BuiltLayout BuildLayout(const LayoutTable& table, Layout layout);

// The datapath of a layout; an unknown layout value gives no elements.
BuiltLayout BuildLayout(Layout layout);

}  // namespace tandrel
