// JPEG files read back by ImageMagick: the size, pixels close to the original by quality,
// the quality ImageMagick estimates from the quantisation tables, the colour sampling, at a
// size that fills no whole block.
#include "imaging/image_jpeg.h"

#include "image_magick.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tarn {
namespace {

std::vector<std::uint8_t> Jpeg(const Image& image, int quality) {
    MemorySink sink;
    WriteJpeg(image, quality, sink);
    return {sink.bytes().begin(), sink.bytes().end()};
}

// A smooth photograph stand-in with an edge, so both flat and busy blocks occur.
Image Scene(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            image.at(x, y) =
                Bgra{static_cast<std::uint8_t>(255 * fy), static_cast<std::uint8_t>(128 + 100 * std::sin(fx * 9)),
                     static_cast<std::uint8_t>(x < w / 2 ? 40 : 220), 255};
        }
    return image;
}

double MeanError(const Image& image, const std::vector<std::uint8_t>& rgba) {
    double sum = 0;
    for (std::size_t i = 0; i < image.pixels().size(); ++i) {
        const Bgra p = image.pixels()[i];
        sum += std::abs(rgba[i * 4] - p.r) + std::abs(rgba[i * 4 + 1] - p.g) + std::abs(rgba[i * 4 + 2] - p.b);
    }
    return sum / (3.0 * image.pixels().size());
}

TEST(ImageJpeg, ImageMagickReadsItAtTheQualityAsked) {
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    // 161 x 97 fills no whole block at the right and bottom edges: a block padded wrongly
    // there shows as a large error.
    const Image scene = Scene(161, 97);
    test::MagickFolder folder;
    struct Case {
        int quality;
        const char* sampling;
        double maxError;
    };
    const Case cases[] = {{10, "2x2,1x1,1x1", 12},  {50, "2x2,1x1,1x1", 4},   {75, "2x2,1x1,1x1", 3},
                          {89, "2x2,1x1,1x1", 2.5}, {90, "1x1,1x1,1x1", 1.5}, {100, "1x1,1x1,1x1", 0.8}};
    std::vector<std::string> files;
    for (const Case& c : cases) {
        const std::string file = folder.Write("q" + std::to_string(c.quality) + ".jpg", Jpeg(scene, c.quality));
        // ImageMagick estimates the quality by matching the quantisation tables against
        // the scaled standard tables, so it must name the quality that was asked for.
        EXPECT_EQ(test::Identify(file, "%m %w %h %Q %[jpeg:sampling-factor]"),
                  "JPEG 161 97 " + std::to_string(c.quality) + " " + c.sampling);
        files.push_back(file);
    }
    const auto decoded = test::DecodeAll(folder, files);
    double previous = 1e9;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].quality);
        ASSERT_EQ(decoded[i].size(), scene.pixels().size() * 4);
        const double error = MeanError(scene, decoded[i]);
        EXPECT_LT(error, cases[i].maxError);
        EXPECT_LT(error, previous) << "a higher quality is closer to the original";
        previous = error;
    }
}

}  // namespace
}  // namespace tarn
