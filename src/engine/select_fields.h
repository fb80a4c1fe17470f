// Asks the user which grid columns to export and, when wanted, the method. Returns the
// chosen columns as a comma-enclosed list, empty when the user cancelled.
#pragma once

#include <oaidl.h>

#include <string>

namespace tarn {

class Engine;

std::wstring SelectFields(IDispatch* grid, std::wstring& method, Engine& engine);

}  // namespace tarn
