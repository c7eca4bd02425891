#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>

namespace tandrel {

// A colour of the configuration: red, green, blue, alpha 0-255, and whether
// it has been set at all.
struct Colour {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    bool valid = false;

    static Colour Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
        return Colour{r, g, b, a, true};
    }
    bool operator==(const Colour& o) const {
        return r == o.r && g == o.g && b == o.b && a == o.a && valid == o.valid;
    }
    bool operator!=(const Colour& o) const { return !(*this == o); }
};

// Option numbers; the file names each by its key.
namespace option {
enum : int {
    kComponentColour = 1,
    kPipeRegColour = 2,
    kStage1Colour = 3,  // kStage1Colour + i is the colour of ring slot i
    kStage2Colour = 4,
    kStage3Colour = 5,
    kStage4Colour = 6,
    kStage5Colour = 7,
    kTextColour = 8,
    kFadeColour = 9,
    kBorderColour = 10,
    kInactiveLinkColour = 11,
    kBackgroundColour = 12,
    kShowLeftPanel = 13,
    kShowInstructionsInFields = 14,
    kShowSimpleLayout = 15,
    kShowPipelineLayout = 16,
    kShowForwardingLayout = 17,
    kShowControlLines = 18,
    kShowPcLines = 19,
    kShowPopups = 20,
    kHighlightSingleInstruction = 21,
    kShowBoldDataLines = 22,
    kBinaryFormat = 23,
    kDecimalFormat = 24,
    kHexadecimalFormat = 25,
    kSimulatorSashPos = 26,
    kEditorSashPos = 27,
    kShowTimeline = 28,    // the timeline and explanation under the drawing
    kTimelineHeight = 29,  // their height in pixels
    // The drawing's zoom: fitted to the window, or a percentage of the
    // 4.6 x 5.0 pixels per unit drawing.
    kZoomToFit = 30,
    kZoomPercent = 31,
    kLast = 31,
};
}  // namespace option

// The user's display settings: colours, on/off options (which also record
// the layout and number format) and splitter positions, read from a small
// text file that tolerates hand edits and written back after every change.
class Config {
  public:
    // The store of the program, created on first use from "tandrel.conf" in
    // the working directory.
    static Config& Instance();
    // Forgets the store and reads "tandrel.conf" of the working directory
    // afresh, as a new start of the program would (the window tests start
    // each test in a folder of its own).
    static Config& ReloadInstance();

    // A store with the defaults, then whatever `path` holds. A missing or
    // unreadable file leaves the defaults.
    explicit Config(std::string path);

    bool GetFlag(int index);
    void SetFlag(int index, bool on) { flags[index] = on; }
    Colour GetColour(int index);
    void SetColour(int index, Colour colour) { colours[index] = colour; }
    int GetInteger(int index);
    void SetInteger(int index, int value) { integers[index] = value; }

    // Rewrites the file with every option, one line each in index order;
    // false when the file cannot be written (nothing else happens).
    bool Save() const;

    // The key of an option, "" for index 0 or an unknown index.
    static std::string KeyName(int index);

    const std::string& Path() const { return path; }

  private:
    void SetDefaults();
    void Read(std::istream& in);

    std::string path;
    std::map<int, Colour> colours;
    std::map<int, bool> flags;
    std::map<int, int> integers;
};

}  // namespace tandrel
