#include "render/Renderer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "render/TextImage.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tandrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDotSegments = 20;
constexpr double kBackgroundFar = 2000.0;
constexpr double kBackgroundNear = -1000.0;
constexpr unsigned kLastLatin1 = 0xFF;
void* const kFont = GLUT_BITMAP_HELVETICA_10;
constexpr double kRadiansToDegrees = 180.0 / kPi;
// Rasterised labels kept between frames; a window has a few hundred of them
// per zoom, so the cache is emptied when it outgrows that many zooms' worth.
constexpr std::size_t kMostCachedTexts = 4000;
// Text sizes are rounded to a quarter pixel, so zooming slowly reuses images.
constexpr double kSizeSteps = 4.0;

void SetColour(const ColourRecord& c) {
    glColor4f(c.r, c.g, c.b, c.a);
}

bool AtHundredPercent(double zoom) {
    return std::abs(zoom - 1.0) < 1e-9;
}

// Labels as pixel images, by text, size in quarter pixels and colour,
// shared by every context; a canvas warming up on a worker thread uses it
// while other windows paint, hence the lock.
std::map<LabelTextures::Key, TextImage>& TextCache() {
    static std::map<LabelTextures::Key, TextImage> cache;
    return cache;
}
std::mutex textCacheLock;

std::uint32_t Packed(const ColourRecord& c) {
    const auto byte = [](float v) {
        return static_cast<std::uint32_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255));
    };
    return byte(c.r) << 24 | byte(c.g) << 16 | byte(c.b) << 8 | byte(c.a);
}

// Draws onto the current OpenGL context, whose model-view maps layout units
// to pixels at `zoom` times the 100% scale. The driver gathers the shapes
// drawn between two state changes into one batch, so the painter changes
// the line width and polygon smoothing only when a shape needs another, and
// saves the state it touches once for the whole picture.
class GlPainter final : public Painter {
  public:
    GlPainter(double zoom, LabelTextures* kept)
        : zoom(zoom), labels(kept != nullptr ? kept : &ownLabels) {
        glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_ENABLE_BIT | GL_TEXTURE_BIT);
        glDisable(GL_TEXTURE_2D);
        // A label's texture gives its pixels as they are.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
    ~GlPainter() override {
        ownLabels.Clear();
        glPopAttrib();
    }
    GlPainter(const GlPainter&) = delete;
    GlPainter& operator=(const GlPainter&) = delete;

    void Background(const ColourRecord& background) override {
        if (background.a >= 1.0f) {
            // An opaque background blended over anything is the background
            // itself, so clearing gives the same pixels as the full-window
            // quad at a fraction of the cost for a software renderer.
            glPushAttrib(GL_COLOR_BUFFER_BIT);
            glClearColor(background.r, background.g, background.b, background.a);
            glClear(GL_COLOR_BUFFER_BIT);
            glPopAttrib();
            return;
        }
        SetColour(background);
        glBegin(GL_QUAD_STRIP);
        glVertex2d(kBackgroundNear, kBackgroundNear);
        glVertex2d(kBackgroundFar, kBackgroundNear);
        glVertex2d(kBackgroundNear, kBackgroundFar);
        glVertex2d(kBackgroundFar, kBackgroundFar);
        glEnd();
    }

    void Transform(double x, double y, double sx, double sy) override {
        glPushMatrix();
        glTranslated(x, y, 0.0);
        glScaled(sx, sy, 1.0);
        scaleY.push_back(scaleY.back() * sy);
    }
    void Restore() override {
        glPopMatrix();
        scaleY.pop_back();
    }

    void Polyline(const std::vector<Point>& points, double width,
                  const ColourRecord& colour) override {
        Textured(false);
        LineWidth(width * zoom);
        SetColour(colour);
        glBegin(GL_LINE_STRIP);
        for (const Point& p : points) glVertex2d(p.x, p.y);
        glEnd();
    }

