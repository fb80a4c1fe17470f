// Resampling: output sizes, flat colours up to the borders, averaging when shrinking,
// degenerate one-pixel pictures, overshoot clamping, and alpha that lends no colour.
#include "imaging/image_resample.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarn {
namespace {

Image Checkerboard(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.at(x, y) = (x + y) % 2 ? Bgra{255, 255, 255, 255} : Bgra{0, 0, 0, 255};
    return image;
}

void ExpectAll(const Image& image, Bgra expected, const char* what) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Bgra p = image.at(x, y);
            ASSERT_TRUE(p == expected) << what << " at " << x << "," << y << ": " << int(p.b) << " " << int(p.g) << " "
                                       << int(p.r) << " " << int(p.a);
        }
}

TEST(ImageResample, FlatColourStaysFlatToTheBordersAtAnyRatio) {
    const Bgra teal{128, 128, 0, 255};
    const Image source(37, 23, teal);
    const int sizes[][2] = {{37, 23}, {10, 7}, {100, 61}, {1, 1}, {74, 5}, {3, 90}, {36, 24}};
    for (const auto& s : sizes) {
        const Image out = Resample(source, s[0], s[1]);
        ASSERT_EQ(out.width(), s[0]);
        ASSERT_EQ(out.height(), s[1]);
        ExpectAll(out, teal, "flat");
    }
    const Bgra halfRed{0, 0, 255, 128};
    ExpectAll(Resample(Image(9, 9, halfRed), 4, 13), halfRed, "translucent flat");
}

TEST(ImageResample, ShrinkingAveragesFineDetail) {
    // A one-pixel checkerboard has no frequency a smaller picture can show: it must become
    // grey everywhere, edges included, not a moire pattern.
    for (const auto& s : {std::pair{8, 8}, std::pair{13, 9}, std::pair{1, 1}, std::pair{30, 2}}) {
        const Image out = Resample(Checkerboard(64, 64), s.first, s.second);
        for (const Bgra p : out.pixels()) {
            EXPECT_NEAR(p.g, 127.5, 4.0) << s.first << "x" << s.second;
            EXPECT_EQ(p.r, p.g);
        }
    }
    // A ramp shrunk by 4 keeps its slope and its ends near the averages of the end blocks.
    Image ramp(256, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 256; ++x) ramp.at(x, y) = Bgra{0, static_cast<std::uint8_t>(x), 0, 255};
    const Image shrunk = Resample(ramp, 64, 1);
    for (int x = 1; x < 64; ++x) EXPECT_GT(shrunk.at(x, 0).g, shrunk.at(x - 1, 0).g);
    EXPECT_NEAR(shrunk.at(0, 0).g, 1.5, 2.0);
    EXPECT_NEAR(shrunk.at(63, 0).g, 253.5, 2.0);
    EXPECT_NEAR(shrunk.at(32, 0).g, 129.5, 1.0);
}

TEST(ImageResample, OvershootIsClampedNotWrapped) {
    // Lanczos lobes ring past a hard edge; values outside 0..255 must clamp.
    Image edge(8, 8, Bgra{0, 0, 0, 255});
    for (int y = 0; y < 8; ++y)
        for (int x = 4; x < 8; ++x) edge.at(x, y) = Bgra{255, 255, 255, 255};
    const Image out = Resample(edge, 40, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 14; ++x) EXPECT_LE(out.at(x, y).g, 20) << x;
        for (int x = 26; x < 40; ++x) EXPECT_GE(out.at(x, y).g, 235) << x;
    }
}

TEST(ImageResample, TransparentPixelsLendNoColour) {
    // Opaque blue beside fully transparent red: the blend must stay blue, fading in alpha.
    Image source(16, 4, Bgra{0, 0, 255, 0});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) source.at(x, y) = Bgra{255, 0, 0, 255};
    const Image out = Resample(source, 5, 2);
    for (const Bgra p : out.pixels()) {
        if (p.a == 0) continue;
        EXPECT_EQ(p.r, 0);
        EXPECT_EQ(p.b, 255);
    }
    EXPECT_GE(out.at(0, 0).a, 240);
    EXPECT_LE(out.at(4, 0).a, 15);
}

}  // namespace
}  // namespace tarn
