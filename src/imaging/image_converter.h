// The image conversion service of the image and HTML exporters: load a picture file (BMP,
// GIF, PNG, JPEG, TIFF, other formats WIC reads, EMF and WMF metafiles), resample it, and
// save it as BMP, GIF, TGA, TIFF, PNG or JPEG. Operations answer true or false and never
// throw; LastError says why the last one failed.
#pragma once

#include "com/handles.h"
#include "imaging/image.h"
#include "imaging/image_probe.h"

#include <wincodec.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

class ImageConverter {
public:
    ImageConverter() = default;
    ImageConverter(const ImageConverter&) = delete;
    ImageConverter& operator=(const ImageConverter&) = delete;

    // Replaces the held picture with the one in `path`. Metafiles are drawn at the render
    // size, or at their own size at 96 DPI when none is set. After a failure no picture is
    // held, so a stale one cannot be saved by mistake.
    [[nodiscard]] bool Load(std::wstring_view path) noexcept;

    // The pixel size later metafile loads draw at. 0 x 0 means the metafile's own size; with
    // one side 0, that side follows the metafile's proportions. False for negative sizes
    // and sizes beyond the limits; the previous render size then stays.
    [[nodiscard]] bool SetRenderSize(int width, int height) noexcept;

    // Resamples the held picture to width x height.
    [[nodiscard]] bool Resample(int width, int height) noexcept;

    // Save the held picture. Each writes a temporary file beside `path` and moves it over
    // `path` only when complete; on failure `path` is left as it was.
    [[nodiscard]] bool SaveBmp(std::wstring_view path) noexcept;
    // With `transparent`, pixels of exactly that colour (and fully transparent pixels) are
    // transparent in the GIF.
    [[nodiscard]] bool SaveGif(std::wstring_view path, std::optional<Rgb> transparent = std::nullopt) noexcept;
    [[nodiscard]] bool SaveTga(std::wstring_view path) noexcept;
    [[nodiscard]] bool SaveTiff(std::wstring_view path) noexcept;
    [[nodiscard]] bool SavePng(std::wstring_view path) noexcept;
    // `qualityPercent` is 0 (smallest file) to 100 (best picture).
    [[nodiscard]] bool SaveJpeg(std::wstring_view path, int qualityPercent) noexcept;

    // Drops the held picture and its memory.
    void Release() noexcept;

    // Takes a picture drawn elsewhere (a host's picture object an exporter rendered).
    void SetImage(Image image) noexcept { image_ = std::move(image); }
    const Image& image() const noexcept { return image_; }
    bool HasImage() const noexcept { return !image_.empty(); }

    // Why the last operation failed, for the user; empty after a success.
    const std::wstring& LastError() const noexcept { return lastError_; }

private:
    template <class Body>
    bool Attempt(Body&& body) noexcept;
    void SetError(std::wstring_view text) noexcept;
    void SetError(const char* text) noexcept;
    IWICImagingFactory* Factory();
    Image LoadMetafile(IStream* stream, const ImageHeader& header);
    void RequireImage() const;
    template <class Write>
    void SaveReplacing(std::wstring_view path, Write&& write);

    ComPtr<IWICImagingFactory> factory_;
    Image image_;
    int renderWidth_ = 0;
    int renderHeight_ = 0;
    std::wstring lastError_;
};

}  // namespace tarn
