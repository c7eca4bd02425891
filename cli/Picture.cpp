#include "cli/Picture.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "cli/Commands.h"
#include "cli/Program.h"
#include "config/Config.h"
#include "render/Renderer.h"
#include "render/ViewGeometry.h"

namespace tandrel {
namespace cli {

namespace {

constexpr int kWidth = view::kPixelWidth;
constexpr int kHeight = view::kPixelHeight;
constexpr int kRgb = 3;
// How long a private display may take to come up.
constexpr int kDisplayStartMilliseconds = 20000;
constexpr int kMapEvents = 3;

// A virtual X server of our own, for machines without a display. It is
// stopped when this object goes, and by the kernel if this process dies.
class PrivateDisplay {
  public:
    PrivateDisplay() = default;
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    ~PrivateDisplay() { Stop(); }

    // Starts Xvfb on a display number it picks itself; gives ":N", or ""
    // with `error` set.
    std::string Start(std::string& error) {
        int channel[2];
        if (::pipe2(channel, O_CLOEXEC) != 0) {
            error = std::string("cannot start Xvfb: ") + std::strerror(errno);
            return std::string();
        }
        const std::string fd = std::to_string(channel[1]);
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid < 0) {
            error = std::string("cannot start Xvfb: ") + std::strerror(errno);
            ::close(channel[0]);
            ::close(channel[1]);
            return std::string();
        }
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(1);
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            ::fcntl(channel[1], F_SETFD, 0);  // Xvfb writes the display number here
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                     "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(channel[1]);
        std::string number;
        bool complete = false;
        pollfd wait{channel[0], POLLIN, 0};
        while (!complete && ::poll(&wait, 1, kDisplayStartMilliseconds) > 0) {
            char c = 0;
            const ssize_t got = ::read(channel[0], &c, 1);
            if (got <= 0) break;
            if (c == '\n')
                complete = !number.empty();
            else
                number += c;
        }
        ::close(channel[0]);
        if (!complete) {
            error = "cannot start a private display: Xvfb did not come up (is it installed?)";
            Stop();
            return std::string();
        }
        return ":" + number;
    }

    void Stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
    }

  private:
    pid_t pid = -1;
};

// The OpenGL driver keeps allocations for the life of its context and is
// unloaded when the connection closes, before the leak checker runs, so its
// blocks can be neither freed nor told apart by name. In sanitizer builds
// nothing allocated while the window system is in use is counted as a leak;
// the drawing code's own leaks are the drawing tests' to find.
class WindowSystemAllocations {
  public:
    WindowSystemAllocations() {
#if defined(__SANITIZE_ADDRESS__)
        __lsan_disable();
#endif
    }
    ~WindowSystemAllocations() {
#if defined(__SANITIZE_ADDRESS__)
        __lsan_enable();
#endif
    }
    WindowSystemAllocations(const WindowSystemAllocations&) = delete;
    WindowSystemAllocations& operator=(const WindowSystemAllocations&) = delete;
};

// GLUT gives up on errors it cannot recover from; make that one line and
// exit status 2 instead of its own exit status 1. The kernel stops a
// private display with us.
void GlutFatal(const char* format, va_list args) {
    char message[512];
    std::vsnprintf(message, sizeof message, format, args);
    std::fprintf(stderr, "tandrel-cli: drawing failed: %s\n", message);
    std::_Exit(kExitUsage);
}

// One GLUT window the size of the window's canvas, for as long as it lives.
class DrawingWindow {
  public:
    DrawingWindow() {
        const WindowSystemAllocations untracked;
        int argc = 1;
        char name[] = "tandrel-cli";
        char* argv[] = {name, nullptr};
        glutInitErrorFunc(GlutFatal);
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
        glutInitWindowSize(kWidth, kHeight);
        window = glutCreateWindow("tandrel-cli");
        glutDisplayFunc([] {});
        // Let the window be mapped, so it has its final size.
        for (int i = 0; i < kMapEvents; ++i) glutMainLoopEvent();
    }

    // A screen smaller than the canvas can leave the window smaller.
    bool HasCanvasSize() const {
        return glutGet(GLUT_WINDOW_WIDTH) == kWidth && glutGet(GLUT_WINDOW_HEIGHT) == kHeight;
    }
    ~DrawingWindow() {
        const WindowSystemAllocations untracked;
        glutDestroyWindow(window);
        glutExit();
    }
    DrawingWindow(const DrawingWindow&) = delete;
    DrawingWindow& operator=(const DrawingWindow&) = delete;

