// The JPEG writer: baseline JFIF, YCbCr, quantisation tables scaled from the standard ones
// by a quality percentage, Huffman tables fitted to each picture. Portable.
#pragma once

#include "common/byte_sink.h"
#include "imaging/image.h"

namespace tarn {

// Writes `image` as JPEG to `sink`. `quality` 1..100 scales the quantisation tables
// as the Independent JPEG Group's software does (50 gives the standard tables, 100 all
// ones; 0 counts as 1). Below 90 the colour is sampled at half resolution each way, at 90
// and above at full resolution, so coloured text on screenshots stays sharp. Pixels that
// are not opaque are composited over white. Throws ImageError for an empty picture or a
// side beyond 65535.
void WriteJpeg(const Image& image, int quality, ByteSink& sink);

}  // namespace tarn
