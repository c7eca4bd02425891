#include "app/MyGLCanvas.h"

#include <GL/glx.h>
#include <malloc.h>
#include <wx/dcclient.h>
#include <wx/utils.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/Renderer.h"

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
    : wxGLCanvas(parent, id, nullptr, pos, wxDefaultSize, style, name),
      context(std::make_unique<wxGLContext>(this)),
      simulator(simulator_),
      display(display_),
      colours(colours_),
      frame(frame_) {
    // The pane around sizes the canvas to the view; the drawing scales.
    SetMinSize(wxSize(50, 50));
    // The software driver takes about 2.5 MB of buffers for each picture
    // and frees them at its end; given back to the system at once, every
    // Step would fault the same pages in afresh. The heap keeps up to 8 MB
    // free (more would stay resident after start-up), and blocks up to a
    // large texture's size come from it.
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
}

namespace {
// The warm-up's window, set on its own thread only.
thread_local unsigned long warmUpDrawable = 0;
// The thread StartLoadingDriver started, until FinishLoadingDriver.
std::thread driverLoading;
}  // namespace

MyGLCanvas::~MyGLCanvas() {
    FinishWarmUp();
}

unsigned long MyGLCanvas::GetXWindow() const {
    return warmUpDrawable != 0 ? warmUpDrawable : wxGLCanvas::GetXWindow();
}

void MyGLCanvas::WarmUp(tandrel::Layout layout, double zoom) {
    Display* x = wxGetX11Display();
    const auto* visual = static_cast<const XVisualInfo*>(GetXVisualInfo());
    if (warmUp.joinable() || initialised || x == nullptr || visual == nullptr) return;
    // A window of the canvas's own kind, never shown, as large as the
    // drawing (within the screen): the driver takes other paths for shapes
    // cut at the edge.
    const ViewGeometry drawn{zoom};
    const int wide = std::min(drawn.DrawingWidth() + 2, DisplayWidth(x, DefaultScreen(x)));
    const int high = std::min(drawn.DrawingHeight() + 2, DisplayHeight(x, DefaultScreen(x)));
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(x, DefaultRootWindow(x), visual->visual, AllocNone);
    attributes.border_pixel = 0;
    colormap = attributes.colormap;
    offscreen = XCreateWindow(x, DefaultRootWindow(x), 0, 0, wide, high, 0, visual->depth,
                              InputOutput, visual->visual, CWColormap | CWBorderPixel, &attributes);
    // Text at 100% is GLUT's, which starts on the toolkit's thread.
    if (std::abs(zoom - 1.0) < 1e-9) StartGlutForFont();
    // The thread draws its own machine with copies of the settings: the
    // window's machine and settings may change while it runs. The labels are
    // the canvas's, untouched elsewhere until the first paint has waited.
    // It shares the toolkit's display connection, which Xlib (1.8 on) makes
    // safe for threads as it loads.
    warmUp = std::thread(
        [this, x, layout, zoom, wide, high, options = DrawingOptions(), palette = colours] {
            warmUpDrawable = offscreen;
            if (context->SetCurrent(*this)) {
                Simulator machine;
                machine.SelectLayout(layout);
                machine.Reset();
                glDrawBuffer(GL_BACK);
                glClear(GL_COLOR_BUFFER_BIT);
                SetUpView(wide, high, zoom, 1, 1);
                DrawDatapath(machine, options, palette, zoom, &labels);
                glFinish();
                glXMakeCurrent(x, None, nullptr);
            }
            warmUpDrawable = 0;
        });
}

void MyGLCanvas::StartLoadingDriver() {
    Display* x = wxGetX11Display();
    if (x == nullptr || driverLoading.joinable()) return;
    // The first question to the display's GLX loads the driver.
    driverLoading = std::thread([x] { glXQueryExtensionsString(x, DefaultScreen(x)); });
}

void MyGLCanvas::FinishLoadingDriver() {
    if (driverLoading.joinable()) driverLoading.join();
}

void MyGLCanvas::FinishWarmUp() {
    if (offscreen == 0) return;
    if (warmUp.joinable()) warmUp.join();
    XDestroyWindow(wxGetX11Display(), offscreen);
    XFreeColormap(wxGetX11Display(), colormap);
    offscreen = 0;
}

void MyGLCanvas::InitGL() {
    SetCurrent(*context);
    glDrawBuffer(GL_BACK);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
}

wxSize MyGLCanvas::PixelSize() const {
    const double scale = GetContentScaleFactor();
    return wxSize(static_cast<int>(std::lround(width * scale)),
                  static_cast<int>(std::lround(height * scale)));
}

void MyGLCanvas::Render() {
    if (!IsShownOnScreen()) return;
    DrawFrame();
    SwapBuffers();
    pictureStarted = false;
    if (onFirstFrame) std::exchange(onFirstFrame, nullptr)();
}

