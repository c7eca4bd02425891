#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/DrawRules.h"
#include "sim/Simulator.h"

namespace tandrel::testing {

// An RGB picture read back from the frame buffer; row 0 is the bottom row,
// as OpenGL reads it.
struct Image {
    struct Rgb {
        int r, g, b;
    };

    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // RGB, bottom row first

    Rgb At(int x, int y) const;
};

// A double-buffered GLUT window of the canvas's size to draw the datapath
// into. Opening it needs an X display; when there is none, Open gives false
// and Reason says why, instead of GLUT ending the process.
class GlWindow {
  public:
    static bool Open(int width, int height);
    static const std::string& Reason();

    // Draws one frame as the canvas does and reads it back from the back
    // buffer; zoomed, the layout point `fixed` stays where it is at 100%.
    static Image Draw(const Simulator& sim, const DisplayOptions& options,
                      const ColourTable& colours, double zoom = 1.0, Point fixed = {});
};

}  // namespace tandrel::testing
