#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "render/DrawRules.h"
#include "render/Painter.h"
#include "render/ViewGeometry.h"
#include "sim/Simulator.h"

// OpenGL drawing of the datapath. Everything here needs a current OpenGL
// context; text at 100% starts GLUT for its bitmap font on first use.

namespace tandrel {

// glutInit, once per process: later calls, and calls after GLUT was started
// elsewhere, do nothing. Drawing calls it when it first needs GLUT's font;
// a program that makes GLUT windows of its own calls it first. It connects
// to the X display and loads the OpenGL driver, which keeps a few blocks for
// good and is unloaded again when that connection closes at exit, before
// the leak checker runs: its blocks are then reported with no name a
// suppression could match. In sanitizer builds nothing allocated during the
// call counts as a leak; everything after it is tracked as usual.
void StartGlut(int* argc, char** argv);
// StartGlut with the program's name, as drawing at 100% calls it; a thread
// about to draw at 100% while another uses the display calls it first on
// the display's own thread.
void StartGlutForFont();

// Prepares a frame on a window of the given size in pixels: blending and
// line smoothing, pixel coordinates with the origin at the bottom left, and
// the model-view scaled (zoom x view::kScaleX, zoom x view::kScaleY) with the
// layout's origin at pixel (left, bottom), so that drawing is in layout
// units. Clearing the buffer is left to the caller.
void SetUpView(int width, int height, double zoom = 1.0, int left = 0, int bottom = 0);

// Labels rasterised for one OpenGL context and kept there as textures, so a
// repaint draws each as one textured square instead of sending its pixels
// again. The owner of the context keeps one for as long as the context
// lives; the textures go with the context, so dropping this object makes no
// OpenGL call.
class LabelTextures {
  public:
    struct Entry {
        unsigned texture = 0;
        int width = 0, height = 0;
        double originX = 0.0, originY = 0.0;
    };
    // By text, size in quarter pixels and packed colour.
    using Key = std::tuple<std::wstring, int, std::uint32_t>;

    // The label's texture in the current context, made on first use.
    const Entry& Get(const Key& key, double pixelHeight, const ColourRecord& colour);
    // Deletes every texture; the context they were made in must be current.
    void Clear();

  private:
    std::map<Key, Entry> entries;
};

// Draws the whole datapath in layout units (see the painter's DrawDatapath)
// into the current OpenGL context, whose model-view is expected to give
// `zoom` times (view::kScaleX, view::kScaleY) pixels per unit. Lines, text
// and arrowheads are sized for that zoom; at 1.0 text is GLUT's 10-pixel
// Helvetica, at any other zoom it is drawn from glyphs rasterised for the
// size, so it stays crisp; those are kept in `labels` between frames when
// given, and made afresh for this frame only when not.
void DrawDatapath(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours,
                  double zoom = 1.0, LabelTextures* labels = nullptr);

// Outlines the parts where a stale read happened (see StaleReadParts) in
// dashed red over the drawing, at the same zoom.
void DrawStaleReadMarks(const std::vector<const Component*>& parts, double zoom = 1.0);

}  // namespace tandrel
