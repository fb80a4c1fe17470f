// A structural check of metafile records before GDI plays them: every record lies inside
// the file, has a plausible size, and the file reaches its end-of-file record. GDI skips
// records it does not know, so a damaged file would otherwise draw a partial picture
// without a word. Portable.
#pragma once

#include "imaging/image_probe.h"

#include <cstdint>
#include <span>

namespace tarn {

// Throws ImageError unless `bytes` (a whole EMF or WMF file, as `format` says) holds a
// sound sequence of records ending with the end-of-file record.
void CheckMetafileRecords(std::span<const std::uint8_t> bytes, ImageFormat format);

}  // namespace tarn
