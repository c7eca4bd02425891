#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/Component.h"

namespace tandrel {

// Gives every input of a built datapath the place its value and its
// readiness come from: the output driving it and the activity of that
// output's element, found through any chain of junctions. The wiring never
// changes after the layout is built, so this is done once.
void ResolveWiring(const std::vector<std::unique_ptr<Component>>& elements);

// The evaluation pass of one datapath as flat tables in list order, made
// from its resolved wiring: which elements are evaluated and latched, which
// input copies which output, which brightness follows which activity.
// Values stay in the elements' ports, so the drawing and the pop-ups read
// the live ones.
class PassPlan {
  public:
    PassPlan() = default;
    PassPlan(const std::vector<std::unique_ptr<Component>>& elements, const Component* pc);

    // Single-cycle: evaluate every element but the junctions, copy every
    // input from its source and dim what is active, then latch the activity.
    // True when the PC's inputs are ready at the moment the PC latches.
    bool RunSingleCycle() const;
    // Single-cycle: the PC's next address has arrived, so every element but
    // the PC goes dark and the PC stays active at full brightness.
    void StartNextInstruction() const;

    // Pipelined: every element is active and drawn at full brightness from
    // the moment the layout is selected, and a pass ends by making it so
    // again; dimming and latching in between change nothing anyone sees.
    // So a pass evaluates and copies, nothing more.
    void RunPipelined() const {
        Evaluate();
        CopyInputs();
    }

  private:
    void Evaluate() const {
        for (Component* element : evaluated_) element->Evaluate();
    }
    void CopyInputs() const {
        // Most of a pipelined pass is this loop; unrolled, its bookkeeping
        // costs a quarter as much.
#pragma GCC unroll 4
        for (const Copy& copy : copies_) *copy.to = *copy.from;
    }

    struct Copy {
        std::uint64_t* to;
        const std::uint64_t* from;
    };
    struct Glow {
        float* brightness;
        const bool* active;
    };

    std::vector<Component*> evaluated_;  // every element but the junctions
    std::vector<Copy> copies_;           // the connected inputs of evaluated elements
    std::vector<Glow> glows_;            // every element, junctions included
    std::vector<Component*> junctions_;
    // Latching happens in list order and the PC looks at its inputs when its
    // own turn comes: evaluated_[0, pcLatch) latch before it is asked.
    std::size_t pcLatch_ = 0;
    std::vector<const bool*> pcReady_;
    Component* pc_ = nullptr;
};

}  // namespace tandrel
