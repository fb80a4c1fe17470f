// Turning a failed Win32 call's GetLastError into a ComError for the image code.
#pragma once

#include "com/errors.h"

#include <windows.h>

#include <string>

namespace tarn {

// Throws ComError for the calling thread's last error; `what` names the failed step.
// Calls that fail without setting an error code report E_FAIL.
[[noreturn]] inline void ThrowLastError(const std::wstring& what) {
    const DWORD error = GetLastError();
    ThrowIfFailed(error ? HRESULT_FROM_WIN32(error) : E_FAIL, what.c_str());
    throw ComError(E_FAIL, what + L" failed");  // not reached: the HRESULT above is a failure
}

}  // namespace tarn
