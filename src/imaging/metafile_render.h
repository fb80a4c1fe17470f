// Drawing a metafile (EMF, or WMF with or without a placeable header) into a picture of a
// given pixel size, on white, with GDI.
#pragma once

#include "imaging/image.h"
#include "imaging/image_probe.h"

#include <cstdint>
#include <span>

namespace tarn {

// Draws the metafile in `bytes`, which `header` describes (ProbeImage's answer), stretched
// to width x height. Throws ComError when GDI refuses the metafile and ImageError for a
// size CheckImageSize refuses.
[[nodiscard]] Image RenderMetafile(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width,
                                   int height);

}  // namespace tarn
