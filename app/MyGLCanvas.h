#pragma once

#include <wx/glcanvas.h>
#include <wx/panel.h>
#include <wx/scrolbar.h>
#include <wx/sizer.h>
#include <wx/tipwin.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/DisplayState.h"
#include "render/DrawRules.h"
#include "render/Renderer.h"
#include "render/ViewGeometry.h"
#include "sim/Popup.h"
#include "sim/Simulator.h"

namespace tandrel {

// What the canvas asks of the window around it.
class CanvasHost {
  public:
    virtual ~CanvasHost() = default;
    // The machine moved: lists, counters, timeline and this drawing.
    virtual void ShowMachine() = 0;
    virtual void ShowLeftPanel(bool show, bool toggle) = 0;
    // The user chose another zoom (or fitting), by menu, key or wheel.
    virtual void ZoomChanged() = 0;
    // The parts to mark where a stale read happened in the cycle shown;
    // none while the explanation of the run is not on screen.
    virtual std::vector<const Component*> StaleReadsShown() const { return {}; }
};

// The OpenGL drawing of the datapath. A left click steps the simulator, a
// right click shows or hides the left panel, hovering opens pop-ups.
class MyGLCanvas : public wxGLCanvas {
  public:
    MyGLCanvas(Simulator& simulator, const DisplayState& display, const ColourTable& colours,
               wxWindow* parent, CanvasHost& frame, wxWindowID id = wxID_ANY,
               const wxPoint& pos = wxDefaultPosition, long style = 0,
               const wxString& name = wxT("GLCanvas"));

    void Render();
    // What the drawing shows and hides, from the display settings.
    DisplayOptions DrawingOptions() const;
    void RefreshIfPainted() {
        if (painted) Render();
    }
    // The same picture in two halves, for a handler with other widgets to
    // repaint meanwhile: StartPicture draws the machine as it is now and
    // leaves the driver filling in the pixels on its own threads;
    // ShowPicture puts them on screen, unless a paint in between has
    // already shown a picture as new.
    void StartPicture();
    void ShowPicture();
    bool Painted() const { return painted; }
    // Called once, when the first picture is on screen (bench/startup.sh
    // times the start-up to there).
    std::function<void()> onFirstFrame;
    // The picture as it is drawn now, RGB rows bottom first, PixelSize()
    // wide and high; empty while the canvas is not on screen.
    std::vector<unsigned char> ReadPixels();
    // The canvas in the screen's own pixels: its window size times the
    // content scale of a high-DPI screen.
    wxSize PixelSize() const;

    // Where the drawing lies in the canvas; set by the pane around it. A
    // change asks for one paint, however often the window is laid out.
    const ViewGeometry& Geometry() const { return geometry; }
    void SetGeometry(const ViewGeometry& newGeometry);

    // The OpenGL driver turns each new kind of drawing into machine code on
    // the first paint that needs it, which held the first picture up by
    // tens of milliseconds. This draws a fresh machine of `layout` at `zoom`
    // once with the canvas's own context into an unshown window, on a
    // worker thread, while the rest of the main window is built; the first
    // paint waits for it and finds the code made (and the labels rasterised
    // if the zoom was right). Does nothing on a display without X11.
    void WarmUp(tandrel::Layout layout, double zoom);
    // Loading the driver and its compiler is most of what making the first
    // canvas costs. A program starts it on a worker thread before it builds
    // the widgets that come before the canvas, and waits for it just before
    // the canvas is made: two threads loading at once would each load it.
    // Does nothing without X11; waiting without a start does nothing.
    static void StartLoadingDriver();
    static void FinishLoadingDriver();
    ~MyGLCanvas() override;
    // The unshown window on the warm-up's thread, the canvas's elsewhere.
    unsigned long GetXWindow() const override;

  private:
    void InitGL();
    // Waits for the warm-up and frees its window.
    void FinishWarmUp();
    // Draws the datapath into the back buffer.
    void DrawFrame();
    void OnSize(wxSizeEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnRightUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OpenTip(const Popup& popup);

    bool initialised = false;
    bool painted = false;
    bool pictureStarted = false;
    std::unique_ptr<wxGLContext> context;
    LabelTextures labels;  // kept in `context`
    Simulator& simulator;
    const DisplayState& display;
    const ColourTable& colours;
    CanvasHost& frame;
    int width = 0;
    int height = 0;
    ViewGeometry geometry;
    PopupTracker popups;
    wxTipWindow* tip = nullptr;
    std::thread warmUp;
    unsigned long offscreen = 0;  // the warm-up's window, never shown
    unsigned long colormap = 0;

    wxDECLARE_EVENT_TABLE();
};

// The drawing with classic scrollbars that show whenever it is larger than
// the view (GTK's overlay scrollbars stay hidden until touched, so these are
// plain scrollbar controls beside the canvas). Holds the zoom: fitted to the
// view or a fixed factor. The wheel scrolls, Ctrl+wheel zooms about the
// pointer.
class CanvasPane : public wxPanel {
  public:
    CanvasPane(wxWindow* parent, Simulator& simulator, const DisplayState& display,
               const ColourTable& colours, CanvasHost& frame);

    MyGLCanvas* Canvas() { return canvas; }
    bool Fitted() const { return fit; }
    // The zoom drawn now, fitted or not (1 is 4.6 x 5.0 pixels per unit).
    double Zoom() const { return canvas->Geometry().zoom; }
    void FitToWindow();
    void SetZoom(double zoom);
    // One zoom step larger (direction > 0) or smaller, about the view's middle.
    void StepZoom(int direction);
    void ScrollTo(int x, int y);

  private:
    void Arrange();
    void ZoomAbout(double zoom, int px, int py);
    void OnSize(wxSizeEvent& event);
    void OnScroll(wxScrollEvent& event);
    void OnWheel(wxMouseEvent& event);

    CanvasHost& frame;
    MyGLCanvas* canvas;
    wxScrollBar* horizontal;
    wxScrollBar* vertical;
    wxFlexGridSizer* grid;
    bool fit = true;
};

}  // namespace tandrel