    void Outline(const std::vector<Point>& points, const ColourRecord& colour) override {
        Textured(false);
        LineWidth(kThinLine * zoom);
        SetColour(colour);
        glBegin(GL_LINE_LOOP);
        for (const Point& p : points) glVertex2d(p.x, p.y);
        glEnd();
    }

    void Strip(const std::vector<ShadedPoint>& strip, const ColourRecord& from,
               const ColourRecord& to) override {
        Textured(false);
        SmoothPolygons(false);
        glBegin(GL_TRIANGLE_STRIP);
        for (const ShadedPoint& v : strip) {
            SetColour(v.t == 0.0 ? from : v.t == 1.0 ? to : Mix(from, to, v.t));
            glVertex2d(v.x, v.y);
        }
        glEnd();
    }

    void Arrowhead(Point tip, double degrees, double length, double halfHeight,
                   const ColourRecord& colour) override {
        // Turned here rather than by the model-view, which would end the
        // driver's batch; a quarter turn's sine and cosine are kept exact.
        const auto exact = [](double v) { return std::abs(v) < 1e-12 ? 0.0 : v; };
        const double c = exact(std::cos(degrees / kRadiansToDegrees));
        const double s = exact(std::sin(degrees / kRadiansToDegrees));
        const auto corner = [&](double x, double y) {
            glVertex2d(tip.x + c * x - s * y, tip.y + s * x + c * y);
        };
        Textured(false);
        SmoothPolygons(true);
        SetColour(colour);
        glBegin(GL_TRIANGLES);
        corner(0.0, 0.0);
        corner(-length, -halfHeight);
        corner(-length, halfHeight);
        glEnd();
    }

    void Dot(Point centre, double radius, const ColourRecord& colour) override {
        Textured(false);
        SmoothPolygons(false);
        SetColour(colour);
        glBegin(GL_POLYGON);
        for (int i = 0; i <= kDotSegments; ++i) {
            const double angle = i * 2.0 * kPi / kDotSegments;
            glVertex2d(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle));
        }
        glEnd();
    }

    void Text(Point at, const std::wstring& text, double height,
              const ColourRecord& colour) override {
        if (AtHundredPercent(zoom)) {
            // The bitmap font is the 100% picture's text; it covers Latin-1
            // and anything beyond shows as a question mark.
            StartGlutForFont();
            Textured(false);
            SetColour(colour);
            glRasterPos2d(at.x, at.y);
            for (const wchar_t ch : text) {
                const auto code = static_cast<unsigned>(ch);
                glutBitmapCharacter(kFont, code <= kLastLatin1 ? static_cast<int>(code) : '?');
            }
        } else {
            DrawTextImage(at, text, height * scaleY.back() * view::kScaleY * zoom, colour);
        }
    }

  private:
    void LineWidth(double pixels) {
        const auto width = static_cast<float>(pixels);
        if (width == lineWidth) return;
        glLineWidth(width);
        lineWidth = width;
    }
    void Textured(bool on) { Switch(GL_TEXTURE_2D, on, textured); }
    // Arrowheads are smoothed at their edges; body shades and dots are not.
    void SmoothPolygons(bool on) { Switch(GL_POLYGON_SMOOTH, on, smooth); }
    // Turns a capability on or off unless it already is (-1: not known yet).
    static void Switch(GLenum capability, bool on, int& state) {
        const int wanted = on ? 1 : 0;
        if (wanted == state) return;
        if (on)
            glEnable(capability);
        else
            glDisable(capability);
        state = wanted;
    }

    // Places a rasterised label by window coordinates, on whole pixels, so
    // its texels land on the pixels one for one and one whose start is
    // scrolled off the left edge still shows its visible part.
    void DrawTextImage(Point at, const std::wstring& text, double pixels,
                       const ColourRecord& colour) {
        const int size = static_cast<int>(std::lround(pixels * kSizeSteps));
        if (size <= 0) return;
        const LabelTextures::Entry& image =
            labels->Get({text, size, Packed(colour)}, size / kSizeSteps, colour);
        if (image.width == 0) return;

        GLdouble modelView[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLdouble x = 0, y = 0, z = 0;
        if (gluProject(at.x, at.y, 0.0, modelView, projection, viewport, &x, &y, &z) != GL_TRUE)
            return;
        // The square's corners on whole pixels, given in the current frame
        // so the model-view stays as it is.
        const double left = std::round(x - image.originX);
        const double bottom = std::round(y - image.originY);
        Point corners[4];
        for (int i = 0; i < 4; ++i) {
            GLdouble cx = 0, cy = 0, cz = 0;
            if (gluUnProject(left + (i & 1 ? image.width : 0), bottom + (i & 2 ? image.height : 0),
                             z, modelView, projection, viewport, &cx, &cy, &cz) != GL_TRUE)
                return;
            corners[i] = {cx, cy};
        }
        Textured(true);
        SmoothPolygons(false);
        glBindTexture(GL_TEXTURE_2D, image.texture);
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i < 4; ++i) {
            glTexCoord2d(i & 1 ? 1.0 : 0.0, i & 2 ? 1.0 : 0.0);
            glVertex2d(corners[i].x, corners[i].y);
        }
        glEnd();
    }

    double zoom;
    LabelTextures ownLabels;
    LabelTextures* labels;
    std::vector<double> scaleY{1.0};
    float lineWidth = -1.0f;  // not known until the painter sets it
    int smooth = -1;
    int textured = 0;  // the constructor turns texturing off
};

}  // namespace

