// What the image service tests share: a scratch folder, the test pictures in tests/data,
// file bytes, and an independent read-back of written files through WIC itself.
#pragma once

#include "com/handles.h"
#include "component.h"
#include "imaging/image.h"

#include <wincodec.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarn::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ImageScratch {
public:
    ImageScratch() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"tarn-image-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++count_);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ImageScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ImageScratch(const ImageScratch&) = delete;
    ImageScratch& operator=(const ImageScratch&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }
    // Names of the files in the folder, to see that nothing was left behind.
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
        return names;
    }

private:
    static inline int count_ = 0;
    std::wstring path_;
};

// tests/data/images/<name> of the source tree; win_tests.exe runs from build/<arch>.
inline std::wstring TestPicture(std::wstring_view name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::filesystem::path root = std::filesystem::path(exe).parent_path().parent_path().parent_path();
    return (root / L"tests" / L"data" / L"images" / std::wstring(name)).wstring();
}

inline std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A written file as WIC reads it, without any of the component's code.
struct ReadBack {
    bool ok = false;
    GUID container{};
    int width = 0;
    int height = 0;
    std::vector<Bgra> pixels;  // 32bppBGRA, top-down

    Bgra at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline ReadBack ReadWithWic(const std::wstring& path) {
    ReadBack back;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgra;
    UINT w = 0, h = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  &decoder)) ||
        FAILED(decoder->GetContainerFormat(&back.container)) || FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(frame->GetSize(&w, &h)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra))) {
        return back;
    }
    back.width = static_cast<int>(w);
    back.height = static_cast<int>(h);
    back.pixels.resize(static_cast<std::size_t>(w) * h);
    back.ok = SUCCEEDED(bgra->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(back.pixels.data())));
    return back;
}

// Whether two colours are within `tolerance` on every channel.
inline bool Near(Bgra a, Bgra b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance &&
           std::abs(a.a - b.a) <= tolerance;
}

inline std::string Describe(Bgra p) {
    return "rgba(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + "," +
           std::to_string(p.a) + ")";
}

}  // namespace tarn::test
