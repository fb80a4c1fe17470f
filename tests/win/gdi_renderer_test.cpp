// The GDI page renderer drawn into a bitmap at ten twips to the pixel and read back pixel by
// pixel: filled and outlined boxes, thick lines, text standing on its baseline, a picture
// whose transparent half shows what lies under it, and the DC handed back as it was given.
#include "print/gdi_renderer.h"

#include "com/handles.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarn::test {
namespace {

constexpr int kSide = 400;
constexpr pages::Colour kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00, kYellow = 0x00FFFF;

struct Canvas {
    unique_hdc dc{CreateCompatibleDC(nullptr)};
    std::uint32_t* pixels = nullptr;  // 0x00RRGGBB, top-down
    unique_hbitmap bitmap;
    Canvas() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kSide;
        info.bmiHeader.biHeight = -kSide;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap.reset(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + kSide * kSide, 0xFFFFFFu);
        SelectObject(dc.get(), bitmap.get());
    }
    // As a COLORREF, to compare with the page's colours.
    pages::Colour At(int x, int y) const {
        const std::uint32_t p = pixels[y * kSide + x];
        return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
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

}  // namespace
}  // namespace tarn::test
