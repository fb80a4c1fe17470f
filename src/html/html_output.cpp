// Preparation shared by the HTML exports.
#include "html/html_output.h"

#include "com/errors.h"
#include "com/module.h"
#include "common/file_names.h"
#include "common/save_dialog.h"

#include <windows.h>

namespace tarn {

namespace {
constexpr std::wstring_view kHtmlFilter = L"HTML Files (*.htm;*.html)|*.htm;*.html|All (*.*)|*.*";

bool IsMhtml(const std::wstring& format) {
    return format.size() == 5 && CompareStringOrdinal(format.c_str(), 5, L"MHTML", 5, TRUE) == CSTR_EQUAL;
}
}  // namespace

bool AskHtmlTarget(ExportOptions& o, HtmlTarget& target) {
    return ChooseExportFile(o, {L"htm", kHtmlFilter, o.initDir, L""}, L"htm;html", target.fileTitle);
}

void CopyWebResources(const std::wstring& folder) noexcept {
    TryStep([&] { CreateDirectoryW(folder.c_str(), nullptr); });
    TryStep([&] {
        std::wstring resources = FolderOf(ModulePath()) + L"WebResources\\";
        for (const wchar_t* name : {L"Spacer.jpg", L"Header.jpg"})
            CopyFileW((resources + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
    });
}

void PrepareSideFolder(const ExportOptions& o, HtmlTarget& target) {
    target.mhtmlMode = IsMhtml(o.fileFormat);
    target.resourceFolder = ResourceFolderOf(o.targetFilename);
    target.resourcePrefix = ResourcePrefixOf(o.targetFilename);
    CopyWebResources(target.resourceFolder);
    if (target.mhtmlMode) {
        wchar_t shortPath[MAX_PATH];
        DWORD n = GetShortPathNameW(target.resourceFolder.c_str(), shortPath, MAX_PATH);
        ThrowLastErrorIf(n == 0 || n >= MAX_PATH, L"Finding the side folder");
        target.resourceFolder = shortPath;
    }
}

PageInfo PageInfoOf(const ExportOptions& o) { return PageInfo{o.programName, o.programVersion, o.title}; }

std::wstring HtmlColorOf(long color) {
    return HtmlColor(static_cast<std::int32_t>(color),
                     [](int index) { return static_cast<std::uint32_t>(GetSysColor(index)); });
}

}  // namespace tarn
