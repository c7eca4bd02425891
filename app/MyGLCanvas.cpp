#include "app/MyGLCanvas.h"

#include <wx/dcclient.h>
#include <wx/utils.h>

#include "render/Renderer.h"
#include "render/ViewGeometry.h"

namespace tandrel {

wxBEGIN_EVENT_TABLE(MyGLCanvas, wxGLCanvas)
    EVT_SIZE(MyGLCanvas::OnSize)
    EVT_PAINT(MyGLCanvas::OnPaint)
    EVT_LEFT_UP(MyGLCanvas::OnLeftUp)
    EVT_RIGHT_UP(MyGLCanvas::OnRightUp)
    EVT_MOTION(MyGLCanvas::OnMotion)
wxEND_EVENT_TABLE()

MyGLCanvas::MyGLCanvas(Simulator& simulator_, const DisplayState& display_,
                       const ColourTable& colours_, wxWindow* parent, CanvasHost& frame_,
                       wxWindowID id, const wxPoint& pos, long style, const wxString& name)
    : wxGLCanvas(parent, id, nullptr, pos, wxSize(view::kPixelWidth, view::kPixelHeight), style,
                 name),
      context(std::make_unique<wxGLContext>(this)),
      simulator(simulator_),
      display(display_),
      colours(colours_),
      frame(frame_) {}

void MyGLCanvas::InitGL() {
    SetCurrent(*context);
    glDrawBuffer(GL_BACK);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    SetUpView(width, height);
}

void MyGLCanvas::Render() {
    if (!IsShownOnScreen()) return;
    DrawFrame();
    SwapBuffers();
}

std::vector<unsigned char> MyGLCanvas::ReadPixels() {
    if (!IsShownOnScreen() || width <= 0 || height <= 0) return {};
    DrawFrame();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void MyGLCanvas::DrawFrame() {
    if (!initialised) {
        InitGL();
        initialised = true;
    }
    SetCurrent(*context);
    glClear(GL_COLOR_BUFFER_BIT);
    SetUpView(width, height);
    DisplayOptions options;
    options.showControl = display.Flag(option::kShowControlLines);
    options.showPc = display.Flag(option::kShowPcLines);
    options.highlightSingle = display.highlightSingle;
    options.boldDataLines = display.boldDataLines;
    DrawDatapath(simulator, options, colours);
    glFlush();
}

void MyGLCanvas::OnSize(wxSizeEvent& event) {
    event.Skip();
    // The window's layout sends the same size many times at start-up; only
    // a new size needs the whole datapath drawn again.
    int newWidth = 0;
    int newHeight = 0;
    GetClientSize(&newWidth, &newHeight);
    if (newWidth == width && newHeight == height) return;
    width = newWidth;
    height = newHeight;
    Refresh();
    Update();
}

void MyGLCanvas::OnPaint(wxPaintEvent& event) {
    painted = true;
    wxPaintDC dc(this);
    Render();
    event.Skip();
}

void MyGLCanvas::OnLeftUp(wxMouseEvent& event) {
    simulator.Step();
    frame.RefreshListValues();
    RefreshIfPainted();
    event.Skip();
}

void MyGLCanvas::OnRightUp(wxMouseEvent& event) {
    frame.ShowLeftPanel(true, true);
    event.Skip();
}

void MyGLCanvas::OnMotion(wxMouseEvent& event) {
    event.Skip();
    const wxPoint mouse = wxGetMousePosition() - GetScreenPosition();
    const LayoutPoint at = MouseToLayout(mouse.x, mouse.y, height);
    PopupOptions options;
    options.showPopups = display.Flag(option::kShowPopups);
    options.showControl = display.Flag(option::kShowControlLines);
    options.showPc = display.Flag(option::kShowPcLines);
    options.showFields = display.Flag(option::kShowInstructionsInFields);
    options.format = display.numberFormat;
    if (auto popup = popups.OnMotion(simulator, at.x, at.y, options)) OpenTip(*popup);
}

void MyGLCanvas::OpenTip(const Popup& popup) {
    if (tip != nullptr) {
        tip->SetTipWindowPtr(nullptr);
        tip->Close();
        tip = nullptr;
    }
    const wxPoint origin = GetScreenPosition();
    const ScreenPoint topLeft = LayoutToScreen(popup.left, popup.top, origin.x, origin.y, height);
    const ScreenPoint bottomRight =
        LayoutToScreen(popup.right, popup.bottom, origin.x, origin.y, height);
    wxRect area(wxPoint(topLeft.x, topLeft.y), wxPoint(bottomRight.x, bottomRight.y));
    tip = new wxTipWindow(this, popup.text, popup.maxWidth, &tip, &area);
}

}  // namespace tandrel
