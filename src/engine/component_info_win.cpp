// Reads the component's version resource from its own file.
#include "com/errors.h"
#include "com/module.h"
#include "engine/component_info.h"

#include <windows.h>

#include <vector>

namespace tarn {

namespace {
std::vector<BYTE> VersionBlock() {
    std::wstring path = ModulePath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ThrowLastErrorIf(size == 0, L"GetFileVersionInfoSize");
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) ThrowLastError(L"GetFileVersionInfo");
    return block;
}
}  // namespace

std::wstring ComponentDescription() {
    std::vector<BYTE> block = VersionBlock();
    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation))
        return {};
    wchar_t key[64];
    wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription", translations[0].language, translations[0].codePage);
    wchar_t* text = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&text), &chars) || !text) return {};
    std::wstring result(text);
    return result;
}

std::wstring ComponentVersionText() {
    std::vector<BYTE> block = VersionBlock();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &bytes) || !info) return {};
    return ShortVersionText(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                            LOWORD(info->dwFileVersionLS));
}

std::wstring ComponentDllText() { return PathWithoutExtension(ModulePath()); }

}  // namespace tarn
