#pragma once

#include "render/DrawRules.h"
#include "render/ViewGeometry.h"
#include "sim/Simulator.h"

// OpenGL drawing of the datapath. Everything here needs a current OpenGL
// context, and text needs StartGlut to have been called.

namespace tandrel {

// glutInit, once per process, before any drawing. It connects to the X
// display and loads the OpenGL driver, which keeps a few blocks for good and
// is unloaded again when that connection closes at exit, before the leak
// checker runs: its blocks are then reported with no name a suppression
// could match. In sanitizer builds nothing allocated during the call counts
// as a leak; everything after it is tracked as usual.
void StartGlut(int* argc, char** argv);

// Prepares a frame on a window of the given size: blending and line
// smoothing, pixel coordinates with the origin at the bottom left, and the
// model-view scaled (view::kScaleX, view::kScaleY) so that drawing is in
// layout units. Clearing the buffer is left to the caller.
void SetUpView(int width, int height);

// Draws the whole datapath in layout units: the background, then for every
// element its input arrowheads, the wires leaving it and its body, so later
// elements paint over earlier ones.
void DrawDatapath(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours);

// Outlines the parts where a stale read happened (see StaleReadParts) in
// dashed red, a little outside their boxes, over the drawing.
void DrawStaleReadMarks(const std::vector<const Component*>& parts);

}  // namespace tandrel
