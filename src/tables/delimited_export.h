// Writing a host's grid as a comma- or tab-separated text file.
#pragma once

#include "common/export_options.h"

#include <oaidl.h>

#include <string_view>

namespace tarn {

// What differs between the comma and the tab file.
struct DelimitedFlavor {
    wchar_t separator;
    std::wstring_view filter;
    std::wstring_view defaultExt;
    std::wstring_view extensions;  // accepted, ";"-separated; the first is appended when missing
    std::wstring_view dialogTitle;
};

extern const DelimitedFlavor kCommaSeparated;
extern const DelimitedFlavor kTabSeparated;

// Asks for the file unless skipped, writes the grid and reports. False when the user
// cancelled or the file could not be opened; an error of the grid or the file while rows
// are written ends the export with that error, keeping what was written and turning the
// grid's Redraw back on.
bool ExportDelimitedTable(ExportOptions& options, IDispatch* table, const DelimitedFlavor& flavor);

}  // namespace tarn
