// The MHTML export's steps, each attempted and skipped when it fails, and the Windows side
// of the packer.
#include "html/mhtml_export.h"

#include "com/errors.h"
#include "com/handles.h"
#include "common/file_names.h"
#include "common/save_dialog.h"
#include "common/utf8.h"
#include "html/mime_packer.h"
#include "html/temporary_page.h"
#include "html/win32_file_access.h"
#include "imaging/replacing_file.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace tarn {

namespace {

constexpr std::wstring_view kMhtmlFilter = L"MHTML Files (*.mhtml)|*.mhtml|All (*.*)|*.*";

// The classic generator is one per process, like the runtime's it stands for: successive
// exports take successive values.
std::uint32_t NextRandomState() noexcept {
    static std::atomic<std::uint32_t> state{kClassicRandomSeed};
    std::uint32_t current = state.load();
    while (!state.compare_exchange_weak(current, NextClassicRandom(current))) {
    }
    return NextClassicRandom(current);
}

wchar_t DecimalSeparator() {
    wchar_t text[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    return text[0] ? text[0] : L'.';
}

// Deletes a folder with everything in it, read-only files too.
void DeleteFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolderTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    ThrowLastErrorIf(!RemoveDirectoryW(folder.c_str()), L"Deleting the page's side folder");
}

}  // namespace

void PackPageArchive(const std::wstring& page, const std::wstring& archive) {
    ReplacingFile target(archive);
    std::unique_ptr<ByteSink> sink = CreateFileSink(target.temporaryPath());
    Win32FileAccess files;
    PackOptions options;
    options.pageName = Utf8(FileNameOf(archive, true) + L".htm");
    try {
        (void)PackHtml(Utf8(page), files, *sink, options);
    } catch (const std::runtime_error& e) {
        throw ComError(E_FAIL, L"Cannot pack " + page + L": " + FromUtf8(e.what()));
    }
    sink.reset();
    target.Commit();
}

bool ExportMhtml(ExportOptions& o, const MhtmlPageWriter& writePage) {
    std::wstring fileTitle;
    if (!ChooseExportFile(o, {L"mhtml", kMhtmlFilter, o.initDir, L""}, L"mhtml", fileTitle)) return false;
    std::wstring page;
    TryStep([&] { page = TemporaryPagePath(o.targetFilename, NextRandomState(), DecimalSeparator()); });

    ExportOptions pageOptions = o;
    pageOptions.targetFilename = page;
    pageOptions.skipFilenameSelection = true;
    pageOptions.fileFormat = L"MHTML";
    pageOptions.quiet = true;
    bool written = false;
    TryStep([&] { written = writePage(pageOptions); });
    if (written) {
        TryStep([&] { PackPageArchive(page, o.targetFilename); });
        TryStep([&] { DeleteFileW(page.c_str()); });
        TryStep([&] { DeleteFolderTree(FolderOf(page) + L"\\" + FileNameOf(page, true) + L"_files"); });
    }
    ExportMessages(o.quiet).ShowCompleted(L"Exported to " + FileNameOf(o.targetFilename, false));
    return written;
}

}  // namespace tarn
