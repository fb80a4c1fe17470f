// The in-memory picture and the size limits.
#include "imaging/image.h"

#include <algorithm>

namespace tarn {

void CheckImageSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw ImageError("The picture has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")");
    }
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
        throw ImageError("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels, more than the " + std::to_string(kMaxImageSide) + " a side and " +
                         std::to_string(kMaxImagePixels / 1'000'000) + " megapixels accepted");
    }
}

Image::Image(int width, int height, Bgra fill) {
    CheckImageSize(width, height);
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

bool Image::IsOpaque() const noexcept {
    return std::all_of(pixels_.begin(), pixels_.end(), [](Bgra p) { return p.a == 255; });
}

}  // namespace tarn
