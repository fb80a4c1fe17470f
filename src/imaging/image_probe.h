// Reading a picture's format and size from the first bytes of its file, so that corrupt
// headers and absurd sizes are refused before a decoder is asked to allocate anything.
// Portable.
#pragma once

#include <cstdint>
#include <span>

namespace tarn {

enum class ImageFormat { Unknown, Bmp, Gif, Png, Jpeg, Tiff, Emf, Wmf };

struct ImageHeader {
    ImageFormat format = ImageFormat::Unknown;
    // Pixels. For metafiles, the size of the picture frame at 96 DPI, and 0 x 0 when the
    // metafile states no size (a Windows metafile without a placeable header).
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// Random access to the file being probed (a TIFF's directory may sit at its end).
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Fills `out` from `offset`; false when the source ends first or cannot be read.
    [[nodiscard]] virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemoryByteReader final : public ByteReader {
public:
    explicit MemoryByteReader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}
    [[nodiscard]] bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Recognises BMP, GIF, PNG, JPEG, TIFF, EMF and WMF by their signatures and reads the
// size from their headers. A raster picture whose size CheckImageSize refuses, and any
// recognised file whose header is truncated or inconsistent, throws ImageError. Metafile
// sizes are not limited here: a metafile is drawn at whatever size its caller asks for.
// Files that match no signature come back as ImageFormat::Unknown.
[[nodiscard]] ImageHeader ProbeImage(ByteReader& reader);

}  // namespace tarn
