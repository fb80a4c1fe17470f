// Picture objects and BMP files.
#include "pictures.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace testhost {

namespace {
constexpr double kHimetricPerInch = 2540.0;

struct DcDeleter {
    HDC dc;
    ~DcDeleter() { DeleteDC(dc); }
};
}  // namespace

HBITMAP CreateDib24(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = std::max(1, width);
    info.bmiHeader.biHeight = std::max(1, height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) throw HostError(E_OUTOFMEMORY, L"Cannot create a " + std::to_wstring(width) + L"x" +
                                                    std::to_wstring(height) + L" bitmap");
    if (bits) *bits = pixels;
    return bitmap;
}

namespace {
// The bytes of a BMP file holding a 24-bit DIB section.
std::string BmpBytes(HBITMAP dib24) {
    DIBSECTION section{};
    if (GetObjectW(dib24, sizeof(section), &section) != sizeof(section) || section.dsBm.bmBitsPixel != 24)
        throw HostError(E_INVALIDARG, L"Only 24-bit DIB sections are written");
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(section.dsBm.bmWidth) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(section.dsBm.bmHeight);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    BITMAPINFOHEADER header = section.dsBmih;
    header.biSizeImage = imageSize;
    header.biXPelsPerMeter = header.biYPelsPerMeter = 3780;  // 96 DPI
    std::string bytes(file.bfSize, '\0');
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), &header, sizeof(header));
    memcpy(bytes.data() + file.bfOffBits, section.dsBm.bmBits, imageSize);
    return bytes;
}

// A picture object loaded from the bytes of a picture file.
ComPtr<IPictureDisp> LoadPictureBytes(const char* data, size_t size, const std::wstring& what) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(size, 1));
    if (!memory) throw HostError(E_OUTOFMEMORY, L"No memory for " + what);
    memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, &stream);
    if (FAILED(hr)) {
        GlobalFree(memory);
        throw HostError(hr, L"Cannot read " + what);
    }
    ComPtr<IPictureDisp> picture;
    hr = OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPictureDisp,
                        reinterpret_cast<void**>(picture.GetAddressOf()));
    if (FAILED(hr)) throw HostError(hr, L"Not a picture the platform can load: " + what);
    return picture;
}
}  // namespace

void WriteBmpFile(const std::wstring& path, HBITMAP dib24) {
    std::string bytes = BmpBytes(dib24);
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot create " + path);
    DWORD n = 0;
    BOOL ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(out);
    if (!ok || n != bytes.size()) throw HostError(E_FAIL, L"Cannot write " + path);
}

// Made by loading BMP data rather than from the handle: a picture keeps the data it was
// loaded from, and some platforms' IPicture::SaveAsFile writes only that.
ComPtr<IPictureDisp> PictureFromBitmap(HBITMAP bitmap) {
    struct Owner {
        HBITMAP b;
        ~Owner() { DeleteObject(b); }
    } owner{bitmap};
    std::string bytes = BmpBytes(bitmap);
    return LoadPictureBytes(bytes.data(), bytes.size(), L"a drawn picture");
}

ComPtr<IPictureDisp> SolidPicture(int width, int height, COLORREF color) {
    HBITMAP bitmap = CreateDib24(width, height);
    DcDeleter dc{CreateCompatibleDC(nullptr)};
    HGDIOBJ old = SelectObject(dc.dc, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc.dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc.dc, old);
    return PictureFromBitmap(bitmap);
}

ComPtr<IPictureDisp> LoadPictureFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot open picture " + path);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD n = 0;
    BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(file);
    if (!read) throw HostError(E_FAIL, L"Cannot read picture " + path);
    return LoadPictureBytes(bytes.data(), bytes.size(), path);
}

SIZE PicturePixels(IPictureDisp* picture) {
    SIZE size{0, 0};
    ComPtr<IPicture> p;
    if (!picture || FAILED(picture->QueryInterface(IID_PPV_ARGS(&p)))) return size;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    p->get_Width(&w);
    p->get_Height(&h);
    size.cx = static_cast<LONG>(w * 96.0 / kHimetricPerInch + 0.5);
    size.cy = static_cast<LONG>(h * 96.0 / kHimetricPerInch + 0.5);
    return size;
}

void DrawPicture(HDC dc, IPictureDisp* picture, int x, int y) {
    ComPtr<IPicture> p;
    if (!picture || FAILED(picture->QueryInterface(IID_PPV_ARGS(&p)))) return;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    p->get_Width(&w);
    p->get_Height(&h);
    SIZE px = PicturePixels(picture);
    if (px.cx <= 0 || px.cy <= 0) return;
    // Picture coordinates run bottom-up: start at the top edge and go down.
    p->Render(dc, x, y, px.cx, px.cy, 0, h, w, -h, nullptr);
}

std::wstring ResolvePath(const std::wstring& folder, const std::wstring& name) {
    std::wstring joined = name;
    bool absolute = (name.size() > 1 && name[1] == L':') || (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
    if (!absolute && !folder.empty()) {
        joined = folder;
        if (joined.back() != L'\\' && joined.back() != L'/') joined += L'\\';
        joined += name;
    }
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(joined.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return joined;
    return full;
}

ComPtr<IPictureDisp> PictureCache::Load(const std::wstring& path) {
    std::wstring key = path;
    for (wchar_t& ch : key) ch = static_cast<wchar_t>(std::towlower(ch == L'/' ? L'\\' : ch));
    auto found = pictures_.find(key);
    if (found != pictures_.end()) return found->second;
    ComPtr<IPictureDisp> picture = LoadPictureFile(path);
    pictures_.emplace(key, picture);
    return picture;
}

}  // namespace testhost
