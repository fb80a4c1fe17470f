// A host's grid written as an HTML page with its pictures in the side folder.
#pragma once

#include "common/export_options.h"

#include <oaidl.h>

namespace tarn {

// Asks for the page's file unless skipped and writes the grid. False when the user
// cancelled or the page could not be written (the user was told why).
bool ExportHtmlTable(ExportOptions& options, IDispatch* table);

}  // namespace tarn
