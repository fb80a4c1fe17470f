// TGA, image type 2 (uncompressed true colour), 24 bits per pixel.
#include "imaging/image_tga.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tarn {

namespace {

constexpr std::uint8_t kTrueColour = 2;
constexpr std::uint8_t kBitsPerPixel = 24;
// Image descriptor: no alpha bits, left-to-right, bottom-up (bit 5 clear).
constexpr std::uint8_t kBottomLeftOrigin = 0x00;
constexpr std::string_view kFooterSignature{"TRUEVISION-XFILE.\0", 18};

void PutLe16(std::uint8_t* at, int value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

void WriteTga(const Image& image, ByteSink& sink) {
    if (image.empty()) throw ImageError("There is no picture to write as TGA");
    std::array<std::uint8_t, 18> header{};  // no image id, no colour map, origin 0,0
    header[2] = kTrueColour;
    PutLe16(&header[12], image.width());
    PutLe16(&header[14], image.height());
    header[16] = kBitsPerPixel;
    header[17] = kBottomLeftOrigin;
    BufferedOutput out(sink);
    out.Bytes(header);

    for (int y = image.height() - 1; y >= 0; --y) {
        for (const Bgra p : image.row(y)) {
            const Rgb c = OverWhite(p);
            out.Byte(c.b);
            out.Byte(c.g);
            out.Byte(c.r);
        }
    }

    // Footer: no extension area, no developer directory, then the signature.
    std::array<std::uint8_t, 8 + kFooterSignature.size()> footer{};
    std::copy(kFooterSignature.begin(), kFooterSignature.end(), footer.begin() + 8);
    out.Bytes(footer);
    out.Flush();
}

}  // namespace tarn
