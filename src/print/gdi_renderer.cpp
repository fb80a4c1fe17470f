// GDI drawing of the page model. Fonts, pens and brushes are made once per page and kept in
// small caches for the page, since a table page repeats a handful of them a thousand times;
// they are deleted only after the DC's state is restored, when none is selected any more.
#include "print/gdi_renderer.h"

#include "com/handles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

namespace tarn::pages {

namespace {

using unique_hgdiobj = unique_any<HGDIOBJ, &DeleteObject>;

struct DeviceRect {
    int left, top, right, bottom;
    int width() const noexcept { return right - left; }
    int height() const noexcept { return bottom - top; }
};

// Every op of a page, drawn on one DC with one mapping.
class PagePainter {
public:
    PagePainter(HDC dc, const DeviceMapping& mapping) : dc_(dc), m_(mapping) {}

    void operator()(const TextRun& run);
    void operator()(const Box& box);
    void operator()(const Line& line);
    void operator()(const PictureBox& picture);

private:
    int X(double twips) const noexcept { return static_cast<int>(std::lround(m_.originX + twips * m_.scaleX)); }
    int Y(double twips) const noexcept { return static_cast<int>(std::lround(m_.originY + twips * m_.scaleY)); }
    DeviceRect Rect(int x, int y, int width, int height) const noexcept {
        return {X(x), Y(y), X(static_cast<double>(x) + width), Y(static_cast<double>(y) + height)};
    }
    // A pen width in device units, never thinner than one.
    int PenWidth(int twips) const noexcept {
        return std::max(1, static_cast<int>(std::lround(twips * std::min(m_.scaleX, m_.scaleY))));
    }
    HFONT Font(const FontSpec& spec);
    HBRUSH Brush(Colour colour);
    HPEN Pen(Colour colour, int width);
    void DrawPixels(const PictureData& picture, const DeviceRect& target);
    void BlendPixels(const PictureData& picture, const DeviceRect& target);

