// Writing a host's grid as an Excel workbook: either cell by cell through the component's
// own workbook writer, or, when the "Direct XLS Output" setting asks for it, by the
// grid's own SaveGrid.
#pragma once

#include "common/export_options.h"

#include <oaidl.h>

namespace tarn {

// Asks for the file unless skipped and writes the workbook. With `showInExcel`, the
// written file is opened by the program registered for it and no closing message is
// shown. False when the user cancelled. An error of the grid or the file ends the export
// with that error; the half-written file is then gone and the grid paints again.
bool ExportXlsTable(ExportOptions& options, IDispatch* table, bool showInExcel);

// The colour a host's OLE colour stands for: a system colour gives the system's current
// colour of that index; any other value is returned unchanged.
long OleColorToRgb(long oleColour) noexcept;

}  // namespace tarn
