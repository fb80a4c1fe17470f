// Metafiles into a 32-bit top-down DIB section: EMF bytes directly, WMF bytes converted to
// an enhanced metafile first (after the 22-byte placeable header, which GDI does not read).
#include "imaging/metafile_render.h"

#include "com/errors.h"
#include "com/handles.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tarn {

namespace {

constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int kHundredthsMmPerInch = 2540;
constexpr int kScreenDpi = 96;

unique_henhmetafile FromEmf(std::span<const std::uint8_t> bytes) {
    unique_henhmetafile emf(SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data()));
    if (!emf) ThrowLastError(L"Reading the enhanced metafile");
    return emf;
}

// A Windows metafile has no size GDI can read; the placeable header's (or the caller's)
// size goes in as the picture's extent, so the drawing fills the picture.
unique_henhmetafile FromWmf(std::span<const std::uint8_t> bytes, std::int64_t width96, std::int64_t height96) {
    std::uint32_t key = 0;
    if (bytes.size() >= 4) std::memcpy(&key, bytes.data(), 4);
    if (key == kPlaceableKey) bytes = bytes.subspan(std::min(bytes.size(), kPlaceableHeaderSize));
    METAFILEPICT picture{};
    picture.mm = MM_ANISOTROPIC;
    picture.xExt = static_cast<LONG>(width96 * kHundredthsMmPerInch / kScreenDpi);
    picture.yExt = static_cast<LONG>(height96 * kHundredthsMmPerInch / kScreenDpi);
    unique_henhmetafile emf(SetWinMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data(), nullptr, &picture));
    if (!emf) ThrowLastError(L"Reading the Windows metafile");
    return emf;
}

}  // namespace

Image RenderMetafile(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width, int height) {
    CheckImageSize(width, height);
    if (bytes.size() > UINT_MAX) throw ImageError("The metafile is too large");
    const bool ownSize = header.width > 0 && header.height > 0;
    const unique_henhmetafile emf = header.format == ImageFormat::Emf ? FromEmf(bytes)
                                                                      : FromWmf(bytes, ownSize ? header.width : width,
                                                                                ownSize ? header.height : height);

    const unique_hdc dc(CreateCompatibleDC(nullptr));
    if (!dc) ThrowLastError(L"Creating a drawing surface");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as Image
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const unique_hbitmap dib(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) ThrowLastError(L"Creating a drawing surface");
    {
        const unique_select_object selected(dc.get(), dib.get());
        if (!selected.ok()) ThrowLastError(L"Preparing the drawing surface");
        PatBlt(dc.get(), 0, 0, width, height, WHITENESS);
        // Bitmaps inside the metafile are stretched with averaging, not by dropping rows.
        SetStretchBltMode(dc.get(), HALFTONE);
        SetBrushOrgEx(dc.get(), 0, 0, nullptr);
        const RECT frame{0, 0, width, height};
        if (!PlayEnhMetaFile(dc.get(), emf.get(), &frame)) ThrowLastError(L"Drawing the metafile");
        GdiFlush();
    }
    Image image(width, height);
    std::memcpy(image.pixels().data(), bits, image.pixels().size_bytes());
    // GDI leaves the fourth byte of a 32-bit DIB undefined; the drawing is opaque.
    for (Bgra& p : image.pixels()) p.a = 255;
    return image;
}

}  // namespace tarn
