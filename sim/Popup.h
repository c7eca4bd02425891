#pragma once

#include <optional>
#include <string>

#include "format/NumberFormat.h"
#include "model/Component.h"
#include "sim/Simulator.h"

namespace tandrel {

// What the hover pop-ups may show.
struct PopupOptions {
    bool showPopups = true;
    bool showControl = true;
    bool showPc = true;
    bool showFields = true;  // instruction words split into their fields
    NumberFormat format = NumberFormat::Decimal;
};

// A pop-up to open: its text, the widest it may be in pixels, and the area
// (layout units) the mouse may move in without closing it.
struct Popup {
    std::wstring text;
    int maxWidth = 0;
    double left = 0, right = 0, bottom = 0, top = 0;
};

// Decides, for each mouse position over the datapath, whether a new pop-up
// opens. It remembers the element or port of the last one so the same
// pop-up is not opened again on the next motion.
class PopupTracker {
  public:
    static constexpr int kPortWidth = 100;
    static constexpr int kElementWidth = 500;

    std::optional<Popup> OnMotion(Simulator& sim, double x, double y, const PopupOptions& options);

    void Forget() {
        lastElement = nullptr;
        lastPort = nullptr;
    }

  private:
    std::optional<Popup> ForPort(Simulator& sim, const Link& port, const PopupOptions& options);
    std::optional<Popup> ForElement(Simulator& sim, const Component& element, double x,
                                    const PopupOptions& options);

    const Component* lastElement = nullptr;
    const Link* lastPort = nullptr;
};

}  // namespace tandrel
