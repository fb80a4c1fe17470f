// GIF files read back by ImageMagick at the lengths where LZW code widths change and the
// dictionary starts over, and pictures the writer refuses. (Transparency is read back by
// WIC in tests/win/image_service_test.cpp.)
#include "imaging/image_gif.h"

#include "image_magick.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tarn {
namespace {

std::vector<std::uint8_t> Gif(const IndexedImage& image) {
    MemorySink sink;
    WriteGif(image, sink);
    return {sink.bytes().begin(), sink.bytes().end()};
}

IndexedImage Random(int width, int height, int colours, unsigned seed) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < colours; ++i) {
        image.palette.push_back(
            Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7)});
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> index(0, colours - 1);
    for (int i = 0; i < width * height; ++i) image.indices.push_back(static_cast<std::uint8_t>(index(random)));
    return image;
}

TEST(ImageGif, RefusesPicturesItCannotWrite) {
    IndexedImage image = Random(4, 4, 3, 3);
    image.indices[5] = 3;
    EXPECT_THROW(Gif(image), ImageError) << "an index beyond the palette";
    EXPECT_THROW(Gif(IndexedImage{}), ImageError);
    image = Random(4, 4, 3, 3);
    image.indices.pop_back();
    EXPECT_THROW(Gif(image), ImageError);
}

TEST(ImageGif, ImageMagickDecodesEveryCodeWidthAndDictionaryReset) {
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    // One-row pictures of every length up to 300 in 3 colours cross the code width steps
    // of the smallest code size; noise of 256 colours near 3840 pixels fills the 4096-code
    // dictionary and starts it over; a large flat picture makes long codes; an odd picture
    // of 17 colours mixes it all.
    std::vector<IndexedImage> pictures;
    for (int length = 1; length <= 300; ++length) pictures.push_back(Random(length, 1, 3, length));
    for (int length = 3780; length <= 3960; length += 3) pictures.push_back(Random(length, 1, 256, length));
    pictures.push_back(Random(640, 480, 1, 0));
    pictures.push_back(Random(97, 131, 17, 5));
    test::MagickFolder folder;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        files.push_back(folder.Write("p" + std::to_string(i) + ".gif", Gif(pictures[i])));
    }
    const auto decoded = test::DecodeAll(folder, files);
    ASSERT_EQ(decoded.size(), pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const IndexedImage& p = pictures[i];
        SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height) + " of " +
                     std::to_string(p.palette.size()));
        ASSERT_EQ(decoded[i].size(), p.indices.size() * 4);
        for (std::size_t k = 0; k < p.indices.size(); ++k) {
            const Rgb want = p.palette[p.indices[k]];
            ASSERT_EQ(decoded[i][k * 4], want.r) << "pixel " << k;
            ASSERT_EQ(decoded[i][k * 4 + 1], want.g) << "pixel " << k;
            ASSERT_EQ(decoded[i][k * 4 + 2], want.b) << "pixel " << k;
        }
    }
}

}  // namespace
}  // namespace tarn
