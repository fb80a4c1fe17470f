// The TGA writer: uncompressed 24-bit true colour, rows from the bottom up (origin at the
// lower left), with the version 2 footer. Portable.
#pragma once

#include "imaging/byte_output.h"
#include "imaging/image.h"

namespace tarn {

// Writes `image` as TGA through `write`. Pixels that are not opaque are composited over
// white. Throws ImageError for an empty picture.
void WriteTga(const Image& image, const ByteOutput& write);

}  // namespace tarn
