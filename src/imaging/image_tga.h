// The TGA writer: uncompressed 24-bit true colour, rows from the bottom up (origin at the
// lower left), with the version 2 footer. Portable.
#pragma once

#include "common/byte_sink.h"
#include "imaging/image.h"

namespace tarn {

// Writes `image` as TGA to `sink`. Pixels that are not opaque are composited over
// white. Throws ImageError for an empty picture.
void WriteTga(const Image& image, ByteSink& sink);

}  // namespace tarn