void MyGLCanvas::StartPicture() {
    if (!painted || !IsShownOnScreen()) return;
    DrawFrame();  // its glFlush sets the driver to work
    pictureStarted = true;
}

void MyGLCanvas::ShowPicture() {
    if (std::exchange(pictureStarted, false)) SwapBuffers();
}

std::vector<unsigned char> MyGLCanvas::ReadPixels() {
    const wxSize size = PixelSize();
    if (!IsShownOnScreen() || size.x <= 0 || size.y <= 0) return {};
    DrawFrame();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(size.x) * size.y * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

DisplayOptions MyGLCanvas::DrawingOptions() const {
    DisplayOptions options;
    options.showControl = display.Flag(option::kShowControlLines);
    options.showPc = display.Flag(option::kShowPcLines);
    options.highlightSingle = display.highlightSingle;
    options.boldDataLines = display.boldDataLines;
    return options;
}

void MyGLCanvas::DrawFrame() {
    FinishWarmUp();  // the context is the thread's until then
    if (!initialised) {
        InitGL();
        initialised = true;
    }
    SetCurrent(*context);
    glClear(GL_COLOR_BUFFER_BIT);
    // The geometry is in window pixels; a high-DPI screen has `scale` of
    // its own pixels to each, and the drawing uses them all.
    const double scale = GetContentScaleFactor();
    const wxSize pixels = PixelSize();
    SetUpView(pixels.x, pixels.y, geometry.zoom * scale,
              static_cast<int>(std::lround(geometry.Left() * scale)),
              static_cast<int>(std::lround(geometry.Bottom() * scale)));
    DrawDatapath(simulator, DrawingOptions(), colours, geometry.zoom * scale, &labels);
    DrawStaleReadMarks(frame.StaleReadsShown(), geometry.zoom * scale);
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
    ViewGeometry resized = geometry;
    resized.width = width;
    resized.height = height;
    resized.ScrollTo(resized.scrollX, resized.scrollY);
    SetGeometry(resized);
}

// The toolkit lays the window out several times as it opens, each pass
// resizing the canvas; asking for a paint instead of drawing at once draws
// the picture once, at the size the passes end with.
void MyGLCanvas::SetGeometry(const ViewGeometry& newGeometry) {
    const bool same = newGeometry.zoom == geometry.zoom && newGeometry.width == geometry.width &&
                      newGeometry.height == geometry.height &&
                      newGeometry.scrollX == geometry.scrollX &&
                      newGeometry.scrollY == geometry.scrollY;
    geometry = newGeometry;
    if (!same) Refresh(false);
}

void MyGLCanvas::OnPaint(wxPaintEvent& event) {
    painted = true;
    wxPaintDC dc(this);
    Render();
    event.Skip();
}

void MyGLCanvas::OnLeftUp(wxMouseEvent& event) {
    simulator.Step();
    frame.ShowMachine();
    event.Skip();
}

void MyGLCanvas::OnRightUp(wxMouseEvent& event) {
    frame.ShowLeftPanel(true, true);
    event.Skip();
}

void MyGLCanvas::OnMotion(wxMouseEvent& event) {
    event.Skip();
    const wxPoint mouse = wxGetMousePosition() - GetScreenPosition();
    const LayoutPoint at = MouseToLayout(mouse.x, mouse.y, geometry);
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
    const ScreenPoint topLeft = LayoutToScreen(popup.left, popup.top, origin.x, origin.y, geometry);
    const ScreenPoint bottomRight =
        LayoutToScreen(popup.right, popup.bottom, origin.x, origin.y, geometry);
    wxRect area(wxPoint(topLeft.x, topLeft.y), wxPoint(bottomRight.x, bottomRight.y));
    tip = new wxTipWindow(this, popup.text, popup.maxWidth, &tip, &area);
    // The pop-up opens under the pointer and would keep the wheel from the
    // drawing: close it and hand the wheel on, so scrolling and zooming work
    // wherever the pointer rests.
    const auto passOn = [this](wxMouseEvent& event) {
        auto* source = static_cast<wxWindow*>(event.GetEventObject());
        wxMouseEvent wheel(event);
        wheel.SetPosition(ScreenToClient(source->ClientToScreen(event.GetPosition())));
        wheel.SetEventObject(this);
        CallAfter([this, wheel]() mutable {
            if (tip != nullptr) {
                tip->SetTipWindowPtr(nullptr);
                tip->Close();
                tip = nullptr;
            }
            ProcessWindowEvent(wheel);
        });
    };
    tip->Bind(wxEVT_MOUSEWHEEL, passOn);
    for (wxWindow* child : tip->GetChildren()) child->Bind(wxEVT_MOUSEWHEEL, passOn);
}

CanvasPane::CanvasPane(wxWindow* parent, Simulator& simulator, const DisplayState& display,
                       const ColourTable& colours, CanvasHost& frame_)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER, wxT("GLWindow")),
      frame(frame_),
      canvas(new MyGLCanvas(simulator, display, colours, this, frame_)),
      horizontal(
          new wxScrollBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSB_HORIZONTAL)),
      vertical(new wxScrollBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSB_VERTICAL)),
      grid(new wxFlexGridSizer(2, 2, 0, 0)) {
    SetMinSize(wxSize(400, 200));
    grid->AddGrowableCol(0);
    grid->AddGrowableRow(0);
    grid->Add(canvas, 1, wxEXPAND);
    grid->Add(vertical, 0, wxEXPAND);
    grid->Add(horizontal, 0, wxEXPAND);
    grid->AddSpacer(0);
    grid->Show(horizontal, false);
    grid->Show(vertical, false);
    SetSizer(grid);
    Bind(wxEVT_SIZE, &CanvasPane::OnSize, this);
    for (wxScrollBar* bar : {horizontal, vertical})
        for (const auto& type : {wxEVT_SCROLL_CHANGED, wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_LINEUP,
                                 wxEVT_SCROLL_LINEDOWN, wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN})
            bar->Bind(type, &CanvasPane::OnScroll, this);
    canvas->Bind(wxEVT_MOUSEWHEEL, &CanvasPane::OnWheel, this);
}

