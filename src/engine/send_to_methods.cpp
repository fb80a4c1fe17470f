// The send-to list: the Send To folder enumerated in the file system's own order (as a
// script's folder object lists it), then the programs for "xls" and "doc" files.
#include "engine/send_to_methods.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/shell_links.h"
#include "engine/catalogue.h"

#include <shlobj.h>

#include <memory>

namespace tarn {

namespace {

using unique_item_list = unique_any<ITEMIDLIST*, &CoTaskMemFree>;

// The extension as a script's file system object gives it: after the last ".".
std::wstring_view ExtensionOf(std::wstring_view name) noexcept {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

bool IsMailRecipient(std::wstring_view name) noexcept {
    const std::wstring_view extension = ExtensionOf(name);
    return CompareStringOrdinal(extension.data(), static_cast<int>(extension.size()), L"MAPIMAIL", -1, TRUE) ==
           CSTR_EQUAL;
}

[[noreturn]] void ThrowCannotOpen(const std::wstring& folder, HRESULT hr) {
    throw ComError(hr, folder.empty() ? std::wstring(L"The Send To folder was not found")
                                      : L"The Send To folder \"" + folder + L"\" cannot be opened");
}

void AddFolderEntries(ScriptingDictionary& list, const std::wstring& folder) {
    const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ThrowCannotOpen(folder, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    const std::wstring prefix = folder.back() == L'\\' ? folder : folder + L'\\';

    WIN32_FIND_DATAW found{};
    unique_hfind search(FindFirstFileW((prefix + L'*').c_str(), &found));
    if (search.get() == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return;
        ThrowCannotOpen(folder, HRESULT_FROM_WIN32(GetLastError()));
    }
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
        const std::wstring name = found.cFileName;
        if (IsMailRecipient(name)) {
            list.Add(L"MailContent", L"Mail Recipient ...");
            list.Add(prefix + name, L"Mail Recipient (as Attachment) ...");
        } else {
            list.Add(prefix + name, FileNameOf(name, true) + L" ...");
        }
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) ThrowCannotOpen(folder, HRESULT_FROM_WIN32(GetLastError()));
}

}  // namespace

std::wstring SendToFolder() {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, &raw))) return {};
    const unique_item_list items(raw);
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(items.get(), path)) return {};
    path[MAX_PATH - 1] = L'\0';
    return path;
}

ComPtr<IDispatch> NewSendToMethods() {
    ScriptingDictionary list;
    AddFolderEntries(list, SendToFolder());
    if (const std::wstring excel = FindAssociatedProgram(L"xls"); !excel.empty())
        list.Add(excel, L"Microsoft Excel ...");
    if (const std::wstring word = FindAssociatedProgram(L"doc"); !word.empty()) list.Add(word, L"Microsoft Word ...");
    return list.Detach();
}

}  // namespace tarn
