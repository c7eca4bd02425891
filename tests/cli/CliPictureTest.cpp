// tandrel-cli picture as a process: the PNG's size, and colours at places
// taken from the single-cycle layout table, worked out from the drawing
// rules: a body's anti-diagonal is the mid-point of its fill and the fade
// colour; a wire leaving the active PC has the first stage colour, scaled
// by 0.7 once the PC has been active for one pass.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "sim/LayoutTable.h"
#include "tests/cli/CliTestSupport.h"

namespace tandrel {
namespace {

using namespace clitest;

constexpr int kWidth = 1150;
constexpr int kHeight = 870;
constexpr double kPixelsPerUnitX = 4.6;
constexpr double kPixelsPerUnitY = 5.0;

struct Rgb {
    int r = -1, g = -1, b = -1;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

bool Near(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

class Png {
  public:
    explicit Png(const std::string& file) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (png_image_begin_read_from_file(&image, file.c_str()) == 0) return;
        image.format = PNG_FORMAT_RGB;
        pixels.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
            pixels.clear();
            return;
        }
        width = static_cast<int>(image.width);
        height = static_cast<int>(image.height);
    }

    // x from the left, y from the top.
    Rgb At(int x, int y) const {
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        return {pixels[at], pixels[at + 1], pixels[at + 2]};
    }

    // The colour nearest to `expected` in a short vertical run of pixels, so
    // that a line's exact pixel row does not matter.
    Rgb NearestInColumn(int x, int y, const Rgb& expected) const {
        Rgb best;
        int bestDistance = 1 << 30;
        for (int row = y - 3; row <= y + 3; ++row) {
            const Rgb c = At(x, row);
            const int d = std::abs(c.r - expected.r) + std::abs(c.g - expected.g) +
                          std::abs(c.b - expected.b);
            if (d < bestDistance) bestDistance = d, best = c;
        }
        return best;
    }

    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
};

// Pixel places, from the top left, taken from the single-cycle layout table:
// a point on the instruction memory's anti-diagonal, clear of its labels,
// and one on the wire from the PC to it, clear of the junction after the PC
// and of the arrowhead at the memory.
struct Places {
    int memoryX = 0, memoryY = 0, wireX = 0, wireY = 0;
    Places() {
        const ElementRow *pc = nullptr, *memory = nullptr;
        for (const ElementRow& row : SimpleLayoutTable().elements) {
            if (row.cls == ElementClass::PC) pc = &row;
            if (row.cls == ElementClass::InstructionMemory) memory = &row;
        }
        auto x = [](double at) { return static_cast<int>(at * kPixelsPerUnitX); };
        auto y = [](double at) { return kHeight - static_cast<int>(at * kPixelsPerUnitY); };
        memoryX = x(memory->x + 0.85 * memory->width);
        memoryY = y(memory->y + 0.15 * memory->height);
        wireX = x(memory->x - 4.0);
        wireY = y(pc->y + pc->height / 2.0);
    }
};

const char* const kProgram = "ADDI $1, $0, 5\nADD $2, $1, $1\nData:\n";

TEST(CliPicture, DefaultColoursAfterZeroAndOneStepsAndColoursFromAConfiguration) {
    TempDir dir;
    dir.Write("p.def", kProgram);
    // Drawn without any display.
    Result result = RunCli(dir, "picture p.def -o 'step%d.png' --steps 1", "env -u DISPLAY");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"p.def", "step0.png", "step1.png"}));

    const auto [memoryX, memoryY, wireX, wireY] = Places();
    const Rgb white{255, 255, 255};
    const Rgb memoryMid{223, 223, 204};  // (191, 191, 153) halfway to white
    const Rgb red{255, 0, 0};
    const Rgb dimmedRed{178, 0, 0};

    const Png first(dir.path + "/step0.png");
    ASSERT_EQ(first.width, kWidth);
    ASSERT_EQ(first.height, kHeight);
    EXPECT_PRED2(Near, first.At(0, 0), white);
    EXPECT_PRED2(Near, first.At(kWidth - 1, kHeight - 1), white);
    EXPECT_PRED2(Near, first.At(memoryX, memoryY), memoryMid);
    EXPECT_PRED2(Near, first.NearestInColumn(wireX, wireY, red), red);

    const Png second(dir.path + "/step1.png");
    EXPECT_PRED2(Near, second.NearestInColumn(wireX, wireY, dimmedRed), dimmedRed);
    EXPECT_PRED2(Near, second.At(memoryX, memoryY), memoryMid);

    // Colours from a configuration file, which is only read.
    const std::string config =
        "stage1colour: 0, 0, 255, 255;\n"
        "backgroundcolour: 10, 20, 30, 255;\n"
        "componentcolour: 1, 101, 201, 255;\n";
    dir.Write("my.conf", config);
    result = RunCli(dir, "picture p.def -o out.png --config my.conf");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(dir.Read("my.conf"), config);
    const Png png(dir.path + "/out.png");
    EXPECT_PRED2(Near, png.At(0, 0), (Rgb{10, 20, 30}));
    EXPECT_PRED2(Near, png.At(memoryX, memoryY), (Rgb{128, 178, 228}));
    EXPECT_PRED2(Near, png.NearestInColumn(wireX, wireY, Rgb{0, 0, 255}), (Rgb{0, 0, 255}));

    // Each drawing flag of the configuration is followed. With the highlight
    // off (the last) every stage of the pipeline is coloured, not only the
    // instruction chosen, which changes nothing while only one is in flight.
    const std::string pipelined = "picture p.def --layout pipelined --steps 3 ";
    ASSERT_EQ(RunCli(dir, pipelined + "-o 'on%d.png'").status, 0);
    for (const char* flag : {"showcontrollines", "showpclines", "showbolddatalines",
                             "highlightsingleinstruction"}) {
        dir.Write("off.conf", std::string(flag) + ": 0;\n");
        ASSERT_EQ(RunCli(dir, pipelined + "-o 'off%d.png' --config off.conf").status, 0);
        EXPECT_NE(dir.Read("on3.png"), dir.Read("off3.png")) << flag;
    }
    EXPECT_EQ(dir.Read("on0.png"), dir.Read("off0.png"));
}

