#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "config/Config.h"
#include "tests/TempDir.h"

namespace tandrel {
namespace {

namespace fs = std::filesystem;

// A configuration file in a folder of its own, removed afterwards.
class ConfigFile : public ::testing::Test {
  protected:
    Config Read(const std::string& text) { return Config(temp.Write("tandrel.conf", text)); }
    std::string Written() const { return temp.Read("tandrel.conf"); }

    test::TempDir temp;
    const fs::path dir{temp.path};
    const std::string path = temp.File("tandrel.conf");
};

// Every option's default, as a saved file writes them.
const char* const kDefaults =
    "componentcolour: 191, 191, 153, 255;\n"
    "piperegcolour: 191, 153, 153, 255;\n"
    "stage1colour: 255, 0, 0, 255;\n"
    "stage2colour: 0, 255, 0, 255;\n"
    "stage3colour: 255, 0, 255, 255;\n"
    "stage4colour: 0, 0, 255, 255;\n"
    "stage5colour: 0, 255, 255, 255;\n"
    "textcolour: 0, 0, 0, 255;\n"
    "fadecolour: 255, 255, 255, 255;\n"
    "bordercolour: 0, 0, 0, 255;\n"
    "inactivelinkcolour: 0, 0, 0, 255;\n"
    "backgroundcolour: 255, 255, 255, 255;\n"
    "showleftpanel: 1;\n"
    "showinstructionsinfields: 1;\n"
    "showsimplelayout: 1;\n"
    "showpipelinelayout: 0;\n"
    "showforwardinglayout: 0;\n"
    "showcontrollines: 1;\n"
    "showpclines: 1;\n"
    "showpopups: 1;\n"
    "highlightsingleinstruction: 1;\n"
    "showbolddatalines: 1;\n"
    "binaryformat: 0;\n"
    "decimalformat: 1;\n"
    "hexadecimalformat: 0;\n"
    "simulatorsashpos: 360;\n"
    "editorsashpos: 200;\n"
    "showtimeline: 0;\n"
    "timelineheight: 260;\n"
    "zoomtofit: 1;\n"
    "zoompercent: 100;\n";

TEST_F(ConfigFile, MissingEmptyOrBlankFilesGiveTheDefaults) {
    for (const char* text : {"", " \n\t\r\n"}) {
        Config config = Read(text);
        ASSERT_TRUE(config.Save());
        EXPECT_EQ(Written(), kDefaults);
    }
    fs::remove(path);
    Config missing(path);
    ASSERT_TRUE(missing.Save());
    EXPECT_EQ(Written(), kDefaults);
    // A folder where the file should be reads as nothing and is not written.
    fs::create_directories(dir / "folder.conf");
    Config folder((dir / "folder.conf").string());
    EXPECT_EQ(folder.GetInteger(option::kEditorSashPos), 200);
    EXPECT_FALSE(folder.Save());
}

// Keys in any case; numbers past a byte or 32 bits wrap; a layout and a
// number format are always chosen; faulty statements are skipped with the
// skip rule.
TEST_F(ConfigFile, ReadsEachKindOfLineAndSkipsFaultyStatements) {
    Config config = Read(
        "ComponentColour: 1, 2, 3, 4;\n"
        "EDITORSASHPOS: 4294967295;\n"
        "stage1colour: 300, 256, 0, 255;\n"
        "showsimplelayout: 0; showpipelinelayout: 0; showforwardinglayout: 0;\n"
        "binaryformat: 0; decimalformat: 0; hexadecimalformat: 0;\n"
        "nosuchkey: 1;\n"
        "showpopups: 2;\n"     // not a flag value: keeps the default
        "showpclines: -1;\n"   // '-' is not a number
        "textcolour: 9, 9;\n"  // cut short: the colour stays as it was
        "showleftpanel: 0;\n"  // swallowed by the skip after the ';' above
        "showcontrollines: 0;\n"
        "showbolddatalines: 0");  // a flag may end without its ';'
    EXPECT_EQ(config.GetColour(option::kComponentColour), Colour::Rgba(1, 2, 3, 4));
    EXPECT_EQ(config.GetInteger(option::kEditorSashPos), -1);
    EXPECT_EQ(config.GetColour(option::kStage1Colour), Colour::Rgba(44, 0, 0, 255));
    EXPECT_TRUE(config.GetFlag(option::kShowSimpleLayout));
    EXPECT_TRUE(config.GetFlag(option::kDecimalFormat));
    EXPECT_TRUE(config.GetFlag(option::kShowPopups));
    EXPECT_TRUE(config.GetFlag(option::kShowPcLines));
    EXPECT_EQ(config.GetColour(option::kTextColour), Colour::Rgba(0, 0, 0));
    EXPECT_TRUE(config.GetFlag(option::kShowLeftPanel));
    EXPECT_FALSE(config.GetFlag(option::kShowControlLines));
    EXPECT_FALSE(config.GetFlag(option::kShowBoldDataLines));
}

TEST_F(ConfigFile, SavedValuesReadBackTheSame) {
    Config config(path);
    config.SetColour(option::kBackgroundColour, Colour::Rgba(10, 20, 30, 40));
    config.SetFlag(option::kShowForwardingLayout, true);
    config.SetFlag(option::kDecimalFormat, false);  // hexadecimal alone
    config.SetFlag(option::kHexadecimalFormat, true);
    config.SetInteger(option::kSimulatorSashPos, -5);
    config.GetFlag(option::kStage2Colour);  // a stray entry of the wrong kind
    ASSERT_TRUE(config.Save());
    EXPECT_NE(Written().find("backgroundcolour: 10, 20, 30, 40;\n"), std::string::npos);
    EXPECT_NE(Written().find("simulatorsashpos: 4294967291;\n"), std::string::npos);
    const std::string text = Written();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), option::kLast);  // no stray line

    Config again(path);
    EXPECT_EQ(again.GetColour(option::kBackgroundColour), Colour::Rgba(10, 20, 30, 40));
    EXPECT_TRUE(again.GetFlag(option::kShowForwardingLayout));
    EXPECT_FALSE(again.GetFlag(option::kDecimalFormat));
    EXPECT_EQ(again.GetInteger(option::kSimulatorSashPos), -5);
    EXPECT_EQ(again.GetColour(option::kStage2Colour), Colour::Rgba(0, 255, 0));
}

}  // namespace
}  // namespace tandrel
