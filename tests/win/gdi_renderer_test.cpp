// The GDI page renderer drawn into a bitmap at ten twips to the pixel and read back pixel by
// pixel: filled and outlined boxes, thick lines, text standing on its baseline, a picture
// whose transparent half shows what lies under it, and the DC handed back as it was given;
// and a composed table page drawn where poppler draws the same page from its PDF.
#include "print/gdi_renderer.h"

#include "com/handles.h"
#include "print/print_document.h"
#include "win_support.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace tarn::test {
namespace {

constexpr int kSide = 400;
constexpr pages::Colour kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00, kYellow = 0x00FFFF;

struct Canvas {
    unique_hdc dc{CreateCompatibleDC(nullptr)};
    int width, height;
    std::uint32_t* pixels = nullptr;  // 0x00RRGGBB, top-down
    unique_hbitmap bitmap;
    explicit Canvas(int w = kSide, int h = kSide) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap.reset(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + width * height, 0xFFFFFFu);
        SelectObject(dc.get(), bitmap.get());
    }
    // As a COLORREF, to compare with the page's colours.
    pages::Colour At(int x, int y) const {
        const std::uint32_t p = pixels[y * width + x];
        return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    }
    Bgra Pixel(int x, int y) const {
        const std::uint32_t p = pixels[y * width + x];
        return {static_cast<std::uint8_t>(p & 0xFF), static_cast<std::uint8_t>((p >> 8) & 0xFF),
                static_cast<std::uint8_t>((p >> 16) & 0xFF)};
    }
};

TEST(GdiRendererTest, DrawsEveryOperationWhereTheMappingPutsItAndRestoresTheDc) {
    auto picture = std::make_shared<pages::PictureData>();
    picture->width = 2;
    picture->height = 1;
    picture->hasAlpha = true;
    picture->bgra = {0, 0, 0, 255, 255, 255, 255, 0};  // opaque black, then fully transparent

    pages::Page page;
    page.ops.push_back(pages::Box{0, 0, 1000, 500, kRed, kBlue, 10});
    page.ops.push_back(pages::Line{0, 1000, 2000, 1000, kGreen, 30});
    page.ops.push_back(pages::Box{0, 1500, 2000, 500, kYellow, std::nullopt});
    page.ops.push_back(pages::PictureBox{0, 1500, 2000, 500, picture});
    pages::TextRun text;
    text.baseline = 3000;
    text.font.size = 30;  // Arial
    text.text = L"HHHH";
    page.ops.push_back(text);

    Canvas canvas;
    const HGDIOBJ fontBefore = GetCurrentObject(canvas.dc.get(), OBJ_FONT);
    const UINT alignBefore = GetTextAlign(canvas.dc.get());
    pages::RenderPage(canvas.dc.get(), page, {10, 10, 0.1, 0.1});
    GdiFlush();

    EXPECT_EQ(canvas.At(60, 35), kRed);
    EXPECT_EQ(canvas.At(10, 35), kBlue) << "the outline on the box's left edge";
    EXPECT_EQ(canvas.At(60, 10), kBlue);
    EXPECT_EQ(canvas.At(5, 35), 0xFFFFFFu) << "nothing left of the page's origin";
    for (int y : {109, 110}) EXPECT_EQ(canvas.At(100, y), kGreen) << y;
    EXPECT_EQ(canvas.At(100, 106), 0xFFFFFFu) << "a 3-pixel line is no thicker";
    EXPECT_EQ(canvas.At(40, 185), 0u) << "the opaque half of the picture";
    EXPECT_EQ(canvas.At(170, 185), kYellow) << "the transparent half shows the box under it";

    // Capital H stands on the baseline (y 310) and rises about 0.7 em (30 pt = 60 px here).
    int top = kSide, bottom = -1;
    for (int y = 220; y < kSide; ++y)
        for (int x = 10; x < 200; ++x)
            if (canvas.At(x, y) == 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_NEAR(bottom, 309, 1);
    EXPECT_NEAR(bottom - top, 43, 4);

    EXPECT_EQ(GetCurrentObject(canvas.dc.get(), OBJ_FONT), fontBefore);
    EXPECT_EQ(GetTextAlign(canvas.dc.get()), alignBefore);
}

// Left, top, right and bottom of the pixels `is` picks, -1s when none.
template <class Pixel>
std::array<int, 4> Extent(int width, int height, Pixel&& is) {
    std::array<int, 4> box{width, height, -1, -1};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (is(x, y)) box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box[2] < 0 ? std::array<int, 4>{-1, -1, -1, -1} : box;
}

void ExpectNear(const std::array<int, 4>& a, const std::array<int, 4>& b, int tolerance, const char* what) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << what << " edge " << i;
}

// The sample grid's first page drawn by the renderer at 96 DPI lies where poppler draws the
// PDF export of the same grid: its fixed row's fill and its ink, edge for edge.
using RendererPdfTest = ComTest;

TEST_F(RendererPdfTest, TheRendererDrawsAComposedPageWherePopplerDrawsItsPdf) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"grid.pdf"});
    ASSERT_TRUE(ExportTable(exporter.Get(), grid.object()));
    const ReadBack poppler = PopplerFirstPage(folder / L"grid.pdf", 96);
    ASSERT_TRUE(poppler.ok);

    const std::vector<pages::Page> pages = ComposePages({}, {.kind = PrintContentKind::Table, .table = grid.object()});
    ASSERT_EQ(poppler.width, pages[0].width * 96 / 1440);
    Canvas canvas(poppler.width, poppler.height);
    pages::RenderPage(canvas.dc.get(), pages[0], {0, 0, 96.0 / 1440, 96.0 / 1440});
    GdiFlush();

    const Bgra fixedFill{0xF0, 0xE4, 0xD8};
    ExpectNear(
        Extent(poppler.width, poppler.height, [&](int x, int y) { return Near(canvas.Pixel(x, y), fixedFill, 8); }),
        Extent(poppler.width, poppler.height, [&](int x, int y) { return Near(poppler.at(x, y), fixedFill, 8); }), 2,
        "fixed cells");
    const auto dark = [](Bgra p) { return p.r + p.g + p.b < 300; };
    ExpectNear(Extent(poppler.width, poppler.height, [&](int x, int y) { return dark(canvas.Pixel(x, y)); }),
               Extent(poppler.width, poppler.height, [&](int x, int y) { return dark(poppler.at(x, y)); }), 3, "ink");
}

}  // namespace
}  // namespace tarn::test