    HDC dc_;
    DeviceMapping m_;
    std::vector<std::pair<FontSpec, unique_hgdiobj>> fonts_;
    std::map<Colour, unique_hgdiobj> brushes_;
    std::map<std::pair<Colour, int>, unique_hgdiobj> pens_;
};

HFONT PagePainter::Font(const FontSpec& spec) {
    for (const auto& [known, font] : fonts_)
        if (known == spec) return static_cast<HFONT>(font.get());
    // The em height in device units: a negative height asks for the character height.
    const int height = -std::max(1, static_cast<int>(std::lround(spec.size * kTwipsPerPoint * m_.scaleY)));
    const int width =
        m_.scaleX == m_.scaleY ? 0 : static_cast<int>(std::lround(spec.size * kTwipsPerPoint * m_.scaleX / 2));
    HFONT font = CreateFontW(height, width, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, spec.italic, spec.underline, FALSE,
                             DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                             spec.name.c_str());
    fonts_.emplace_back(spec, unique_hgdiobj(font));
    return font;
}

HBRUSH PagePainter::Brush(Colour colour) {
    auto& brush = brushes_[colour];
    if (!brush) brush.reset(CreateSolidBrush(colour));
    return static_cast<HBRUSH>(brush.get());
}

HPEN PagePainter::Pen(Colour colour, int width) {
    auto& pen = pens_[{colour, width}];
    if (!pen) {
        if (width <= 1) {
            pen.reset(CreatePen(PS_SOLID, 1, colour));
        } else {
            const LOGBRUSH brush{BS_SOLID, colour, 0};
            pen.reset(
                ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, width, &brush, 0, nullptr));
        }
    }
    return static_cast<HPEN>(pen.get());
}

void PagePainter::operator()(const TextRun& run) {
    if (run.text.empty()) return;
    SelectObject(dc_, Font(run.font));
    SetTextColor(dc_, run.colour);
    ExtTextOutW(dc_, X(run.x), Y(run.baseline), 0, nullptr, run.text.data(), static_cast<UINT>(run.text.size()),
                nullptr);
}

void PagePainter::operator()(const Box& box) {
    const DeviceRect r = Rect(box.x, box.y, box.width, box.height);
    if (box.fill) {
        const RECT fill{r.left, r.top, std::max(r.right, r.left + 1), std::max(r.bottom, r.top + 1)};
        FillRect(dc_, &fill, Brush(*box.fill));
    }
    if (box.outline) {
        SelectObject(dc_, Pen(*box.outline, PenWidth(box.outlineWidth)));
        SelectObject(dc_, GetStockObject(NULL_BRUSH));
        Rectangle(dc_, r.left, r.top, std::max(r.right, r.left + 1), std::max(r.bottom, r.top + 1));
    }
}

void PagePainter::operator()(const Line& line) {
    SelectObject(dc_, Pen(line.colour, PenWidth(line.width)));
    const int x1 = X(line.x1), y1 = Y(line.y1), x2 = X(line.x2), y2 = Y(line.y2);
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
    // LineTo leaves out the end point; a one-pixel pen would lose the corner of a grid.
    if (PenWidth(line.width) == 1) SetPixelV(dc_, x2, y2, line.colour);
}

void PagePainter::operator()(const PictureBox& box) {
    if (!box.picture) return;
    const PictureData& picture = *box.picture;
    const DeviceRect target = Rect(box.x, box.y, box.width, box.height);
    if (target.width() <= 0 || target.height() <= 0) return;
    if (!picture.metafile.empty()) {
        const unique_henhmetafile metafile(SetEnhMetaFileBits(static_cast<UINT>(picture.metafile.size()),
                                                              reinterpret_cast<const BYTE*>(picture.metafile.data())));
        if (metafile) {
            const RECT frame{target.left, target.top, target.right, target.bottom};
            // A metafile may leave its own state behind: keep it to this picture.
            const int saved = SaveDC(dc_);
            const bool played = PlayEnhMetaFile(dc_, metafile.get(), &frame);
            RestoreDC(dc_, saved);
            if (played) return;
        }
    }
    if (picture.bgra.size() < static_cast<std::size_t>(picture.width) * picture.height * 4 || picture.width == 0 ||
        picture.height == 0)
        return;
    if (picture.hasAlpha)
        BlendPixels(picture, target);
    else
        DrawPixels(picture, target);
}

BITMAPINFO TopDownInfo(const PictureData& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(picture.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(picture.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void PagePainter::DrawPixels(const PictureData& picture, const DeviceRect& target) {
    const BITMAPINFO info = TopDownInfo(picture);
    // Averaging makes a reduced picture smooth but an enlarged one blurred.
    const bool reduced = target.width() < static_cast<int>(picture.width);
    SetStretchBltMode(dc_, reduced ? HALFTONE : COLORONCOLOR);
    if (reduced) SetBrushOrgEx(dc_, 0, 0, nullptr);
    StretchDIBits(dc_, target.left, target.top, target.width(), target.height(), 0, 0, static_cast<int>(picture.width),
                  static_cast<int>(picture.height), picture.bgra.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

// Blended over what is already drawn on screens and bitmaps; printers, whose drivers often
// cannot blend, get the picture laid over white, which is the paper under it.
void PagePainter::BlendPixels(const PictureData& picture, const DeviceRect& target) {
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    const bool canBlend = GetDeviceCaps(dc_, TECHNOLOGY) != DT_RASPRINTER;
    if (canBlend) {
        const BITMAPINFO info = TopDownInfo(picture);
        void* bits = nullptr;
        const unique_hbitmap bitmap(CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const unique_hdc memory(CreateCompatibleDC(dc_));
        if (bitmap && memory && bits) {
            auto* out = static_cast<std::uint8_t*>(bits);
            for (std::size_t i = 0; i < count * 4; i += 4) {
                const unsigned a = picture.bgra[i + 3];
                for (int c = 0; c < 3; ++c)
                    out[i + c] = static_cast<std::uint8_t>((picture.bgra[i + c] * a + 127) / 255);
                out[i + 3] = static_cast<std::uint8_t>(a);
            }
            const unique_select_object selected(memory.get(), bitmap.get());
            const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            if (AlphaBlend(dc_, target.left, target.top, target.width(), target.height(), memory.get(), 0, 0,
                           static_cast<int>(picture.width), static_cast<int>(picture.height), blend))
                return;
        }
    }
    PictureData onWhite;
    onWhite.width = picture.width;
    onWhite.height = picture.height;
    onWhite.bgra.resize(count * 4);
    for (std::size_t i = 0; i < count * 4; i += 4) {
        const unsigned a = picture.bgra[i + 3];
        for (int c = 0; c < 3; ++c)
            onWhite.bgra[i + c] = static_cast<std::uint8_t>((picture.bgra[i + c] * a + 255 * (255 - a) + 127) / 255);
        onWhite.bgra[i + 3] = 255;
    }
    DrawPixels(onWhite, target);
}

}  // namespace

DeviceMapping PrinterMapping(HDC printerDc) {
    DeviceMapping mapping;
    mapping.scaleX = GetDeviceCaps(printerDc, LOGPIXELSX) / static_cast<double>(kTwipsPerInch);
    mapping.scaleY = GetDeviceCaps(printerDc, LOGPIXELSY) / static_cast<double>(kTwipsPerInch);
    // The DC's origin is the corner of the printable area, inside the paper's edge.
    mapping.originX = -GetDeviceCaps(printerDc, PHYSICALOFFSETX);
    mapping.originY = -GetDeviceCaps(printerDc, PHYSICALOFFSETY);
    return mapping;
}

DeviceMapping ScreenMapping(HDC screenDc, int x, int y, double zoomPercent) {
    DeviceMapping mapping;
    mapping.originX = x;
    mapping.originY = y;
    mapping.scaleX = GetDeviceCaps(screenDc, LOGPIXELSX) * zoomPercent / 100.0 / kTwipsPerInch;
    mapping.scaleY = GetDeviceCaps(screenDc, LOGPIXELSY) * zoomPercent / 100.0 / kTwipsPerInch;
    return mapping;
}

void RenderPage(HDC dc, const Page& page, const DeviceMapping& mapping) {
    PagePainter painter(dc, mapping);  // outlives the saved state, so nothing it made is still selected
    const int saved = SaveDC(dc);
    const ScopeExit restore([&] { RestoreDC(dc, saved); });
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SetMapMode(dc, MM_TEXT);
    for (const DrawOp& op : page.ops) std::visit(painter, op);
}

}  // namespace tarn::pages
