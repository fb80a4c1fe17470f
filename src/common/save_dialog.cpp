// The save dialog through GetSaveFileName, owned by the host's active window so the host
// stays disabled while it is open.
#include "common/save_dialog.h"

#include "common/file_names.h"
#include "common/message_pump.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace tarn {

namespace {

// Room for long paths; the dialog refuses a proposal longer than its buffer.
constexpr size_t kPathChars = 32768;

const wchar_t* OrNull(const std::wstring& text) noexcept { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

bool ShowSaveDialog(std::wstring& fileName, std::wstring& fileTitle, const SaveDialogRequest& request) noexcept {
    try {
        const std::wstring filter = DialogFilterList(request.filter);
        const std::wstring defaultExt(request.defaultExt);
        const std::wstring initDir(request.initDir);
        const std::wstring title(request.dialogTitle);

        std::vector<wchar_t> file(std::max(kPathChars, fileName.size() + 1), L'\0');
        std::copy(fileName.begin(), fileName.end(), file.begin());
        std::vector<wchar_t> name(MAX_PATH, L'\0');

        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = GetActiveWindow();
        ofn.lpstrFilter = OrNull(filter);
        ofn.nFilterIndex = PreselectedFilterIndex(request.filter, request.defaultExt);
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrFileTitle = name.data();
        ofn.nMaxFileTitle = static_cast<DWORD>(name.size());
        ofn.lpstrInitialDir = OrNull(initDir);
        ofn.lpstrTitle = OrNull(title);
        ofn.lpstrDefExt = OrNull(defaultExt);
        ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN;
        if (!GetSaveFileNameW(&ofn)) return false;

        std::wstring chosen(file.data());
        std::wstring chosenTitle(name.data());
        fileName.swap(chosen);
        fileTitle.swap(chosenTitle);
        return true;
    } catch (...) {
        return false;
    }
}

bool ChooseExportFile(ExportOptions& options, const SaveDialogRequest& request, std::wstring_view extensions,
                      std::wstring& fileTitle) {
    if (!options.skipFilenameSelection) {
        if (!ShowSaveDialog(options.targetFilename, fileTitle, request)) return false;
        ProcessPendingMessages();
    }
    options.targetFilename = EnsureExtension(options.targetFilename, extensions);
    return true;
}

}  // namespace tarn
