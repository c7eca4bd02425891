#pragma once

#include <cstdint>
#include <map>
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
    bool IsUsedBy(int kind);

    // Wire end in layout units, truncated as the drawing does.
    int PortX() const;
    int PortY() const;

    std::wstring ValueText(NumberFormat format) const;

    bool defaultReady = false;
    bool is16Bit = false;
    std::uint64_t value = 0;
    std::map<int, bool> usedBy;
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
    Link();
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

    // The bit range as a shift and a mask, so reading is two operations.
    int shift_ = 0;
    std::uint64_t mask_ = 0xFFFFFFFFu;
    const std::uint64_t* feed_ = nullptr;
    const bool* feedActive_ = nullptr;
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
