// What the common-support tests share: windows registered with this program's own
// instance (the code under test is linked into it, not loaded from the DLL), a scratch
// folder removed afterwards, and file helpers.
#pragma once

#include "com/module.h"
#include "component.h"
#include "ui/status_form.h"
#include "uidriver/ui_driver.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace tarn::test {

class CommonUiTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        previousModule_ = ModuleHandle();
        SetModuleHandle(GetModuleHandleW(nullptr));
    }
    void TearDown() override {
        StatusForm::Unload();
        SetModuleHandle(previousModule_);
        ComTest::TearDown();
    }

private:
    HMODULE previousModule_ = nullptr;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"tarn-common-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++count_);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    static inline int count_ = 0;
    std::wstring path_;
};

inline std::string FileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The system's description of a Win32 error, as FormatMessage gives it (without its line end).
inline std::wstring SystemText(DWORD error) {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512,
                             nullptr);
    std::wstring s(text, n);
    while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ')) s.pop_back();
    return s;
}

}  // namespace tarn::test