void CanvasPane::FitToWindow() {
    fit = true;
    Arrange();
    frame.ZoomChanged();
}

void CanvasPane::SetZoom(double zoom) {
    const ViewGeometry& now = canvas->Geometry();
    ZoomAbout(zoom, now.width / 2, now.height / 2);
}

void CanvasPane::StepZoom(int direction) {
    SetZoom(NextZoom(Zoom(), direction));
}

void CanvasPane::ScrollTo(int x, int y) {
    ViewGeometry geometry = canvas->Geometry();
    geometry.ScrollTo(x, y);
    canvas->SetGeometry(geometry);
    Arrange();
}

void CanvasPane::ZoomAbout(double zoom, int px, int py) {
    fit = false;
    ViewGeometry geometry = canvas->Geometry();
    geometry.ZoomAbout(zoom, px, py);
    canvas->SetGeometry(geometry);
    Arrange();
    frame.ZoomChanged();
}

// Shows the scrollbars the zoom needs, gives the canvas the rest of the pane
// and sets the bars to the scroll position; the canvas paints what changed.
void CanvasPane::Arrange() {
    const wxSize pane = GetClientSize();
    ViewGeometry geometry = canvas->Geometry();
    if (fit) {
        geometry.zoom = FitZoom(pane.x, pane.y);
        geometry.ScrollTo(0, 0);
    }
    const auto [needHorizontal, needVertical] =
        NeededScrollbars(pane.x, pane.y, vertical->GetBestSize().x, horizontal->GetBestSize().y,
                         geometry.DrawingWidth(), geometry.DrawingHeight());
    grid->Show(horizontal, needHorizontal);
    grid->Show(vertical, needVertical);
    Layout();
    const wxSize view = canvas->GetClientSize();
    geometry.width = view.x;
    geometry.height = view.y;
    geometry.ScrollTo(geometry.scrollX, geometry.scrollY);
    canvas->SetGeometry(geometry);
    if (needHorizontal)
        horizontal->SetScrollbar(geometry.scrollX, view.x, geometry.DrawingWidth(),
                                 view.x * 9 / 10);
    if (needVertical)
        vertical->SetScrollbar(geometry.scrollY, view.y, geometry.DrawingHeight(), view.y * 9 / 10);
}

void CanvasPane::OnSize(wxSizeEvent& event) {
    event.Skip();
    Arrange();
}

void CanvasPane::OnScroll(wxScrollEvent& event) {
    const ViewGeometry& geometry = canvas->Geometry();
    const int position = event.GetPosition();
    if (event.GetOrientation() == wxHORIZONTAL)
        ScrollTo(position, geometry.scrollY);
    else
        ScrollTo(geometry.scrollX, position);
}

void CanvasPane::OnWheel(wxMouseEvent& event) {
    const int notches = event.GetWheelRotation() / std::max(1, event.GetWheelDelta());
    if (notches == 0) return;
    const wxPoint at = event.GetPosition();
    if (event.ControlDown()) {
        double zoom = Zoom();
        for (int i = 0; i < std::abs(notches); ++i) zoom = NextZoom(zoom, notches);
        ZoomAbout(zoom, at.x, at.y);
        return;
    }
    // A notch moves a tenth of the view: a sideways wheel across, as does
    // Shift with the wheel turned away (to the left) or towards (right).
    const ViewGeometry& geometry = canvas->Geometry();
    if (event.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL)
        ScrollTo(geometry.scrollX + notches * std::max(1, geometry.width / 10), geometry.scrollY);
    else if (event.ShiftDown())
        ScrollTo(geometry.scrollX - notches * std::max(1, geometry.width / 10), geometry.scrollY);
    else
        ScrollTo(geometry.scrollX, geometry.scrollY - notches * std::max(1, geometry.height / 10));
}

}  // namespace tandrel