    // The datapath as the canvas paints it, read back bottom row first.
    std::vector<unsigned char> Draw(const Simulator& sim, const DisplayOptions& options,
                                    const ColourTable& colours,
                                    const std::vector<const Component*>& staleReads) const {
        const WindowSystemAllocations untracked;
        glDrawBuffer(GL_BACK);
        glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        SetUpView(kWidth, kHeight);
        DrawDatapath(sim, options, colours);
        DrawStaleReadMarks(staleReads);
        glFinish();
        std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * kRgb);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

  private:
    int window = 0;
};

// Writes bottom-up RGB rows as a PNG.
bool WritePng(const std::string& path, const std::vector<unsigned char>& pixels,
              std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    // A negative stride: OpenGL gives the bottom row first.
    const bool encoded =
        png_image_write_to_stdio(&image, file, 0, pixels.data(), -kWidth * kRgb, nullptr) != 0;
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    if (encoded && flushed && closed) return true;
    // The system's reason when writing failed (a full disk), else libpng's.
    if (!flushed || !closed)
        error = path + ": " + std::strerror(!flushed ? flushError : errno);
    else
        error = path + ": " + image.message;
    png_image_free(&image);
    // Only a half-written regular file is taken away, never a device.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path.c_str());
    return false;
}

DisplayOptions DisplayOptionsOf(Config& config) {
    DisplayOptions options;
    options.showControl = config.GetFlag(option::kShowControlLines);
    options.showPc = config.GetFlag(option::kShowPcLines);
    options.highlightSingle = config.GetFlag(option::kHighlightSingleInstruction);
    options.boldDataLines = config.GetFlag(option::kShowBoldDataLines);
    return options;
}

}  // namespace

bool PictureSupported() {
    return true;
}

int DrawPictures(Simulator& sim, const Options& options, std::ostream& err) {
    if (!options.config.empty()) {
        const std::string reason = UnreadableReason(options.config);
        if (!reason.empty()) {
            err << "tandrel-cli: " << reason << '\n';
            return kExitUsage;
        }
    }
    // Only read: the configuration is never written from here. Without
    // --config the built-in defaults apply, whatever the working directory holds.
    Config config(options.config);
    const ColourTable colours(config);
    const DisplayOptions display = DisplayOptionsOf(config);

    PrivateDisplay privateDisplay;
    const char* current = std::getenv("DISPLAY");
    if (current == nullptr || *current == '\0') {
        std::string error;
        const std::string name = privateDisplay.Start(error);
        if (name.empty()) {
            err << "tandrel-cli: " << error << '\n';
            return kExitUsage;
        }
        ::setenv("DISPLAY", name.c_str(), 1);
    }
    // Held open while drawing: an X server that resets when its last client
    // leaves would otherwise refuse GLUT's connection for a moment.
    auto close = [](Display* display) {
        const WindowSystemAllocations untracked;
        XCloseDisplay(display);
    };
    const std::unique_ptr<Display, decltype(close)> connection(
        [] {
            const WindowSystemAllocations untracked;
            return XOpenDisplay(nullptr);
        }(),
        close);
    if (connection == nullptr) {
        err << "tandrel-cli: cannot open the X display '" << std::getenv("DISPLAY") << "'\n";
        return kExitUsage;
    }

    const bool series = options.output.find("%d") != std::string::npos;
    DrawingWindow window;
    if (!window.HasCanvasSize()) {
        err << "tandrel-cli: the drawing window did not get " << kWidth << " x " << kHeight
            << " pixels (is the screen smaller?)\n";
        return kExitUsage;
    }
    Explainer explainer;  // for the stale reads to mark
    explainer.Start(sim);
    for (long long step = 0; step <= options.steps; ++step) {
        if (step > 0) {
            sim.Step();
            explainer.Observe(sim);
        }
        if (!series && step < options.steps) continue;
        const std::string name = PictureFileName(options.output, step);
        std::error_code ignored;
        if (std::filesystem::equivalent(name, options.file, ignored)) {
            err << "tandrel-cli: " << name << ": is the program file; not overwritten\n";
            return kExitUsage;
        }
        std::string error;
        const auto staleReads = StaleReadParts(sim, explainer.Events(), step);
        if (!WritePng(name, window.Draw(sim, display, colours, staleReads), error)) {
            err << "tandrel-cli: " << error << '\n';
            return kExitUsage;
        }
    }
    return kExitSuccess;
}

}  // namespace cli
}  // namespace tandrel
