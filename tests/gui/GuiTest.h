#pragma once

#include <gtest/gtest.h>
#include <wx/app.h>

#include <filesystem>
#include <string>

#include "app/MyFrame.h"

namespace tandrel::test {

// True when the window tests have a display to open windows on.
bool HaveDisplay();

// Lets the toolkit handle what is pending (paints, sizes, posted events).
void Settle();

// A test with a main window of its own, started in a fresh working folder
// so that "tandrel.conf" is the test's alone. Write `conf` before calling
// Start to begin with a configuration file.
class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the main window as the program's start-up does.
    MyFrame& Start();
    void WriteFile(const std::string& name, const std::string& text);
    std::string ReadFile(const std::string& name) const;

    std::filesystem::path folder;
    std::filesystem::path previousFolder;
    MyFrame* frame = nullptr;
};

}  // namespace tandrel::test
