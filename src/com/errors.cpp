// Conversion of exceptions into HRESULTs with error info.
#include "com/errors.h"

#include "com/handles.h"

#include <new>

namespace tarn {

namespace {
std::wstring SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                             nullptr);
    std::unique_ptr<void, detail::LocalDeleter> owner(buffer);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}
}  // namespace

void ThrowIfFailed(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return;
    std::wstring text = what;
    std::wstring sys = SystemMessage(hr);
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
    } catch (...) {
        return ReportError(E_UNEXPECTED, L"Unexpected internal error");
    }
}

}  // namespace tarn
