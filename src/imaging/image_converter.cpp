// The conversion service: the probe guards every load, WIC decodes and writes BMP, PNG and
// TIFF, GDI draws metafiles, and our own writers make GIF, JPEG and TGA. Every operation
// runs inside Attempt, which turns any exception into false and a readable LastError.
#include "imaging/image_converter.h"

#include "com/errors.h"
#include "imaging/image_gif.h"
#include "imaging/image_jpeg.h"
#include "imaging/image_palette.h"
#include "imaging/image_resample.h"
#include "imaging/image_tga.h"
#include "imaging/metafile_records.h"
#include "imaging/metafile_render.h"
#include "imaging/replacing_file.h"
#include "imaging/wic_codec.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace tarn {

namespace {

// Metafiles are read whole for GDI; anything larger than this is not a picture we draw.
constexpr ULONGLONG kMaxMetafileBytes = 256ull * 1024 * 1024;

// The size a metafile is drawn at: the one asked for, with a missing side following the
// metafile's proportions, or the metafile's own.
std::pair<std::int64_t, std::int64_t> MetafileSize(const ImageHeader& header, int width, int height) {
    const bool ownSize = header.width > 0 && header.height > 0;
    if (width > 0 && height > 0) return {width, height};
    if (!ownSize) {
        throw ComError(E_INVALIDARG, L"The metafile states no size of its own; a render size must be set for it");
    }
    if (width == 0 && height == 0) return {header.width, header.height};
    if (width == 0) {
        return {std::max<std::int64_t>(1, std::llround(static_cast<double>(height) * header.width / header.height)),
                height};
    }
    return {width, std::max<std::int64_t>(1, std::llround(static_cast<double>(width) * header.height / header.width))};
}

// Hands a writer's bytes to a stream; the stream's file is committed by its owner.
class StreamSink final : public ByteSink {
public:
    explicit StreamSink(IStream* stream) noexcept : stream_(stream) {}

protected:
    void Put(std::string_view bytes) override {
        ULONG written = 0;
        ThrowIfFailed(stream_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), L"Writing the file");
        if (written != bytes.size()) throw ComError(STG_E_MEDIUMFULL, L"Writing the file stopped short");
    }
    void Finish() override {}

private:
    IStream* stream_;
};

}  // namespace

template <class Body>
bool ImageConverter::Attempt(Body&& body) noexcept {
    try {
        body();
        lastError_.clear();
        return true;
    } catch (const ComError& e) {
        SetError(e.description());
    } catch (const ImageError& e) {
        SetError(e.what());
    } catch (const std::bad_alloc&) {
        SetError(L"There is not enough memory for the picture");
    } catch (...) {
        SetError(L"Unexpected internal error");
    }
    return false;
}

void ImageConverter::SetError(std::wstring_view text) noexcept {
    try {
        lastError_.assign(text);
    } catch (...) {
        lastError_.clear();
    }
}

void ImageConverter::SetError(const char* text) noexcept {
    try {
        // The portable code's messages are plain ASCII.
        lastError_.clear();
        for (const char* p = text; *p; ++p) lastError_ += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    } catch (...) {
        lastError_.clear();
    }
}

IWICImagingFactory* ImageConverter::Factory() {
    if (!factory_) factory_ = CreateWicFactory();
    return factory_.Get();
}

void ImageConverter::RequireImage() const {
    if (image_.empty()) throw ComError(E_UNEXPECTED, L"No picture is loaded");
}

bool ImageConverter::Load(std::wstring_view path) noexcept {
    Release();  // the old picture's memory is free before the new one is decoded
    return Attempt([&] {
        const ComPtr<IStream> stream = OpenReadStream(Factory(), std::wstring(path));
        StreamByteReader reader(stream.Get());
        const ImageHeader header = ProbeImage(reader);
        if (header.format == ImageFormat::Emf || header.format == ImageFormat::Wmf) {
            image_ = LoadMetafile(stream.Get(), header);
        } else {
            image_ = DecodeWithWic(Factory(), stream.Get());
        }
    });
}

