// Load-and-save times of the image conversion service for each output format on one
// 2000 x 1500 photograph-like picture, and the two sample GIFs (a table screenshot drawn
// with GDI, a photograph) that show the palette choices. Run by bench/run_image_bench.py,
// which times ImageMagick on the same source file; see docs/benchmarks.md.
#include "com/handles.h"
#include "imaging/image_converter.h"
#include "imaging/image_resample.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using tarn::Bgra;
using tarn::Image;
using tarn::ImageConverter;

struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
using unique_hfont = std::unique_ptr<HFONT__, FontDeleter>;

// Smooth colour fields, a few soft shapes and sensor noise: tens of thousands of colours,
// the kind of picture that needs an optimised palette and dithering.
Image Photograph(int w, int h) {
    Image image(w, h);
    std::mt19937 random(2024);
    std::normal_distribution<double> noise(0.0, 3.0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            const double sky = std::clamp(1.0 - fy * 1.6, 0.0, 1.0);
            const double hill = 0.5 + 0.5 * std::sin(fx * 7.0 + std::sin(fy * 5.0) * 2.0);
            const double sun = std::exp(-(std::pow(fx - 0.72, 2) + std::pow(fy - 0.22, 2)) * 60.0);
            double r = 70 + 120 * sky + 60 * hill * (1 - sky) + 150 * sun;
            double g = 110 + 90 * sky + 90 * hill * (1 - sky) + 110 * sun;
            double b = 60 + 190 * sky + 20 * hill * (1 - sky) + 40 * sun;
            auto c = [&](double v) {
                return static_cast<std::uint8_t>(std::clamp(std::lround(v + noise(random)), 0L, 255L));
            };
            image.at(x, y) = Bgra{c(b), c(g), c(r), 255};
        }
    }
    return image;
}

// Fills a rectangle through an opaque empty text run (no brush to own).
void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT r{left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutW(dc, left, top, ETO_OPAQUE, &r, L"", 0, nullptr);
}

