#include "render/Picture.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "render/Painter.h"
#include "render/TextImage.h"
#include "render/ViewGeometry.h"

namespace tandrel {

const char* const kLabelFont = "Helvetica";

namespace {

constexpr int kRgb = 3;
constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using Context = std::unique_ptr<cairo_t, CairoDeleter>;
using Surface = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using Pattern = std::unique_ptr<cairo_pattern_t, CairoDeleter>;

void SetColour(cairo_t* cr, const ColourRecord& c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

// A frame of the painter: layout = origin + scale * point.
struct Frame {
    double x = 0.0, y = 0.0, sx = 1.0, sy = 1.0;
};

// Draws with Cairo onto any surface: pixels at `scale` times the window's
// 100% canvas, y turned to run downwards.
class CairoPainter final : public Painter {
  public:
    CairoPainter(cairo_t* cr, double scale) : cr(cr), scale(scale) {
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_select_font_face(cr, kLabelFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }

    void Background(const ColourRecord& background) override {
        // The window is cleared to white before a translucent background
        // is blended over it.
        if (background.a < 1.0f) {
            cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
            cairo_paint(cr);
        }
        SetColour(cr, background);
        cairo_paint(cr);
    }

    void Transform(double x, double y, double sx, double sy) override {
        const Frame& f = frames.back();
        frames.push_back({f.x + f.sx * x, f.y + f.sy * y, f.sx * sx, f.sy * sy});
    }
    void Restore() override { frames.pop_back(); }

    void Polyline(const std::vector<Point>& points, double width,
                  const ColourRecord& colour) override {
        Path(points);
        Stroke(width, colour);
    }

    void Outline(const std::vector<Point>& points, const ColourRecord& colour) override {
        Path(points);
        cairo_close_path(cr);
        Stroke(kThinLine, colour);
    }

    // Each triangle turned counter-clockwise so shared edges cancel and the
    // strip fills as one seamless shape; the shade is the plane through the
    // vertices' t, fitted by least squares (exact for the body shapes,
    // whose shades are planar), drawn as one linear gradient.
    void Strip(const std::vector<ShadedPoint>& strip, const ColourRecord& from,
               const ColourRecord& to) override {
        if (strip.size() < 3) return;
        std::vector<Point> device;
        for (const ShadedPoint& v : strip) device.push_back(Device({v.x, v.y}));
        for (std::size_t i = 2; i < device.size(); ++i) {
            Point a = device[i - 2], b = device[i - 1];
            const Point c = device[i];
            if ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) > 0) std::swap(a, b);
            cairo_move_to(cr, a.x, a.y);
            cairo_line_to(cr, b.x, b.y);
            cairo_line_to(cr, c.x, c.y);
            cairo_close_path(cr);
        }
        Pattern shade(Shade(strip, device, from, to));
        if (shade)
            cairo_set_source(cr, shade.get());
        else
            SetColour(cr, from);
        cairo_fill(cr);
    }

    void Arrowhead(Point tip, double degrees, double length, double halfHeight,
                   const ColourRecord& colour) override {
        const double c = std::cos(degrees * kDegreesToRadians);
        const double s = std::sin(degrees * kDegreesToRadians);
        const auto corner = [&](double x, double y) {
            return Point{tip.x + c * x - s * y, tip.y + s * x + c * y};
        };
        Path({tip, corner(-length, -halfHeight), corner(-length, halfHeight)});
        cairo_close_path(cr);
        SetColour(cr, colour);
        cairo_fill(cr);
    }

    void Dot(Point centre, double radius, const ColourRecord& colour) override {
        const Point at = Device(centre);
        const Frame& f = frames.back();
        cairo_save(cr);
        cairo_translate(cr, at.x, at.y);
        cairo_scale(cr, radius * f.sx * view::kScaleX * scale,
                    radius * f.sy * view::kScaleY * scale);
        cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * 3.14159265358979323846);
        cairo_restore(cr);
        SetColour(cr, colour);
        cairo_fill(cr);
    }

    void Text(Point at, const std::wstring& text, double height,
              const ColourRecord& colour) override {
        const Point p = Device(at);
        cairo_set_font_size(cr, height * frames.back().sy * view::kScaleY * scale);
        cairo_move_to(cr, p.x, p.y);
        SetColour(cr, colour);
        cairo_show_text(cr, Utf8(text).c_str());
        cairo_new_path(cr);
    }

  private:
    Point Device(Point p) const {
        const Frame& f = frames.back();
        return {(f.x + f.sx * p.x) * view::kScaleX * scale,
                (view::kLayoutHeight - (f.y + f.sy * p.y)) * view::kScaleY * scale};
    }

