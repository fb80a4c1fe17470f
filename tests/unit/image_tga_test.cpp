// TGA files read back by ImageMagick: size, channel and row order; and the version 2 footer,
// which readers do not need.
#include "imaging/image_tga.h"

#include "image_magick.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

std::vector<std::uint8_t> Tga(const Image& image) {
    MemorySink sink;
    WriteTga(image, sink);
    return {sink.bytes().begin(), sink.bytes().end()};
}

// A 3x2 picture whose every pixel differs, so row order and channel order both show.
Image Sample() {
    Image image(3, 2);
    image.at(0, 0) = Bgra{1, 2, 3, 255};
    image.at(1, 0) = Bgra{4, 5, 6, 255};
    image.at(2, 0) = Bgra{7, 8, 9, 255};
    image.at(0, 1) = Bgra{10, 11, 12, 255};  // bottom left: the first pixel in the file
    image.at(1, 1) = Bgra{13, 14, 15, 255};
    image.at(2, 1) = Bgra{0, 0, 0, 0};  // transparent: white in a 24-bit file
    return image;
}

TEST(ImageTga, ImageMagickReadsThePixelsInTheirPlaceAndTheFooterIsVersion2) {
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    const std::vector<std::uint8_t> b = Tga(Sample());
    ASSERT_EQ(b.size(), 18u + 3 * 2 * 3 + 26) << "24 bits a pixel, no colour map, no image id";
    test::MagickFolder folder;
    const auto decoded = test::DecodeAll(folder, {folder.Write("sample.tga", b)});
    ASSERT_EQ(decoded.size(), 1u);
    // RGBA from the top row; the transparent pixel is white and opaque in a 24-bit file.
    EXPECT_EQ(decoded[0], (std::vector<std::uint8_t>{3,  2,  1,  255, 6,  5,  4,  255, 9,   8,   7,   255,
                                                     12, 11, 10, 255, 15, 14, 13, 255, 255, 255, 255, 255}));
    // No extension area, no developer area, then the signature.
    EXPECT_EQ(std::string(b.end() - 26, b.end()), std::string(8, '\0') + std::string("TRUEVISION-XFILE.\0", 18));
}

}  // namespace
}  // namespace tarn
