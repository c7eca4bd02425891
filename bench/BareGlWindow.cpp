// The yardstick for Tandrel's start-up: the least a wxWidgets program with
// an OpenGL canvas does before its first picture. A maximized frame holding
// one canvas, which clears and swaps once, says when (as "first frame" and
// the system clock's nanoseconds) and then ends the program, just as Tandrel
// does when TANDREL_EXIT_AFTER_FIRST_FRAME is set. Run both with
// bench/startup.sh.
#include <GL/gl.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>

#include <chrono>
#include <cstdio>
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
        if (said) return;
        said = true;
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("first frame %lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stdout);
        CallAfter([] { wxTheApp->ExitMainLoop(); });
    }

    std::unique_ptr<wxGLContext> context;
    bool said = false;
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
