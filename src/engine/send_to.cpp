// Send-to delivery by the destination's extension, and the shell drop of a file on a
// drop handler (IDropTarget over the shell's data object for the file).
#include "engine/send_to.h"

#include "com/errors.h"
#include "com/handles.h"
#include "common/file_names.h"
#include "common/registry_support.h"
#include "common/shell_links.h"
#include "mail/html_email_form.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace tarn {

namespace {

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), towupper);
    return text;
}

// The text after the last "." of the last path element; empty when there is none.
std::wstring ExtensionOf(std::wstring_view path) {
    const std::wstring name = FileNameOf(path, false);
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

void StartProgram(std::wstring_view program, std::wstring_view file) {
    const std::wstring parameters = L"\"" + std::wstring(file) + L"\"";
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", std::wstring(program).c_str(), parameters.c_str(), L"", SW_SHOWNORMAL));
    if (started <= 32) throw ComError(E_FAIL, L"Starting " + std::wstring(program));
}

void CopyIntoFolder(const std::wstring& source, const std::wstring& folder) {
    // The shell's copy takes lists ending in two NULs; it replaces what is there, asks nothing.
    const std::wstring from = source + L'\0';
    const std::wstring to = folder + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_SILENT;
    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted)
        throw ComError(E_FAIL, L"Copying " + source);
}

void DeliverThroughShortcut(const std::wstring& file, const std::wstring& shortcut) {
    std::wstring sideFolder;
    TryStep([&] { sideFolder = FolderOf(file) + FileNameOf(file, true) + L"_files"; });
    std::wstring target;
    TryStep([&] { target = ResolveShortcut(shortcut); });
    const DWORD attributes = target.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        const std::wstring folder = target + L"\\";
        TryStep([&] { CopyIntoFolder(file, folder); });
        const DWORD side = GetFileAttributesW(sideFolder.c_str());
        if (side != INVALID_FILE_ATTRIBUTES && (side & FILE_ATTRIBUTE_DIRECTORY))
            TryStep([&] { CopyIntoFolder(sideFolder, folder); });
        return;
    }
    const std::wstring extension = Upper(ExtensionOf(target));
    if (extension == L"EXE" || extension == L"COM") {
        TryStep([&] { StartProgram(target, file); });
        return;
    }
    const std::wstring program = FindAssociatedProgram(ExtensionOf(target));
    if (!program.empty()) TryStep([&] { StartProgram(program, file); });
}

// The shell's data object for one file, as Explorer hands it to a drop target.
ComPtr<IDataObject> DataObjectForFile(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring folder = path.substr(0, slash);
    const std::wstring name = path.substr(slash + 1);
    if (!folder.empty() && folder.back() == L':') folder += L'\\';

    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(&desktop))) return {};
    PIDLIST_RELATIVE folderItem = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, folder.data(), nullptr, &folderItem, nullptr))) return {};
    const unique_cotaskmem folderOwner(folderItem);
    ComPtr<IShellFolder> shellFolder;
    if (FAILED(desktop->BindToObject(folderItem, nullptr, IID_PPV_ARGS(&shellFolder)))) return {};
    std::wstring itemName = name;
    PIDLIST_RELATIVE item = nullptr;
    if (FAILED(shellFolder->ParseDisplayName(nullptr, nullptr, itemName.data(), nullptr, &item, nullptr))) return {};
    const unique_cotaskmem itemOwner(item);
    PCUITEMID_CHILD items[] = {item};
    ComPtr<IDataObject> data;
    if (FAILED(shellFolder->GetUIObjectOf(nullptr, 1, items, IID_IDataObject, nullptr,
                                          reinterpret_cast<void**>(data.GetAddressOf()))))
        return {};
    return data;
}

void PauseSeconds(int seconds) noexcept {
    for (int i = 0; i < seconds * 10; ++i) Sleep(100);
}

}  // namespace

void DropFileOnTarget(std::wstring_view file, std::wstring_view extension) noexcept {
    TryStep([&] {
        std::wstring handler = ReadRegistryValue(HKEY_CLASSES_ROOT, L"." + std::wstring(extension), L"", L"");
        if (handler.empty()) return;
        for (size_t at; (at = Upper(handler).find(L"CLSID\\")) != std::wstring::npos;) handler.erase(at, 6);
        CLSID clsid{};
        ThrowIfFailed(CLSIDFromString(handler.c_str(), &clsid), L"Reading the drop handler's class");
        ComPtr<IDropTarget> target;
        ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&target)),
                      L"Creating the drop handler");
        ComPtr<IDataObject> data = DataObjectForFile(std::wstring(file));
        DWORD effect = DROPEFFECT_COPY;
        const POINTL point{0, 0};
        TryStep([&] { ThrowIfFailed(target->DragEnter(data.Get(), MK_LBUTTON, point, &effect), L"DragEnter"); });
        effect = DROPEFFECT_COPY;
        TryStep([&] { ThrowIfFailed(target->Drop(data.Get(), MK_LBUTTON, point, &effect), L"Drop"); });
        PauseSeconds(1);
    });
}

void SendFileTo(std::wstring_view file, std::wstring_view destination, std::wstring_view subject) noexcept {
    TryStep([&] {
        const std::wstring path(file), method(destination);
        std::wstring extension = ExtensionOf(method);
        if (extension.empty()) extension = method;
        const std::wstring kind = Upper(extension);
        if (kind == L"LNK") {
            DeliverThroughShortcut(path, method);
        } else if (kind == L"EXE" || kind == L"COM") {
            StartProgram(method, path);
        } else if (kind == L"MAILCONTENT") {
            static_cast<void>(mail::HtmlEmailForm::SendMessageFor(path, subject, L""));
        } else {
            DropFileOnTarget(path, extension);
        }
    });
}

}  // namespace tarn
