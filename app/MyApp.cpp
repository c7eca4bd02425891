#include <unistd.h>
#include <wx/app.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/Help.h"
#include "app/MyFrame.h"

namespace tandrel {

// Starts the one main window.
class MyApp : public wxApp {
  public:
    bool OnInit() override {
        // The OpenGL driver loads while the widgets before the canvas are made.
        MyGLCanvas::StartLoadingDriver();
        // The frame starts at the size it is maximized to: the stored sash
        // positions are applied at the end of start-up, and a window still
        // at a small size would push them aside (and store that).
        const wxRect screen = wxGetClientDisplayRect();
        auto* frame = new MyFrame(wxT("Tandrel"), screen.GetPosition(), screen.GetSize());
        MyGLCanvas::FinishLoadingDriver();  // the frame has waited for it already
        // For bench/startup.sh: the program says when its first picture is
        // on screen (nanoseconds of the system clock) and then ends.
        if (wxGetenv(wxT("TANDREL_EXIT_AFTER_FIRST_FRAME")) != nullptr) {
            frame->Canvas()->onFirstFrame = [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf("first frame %lld\n",
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                wxTheApp->CallAfter([] { wxTheApp->ExitMainLoop(); });
            };
        }
        frame->Show(true);
        SetTopWindow(frame);
        frame->FinishStartup();
        // A definition file named on the command line (what a file manager
        // passes on a double click) is loaded and parsed at once.
        if (argc > 1) frame->LoadFrom(argv[1]);
        return true;
    }
};

}  // namespace tandrel

wxIMPLEMENT_APP_NO_MAIN(tandrel::MyApp);

// --help and --version answer on the terminal without opening a window (or
// needing a display); every other argument goes to the toolkit.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tandrel %s\n", TANDREL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            // The toolkit is not started here, so the program's own path
            // comes from the system rather than from wxStandardPaths.
            char path[4096] = {};
            const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
            const wxString program = length > 0 ? wxString::FromUTF8(path) : wxString();
            std::printf(
                "Usage: tandrel [FILE.def]\n"
                "Opens the Tandrel window: write or load a MIPS program, parse it and step\n"
                "it through the single-cycle, pipelined or forwarding datapath.\n"
                "A definition file given as FILE.def is loaded and parsed at once.\n"
                "Settings are kept in tandrel.conf in the working directory.\n"
                "Help book: %s\n"
                "Examples: %s\n",
                static_cast<const char*>(tandrel::FindHelpBook(program).utf8_str()),
                tandrel::LoadFolder(program).empty()
                    ? "the working directory"
                    : static_cast<const char*>(tandrel::LoadFolder(program).utf8_str()));
            return 0;
        }
    }
    return wxEntry(argc, argv);
}
