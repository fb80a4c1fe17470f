// Error handling at the COM boundary. Inside the component, failures are C++ exceptions
// (ComError carries an HRESULT and a readable description); every COM method body runs
// through ComBoundary, which turns any exception into an HRESULT plus IErrorInfo, so no
// exception ever reaches a caller.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

class ComError : public std::exception {
public:
    ComError(HRESULT hr, std::wstring description) : hr_(hr), description_(std::move(description)) {}
    HRESULT hr() const noexcept { return hr_; }
    const std::wstring& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "COM error"; }

private:
    HRESULT hr_;
    std::wstring description_;
};

// Throws ComError when hr failed; `what` names the operation for the error text.
void ThrowIfFailed(HRESULT hr, const wchar_t* what);

// Throws ComError for the calling thread's last Win32 error; `what` names the failed step.
// Calls that fail without setting an error code report E_FAIL.
[[noreturn]] void ThrowLastError(std::wstring_view what);
inline void ThrowLastErrorIf(bool failed, std::wstring_view what) {
    if (failed) ThrowLastError(what);
}

// The system's text for an HRESULT or Win32 error code, without its line end; empty when
// the system has none.
std::wstring SystemMessage(DWORD code);

// The description of an EXCEPINFO a call filled in (after its deferred fill-in), freeing
// the strings it holds.
std::wstring TakeExcepInfoDescription(EXCEPINFO& excep);

// Sets the thread's error info (source "TarnwickExports7", the given description) and
// returns hr, for methods that fail without an exception.
HRESULT ReportError(HRESULT hr, const std::wstring& description) noexcept;

// Runs one step of a "skip what fails" sequence: an exception from the step is swallowed
// and false returned, so the caller carries on with the next step.
template <class Step>
bool TryStep(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

HRESULT HResultFromCurrentException() noexcept;

// The body of every COM method. Returns S_OK when the body returns normally, or the
// HRESULT of the exception it threw, with IErrorInfo describing it.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
    try {
        body();
        SetErrorInfo(0, nullptr);
        return S_OK;
    } catch (...) {
        return HResultFromCurrentException();
    }
}

}  // namespace tarn
