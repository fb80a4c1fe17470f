// GIF palettes: exact colours and no dithering for pictures of few colours, an optimised
// palette with dithering for photographs, clean flat areas either way, and the reserved
// transparent slot.
#include "imaging/image_palette.h"
#include "imaging/palette_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <set>

namespace tarn {
namespace {

Bgra Pixel(int r, int g, int b) {
    return Bgra{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 255};
}
Rgb ColourAt(const IndexedImage& out, int x, int y) {
    return out.palette[out.indices[static_cast<std::size_t>(y) * out.width + x]];
}
bool Same(Rgb a, Bgra b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A table screenshot: `colours` cell fills, a grid, and one-pixel "text" strokes.
Image TableLike(int colours) {
    Image image(160, 120, Pixel(255, 255, 255));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int cell = (y / 8) * 20 + x / 8;
            if (x % 8 == 0 || y % 8 == 0)
                image.at(x, y) = Pixel(128, 128, 128);
            else if (cell % 3 == 1 && y % 8 == 4 && x % 8 > 1)
                image.at(x, y) = Pixel(0, 0, 0);
            else
                image.at(x, y) = Pixel((cell % (colours - 3)) * 7 % 256, (cell % (colours - 3)) * 3, 200);
        }
    return image;
}

// A photograph stand-in: smooth colour gradients with sensor noise, tens of thousands of colours.
Image PhotoLike(int w, int h) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 4.0);
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto c = [&](double v) { return std::clamp(static_cast<int>(std::lround(v + noise(random))), 0, 255); };
            image.at(x, y) =
                Pixel(c(255.0 * x / w), c(128 + 100 * std::sin(y * 0.05)), c(255.0 * (w - x) * y / (w * h)));
        }
    return image;
}

TEST(ImagePalette, FewColoursAreKeptExactlyWithoutDithering) {
    Image all256(256, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x) all256.at(x, y) = Pixel(x, 255 - x, (x * 37) % 256);
    Image two(7, 5, Pixel(0, 0, 0));
    two.at(3, 3) = Pixel(255, 255, 255);
    for (const Image& image : {two, TableLike(5), TableLike(60), all256}) {
        SCOPED_TRACE(image.width());
        const IndexedImage out = ToIndexed(image);
        EXPECT_FALSE(out.dithered);
        EXPECT_FALSE(out.transparentIndex);
        ASSERT_LE(out.palette.size(), 256u);
        std::set<std::uint32_t> distinct;
        for (const Bgra p : image.pixels()) distinct.insert(p.r << 16 | p.g << 8 | p.b);
        EXPECT_EQ(out.palette.size(), distinct.size()) << "no duplicate or unused entries";
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_TRUE(Same(ColourAt(out, x, y), image.at(x, y))) << x << "," << y;
    }
}

TEST(ImagePalette, PhotographGetsAnOptimisedDitheredPalette) {
    const Image image = PhotoLike(240, 160);
    const IndexedImage out = ToIndexed(image);
    EXPECT_TRUE(out.dithered);
    EXPECT_LE(out.palette.size(), 256u);
    EXPECT_GT(out.palette.size(), 200u) << "the palette should be used, not left half empty";
    // Per pixel the error is bounded; averaged over 4x4 blocks (what the eye sees) it is
    // small, because dithering carries each pixel's error to its neighbours.
    double pixelError = 0, blockError = 0;
    int blocks = 0;
    for (int by = 0; by < image.height(); by += 4)
        for (int bx = 0; bx < image.width(); bx += 4) {
            double sum[2][3] = {};
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x) {
                    const Bgra p = image.at(x, y);
                    const Rgb q = ColourAt(out, x, y);
                    const int in[3] = {p.r, p.g, p.b}, got[3] = {q.r, q.g, q.b};
                    for (int k = 0; k < 3; ++k) {
                        sum[0][k] += in[k];
                        sum[1][k] += got[k];
                        pixelError += std::abs(in[k] - got[k]);
                    }
                }
            for (int k = 0; k < 3; ++k) blockError += std::abs(sum[0][k] - sum[1][k]) / 16;
            ++blocks;
        }
    pixelError /= 3.0 * image.width() * image.height();
    blockError /= 3.0 * blocks;
    EXPECT_LT(pixelError, 8.0);
    EXPECT_LT(blockError, 1.5);
}

TEST(ImagePalette, TransparentColourTakesTheReservedSlotOnly) {
    auto check = [](const Image& image, bool expectDither) {
        const IndexedImage out = ToIndexed(image, kTransparentMagenta);
        EXPECT_EQ(out.dithered, expectDither);
        ASSERT_TRUE(out.transparentIndex);
        const std::uint8_t clear = *out.transparentIndex;
        EXPECT_TRUE(out.palette[clear] == kTransparentMagenta) << "shown as drawn by readers without transparency";
        for (std::size_t i = 0; i < image.pixels().size(); ++i) {
            const Bgra p = image.pixels()[i];
            const bool isClear = p.a == 0 || (p.r == 255 && p.g == 0 && p.b == 255);
            ASSERT_EQ(out.indices[i] == clear, isClear) << i;
        }
    };
    // Exact path: a fully transparent pixel. (Magenta beside near-magenta on this path is read
    // back by WIC in tests/win/image_service_test.cpp.)
    Image cell = TableLike(40);
    cell.at(42, 5) = Bgra{0, 0, 0, 0};
    check(cell, false);
    // Optimised path: a magenta-ish photograph with magenta holes.
    Image photo = PhotoLike(120, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            if ((x / 10 + y / 10) % 2)
                photo.at(x, y) = Pixel(255, 0, 255);
            else if (x % 7 == 0)
                photo.at(x, y) = Pixel(250, 5, 250);
        }
    check(photo, true);
}

TEST(ImagePalette, ColourCountBoundaryWithAndWithoutTransparentSlot) {
    Image image(255, 2);
    for (int x = 0; x < 255; ++x) image.at(x, 0) = image.at(x, 1) = Pixel(x, x / 2, 0);
    image.at(0, 1) = Pixel(255, 0, 255);
    EXPECT_FALSE(ToIndexed(image, kTransparentMagenta).dithered) << "255 colours and the transparent slot fit";
    image.at(1, 1) = Pixel(1, 2, 3);
    EXPECT_TRUE(ToIndexed(image, kTransparentMagenta).dithered) << "256 colours and a transparent slot do not";
    const IndexedImage out = ToIndexed(image, kTransparentMagenta);
    EXPECT_LE(out.palette.size(), 256u);
}

TEST(PaletteSearch, FindsTheTrueNearestColour) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20; ++round) {
        std::vector<Rgb> palette(1 + round * 13);
        for (Rgb& c : palette)
            c = Rgb{static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                    static_cast<std::uint8_t>(byte(random))};
        const int excluded = round % 2 ? 0 : -1;
        if (excluded == 0 && palette.size() == 1) continue;
        PaletteSearch search(palette, excluded);
        for (int probe = 0; probe < 2000; ++probe) {
            const int r = byte(random), g = byte(random), b = byte(random);
            int best = INT_MAX;
            for (std::size_t i = 0; i < palette.size(); ++i) {
                if (static_cast<int>(i) == excluded) continue;
                best = std::min(best, WeightedDistance(palette[i].r - r, palette[i].g - g, palette[i].b - b));
            }
            const int found = search.Nearest(r, g, b);
            ASSERT_NE(found, excluded);
            const Rgb f = palette[found];
            ASSERT_EQ(WeightedDistance(f.r - r, f.g - g, f.b - b), best) << round << " " << probe;
        }
    }
}

}  // namespace
}  // namespace tarn
