// The GIF writer: one frame of palette indices, the palette as the global colour table,
// the transparent index in a graphic control extension, LZW-compressed pixels. Portable.
#pragma once

#include "common/byte_sink.h"
#include "imaging/image_palette.h"

namespace tarn {

// Writes `image` as a GIF89a file to `sink`. Throws ImageError for an image without
// pixels or palette, or with an index outside its palette.
void WriteGif(const IndexedImage& image, ByteSink& sink);

}  // namespace tarn
