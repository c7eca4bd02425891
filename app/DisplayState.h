#pragma once

#include <map>

#include "config/Config.h"
#include "format/NumberFormat.h"

namespace tandrel {

// The display choices the lists, pop-ups and drawing read, copied from the
// configuration at start-up and whenever the user changes them.
struct DisplayState {
    NumberFormat numberFormat = NumberFormat::Decimal;
    std::map<int, bool> displayFlags;  // option number -> on; a missing one is off
    bool boldDataLines = true;
    bool highlightSingle = true;

    bool Flag(int option) const {
        auto it = displayFlags.find(option);
        return it != displayFlags.end() && it->second;
    }

    void CopyFrom(Config& config) {
        for (int option : {option::kShowInstructionsInFields, option::kShowControlLines,
                           option::kShowPcLines, option::kShowPopups})
            displayFlags[option] = config.GetFlag(option);
        boldDataLines = config.GetFlag(option::kShowBoldDataLines);
        highlightSingle = config.GetFlag(option::kHighlightSingleInstruction);
    }
};

}  // namespace tandrel
