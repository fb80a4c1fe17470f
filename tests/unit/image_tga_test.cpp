// TGA files field by field against the format's layout.
#include "imaging/image_tga.h"


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

int Le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

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

TEST(ImageTga, HeaderFieldsPixelOrderAndFooter) {
    const std::vector<std::uint8_t> b = Tga(Sample());
    ASSERT_EQ(b.size(), 18u + 3 * 2 * 3 + 26);
    EXPECT_EQ(b[0], 0) << "no image id";
    EXPECT_EQ(b[1], 0) << "no colour map";
    EXPECT_EQ(b[2], 2) << "uncompressed true colour";
    for (std::size_t i = 3; i < 8; ++i) EXPECT_EQ(b[i], 0) << "colour map fields, byte " << i;
    EXPECT_EQ(Le16(b, 8), 0) << "x origin";
    EXPECT_EQ(Le16(b, 10), 0) << "y origin";
    EXPECT_EQ(Le16(b, 12), 3) << "width";
    EXPECT_EQ(Le16(b, 14), 2) << "height";
    EXPECT_EQ(b[16], 24) << "bits per pixel";
    EXPECT_EQ(b[17] & 0x0F, 0) << "no alpha bits";
    EXPECT_EQ(b[17] & 0x30, 0) << "origin bottom left: rows from the bottom up, left to right";
    // Pixel data: B, G, R of the bottom row first.
    const std::vector<std::uint8_t> pixels(b.begin() + 18, b.begin() + 36);
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{10, 11, 12, 13, 14, 15, 255, 255, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Version 2 footer: no extension area, no developer area, then the signature.
    const std::string footer(b.end() - 26, b.end());
    EXPECT_EQ(footer.substr(0, 8), std::string(8, '\0'));
    EXPECT_EQ(footer.substr(8), std::string("TRUEVISION-XFILE.\0", 18));
}

}  // namespace
}  // namespace tarn
