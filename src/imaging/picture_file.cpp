// Picture objects to files. Bitmaps are written from their pixels rather than through
// IPicture::SaveAsFile, which some platforms answer with success and no bytes for pictures
// made from a bitmap handle.
#include "imaging/picture_file.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/late_bound.h"

#include <olectl.h>

#include <vector>

namespace tarn {

namespace {
ComPtr<IPicture> AsPicture(IDispatch* picture) {
    ComPtr<IPicture> pic;
    if (picture) picture->QueryInterface(IID_PPV_ARGS(&pic));
    return pic;
}

void WriteAll(const std::wstring& path, const void* data, size_t size) {
    unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ThrowLastErrorIf(file.get() == INVALID_HANDLE_VALUE, L"Creating " + path);
    DWORD written = 0;
    ThrowLastErrorIf(!WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) || written != size,
                     L"Writing " + path);
}

// A 24-bit bottom-up BMP of the bitmap's pixels.
void WriteBitmapFile(HBITMAP bitmap, const std::wstring& path) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        throw ComError(CTL_E_INVALIDPICTURE, L"The picture holds no bitmap");
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(info.bmWidth) * 3 + 3) & ~size_t{3};
    const size_t pixelBytes = stride * static_cast<size_t>(info.bmHeight);
    std::vector<BYTE> file(sizeof(BITMAPFILEHEADER) + sizeof(header) + pixelBytes);
    unique_hdc screen(CreateCompatibleDC(nullptr));
    BITMAPINFO request{};
    request.bmiHeader = header;
    if (!GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight),
                   file.data() + sizeof(BITMAPFILEHEADER) + sizeof(header), &request, DIB_RGB_COLORS))
        throw ComError(CTL_E_INVALIDPICTURE, L"The picture's pixels cannot be read");
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfSize = static_cast<DWORD>(file.size());
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(header);
    header.biSizeImage = static_cast<DWORD>(pixelBytes);
    memcpy(file.data(), &fileHeader, sizeof(fileHeader));
    memcpy(file.data() + sizeof(fileHeader), &header, sizeof(header));
    WriteAll(path, file.data(), file.size());
}
}  // namespace

long PictureHandleOf(IDispatch* picture) {
    if (!picture) return 0;
    if (ComPtr<IPicture> pic = AsPicture(picture)) {
        OLE_HANDLE handle = 0;
        return SUCCEEDED(pic->get_Handle(&handle)) ? static_cast<long>(handle) : 0;
    }
    LateBound object(picture);
    return VariantToLong(object.Get(L"Handle"));
}

std::wstring PictureExtensionOf(IDispatch* picture) {
    SHORT type = PICTYPE_NONE;
    if (ComPtr<IPicture> pic = AsPicture(picture)) pic->get_Type(&type);
    switch (type) {
        case PICTYPE_BITMAP: return L".bmp";
        case PICTYPE_METAFILE: return L".wmf";
        case PICTYPE_ICON: return L".ico";
        case PICTYPE_ENHMETAFILE: return L".emf";
        default: return L"";
    }
}

void SavePictureFile(IDispatch* picture, const std::wstring& path) {
    ComPtr<IPicture> pic = AsPicture(picture);
    if (!pic) throw ComError(CTL_E_INVALIDPICTURE, L"The object is not a picture");
    SHORT type = PICTYPE_NONE;
    pic->get_Type(&type);
    if (type == PICTYPE_BITMAP) {
        OLE_HANDLE handle = 0;
        ThrowIfFailed(pic->get_Handle(&handle), L"Reading the picture");
        WriteBitmapFile(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), path);
        return;
    }
    ComPtr<IStream> stream;
    ThrowIfFailed(CreateStreamOnHGlobal(nullptr, TRUE, &stream), L"Saving the picture");
    LONG size = 0;
    ThrowIfFailed(pic->SaveAsFile(stream.Get(), TRUE, &size), L"Saving the picture");
    HGLOBAL memory = nullptr;
    ThrowIfFailed(GetHGlobalFromStream(stream.Get(), &memory), L"Saving the picture");
    const void* bytes = GlobalLock(memory);
    const ScopeExit unlock([memory] { GlobalUnlock(memory); });
    if (size <= 0) throw ComError(CTL_E_INVALIDPICTURE, L"The picture is empty");
    WriteAll(path, bytes, static_cast<size_t>(size));
}

}  // namespace tarn
