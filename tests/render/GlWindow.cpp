#include "tests/render/GlWindow.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <link.h>

#include "render/Renderer.h"
#include "render/ViewGeometry.h"

namespace tandrel::testing {

namespace {

constexpr int kChannels = 3;
// Passes of the event loop that let the window be mapped before drawing.
constexpr int kMapPasses = 5;

std::string reason;
bool opened = false;

void NoDisplay() {}

// Keeps the OpenGL driver (Mesa's "*_dri.so") loaded until the process has
// ended. The driver holds a little memory for good; unloaded at exit, it
// would be reported by the leak checker as "<unknown module>", which a
// suppression cannot name.
void PinDriver() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            const std::string suffix = "_dri.so";
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

}  // namespace

Image::Rgb Image::At(int x, int y) const {
    const size_t i =
        (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * kChannels;
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

bool GlWindow::Open(int width, int height) {
    if (opened) return true;
    if (!reason.empty()) return false;
    // GLUT ends the process when it cannot open the display, so ask Xlib
    // first.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        reason = std::string("cannot open X display \"") + XDisplayName(nullptr) +
                 "\"; run under an X server such as Xvfb";
        return false;
    }
    int argc = 1;
    char program[] = "render_tests";
    char* argv[] = {program, nullptr};
    StartGlut(&argc, argv);
    // Only now let the probe connection go: an X server with no client left
    // resets itself, and a connection attempted meanwhile is refused.
    XCloseDisplay(display);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGBA);
    glutInitWindowSize(width, height);
    glutCreateWindow("Tandrel datapath");
    glutDisplayFunc(NoDisplay);
    PinDriver();
    for (int i = 0; i < kMapPasses; ++i) glutMainLoopEvent();
    if (glutGet(GLUT_WINDOW_WIDTH) != width || glutGet(GLUT_WINDOW_HEIGHT) != height) {
        reason = "the window did not get the requested size";
        return false;
    }
    opened = true;
    return true;
}

const std::string& GlWindow::Reason() {
    return reason;
}

Image GlWindow::Draw(const Simulator& sim, const DisplayOptions& options,
                     const ColourTable& colours, double zoom, Point fixed) {
    Image image;
    image.width = glutGet(GLUT_WINDOW_WIDTH);
    image.height = glutGet(GLUT_WINDOW_HEIGHT);
    glDrawBuffer(GL_BACK);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SetUpView(image.width, image.height);
    glTranslated(fixed.x, fixed.y, 0.0);
    glScaled(zoom, zoom, 1.0);
    glTranslated(-fixed.x, -fixed.y, 0.0);
    DrawDatapath(sim, options, colours, zoom);
    glFinish();

    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                        kChannels);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.data());
    glutSwapBuffers();
    return image;
}

}  // namespace tandrel::testing
