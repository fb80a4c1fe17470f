// WIC decoding to BGRA and encoding from it. Rows are converted and written in bands, so
// an encode needs a band of extra memory, not a second copy of the picture.
#include "imaging/wic_codec.h"

#include "com/errors.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace tarn {

namespace {

constexpr int kBandRows = 64;

struct EncoderFrame {
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
};

EncoderFrame CreateFrame(IWICImagingFactory* factory, IStream* stream, const GUID& container) {
    EncoderFrame f;
    ThrowIfFailed(factory->CreateEncoder(container, nullptr, &f.encoder), L"Creating the picture encoder");
    ThrowIfFailed(f.encoder->Initialize(stream, WICBitmapEncoderNoCache), L"Starting the picture file");
    ThrowIfFailed(f.encoder->CreateNewFrame(&f.frame, &f.options), L"Starting the picture");
    return f;
}

// Sets the frame's size and pixel layout; an encoder that answers with another layout
// would misread our rows, so that is an error.
void StartFrame(const EncoderFrame& f, int width, int height, const WICPixelFormatGUID& format) {
    ThrowIfFailed(f.frame->Initialize(f.options.Get()), L"Setting the encoder options");
    ThrowIfFailed(f.frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), L"Setting the picture size");
    WICPixelFormatGUID granted = format;
    ThrowIfFailed(f.frame->SetPixelFormat(&granted), L"Setting the pixel format");
    if (granted != format) {
        throw ComError(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT,
                       L"The picture encoder does not take the pixel format given");
    }
}

void Finish(const EncoderFrame& f) {
    ThrowIfFailed(f.frame->Commit(), L"Writing the picture");
    ThrowIfFailed(f.encoder->Commit(), L"Finishing the picture file");
}

// Writes the rows as 24-bit BGR (over white) or 32-bit BGRA.
void WriteRows(IWICBitmapFrameEncode* frame, const Image& image, bool withAlpha) {
    const std::size_t bytesPerPixel = withAlpha ? 4 : 3;
    const std::size_t stride = bytesPerPixel * static_cast<std::size_t>(image.width());
    std::vector<BYTE> band(stride * kBandRows);
    for (int top = 0; top < image.height(); top += kBandRows) {
        const int rows = std::min(kBandRows, image.height() - top);
        BYTE* out = band.data();
        for (int y = top; y < top + rows; ++y) {
            for (const Bgra p : image.row(y)) {
                if (withAlpha) {
                    *out++ = p.b;
                    *out++ = p.g;
                    *out++ = p.r;
                    *out++ = p.a;
                } else {
                    const Rgb c = OverWhite(p);
                    *out++ = c.b;
                    *out++ = c.g;
                    *out++ = c.r;
                }
            }
        }
        ThrowIfFailed(frame->WritePixels(static_cast<UINT>(rows), static_cast<UINT>(stride),
                                         static_cast<UINT>(stride * rows), band.data()),
                      L"Writing the picture's pixels");
    }
}

}  // namespace

ComPtr<IWICImagingFactory> CreateWicFactory() {
    ComPtr<IWICImagingFactory> factory;
    ThrowIfFailed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
                  L"Starting the Windows Imaging Component");
    return factory;
}

ComPtr<IStream> OpenReadStream(IWICImagingFactory* factory, const std::wstring& path) {
    ComPtr<IWICStream> stream;
    ThrowIfFailed(factory->CreateStream(&stream), L"Creating a stream");
    ThrowIfFailed(stream->InitializeFromFilename(path.c_str(), GENERIC_READ), (L"Opening " + path).c_str());
    return stream;
}

bool StreamByteReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (offset > static_cast<std::uint64_t>(LLONG_MAX) || FAILED(stream_->Seek(position, STREAM_SEEK_SET, nullptr))) {
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        ULONG got = 0;
        const ULONG want = static_cast<ULONG>(std::min<std::size_t>(out.size() - done, 1u << 20));
        if (FAILED(stream_->Read(out.data() + done, want, &got)) || got == 0) return false;
        done += got;
    }
    return true;
}

Image DecodeWithWic(IWICImagingFactory* factory, IStream* stream) {
    const LARGE_INTEGER start{};
    ThrowIfFailed(stream->Seek(start, STREAM_SEEK_SET, nullptr), L"Reading the picture file");
    ComPtr<IWICBitmapDecoder> decoder;
    ThrowIfFailed(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
                  L"Recognising the picture format");
    ComPtr<IWICBitmapFrameDecode> frame;
    ThrowIfFailed(decoder->GetFrame(0, &frame), L"Reading the picture");
    UINT width = 0, height = 0;
    ThrowIfFailed(frame->GetSize(&width, &height), L"Reading the picture size");
    CheckImageSize(width, height);
    ComPtr<IWICBitmapSource> bgra;
    ThrowIfFailed(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra),
                  L"Converting the picture's pixels");
    Image image(static_cast<int>(width), static_cast<int>(height));
    const UINT stride = width * 4;
    ThrowIfFailed(bgra->CopyPixels(nullptr, stride, stride * height, reinterpret_cast<BYTE*>(image.pixels().data())),
                  L"Decoding the picture");
    return image;
}

void EncodeWithWic(IWICImagingFactory* factory, IStream* stream, WicFormat format, const Image& image) {
    if (image.empty()) throw ComError(E_INVALIDARG, L"There is no picture to save");
    const GUID* container = &GUID_ContainerFormatBmp;
    bool withAlpha = false;
    switch (format) {
        case WicFormat::Bmp: container = &GUID_ContainerFormatBmp; break;
        case WicFormat::Png:
            container = &GUID_ContainerFormatPng;
            withAlpha = !image.IsOpaque();
            break;
        case WicFormat::Tiff:
            container = &GUID_ContainerFormatTiff;
            withAlpha = !image.IsOpaque();
            break;
    }
    const EncoderFrame f = CreateFrame(factory, stream, *container);
    StartFrame(f, image.width(), image.height(),
               withAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR);
    WriteRows(f.frame.Get(), image, withAlpha);
    Finish(f);
}

}  // namespace tarn
