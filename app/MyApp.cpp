#include <GL/glut.h>
#include <wx/app.h>

#include <string>
#include <vector>

#include "app/MyFrame.h"

namespace tandrel {

// Starts GLUT (for the bitmap font) and the one main window.
class MyApp : public wxApp {
  public:
    bool OnInit() override {
        // GLUT keeps pointers into the arguments, so they live as long as the app.
        for (int i = 0; i < argc; ++i) arguments.push_back(argv[i].ToStdString());
        for (auto& text : arguments) argumentPointers.push_back(text.data());
        int count = static_cast<int>(argumentPointers.size());
        glutInit(&count, argumentPointers.data());

        auto* frame = new MyFrame(wxT("Tandrel"), wxPoint(50, 50), wxSize(450, 340));
        frame->Show(true);
        SetTopWindow(frame);
        frame->FinishStartup();
        return true;
    }

  private:
    std::vector<std::string> arguments;
    std::vector<char*> argumentPointers;
};

}  // namespace tandrel

wxIMPLEMENT_APP(tandrel::MyApp);
