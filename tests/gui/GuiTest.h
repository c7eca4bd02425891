#pragma once

#include <gtest/gtest.h>
#include <wx/app.h>

#include <filesystem>
#include <functional>
#include <string>

#include "app/MyDatalist.h"
#include "app/MyFrame.h"
#include "tests/TempDir.h"

namespace tandrel::test {

// Lets the toolkit handle what is pending (paints, sizes, posted events).
void Settle();

// Lets the toolkit take in what the X server has queued until `done` holds,
// giving up after a bounded number of rounds (a lost event then fails the
// test instead of hanging it).
bool WaitFor(const std::function<bool()>& done, int rounds = 300);

// Moves the pointer to a screen point and clicks the left button there once.
::testing::AssertionResult ClickAt(const wxPoint& at);

// A menu command or a button press as the frame receives it.
void Command(MyFrame& frame, int id, wxEventType type = wxEVT_MENU);
void Step(MyFrame& frame, int times);
// Puts `program` in the editor and presses Parse.
void Parse(MyFrame& frame, const std::string& program);
// The value column of a list's row.
wxString Cell(MyDatalist* list, long row);

// A test with a main window of its own, started in a fresh working folder
// so that "tandrel.conf" is the test's alone. Write `conf` before calling
// Start to begin with a configuration file.
class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the main window as the program's start-up does.
    MyFrame& Start();
    void WriteFile(const std::string& name, const std::string& text) { temp.Write(name, text); }
    std::string ReadFile(const std::string& name) const { return temp.Read(name); }

    TempDir temp;
    const std::filesystem::path folder{temp.path};
    std::filesystem::path previousFolder;
    MyFrame* frame = nullptr;
};

}  // namespace tandrel::test
