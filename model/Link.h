#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "format/NumberFormat.h"

namespace tandrel {

class Component;
class OutputLink;

// Edge of an element a port sits on; also the direction of the arrowhead and
// of the wire stub drawn at the port.
enum class Side : int { Top = 0, Bottom = 1, Left = 2, Right = 3 };

// Used-by group codes the layouts give instead of a single instruction kind.
namespace use {
constexpr int kRegisterFormat = 17;  // ADD, SUB, SLT, AND, OR
constexpr int kAllButNop = 20;       // every instruction except NOP
}  // namespace use

// One end of a wire: a numbered port of an element.
class Link {
  public:
    virtual ~Link() = default;

    virtual bool IsReady() const = 0;
    virtual std::uint64_t GetValue() const = 0;
    virtual void SetBitRange(int lowBit, int bitCount);
    virtual bool IsConnected() const = 0;

    // Marks which instruction kinds use this wire; the group codes mark a
    // whole group and always mark it used.
    void SetUsed(int code, bool used);
    // False for a kind the table never mentions (none, or a stray value).
    bool IsUsedBy(int kind) const {
        return kind >= 0 && kind < kUseBits && ((usedBy_ >> kind) & 1u) != 0;
    }

    // Wire end in layout units, truncated as the drawing does.
    int PortX() const;
    int PortY() const;

    std::wstring ValueText(NumberFormat format) const;

    // What a pass reads and writes comes first, so that it shares a cache
    // line with the object's start; the drawing's fields follow.
    std::uint64_t value = 0;

  protected:
    // An input's bit range as a shift and a mask, so reading is two
    // operations, and where its readiness is kept once the wiring is
    // resolved (see InputLink).
    std::uint64_t mask_ = 0xFFFFFFFFu;
    int shift_ = 0;
    const bool* feedActive_ = nullptr;

  public:
    bool defaultReady = false;
    bool is16Bit = false;
    bool isOutput = false;
    bool showLabel = false;
    bool controlLine = false;
    bool pcLine = false;
    Side side = Side::Left;
    double relX = 0.0;
    double relY = 0.0;
    double labelX = 0.0;
    double labelY = 0.0;
    std::wstring name;
    std::vector<std::pair<double, double>> route;  // bend points of the wire into this port
    int port = 0;
    Component* owner = nullptr;

  protected:
    Link() = default;

  private:
    // One bit per instruction kind. A set of bits rather than a map: a map
    // gave every port ten heap nodes, scattered between the ports a pass
    // reads.
    static constexpr int kUseBits = 32;
    std::uint32_t usedBy_ = 0;
};

class InputLink final : public Link {
  public:
    InputLink();

    bool IsReady() const override {
        if (feedActive_ != nullptr) return *feedActive_;
        return AskSource();
    }
    // The stored value restricted to this input's bit range.
    std::uint64_t GetValue() const override { return (value >> shift_) & mask_; }
    void SetBitRange(int low, int count) override;
    bool IsConnected() const override { return connected; }

    // Copies the source's current value into this input.
    void Pull() {
        if (feed_ != nullptr)
            value = *feed_;
        else if (connected)
            value = SourceValue();
    }

    // Once the datapath's wiring is complete: where the value of the driving
    // output is kept and the activity flag of its element, found through any
    // junctions, so reading them needs no walk along the wire. An input
    // without a source is given its own value and ready flag.
    void Resolve(const std::uint64_t* feed, const bool* feedActive) {
        feed_ = feed;
        feedActive_ = feedActive;
    }
    const std::uint64_t* Feed() const { return feed_; }
    const bool* FeedActive() const { return feedActive_; }

    OutputLink* source = nullptr;
    bool connected = false;
    int lowBit = 0;
    int bitCount = 32;

  private:
    bool AskSource() const;
    std::uint64_t SourceValue() const;

    const std::uint64_t* feed_ = nullptr;
};

class OutputLink : public Link {
  public:
    OutputLink();

    bool IsReady() const override;
    std::uint64_t GetValue() const override;
    bool IsConnected() const override { return !targets.empty(); }

    std::vector<InputLink*> targets;
};

}  // namespace tandrel
