// The in-memory picture every image operation works on: 32-bit BGRA pixels, top-down,
// straight (not premultiplied) alpha, plus the size limits the component accepts. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn {

// One pixel in the byte order of Win32 32-bit DIBs and WIC's 32bppBGRA.
struct Bgra {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;
    std::uint8_t a = 255;

    bool operator==(const Bgra&) const = default;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    bool operator==(const Rgb&) const = default;
};

// The colour HTML cell pictures paint where the page should show through.
inline constexpr Rgb kTransparentMagenta{255, 0, 255};

// Larger pictures are refused before any pixel memory is taken: a header claiming more is
// corrupt or hostile, and 100 megapixels is already 400 MB of pixels.
inline constexpr std::int64_t kMaxImageSide = 30000;
inline constexpr std::int64_t kMaxImagePixels = 100'000'000;

// A picture the image code refuses: bad header, size out of range, unsupported layout.
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ImageError unless width x height is a size the component accepts.
void CheckImageSize(std::int64_t width, std::int64_t height);

class Image {
public:
    Image() = default;
    // Throws ImageError for a size CheckImageSize refuses.
    Image(int width, int height, Bgra fill = Bgra{});

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    bool empty() const noexcept { return pixels_.empty(); }

    Bgra& at(int x, int y) noexcept { return pixels_[Index(x, y)]; }
    const Bgra& at(int x, int y) const noexcept { return pixels_[Index(x, y)]; }
    std::span<Bgra> row(int y) noexcept { return {pixels_.data() + Index(0, y), static_cast<std::size_t>(width_)}; }
    std::span<const Bgra> row(int y) const noexcept {
        return {pixels_.data() + Index(0, y), static_cast<std::size_t>(width_)};
    }
    std::span<Bgra> pixels() noexcept { return pixels_; }
    std::span<const Bgra> pixels() const noexcept { return pixels_; }

    // Whether every pixel is fully opaque (formats without alpha then lose nothing).
    bool IsOpaque() const noexcept;

private:
    std::size_t Index(int x, int y) const noexcept {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<Bgra> pixels_;
};

// A pixel as a format without alpha stores it: composited over white.
inline Rgb OverWhite(Bgra p) noexcept {
    if (p.a == 255) return Rgb{p.r, p.g, p.b};
    // c * a + 255 * (255 - a), divided by 255 with rounding.
    auto blend = [a = p.a](std::uint8_t c) {
        return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
    };
    return Rgb{blend(p.r), blend(p.g), blend(p.b)};
}

}  // namespace tarn
