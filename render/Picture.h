#pragma once

#include <string>
#include <vector>

#include "render/DrawRules.h"
#include "sim/Simulator.h"

// Pictures of the datapath in files, drawn by the window's own drawing
// routine onto a Cairo painter: no display is needed.

namespace tandrel {

enum class PictureFormat { Png, Svg };

// Scales a picture may be drawn at; 1.0 is the window's 100% canvas.
constexpr double kSmallestPictureScale = 0.25;
constexpr double kLargestPictureScale = 4.0;

// The size of the picture at a scale, in pixels (SVG: its width and height).
int PictureWidth(double scale);
int PictureHeight(double scale);

// Writes the datapath as the window draws it at `scale` times its 100%
// size: PNG pixels or an SVG vector drawing with the same elements, wires,
// colours and text. On failure gives false with a one-line reason, the
// file named first ("out.png: No such file or directory"), and leaves no
// half-written file behind. The parts in `staleReads` (see StaleReadParts)
// are marked in dashed red over the drawing.
bool ExportPicture(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours,
                   const std::string& path, PictureFormat format, double scale, std::string* error,
                   const std::vector<const Component*>& staleReads = {});

}  // namespace tandrel