    void Path(const std::vector<Point>& points) {
        for (const Point& p : points) {
            const Point d = Device(p);
            cairo_line_to(cr, d.x, d.y);
        }
    }

    void Stroke(double width, const ColourRecord& colour) {
        cairo_set_line_width(cr, width * scale);
        SetColour(cr, colour);
        cairo_stroke(cr);
    }

    // The linear gradient for t = a + b x + c y over the device points, or
    // none when the strip is of one colour.
    static cairo_pattern_t* Shade(const std::vector<ShadedPoint>& strip,
                                  const std::vector<Point>& device, const ColourRecord& from,
                                  const ColourRecord& to) {
        // Normal equations of the least-squares plane, about the centroid
        // so they stay well conditioned.
        double mx = 0, my = 0, mt = 0;
        const double n = static_cast<double>(strip.size());
        for (std::size_t i = 0; i < strip.size(); ++i) {
            mx += device[i].x / n;
            my += device[i].y / n;
            mt += strip[i].t / n;
        }
        double sxx = 0, sxy = 0, syy = 0, sxt = 0, syt = 0, stt = 0;
        for (std::size_t i = 0; i < strip.size(); ++i) {
            const double x = device[i].x - mx, y = device[i].y - my, t = strip[i].t - mt;
            sxx += x * x, sxy += x * y, syy += y * y, sxt += x * t, syt += y * t, stt += t * t;
        }
        const double det = sxx * syy - sxy * sxy;
        if (stt < 1e-12 || std::abs(det) < 1e-12) return nullptr;
        const double b = (sxt * syy - syt * sxy) / det;
        const double c = (syt * sxx - sxt * sxy) / det;
        const double g2 = b * b + c * c;
        if (g2 < 1e-18) return nullptr;
        // t = mt + b (x - mx) + c (y - my): t is 0 and 1 at these points.
        const double x0 = mx - mt * b / g2, y0 = my - mt * c / g2;
        cairo_pattern_t* pattern = cairo_pattern_create_linear(x0, y0, x0 + b / g2, y0 + c / g2);
        cairo_pattern_add_color_stop_rgba(pattern, 0.0, from.r, from.g, from.b, from.a);
        cairo_pattern_add_color_stop_rgba(pattern, 1.0, to.r, to.g, to.b, to.a);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        return pattern;
    }

    cairo_t* cr;
    double scale;
    std::vector<Frame> frames{Frame{}};
};

// A file written through stdio, reporting the system's reason when any
// write or the close fails, and removed again when not complete.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path) : path(path), file(std::fopen(path.c_str(), "wb")) {
        if (file == nullptr) failure = errno;
    }
    ~OutputFile() {
        if (file != nullptr) std::fclose(file);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* Stream() const { return file; }
    bool Write(const unsigned char* data, unsigned int length) {
        if (failure == 0 && std::fwrite(data, 1, length, file) != length) failure = errno;
        return failure == 0;
    }

    // Flushes and closes; on any failure takes away a half-written regular
    // file (never a device) and gives the reason.
    bool Close(std::string* error, const std::string& encoderMessage = std::string()) {
        if (file != nullptr) {
            if (failure == 0 && (std::fflush(file) != 0 || std::ferror(file) != 0))
                failure = errno ? errno : EIO;
            if (std::fclose(file) != 0 && failure == 0) failure = errno;
            file = nullptr;
        }
        if (failure == 0 && encoderMessage.empty()) return true;
        if (error != nullptr)
            *error = path + ": " + (failure != 0 ? std::strerror(failure) : encoderMessage);
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(path.c_str());
        return false;
    }

    int failure = 0;

  private:
    std::string path;
    std::FILE* file;
};

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
    return static_cast<OutputFile*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS
                                                                  : CAIRO_STATUS_WRITE_ERROR;
}

void Draw(cairo_surface_t* surface, const Simulator& sim, const DisplayOptions& options,
          const ColourTable& colours, double scale, const std::vector<const Component*>& marks) {
    Context cr(cairo_create(surface));
    CairoPainter painter(cr.get(), scale);
    DrawDatapath(painter, sim, options, colours, scale);
    DrawStaleReadMarks(painter, marks);
}

