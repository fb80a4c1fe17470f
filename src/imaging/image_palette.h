// Turning a picture into palette indices for GIF. A picture of at most 256 colours keeps
// them exactly, with no dithering; a richer one gets an optimised palette and error
// diffusion, except where it has flat areas, whose colours are kept exactly. Portable.
#pragma once

#include "imaging/image.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tarn {

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;           // at most 256 entries
    std::vector<std::uint8_t> indices;  // width * height, top-down
    // The reserved slot for the transparent colour; its palette entry holds that colour,
    // so a reader that ignores transparency shows the picture as it was drawn.
    std::optional<std::uint8_t> transparentIndex;
    bool dithered = false;  // whether error diffusion was used
};

// Pixels that are not opaque are first composited over white. With `transparent`, pixels of
// exactly that colour, and fully transparent ones, take a reserved slot; no other pixel
// ever maps to it. Throws ImageError for an empty picture.
[[nodiscard]] IndexedImage ToIndexed(const Image& image, std::optional<Rgb> transparent = std::nullopt);

}  // namespace tarn