Image ImageConverter::LoadMetafile(IStream* stream, const ImageHeader& header) {
    const auto [width, height] = MetafileSize(header, renderWidth_, renderHeight_);
    CheckImageSize(width, height);
    STATSTG stat{};
    ThrowIfFailed(stream->Stat(&stat, STATFLAG_NONAME), L"Reading the metafile");
    if (stat.cbSize.QuadPart > kMaxMetafileBytes) throw ImageError("The metafile is larger than 256 MB");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    StreamByteReader reader(stream);
    if (!reader.ReadAt(0, bytes)) throw ImageError("The metafile could not be read to its end");
    CheckMetafileRecords(bytes, header.format);
    return RenderMetafile(bytes, header, static_cast<int>(width), static_cast<int>(height));
}

bool ImageConverter::SetRenderSize(int width, int height) noexcept {
    return Attempt([&] {
        if (width < 0 || height < 0) throw ImageError("A render size cannot be negative");
        if (width > 0 || height > 0) CheckImageSize(width > 0 ? width : 1, height > 0 ? height : 1);
        renderWidth_ = width;
        renderHeight_ = height;
    });
}

bool ImageConverter::Resample(int width, int height) noexcept {
    return Attempt([&] {
        RequireImage();
        image_ = tarn::Resample(image_, width, height);
    });
}

template <class Write>
void ImageConverter::SaveReplacing(std::wstring_view path, Write&& write) {
    RequireImage();
    ReplacingFile file(path);
    {
        // The stream (and every encoder holding it) is gone before the file is moved.
        ComPtr<IWICStream> stream;
        ThrowIfFailed(Factory()->CreateStream(&stream), L"Creating a stream");
        ThrowIfFailed(stream->InitializeFromFilename(file.temporaryPath().c_str(), GENERIC_WRITE),
                      (L"Opening " + file.temporaryPath()).c_str());
        write(stream.Get());
    }
    file.Commit();
}

bool ImageConverter::SaveBmp(std::wstring_view path) noexcept {
    return Attempt(
        [&] { SaveReplacing(path, [&](IStream* s) { EncodeWithWic(Factory(), s, WicFormat::Bmp, image_); }); });
}

bool ImageConverter::SaveGif(std::wstring_view path, std::optional<Rgb> transparent) noexcept {
    return Attempt([&] {
        RequireImage();
        const IndexedImage indexed = ToIndexed(image_, transparent);
        SaveReplacing(path, [&](IStream* s) {
            StreamSink sink(s);
            WriteGif(indexed, sink);
        });
    });
}

bool ImageConverter::SaveTga(std::wstring_view path) noexcept {
    return Attempt([&] {
        SaveReplacing(path, [&](IStream* s) {
            StreamSink sink(s);
            WriteTga(image_, sink);
        });
    });
}

bool ImageConverter::SaveTiff(std::wstring_view path) noexcept {
    return Attempt(
        [&] { SaveReplacing(path, [&](IStream* s) { EncodeWithWic(Factory(), s, WicFormat::Tiff, image_); }); });
}

bool ImageConverter::SavePng(std::wstring_view path) noexcept {
    return Attempt(
        [&] { SaveReplacing(path, [&](IStream* s) { EncodeWithWic(Factory(), s, WicFormat::Png, image_); }); });
}

bool ImageConverter::SaveJpeg(std::wstring_view path, int qualityPercent) noexcept {
    return Attempt([&] {
        if (qualityPercent < 0 || qualityPercent > 100) throw ImageError("A JPEG quality is a percentage, 0 to 100");
        SaveReplacing(path, [&](IStream* s) {
            StreamSink sink(s);
            WriteJpeg(image_, qualityPercent, sink);
        });
    });
}

void ImageConverter::Release() noexcept { image_ = Image(); }

}  // namespace tarn
