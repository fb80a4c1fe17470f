// What the driver reads off the screen: pictures of windows, written as PNG (zlib for the
// image data, so the driver needs no image codec from the system under test), and the icon
// a window of another process shows, recognised by its pixels.
#include "ui_driver.h"

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>
#include <algorithm>

namespace tarn::ui {

namespace {

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};
struct MemoryDcDeleter {
    using pointer = HDC;
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct GdiDeleter {
    void operator()(HGDIOBJ o) const noexcept { DeleteObject(o); }
};
using unique_memory_dc = std::unique_ptr<HDC, MemoryDcDeleter>;
using unique_hbitmap = std::unique_ptr<HBITMAP__, GdiDeleter>;

void Put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    png += body;
    Put32(png,
          static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// 8-bit RGB, no interlace; each row with filter 0.
std::string EncodePng(int width, int height, const uint8_t* bgra) {
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        const uint8_t* row = bgra + static_cast<size_t>(y) * 4 * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            raw += static_cast<char>(row[4 * x + 2]);
            raw += static_cast<char>(row[4 * x + 1]);
            raw += static_cast<char>(row[4 * x + 0]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw DriverError(L"cannot compress the picture");
    packed.resize(packedSize);

    std::string header;
    Put32(header, static_cast<uint32_t>(width));
    Put32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    return png;
}

unique_hbitmap MakeBitmap(HDC screen, int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    unique_hbitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) bitmap.reset();
    return bitmap;
}

// The pixels (BGRA, top-down rows) of a rectangle of the screen.
std::vector<uint32_t> CaptureScreen(const RECT& r) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) throw DriverError(L"the window has no size");
    ScreenDc screen;
    unique_memory_dc memory(CreateCompatibleDC(screen.dc));
    void* bits = nullptr;
    unique_hbitmap bitmap = MakeBitmap(screen.dc, width, height, bits);
    if (!memory || !bitmap) throw DriverError(L"cannot make a bitmap for the picture");
    HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    const BOOL copied = BitBlt(memory.get(), 0, 0, width, height, screen.dc, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(memory.get(), previous);
    if (!copied) throw DriverError(L"cannot copy the window from the screen");
    const auto* first = static_cast<const uint32_t*>(bits);
    return std::vector<uint32_t>(first, first + static_cast<size_t>(width) * static_cast<size_t>(height));
}

// How many pixels of `shown` the icon drawn the way a static control draws it (scaled to
// the control, over its background) reproduces.
size_t MatchingPixels(HICON icon, const std::vector<uint32_t>& shown, int width, int height) {
    ScreenDc screen;
    unique_memory_dc memory(CreateCompatibleDC(screen.dc));
    void* bits = nullptr;
    unique_hbitmap bitmap = MakeBitmap(screen.dc, width, height, bits);
    if (!memory || !bitmap) return 0;
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + shown.size(), shown.front());  // the corner is background
    HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    DrawIconEx(memory.get(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    SelectObject(memory.get(), previous);
    size_t same = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        if ((pixels[i] & 0xFFFFFF) == (shown[i] & 0xFFFFFF)) ++same;
    return same;
}

}  // namespace

Icon IconOnScreen(HWND iconControl) {
    RECT r{};
    GetClientRect(iconControl, &r);
    MapWindowPoints(iconControl, nullptr, reinterpret_cast<POINT*>(&r), 2);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const std::vector<uint32_t> shown = CaptureScreen(r);
    const std::pair<const wchar_t*, Icon> candidates[] = {
        {IDI_INFORMATION, Icon::Information},
        {IDI_EXCLAMATION, Icon::Exclamation},
        {IDI_ERROR, Icon::Error},
        {IDI_QUESTION, Icon::Question},
    };
    Icon best = Icon::Other;
    size_t bestCount = 0;
    for (const auto& [id, icon] : candidates) {
        const size_t count = MatchingPixels(LoadIconW(nullptr, id), shown, width, height);
        if (count > bestCount) {
            bestCount = count;
            best = icon;
        }
    }
    // Anti-aliased edges may differ by a shade; the rest must agree.
    return bestCount * 10 >= shown.size() * 9 ? best : Icon::Other;
}

void Window::SavePng(const std::wstring& path) const {
    if (!IsVisible()) throw DriverError(L"cannot photograph a window that is not shown");
    // A window that has just appeared may still be painting. A thread that answers WM_NULL
    // is idle enough to paint: have it paint everything and wait until nothing is left to
    // paint. One that does not answer (busy exporting) painted when it last could.
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &ignored)) {
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN);
        WaitUntil(
            [this] {
                if (GetUpdateRect(hwnd_, nullptr, FALSE)) return false;
                for (const Window& c : Controls())
                    if (c.IsVisible() && GetUpdateRect(c.hwnd(), nullptr, FALSE)) return false;
                return true;
            },
            Milliseconds(3000));
        // Painting ends with the WM_PAINT handler; the drawing reaches the screen after it.
        SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &ignored);
        GdiFlush();
    }
    RECT r{};
    GetWindowRect(hwnd_, &r);
    const std::vector<uint32_t> pixels = CaptureScreen(r);
    const std::string png =
        EncodePng(r.right - r.left, r.bottom - r.top, reinterpret_cast<const uint8_t*>(pixels.data()));
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    if (!file) throw DriverError(L"cannot write " + path);
}

}  // namespace tarn::ui
