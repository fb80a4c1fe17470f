// Decoding and encoding pictures through the Windows Imaging Component: files to Image,
// and Image to BMP, PNG and TIFF. Failures throw ComError. (GIF and JPEG have writers of
// our own: Wine's encoders write no GIF transparency and ignore the JPEG quality.)
#pragma once

#include "com/handles.h"
#include "imaging/image.h"
#include "imaging/image_probe.h"

#include <wincodec.h>

namespace tarn {

// The imaging factory; COM must be initialised on the calling thread.
[[nodiscard]] ComPtr<IWICImagingFactory> CreateWicFactory();

// A file opened for reading as a stream, shared by the header probe and the decoder.
[[nodiscard]] ComPtr<IStream> OpenReadStream(IWICImagingFactory* factory, const std::wstring& path);

// Reads a stream at given offsets, for ProbeImage.
class StreamByteReader final : public ByteReader {
public:
    explicit StreamByteReader(IStream* stream) noexcept : stream_(stream) {}
    [[nodiscard]] bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    IStream* stream_;
};

// The first frame of the picture in `stream`, as 32-bit BGRA. The frame's size is
// checked with CheckImageSize before any pixel memory is taken.
[[nodiscard]] Image DecodeWithWic(IWICImagingFactory* factory, IStream* stream);

enum class WicFormat { Bmp, Png, Tiff };

// Writes `image` to `stream`. BMP is 24-bit (pixels composited over white); PNG and TIFF
// keep alpha when the picture has any.
void EncodeWithWic(IWICImagingFactory* factory, IStream* stream, WicFormat format, const Image& image);

}  // namespace tarn
