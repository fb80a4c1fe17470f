// Shortcut resolution through the shell link object, and file association look-up
// through FindExecutable on a sample file.
#include "common/shell_links.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"
#include "common/file_names.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace tarn {

namespace {

std::wstring FromAnsiBuffer(const char* text) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (chars <= 1) return {};
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), chars);
    wide.resize(static_cast<size_t>(chars) - 1);
    return wide;
}

}  // namespace

std::wstring ResolveShortcut(std::wstring_view linkPath) {
    ComPtr<IShellLinkA> link;
    ThrowIfFailed(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)),
                  L"Creating a shell link object");
    ComPtr<IPersistFile> file;
    ThrowIfFailed(link.As(&file), L"Asking the shell link for IPersistFile");
    const std::wstring path(linkPath);
    ThrowIfFailed(file->Load(path.c_str(), STGM_READ), (L"Loading the shortcut " + path).c_str());
    ThrowIfFailed(link->Resolve(nullptr, SLR_ANY_MATCH), (L"Resolving the shortcut " + path).c_str());
    char target[MAX_PATH] = {};
    ThrowIfFailed(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY), L"Reading the shortcut's target");
    target[MAX_PATH - 1] = '\0';
    return FromAnsiBuffer(target);
}

std::wstring FindAssociatedProgram(std::wstring_view extension) noexcept {
    try {
        // Each step may fail (a read-only program folder, say); the shell is asked anyway.
        std::wstring folder;
        TryStep([&] { folder = FolderOf(ModulePath()) + L"Temp"; });
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring sample = folder + L"\\test." + std::wstring(extension);
        // Opened for appending and closed at once: an existing sample keeps its content.
        unique_hfile created(CreateFileW(sample.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        created.reset();
        wchar_t program[MAX_PATH] = {};
        const auto found = reinterpret_cast<INT_PTR>(FindExecutableW(sample.c_str(), L"", program));
        if (found <= 32) return {};
        program[MAX_PATH - 1] = L'\0';
        return program;
    } catch (...) {
        return {};
    }
}

}  // namespace tarn
