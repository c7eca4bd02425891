#pragma once

#include <wx/glcanvas.h>
#include <wx/tipwin.h>

#include <memory>
#include <vector>

#include "app/DisplayState.h"
#include "render/DrawRules.h"
#include "sim/Popup.h"
#include "sim/Simulator.h"

namespace tandrel {

// What the canvas asks of the window around it.
class CanvasHost {
  public:
    virtual ~CanvasHost() = default;
    virtual void RefreshListValues() = 0;
    virtual void ShowLeftPanel(bool show, bool toggle) = 0;
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
    void RefreshIfPainted() {
        if (painted) Render();
    }
    bool Painted() const { return painted; }
    // The picture as it is drawn now, RGB rows bottom first, width x height
    // of the canvas; empty while the canvas is not on screen.
    std::vector<unsigned char> ReadPixels();
    wxSize PixelSize() const { return wxSize(width, height); }

  private:
    void InitGL();
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
    std::unique_ptr<wxGLContext> context;
    Simulator& simulator;
    const DisplayState& display;
    const ColourTable& colours;
    CanvasHost& frame;
    int width = 0;
    int height = 0;
    PopupTracker popups;
    wxTipWindow* tip = nullptr;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace tandrel