bool WritePng(const std::string& path, cairo_surface_t* surface, std::string* error) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * kRgb);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, data + static_cast<std::size_t>(y) * stride + x * 4, 4);
            unsigned char* out = &rgb[(static_cast<std::size_t>(y) * width + x) * kRgb];
            out[0] = static_cast<unsigned char>(pixel >> 16);
            out[1] = static_cast<unsigned char>(pixel >> 8);
            out[2] = static_cast<unsigned char>(pixel);
        }
    }
    OutputFile file(path);
    if (file.Stream() == nullptr) return file.Close(error);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const bool encoded =
        png_image_write_to_stdio(&image, file.Stream(), 0, rgb.data(), width * kRgb, nullptr) != 0;
    const std::string message = encoded ? std::string() : image.message;
    png_image_free(&image);
    return file.Close(error, message);
}

bool WriteSvg(const std::string& path, const Simulator& sim, const DisplayOptions& options,
              const ColourTable& colours, double scale, std::string* error,
              const std::vector<const Component*>& marks) {
    OutputFile file(path);
    if (file.Stream() == nullptr) return file.Close(error);
    Surface surface(cairo_svg_surface_create_for_stream(WriteToFile, &file, PictureWidth(scale),
                                                        PictureHeight(scale)));
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    Draw(surface.get(), sim, options, colours, scale, marks);
    cairo_surface_finish(surface.get());
    const cairo_status_t status = cairo_surface_status(surface.get());
    return file.Close(error, status == CAIRO_STATUS_SUCCESS || file.failure != 0
                                 ? std::string()
                                 : cairo_status_to_string(status));
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t ch : text) {
        auto code = static_cast<std::uint32_t>(ch);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = '?';
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

TextImage RasteriseText(const std::wstring& text, double pixelHeight, const ColourRecord& colour) {
    const std::string utf8 = Utf8(text);
    // Measure on a scratch surface, then draw into one just large enough.
    Surface scratch(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
    Context measure(cairo_create(scratch.get()));
    cairo_select_font_face(measure.get(), kLabelFont, CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(measure.get(), pixelHeight);
    cairo_text_extents_t extents;
    cairo_text_extents(measure.get(), utf8.c_str(), &extents);
    TextImage image;
    const int left = static_cast<int>(std::floor(extents.x_bearing)) - 1;
    const int top = static_cast<int>(std::floor(extents.y_bearing)) - 1;
    image.width = static_cast<int>(std::ceil(extents.x_bearing + extents.width)) - left + 1;
    image.height = static_cast<int>(std::ceil(extents.y_bearing + extents.height)) - top + 1;
    if (extents.width <= 0 || extents.height <= 0) return TextImage{};

    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_A8, image.width, image.height));
    Context cr(cairo_create(surface.get()));
    cairo_select_font_face(cr.get(), kLabelFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), pixelHeight);
    cairo_move_to(cr.get(), -left, -top);
    cairo_show_text(cr.get(), utf8.c_str());
    cairo_surface_flush(surface.get());

    // The pen starts `-left` pixels from the left and `-top` rows from the
    // top; rows are turned over for OpenGL.
    image.originX = -left;
    image.originY = image.height + top;
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* coverage = cairo_image_surface_get_data(surface.get());
    const auto byte = [](float v) {
        return static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255));
    };
    image.rgba.resize(static_cast<std::size_t>(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
        const unsigned char* row =
            coverage + static_cast<std::size_t>(image.height - 1 - y) * stride;
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* out = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            out[0] = byte(colour.r);
            out[1] = byte(colour.g);
            out[2] = byte(colour.b);
            out[3] = static_cast<std::uint8_t>(std::lround(row[x] * std::fmin(colour.a, 1.0f)));
        }
    }
    return image;
}

int PictureWidth(double scale) {
    return static_cast<int>(std::lround(view::kPixelWidth * scale));
}
int PictureHeight(double scale) {
    return static_cast<int>(std::lround(view::kPixelHeight * scale));
}

bool ExportPicture(const Simulator& sim, const DisplayOptions& options, const ColourTable& colours,
                   const std::string& path, PictureFormat format, double scale,
                   std::string* error, const std::vector<const Component*>& staleReads) {
    if (!(scale >= kSmallestPictureScale && scale <= kLargestPictureScale)) {
        if (error != nullptr) *error = "the picture's scale must be from 0.25 to 4";
        return false;
    }
    if (format == PictureFormat::Svg)
        return WriteSvg(path, sim, options, colours, scale, error, staleReads);
    Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, PictureWidth(scale), PictureHeight(scale)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        if (error != nullptr)
            *error = path + ": " + cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }
    Draw(surface.get(), sim, options, colours, scale, staleReads);
    return WritePng(path, surface.get(), error);
}

}  // namespace tandrel
