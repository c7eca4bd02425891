#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/DrawRules.h"

namespace tandrel {

// One line of text rasterised for drawing as pixels: straight (not
// premultiplied) RGBA, bottom row first as OpenGL takes them, with the pen's
// starting point on the baseline at (originX, originY) pixels from the
// image's lower left corner.
struct TextImage {
    int width = 0, height = 0;
    double originX = 0.0, originY = 0.0;
    std::vector<std::uint8_t> rgba;
};

// The font every painter writes labels in, as fontconfig names it.
extern const char* const kLabelFont;

// Rasterises `text` in the label font, `pixelHeight` pixels to the em, in
// one colour with antialiased coverage as alpha.
TextImage RasteriseText(const std::wstring& text, double pixelHeight, const ColourRecord& colour);

// UTF-8 for a wide string; code points beyond Unicode become '?'.
std::string Utf8(const std::wstring& text);

}  // namespace tandrel
