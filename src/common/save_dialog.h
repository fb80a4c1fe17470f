// The save-file dialog every exporter shows before writing (unless its host skips it), and
// the opening every file export shares: the dialog, then the extension rule.
#pragma once

#include "common/export_options.h"

#include <string>
#include <string_view>

namespace tarn {

struct SaveDialogRequest {
    std::wstring_view defaultExt;   // appended to a typed name without one; also picks the filter
    std::wstring_view filter;       // "Description|*.a;*.b|All (*.*)|*.*"
    std::wstring_view initDir;      // the folder the dialog starts in
    std::wstring_view dialogTitle;  // the system's own title when empty
};

// Shows the system's save dialog proposing `fileName`, preselecting the filter as
// PreselectedFilterIndex says, asking before an existing file is replaced and refusing
// read-only files. When the user confirms, `fileName` becomes the full path chosen and
// `fileTitle` its name without the folder, and the result is true. On cancel or any
// failure both stay exactly as they were and the result is false.
[[nodiscard]] bool ShowSaveDialog(std::wstring& fileName, std::wstring& fileTitle,
                                  const SaveDialogRequest& request) noexcept;

// Asks for the export's file unless SkipFilenameSelection is set (then `fileTitle` stays
// as it was), lets the host repaint where the dialog was, and gives TargetFilename one of
// the ";"-separated `extensions` (the first when it has none of them). False when the user
// cancelled; the options are then unchanged.
[[nodiscard]] bool ChooseExportFile(ExportOptions& options, const SaveDialogRequest& request,
                                    std::wstring_view extensions, std::wstring& fileTitle);

}  // namespace tarn
