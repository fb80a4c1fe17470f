// The pages every printed and PDF document is made of. A composer produces pages; a
// renderer (PDF file, printer, preview) draws them, one at a time, so a document never has
// to be held whole. All positions and sizes are in twips (1/1440 inch) from the page's top
// left corner, y growing downwards. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarn::pages {

constexpr int kTwipsPerInch = 1440;
constexpr int kTwipsPerPoint = 20;

// Windows COLORREF: 0x00BBGGRR.
using Colour = std::uint32_t;

struct FontSpec {
    std::wstring name = L"Arial";
    double size = 10;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;

    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// One line of text in one font, starting at (x, baseline).
struct TextRun {
    int x = 0;
    int baseline = 0;
    FontSpec font;
    Colour colour = 0;
    std::wstring text;
};

// A rectangle, filled, outlined or both.
struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    std::optional<Colour> fill;
    std::optional<Colour> outline;
    int outlineWidth = 15;  // twips
};

struct Line {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Colour colour = 0;
    int width = 15;  // twips
};

// Picture data, shared by every page that shows it. Raster pixels are top-down rows of
// 8-bit B, G, R, A; JPEG data is kept as it came so a renderer can pass it through; a
// metafile (enhanced metafile bytes) also carries a raster rendering for renderers that
// cannot play it.
struct PictureData {
    unsigned width = 0;   // pixels
    unsigned height = 0;  // pixels
    std::vector<std::uint8_t> bgra;  // width * height * 4 bytes, or empty for JPEG-only
    std::string jpeg;                // the JPEG file, when the picture came from one
    std::string metafile;            // the enhanced metafile, when the picture came from one
    bool hasAlpha = false;
};

// A picture stretched into a box.
struct PictureBox {
    int x = 0, y = 0, width = 0, height = 0;
    std::shared_ptr<const PictureData> picture;
};

using DrawOp = std::variant<TextRun, Box, Line, PictureBox>;

enum class Orientation : std::uint8_t { Portrait, Landscape };

struct Page {
    int width = 12240;   // twips (8.5 in)
    int height = 15840;  // twips (11 in)
    std::vector<DrawOp> ops;  // drawn in order
};

// Text measurement, the same for composition and every renderer: the platform's font API
// on Windows, the font files themselves elsewhere.
class FontMetrics {
public:
    virtual ~FontMetrics() = default;
    // Advance width of `text` in twips.
    [[nodiscard]] virtual double TextWidth(const FontSpec& font, std::wstring_view text) = 0;
    // Distance from the baseline up to the top of the line, and down to its bottom, in twips.
    [[nodiscard]] virtual double Ascent(const FontSpec& font) = 0;
    [[nodiscard]] virtual double Descent(const FontSpec& font) = 0;
};

// Where finished pages go, in order.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void AddPage(Page page) = 0;
};

}  // namespace tarn::pages
