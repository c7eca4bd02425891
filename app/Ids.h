#pragma once

#include <wx/defs.h>

namespace tandrel {

// The program's own window identifiers.
enum : int {
    ID_LAYOUT_SIMPLE = 6002,
    ID_LAYOUT_PIPELINED = 6003,
    ID_LAYOUT_FORWARDING = 6004,
    ID_FORMAT_BINARY = 6011,
    ID_FORMAT_DECIMAL = 6012,
    ID_FORMAT_HEXADECIMAL = 6013,
    ID_LOAD_MENU = 6014,
    ID_OPTIONS = 6015,
    ID_HELP_CONTENTS = 6018,
    ID_ABOUT = 6020,
    ID_LOAD_BUTTON = 6022,
    ID_SAVE_BUTTON = 6023,
    ID_PARSE_BUTTON = 6024,
    ID_DATA_GRID = 6025,
    ID_SIMULATOR_SPLITTER = 6026,
    ID_EDITOR_SPLITTER = 6027,
    // File > Open Example, one id per example file.
    ID_EXAMPLE_FIRST = 6100,
    ID_EXAMPLE_LAST = 6199,
    ID_STEP_MENU = 6028,
    ID_RESET_MENU = 6029,
    ID_VIEW_LEFT_PANEL = 6030,
    // Moving through time (Simulate menu and the buttons beside Step).
    ID_STEP_BACK = 6040,
    ID_RUN = 6041,
    ID_STOP_RUN = 6042,
    ID_RUN_TO_CYCLE = 6043,
    ID_TOGGLE_BREAKPOINT = 6044,
    ID_VIEW_TIMELINE = 6060,
    ID_EXPORT_PICTURE = 6070,
    // View menu zoom items, in menu order.
    ID_ZOOM_IN = 6050,
    ID_ZOOM_OUT = 6051,
    ID_ZOOM_ACTUAL = 6052,
    ID_ZOOM_FIT = 6053,
};

}  // namespace tandrel
