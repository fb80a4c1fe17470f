// Conversion of exceptions into HRESULTs with error info.
#include "com/errors.h"

#include "com/handles.h"

#include <new>
#include <utility>

namespace tarn {

namespace {
// A standard exception's text (ASCII in practice; other bytes are taken as the ANSI code
// page's).
std::wstring WhatText(const char* what) {
    if (!what || !*what) return L"Unexpected internal error";
    const int n = MultiByteToWideChar(CP_ACP, 0, what, -1, nullptr, 0);
    if (n <= 1) return L"Unexpected internal error";
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, what, -1, text.data(), n);
    text.resize(static_cast<size_t>(n - 1));
    return text;
}
}  // namespace

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const unique_hlocal owner(buffer);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

void ThrowLastError(std::wstring_view what) {
    const DWORD error = GetLastError();
    const std::wstring step(what);
    ThrowIfFailed(error ? HRESULT_FROM_WIN32(error) : E_FAIL, step.c_str());
    throw ComError(E_FAIL, step + L" failed");  // not reached: the HRESULT above is a failure
}

std::wstring TakeExcepInfoDescription(EXCEPINFO& excep) {
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    unique_bstr description, source, helpFile;
    description.reset(std::exchange(excep.bstrDescription, nullptr));
    source.reset(std::exchange(excep.bstrSource, nullptr));
    helpFile.reset(std::exchange(excep.bstrHelpFile, nullptr));
    return description.str();
}

void ThrowIfFailed(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return;
    std::wstring text = what;
    std::wstring sys = SystemMessage(static_cast<DWORD>(hr));
    wchar_t code[16];
    wsprintfW(code, L"0x%08X", static_cast<unsigned>(hr));
    text += L" failed (";
    text += code;
    text += L")";
    if (!sys.empty()) text += L": " + sys;
    throw ComError(hr, text);
}

HRESULT ReportError(HRESULT hr, const std::wstring& description) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetSource(const_cast<wchar_t*>(L"TarnwickExports7"));
        create->SetDescription(const_cast<wchar_t*>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return hr;
}

HRESULT HResultFromCurrentException() noexcept {
    try {
        throw;
    } catch (const ComError& e) {
        return ReportError(e.hr(), e.description());
    } catch (const std::bad_alloc&) {
        return ReportError(E_OUTOFMEMORY, L"Out of memory");
    } catch (const std::exception& e) {
        // The text says what went wrong, which is more than "unexpected".
        try {
            return ReportError(E_UNEXPECTED, WhatText(e.what()));
        } catch (...) {
            return ReportError(E_UNEXPECTED, L"Unexpected internal error");
        }
    } catch (...) {
        return ReportError(E_UNEXPECTED, L"Unexpected internal error");
    }
}

}  // namespace tarn