// Reads an SVG with Python's XML parser (exit status 1 on malformed XML) and
// prints the number of closed outlines outside the glyph definitions and of
// open stroked paths (wires), then each wire's colour and the middle of its
// longest straight piece.
const char* const kSvgShapes = R"(
import sys, re, xml.dom.minidom as m
closed, wires = 0, []
for p in m.parse(sys.argv[1]).getElementsByTagName('path'):
    rgb = re.search(r'stroke:rgb\(([\d.]+)%,([\d.]+)%,([\d.]+)%\)', p.getAttribute('style'))
    d = p.getAttribute('d').split()
    if p.parentNode.tagName == 'symbol' or not rgb: continue
    if 'Z' in d: closed += 1; continue
    pts = [(float(d[i + 1]), float(d[i + 2])) for i in range(0, len(d), 3)]
    a, b = max(zip(pts, pts[1:]), key=lambda s: abs(s[0][0] - s[1][0]) + abs(s[0][1] - s[1][1]))
    wires += ['%d %d %d %g %g' % (*[round(float(c) * 2.55) for c in rgb.groups()], a[0] + b[0], a[1] + b[1])]
print(closed, len(wires), *wires)
)";

TEST(CliPicture, SvgHasOneOutlinePerElementOnePathPerWireInThePngsColours) {
    TempDir dir;
    dir.Write("p.def", kProgram);
    dir.Write("shapes.py", kSvgShapes);
    const std::string picture = "picture p.def --layout forwarding --steps 3 ";
    ASSERT_EQ(RunCli(dir, picture + "--format svg -o p.svg").status, 0);
    ASSERT_EQ(RunCli(dir, picture + "--scale 2 -o p.png").status, 0);
    ASSERT_EQ(RunLimited("cd " + dir.path + " && python3 shapes.py p.svg > shapes"), 0);
    const Png png(dir.path + "/p.png");
    ASSERT_EQ(png.width, 2 * kWidth);

    Simulator sim;
    cli::LoadDefinitionFile(sim, dir.path + "/p.def", Layout::Forwarding);
    std::size_t elements = 0, wires = 0, closed = 0, open = 0;
    for (const auto& e : sim.Elements()) {
        elements += !e->IsNode();
        for (const auto& link : e->ports)
            if (link->isOutput) wires += static_cast<const OutputLink&>(*link).targets.size();
    }
    std::istringstream in(dir.Read("shapes"));
    in >> closed >> open;
    EXPECT_EQ(closed, elements);
    EXPECT_EQ(open, wires);
    // At twice the size a wire's middle (given doubled) is at the same pixel;
    // where a later wire or body covers it the PNG shows that instead, so
    // nearly all, not all, must match.
    std::size_t matched = 0;
    for (Rgb c; in >> c.r >> c.g >> c.b;) {
        double x = 0, y = 0;
        in >> x >> y;
        for (int dx = -1; dx <= 1; ++dx)
            if (Near(png.NearestInColumn(static_cast<int>(x) + dx, static_cast<int>(y), c), c)) {
                ++matched;
                break;
            }
    }
    EXPECT_GE(matched, wires * 95 / 100) << "of " << wires;
}

TEST(CliPicture, UnwritableOutputAndMissingConfiguration) {
    TempDir dir;
    dir.Write("p.def", kProgram);
    Result noConfig = RunCli(dir, "picture p.def -o x.png --config absent.conf");
    EXPECT_EQ(noConfig.status, 2);
    EXPECT_EQ(noConfig.err, "tandrel-cli: absent.conf: No such file or directory\n");
    // A slip of the fingers must not turn the program into a picture.
    Result overwrite = RunCli(dir, "picture p.def -o ./p.def");
    EXPECT_EQ(overwrite.status, 2);
    EXPECT_EQ(overwrite.err, "tandrel-cli: ./p.def: is the program file; not overwritten\n");
    EXPECT_EQ(dir.Read("p.def"), kProgram);
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"p.def"}));
}

}  // namespace
}  // namespace tandrel
