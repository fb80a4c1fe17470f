// Writing and removing the component's registry entries: each class's CLSID key with its
// in-process server, apartment threading model and ProgID, and the type library.
#pragma once

#include <windows.h>

namespace tarn {

HRESULT RegisterComponent() noexcept;
HRESULT UnregisterComponent() noexcept;

}  // namespace tarn