// A grid table as a host window shows it: a header row, coloured cells, grid lines and
// text, drawn with GDI into a DIB section at `scale` times the size.
Image DrawTable(int scale) {
    constexpr int kColumns = 5, kRows = 12;
    const int kCellW = 128 * scale, kCellH = 24 * scale, line = scale;
    const int w = kColumns * kCellW + line, h = kRows * kCellH + line;
    const tarn::unique_hdc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const tarn::unique_hbitmap dib(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const unique_hfont font(CreateFontW(-16 * scale, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH,
                                        L"Arial"));
    const unique_hfont bold(CreateFontW(-16 * scale, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH,
                                        L"Arial"));
    {
        const tarn::unique_select_object selectedBitmap(dc.get(), dib.get());
        Fill(dc.get(), 0, 0, w, h, RGB(255, 255, 255));
        const wchar_t* headers[kColumns] = {L"Item", L"Depot", L"On hand", L"Ordered", L"Status"};
        const wchar_t* depots[] = {L"North", L"Harbour", L"East Gate", L"Mill Lane"};
        const wchar_t* status[] = {L"OK", L"Low", L"Reorder", L"Hold"};
        const COLORREF statusFill[] = {RGB(220, 245, 220), RGB(255, 243, 205), RGB(250, 215, 215), RGB(225, 225, 240)};
        const COLORREF statusText[] = {RGB(0, 100, 0), RGB(140, 90, 0), RGB(180, 0, 0), RGB(60, 60, 120)};
        for (int row = 0; row < kRows; ++row) {
            for (int col = 0; col < kColumns; ++col) {
                const int x = col * kCellW, y = row * kCellH;
                COLORREF fill = row == 0 ? RGB(200, 215, 235) : (row % 2 ? RGB(255, 255, 255) : RGB(245, 247, 250));
                COLORREF ink = RGB(0, 0, 0);
                std::wstring text;
                if (row == 0) {
                    text = headers[col];
                } else {
                    const int s = (row * 7 + col) % 4;
                    switch (col) {
                        case 0: text = L"Part " + std::to_wstring(1000 + row * 37); break;
                        case 1: text = depots[row % 4]; break;
                        case 2: text = std::to_wstring((row * 97) % 500); break;
                        case 3: text = std::to_wstring((row * 53) % 120); break;
                        default:
                            text = status[s];
                            fill = statusFill[s];
                            ink = statusText[s];
                            break;
                    }
                }
                Fill(dc.get(), x, y, x + kCellW, y + kCellH, fill);
                const tarn::unique_select_object selectedFont(dc.get(), row == 0 ? bold.get() : font.get());
                SetBkMode(dc.get(), TRANSPARENT);
                SetTextColor(dc.get(), ink);
                RECT cell{x + 6 * scale, y, x + kCellW - 6 * scale, y + kCellH};
                DrawTextW(dc.get(), text.c_str(), -1, &cell,
                          DT_SINGLELINE | DT_VCENTER | (col >= 2 && col <= 3 ? DT_RIGHT : DT_LEFT));
            }
        }
        for (int col = 0; col <= kColumns; ++col)
            Fill(dc.get(), col * kCellW, 0, col * kCellW + line, h, RGB(160, 170, 185));
        for (int row = 0; row <= kRows; ++row)
            Fill(dc.get(), 0, row * kCellH, w, row * kCellH + line, RGB(160, 170, 185));
        GdiFlush();
    }
    Image image(w, h);
    std::memcpy(image.pixels().data(), bits, image.pixels().size_bytes());
    for (Bgra& p : image.pixels()) p.a = 255;
    return image;
}

// The table with smooth text, as ClearType or greyscale smoothing shows it: drawn at three
// times the size and resampled, which gives glyph edges hundreds of blended colours.
Image TableScreenshot() {
    const Image large = DrawTable(3);
    return tarn::Resample(large, large.width() / 3, large.height() / 3);
}

std::wstring Widen(const char* s) { return std::wstring(s, s + std::strlen(s)); }

// The best of `runs` timings of `step`, in milliseconds.
double BestOf(int runs, const std::function<bool()>& step) {
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!step()) return -1;
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: image_convert_bench <output folder> [runs]\n");
        return 2;
    }
    const std::wstring folder = Widen(argv[1]) + L"\\";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int failures = 0;
    {
        ImageConverter converter;
        converter.SetImage(TableScreenshot());
        failures += !converter.SaveGif(folder + L"gif-table.gif");
        failures += !converter.SavePng(folder + L"table.png");
        converter.SetImage(Photograph(640, 480));
        failures += !converter.SaveGif(folder + L"gif-photo.gif");
        failures += !converter.SavePng(folder + L"photo.png");

        const std::wstring source = folder + L"source.png";
        converter.SetImage(Photograph(2000, 1500));
        failures += !converter.SavePng(source);
        std::printf("source %ls %lld bytes\n", source.c_str(), FileSize(source));

        struct Format {
            const char* name;
            const wchar_t* file;
            std::function<bool(ImageConverter&, const std::wstring&)> save;
        };
        const Format formats[] = {
            {"load only", nullptr, nullptr},
            {"BMP", L"out.bmp", [](ImageConverter& c, const std::wstring& p) { return c.SaveBmp(p); }},
            {"GIF", L"out.gif", [](ImageConverter& c, const std::wstring& p) { return c.SaveGif(p); }},
            {"TGA", L"out.tga", [](ImageConverter& c, const std::wstring& p) { return c.SaveTga(p); }},
            {"TIFF", L"out.tif", [](ImageConverter& c, const std::wstring& p) { return c.SaveTiff(p); }},
            {"PNG", L"out.png", [](ImageConverter& c, const std::wstring& p) { return c.SavePng(p); }},
            {"JPEG 90", L"out.jpg", [](ImageConverter& c, const std::wstring& p) { return c.SaveJpeg(p, 90); }},
        };
        for (const Format& f : formats) {
            const std::wstring target = f.file ? folder + f.file : std::wstring();
            const double ms = BestOf(runs, [&] {
                ImageConverter c;
                return c.Load(source) && (!f.save || f.save(c, target));
            });
            if (ms < 0) ++failures;
            std::printf("%-10s %8.0f ms %10lld bytes\n", f.name, ms, f.file ? FileSize(target) : 0LL);
        }
    }
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
