// The class object handed out by DllGetClassObject: one per creatable class, creating
// instances through a plain function pointer.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace tarn {

using CreateFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

// Returns a new class factory for `create` in *out, or an error HRESULT.
HRESULT CreateClassFactory(CreateFunction create, REFIID iid, void** out) noexcept;

}  // namespace tarn