const LabelTextures::Entry& LabelTextures::Get(const Key& key, double pixelHeight,
                                               const ColourRecord& colour) {
    if (entries.size() > kMostCachedTexts) Clear();
    const auto found = entries.find(key);
    if (found != entries.end()) return found->second;
    const std::lock_guard<std::mutex> hold(textCacheLock);
    auto& images = TextCache();
    if (images.size() > kMostCachedTexts) images.clear();
    auto image = images.find(key);
    if (image == images.end())
        image = images.emplace(key, RasteriseText(std::get<0>(key), pixelHeight, colour)).first;
    const TextImage& pixels = image->second;
    Entry entry;
    if (pixels.width > 0) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        // Nearest texels, clamped: drawn on whole pixels, each texel is one pixel.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixels.width, pixels.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, pixels.rgba.data());
        glPopClientAttrib();
        entry = {texture, pixels.width, pixels.height, pixels.originX, pixels.originY};
    }
    return entries.emplace(key, entry).first->second;
}

void LabelTextures::Clear() {
    for (const auto& [key, entry] : entries)
        if (entry.texture != 0) glDeleteTextures(1, &entry.texture);
    entries.clear();
}

// GLUT is wanted only for its bitmap font, so it is started when text is
// first drawn at 100%: a window that is never shown at 100% never opens
// GLUT's display connection. GLUT keeps the arguments it was given.
void StartGlutForFont() {
    static char name[] = "tandrel";
    static char* arguments[] = {name, nullptr};
    static int count = 1;
    StartGlut(&count, arguments);
}

void StartGlut(int* argc, char** argv) {
    if (glutGet(GLUT_INIT_STATE) != 0) return;  // GLUT refuses a second start
#if defined(__SANITIZE_ADDRESS__)
    const __lsan::ScopedDisabler untracked;
#endif
    glutInit(argc, argv);
}

void SetUpView(int width, int height, double zoom, int left, int bottom) {
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(left, bottom, 0.0);
    glScaled(view::kScaleX * zoom, view::kScaleY * zoom, 1.0);
}

void DrawDatapath(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours,
                  double zoom, LabelTextures* labels) {
    GlPainter painter(zoom, labels);
    DrawDatapath(painter, sim, options, colours, zoom);
}

void DrawStaleReadMarks(const std::vector<const Component*>& parts, double zoom) {
    GlPainter painter(zoom, nullptr);
    DrawStaleReadMarks(painter, parts);
}

}  // namespace tandrel
