// Asks the user which grid columns to export and, when the engine's SelectMethod is set,
// the export method and file name (the SelectFieldsForm dialog). Grids with no header row
// or fewer than two listable columns get every column without a dialog.
#pragma once

#include <oaidl.h>

#include <string>

#include "TarnwickExports7.h"

namespace tarn {

// Returns the chosen columns in the comma-enclosed form (",0,3,"), empty when the user
// cancelled. `method` receives the chosen method name. The engine is read for ColumnList,
// SelectMethod, TargetFilename and its catalogue, and gets the new TargetFilename when
// SelectMethod is set. Each step is attempted; a failing one is skipped.
std::wstring SelectFields(IDispatch* grid, std::wstring& method, _Engine* engine);

}  // namespace tarn
