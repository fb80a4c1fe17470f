// Scratch files in the component's folder, or in the temporary folder when it is read-only.
#include "common/scratch_file.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"
#include "common/file_names.h"

#include <windows.h>

#include <atomic>

namespace tarn {

namespace {

// Creates an empty file; `disposition` is CREATE_ALWAYS or CREATE_NEW.
DWORD CreateEmptyFile(const std::wstring& path, DWORD disposition) {
    const unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() != INVALID_HANDLE_VALUE ? ERROR_SUCCESS : GetLastError();
}

// "<stem>-<process>-<number><extension>" in the temporary folder, a name no other file has.
std::wstring CreateInTemporaryFolder(std::wstring_view name) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) ThrowIfFailed(HRESULT_FROM_WIN32(GetLastError()), L"Finding the temporary folder");
    const size_t dot = name.rfind(L'.');
    const std::wstring stem(name.substr(0, dot));
    const std::wstring extension(dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot));
    static std::atomic<unsigned long> counter{GetTickCount()};
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++attempt) {
        std::wstring path = folder + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + extension;
        error = CreateEmptyFile(path, CREATE_NEW);
        if (error == ERROR_SUCCESS) return path;
    }
    ThrowIfFailed(HRESULT_FROM_WIN32(error), L"Creating a scratch file in the temporary folder");
    return {};
}

}  // namespace

ScratchFile::ScratchFile(std::wstring_view name) : ScratchFile(FolderOf(ModulePath()), name) {}

ScratchFile::ScratchFile(std::wstring_view folder, std::wstring_view name) {
    std::wstring preferred = std::wstring(folder) + std::wstring(name);
    if (CreateEmptyFile(preferred, CREATE_ALWAYS) == ERROR_SUCCESS)
        path_ = std::move(preferred);
    else
        path_ = CreateInTemporaryFolder(name);
}

ScratchFile::~ScratchFile() { DeleteFileW(path_.c_str()); }

}  // namespace tarn
