// What every HTML export does before its content: ask for the page's file, fix its
// extension, make the side folder with the banner images, and refer to files in it.
#pragma once

#include "common/export_options.h"
#include "html/page_frame.h"

#include <string>

namespace tarn {

struct HtmlTarget {
    std::wstring fileTitle;       // the chosen file's name, empty when the dialog was skipped
    std::wstring resourceFolder;  // the side folder (its short path for an archive's page)
    std::wstring resourcePrefix;  // how the page refers to the side folder
    bool mhtmlMode = false;       // the page is the inner page of a single-file archive

    // A quoted reference to `name` in the side folder, for behind "src=".
    std::wstring Source(std::wstring_view name) const {
        return ResourceSource(name, mhtmlMode, resourcePrefix, resourceFolder);
    }
};

// The save dialog (unless skipped) and the extension rule. False when the user cancelled.
bool AskHtmlTarget(ExportOptions& options, HtmlTarget& target);

// Works out the side folder and prefix from the target, creates the folder with the banner
// images, and in archive mode switches to the folder's short path.
void PrepareSideFolder(const ExportOptions& options, HtmlTarget& target);

// Creates `folder` and copies the banner images from the WebResources folder beside the
// component into it. Each step is attempted; nothing is reported.
void CopyWebResources(const std::wstring& folder) noexcept;

// The page's identity for its head and footer.
PageInfo PageInfoOf(const ExportOptions& options);

// "#RRGGBB" of a host colour, system colours resolved on this system.
std::wstring HtmlColorOf(long color);

}  // namespace tarn
