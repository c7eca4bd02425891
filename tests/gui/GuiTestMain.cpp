#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <cstdlib>

#include "app/Ids.h"
#include "config/Config.h"
#include "render/Renderer.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {

namespace {
bool haveDisplay = false;  // whether the tests have a display to open windows on
}  // namespace

void Settle() {
    for (int round = 0; round < 5; ++round) {
        wxTheApp->ProcessPendingEvents();
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->Yield(true);
    }
}

bool WaitFor(const std::function<bool()>& done, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        Settle();
        if (done()) return true;
        wxMilliSleep(10);
    }
    return done();
}

::testing::AssertionResult ClickAt(const wxPoint& at) {
    wxUIActionSimulator input;
    if (!input.MouseMove(at)) return ::testing::AssertionFailure() << "pointer not moved";
    if (!WaitFor([&] { return wxGetMousePosition() == at; }))
        return ::testing::AssertionFailure()
               << "pointer at " << wxGetMousePosition().x << "," << wxGetMousePosition().y
               << " instead of " << at.x << "," << at.y;
    if (!input.MouseClick()) return ::testing::AssertionFailure() << "click not sent";
    return ::testing::AssertionSuccess();
}

void Command(MyFrame& frame, int id, wxEventType type) {
    wxCommandEvent event(type, id);
    frame.ProcessWindowEvent(event);
}

void Step(MyFrame& frame, int times) {
    for (int i = 0; i < times; ++i) Command(frame, wxID_FORWARD, wxEVT_BUTTON);
}

void Parse(MyFrame& frame, const std::string& program) {
    frame.ProgramText()->SetValue(wxString::FromUTF8(program));
    Command(frame, ID_PARSE_BUTTON, wxEVT_BUTTON);
}

wxString Cell(MyDatalist* list, long row) {
    return list->GetItemText(row, 1);
}

void FrameTest::SetUp() {
    if (!haveDisplay) GTEST_SKIP() << "no X display";
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder);
}

void FrameTest::TearDown() {
    if (frame != nullptr) {
        frame->Destroy();
        Settle();
        frame = nullptr;
    }
    // Out of the folder before it is removed.
    if (!previousFolder.empty()) std::filesystem::current_path(previousFolder);
}

MyFrame& FrameTest::Start() {
    Config::ReloadInstance();
    frame = new MyFrame(wxT("Tandrel"), wxPoint(50, 50), wxSize(450, 340));
    frame->Show(true);
    // Without a window manager nothing maximizes the window; give it the
    // size a maximized window would have.
    frame->SetSize(wxSize(1500, 950));
    wxTheApp->SetTopWindow(frame);
    frame->FinishStartup();
    // The drawing takes its size from the laid-out window, which a loaded
    // machine may deliver after more than one Settle, and the first paint
    // may come a moment after the last size change.
    WaitFor([&] { return frame->Canvas()->Painted() && frame->Canvas()->Geometry().width > 50; });
    return *frame;
}

}  // namespace tandrel::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    tandrel::test::haveDisplay = display != nullptr && *display != '\0';
    if (!tandrel::test::haveDisplay) return RUN_ALL_TESTS();

    tandrel::StartGlut(&argc, argv);
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
