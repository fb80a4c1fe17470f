// Resampling a picture to another size with a separable Lanczos-3 filter. Portable.
#pragma once

#include "imaging/image.h"

namespace tarn {

// Returns `source` resampled to width x height. Each axis is filtered on its own; when an
// axis shrinks, the kernel widens by the shrink factor so every source pixel contributes
// (no aliasing); taps past an edge fold onto the edge pixel, so a flat picture stays flat up
// to its borders. Colours are filtered premultiplied by alpha, so transparent pixels lend no
// colour to their neighbours, and results are clamped, since Lanczos lobes overshoot.
// Throws ImageError for an empty source or a size CheckImageSize refuses.
[[nodiscard]] Image Resample(const Image& source, int width, int height);

}  // namespace tarn
