// The yardstick for Tandrel's start-up: the least a wxWidgets program with
// an OpenGL canvas does before its first picture. A maximized frame holding
// one canvas, which clears and swaps once and then ends the program, just
// as Tandrel does when TANDREL_EXIT_AFTER_FIRST_FRAME is set. Run both with
// bench/startup.sh.
#include <GL/gl.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>

#include <memory>

namespace {

class BareCanvas : public wxGLCanvas {
  public:
    explicit BareCanvas(wxWindow* parent)
        : wxGLCanvas(parent, wxID_ANY, nullptr), context(std::make_unique<wxGLContext>(this)) {
        Bind(wxEVT_PAINT, &BareCanvas::OnPaint, this);
    }

  private:
    void OnPaint(wxPaintEvent&) {
        wxPaintDC dc(this);
        if (!IsShownOnScreen()) return;
        SetCurrent(*context);
        glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glFlush();
        SwapBuffers();
        CallAfter([] { wxTheApp->ExitMainLoop(); });
    }

    std::unique_ptr<wxGLContext> context;
};

class BareApp : public wxApp {
  public:
    bool OnInit() override {
        auto* frame = new wxFrame(nullptr, wxID_ANY, wxT("Bare"), wxPoint(50, 50), wxSize(450, 340));
        new BareCanvas(frame);
        frame->Maximize(true);
        frame->Show(true);
        SetTopWindow(frame);
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(BareApp);
