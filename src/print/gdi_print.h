// Composed pages sent to a printer: one print job, one device page per page, each drawn by
// the renderer the preview draws with. The print dialog, preset to the document's
// orientation, lets the user choose the printer, the pages and the copies.
#pragma once

#include "com/handles.h"
#include "print/page_model.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Prints pages `first` to `last` (counted from 1, clamped to the document) on `printer` as
// one job named `documentName`. False when the printer refused the job or a page, which
// then ends the job unfinished.
[[nodiscard]] bool PrintPages(HDC printer, const std::vector<pages::Page>& pages, std::wstring_view documentName,
                              int first = 1, int last = 0x7FFF);

// A printer's device context, set to `orientation`: the named printer, or the default one
// when the name is empty. Null when there is no such printer.
unique_hdc OpenPrinterDc(const std::wstring& printerName, pages::Orientation orientation);

// The print dialog (owned by `owner`), then the pages the user chose on the printer chosen.
// False when the user cancelled, there is no printer, or printing failed.
bool PrintWithDialog(HWND owner, const std::vector<pages::Page>& pages, std::wstring_view documentName,
                     const std::wstring& printerName, pages::Orientation orientation);

// The page setup dialog (owned by `owner`) for the printer named (the default one when
// empty), showing `orientation`. The orientation chosen, or nothing when cancelled.
std::optional<pages::Orientation> ShowPageSetupDialog(HWND owner, const std::wstring& printerName,
                                                      pages::Orientation orientation);

}  // namespace tarn
