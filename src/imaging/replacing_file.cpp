// Temporary file beside the target, then MoveFileEx over it.
#include "imaging/replacing_file.h"

#include "com/errors.h"

#include <windows.h>

namespace tarn {

namespace {
std::wstring FolderOf(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) return L".";
    // "C:\name" keeps its root; "C:name" is relative to the drive's current folder.
    if (slash == 0 || (slash == 2 && path[1] == L':')) return std::wstring(path.substr(0, slash + 1));
    return std::wstring(path.substr(0, slash));
}
}  // namespace

ReplacingFile::ReplacingFile(std::wstring_view target) : target_(target) {
    if (target_.empty()) throw ComError(E_INVALIDARG, L"No file name was given");
    const std::wstring folder = FolderOf(target_);
    wchar_t name[MAX_PATH];
    // GetTempFileName creates the file, so the name is ours until we delete or move it.
    if (!GetTempFileNameW(folder.c_str(), L"tqx", 0, name)) ThrowLastError(L"Creating a file in " + folder);
    temporary_ = name;
}

ReplacingFile::~ReplacingFile() {
    if (!committed_) DeleteFileW(temporary_.c_str());
}

void ReplacingFile::Commit() {
    if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowLastError(L"Replacing " + target_);
    }
    committed_ = true;
}

}  // namespace tarn
