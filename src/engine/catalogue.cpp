// The export method catalogue and the Dictionary it is handed out in.
#include "engine/catalogue.h"

#include "com/errors.h"

#include <array>
#include <span>

namespace tarn {

namespace {

struct MethodCaption {
    std::wstring_view key;      // what the host passes back as the method name
    std::wstring_view caption;  // "&" marks the access key, " ..." that a dialog follows
};

constexpr std::array<MethodCaption, 10> kCaptions{{
    {L"CSV", L"Export to &Comma Delimited File ..."},
    {L"TXT", L"Export to &Text File ..."},
    {L"RTF", L"Export to &Rich Text File ..."},
    {L"HTML", L"Export to &HTML File ..."},
    {L"MHTML", L"Export to &MHTML File (Embedded Images) ..."},
    {L"XLS", L"Export to E&xcel Spreadsheet ..."},
    {L"EXCEL", L"Export Directly to &Excel ..."},
    {L"PDF", L"Export to Adobe PDF File ..."},
    {L"IMAGE", L"Export to &Image File ..."},
    {L"EMF", L"Export to &Enhanced Meta File ..."},
}};

std::wstring_view CaptionOf(std::wstring_view key) noexcept {
    for (const MethodCaption& entry : kCaptions)
        if (entry.key == key) return entry.caption;
    return {};
}

// Printer methods and image format names are accepted by the export operations but are
// never offered in a menu.
constexpr std::wstring_view kTableKeys[] = {L"CSV", L"TXT", L"HTML", L"MHTML", L"XLS", L"EXCEL", L"PDF", L"IMAGE"};
constexpr std::wstring_view kTextKeys[] = {L"TXT", L"RTF", L"HTML", L"MHTML", L"PDF"};
constexpr std::wstring_view kBitmapKeys[] = {L"IMAGE", L"HTML", L"MHTML", L"PDF"};
constexpr std::wstring_view kVectorKeys[] = {L"IMAGE", L"EMF", L"HTML", L"MHTML", L"PDF"};
constexpr std::wstring_view kMapKeys[] = {L"IMAGE", L"HTML", L"MHTML", L"PDF"};
constexpr std::wstring_view kHtmlKeys[] = {L"HTML", L"MHTML", L"PDF"};

// By ObjectType: table, text, bitmap, vector image, map, HTML.
std::span<const std::wstring_view> KeysFor(long objectType) noexcept {
    switch (objectType) {
        case 0: return kTableKeys;
        case 1: return kTextKeys;
        case 2: return kBitmapKeys;
        case 3: return kVectorKeys;
        case 4: return kMapKeys;
        case 5: return kHtmlKeys;
        default: return {};
    }
}

VARIANT TextArg(const unique_bstr& text) noexcept {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

}  // namespace

ScriptingDictionary::ScriptingDictionary() {
    CLSID clsid{};
    ThrowIfFailed(CLSIDFromProgID(L"Scripting.Dictionary", &clsid), L"Finding Scripting.Dictionary");
    ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dictionary_)),
                  L"Creating Scripting.Dictionary");
    auto* name = const_cast<LPOLESTR>(L"Add");
    ThrowIfFailed(dictionary_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &add_),
                  L"Finding Scripting.Dictionary's Add");
}

void ScriptingDictionary::Add(std::wstring_view key, std::wstring_view item) {
    const unique_bstr keyText(key);
    const unique_bstr itemText(item);
    VARIANT args[2] = {TextArg(itemText), TextArg(keyText)};  // last argument first
    DISPPARAMS params{args, nullptr, 2, 0};
    EXCEPINFO exception{};
    HRESULT hr = dictionary_->Invoke(add_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception,
                                     nullptr);
    if (SUCCEEDED(hr)) return;
    std::wstring detail;
    if (hr == DISP_E_EXCEPTION) {
        detail = TakeExcepInfoDescription(exception);
        if (FAILED(exception.scode)) hr = exception.scode;
    }
    std::wstring text = L"Cannot add \"" + std::wstring(key) + L"\" to the list";
    if (!detail.empty()) text += L": " + detail;
    throw ComError(hr, text);
}

ComPtr<IDispatch> NewExportMethods(long objectType) {
    ScriptingDictionary dictionary;
    for (std::wstring_view key : KeysFor(objectType)) dictionary.Add(key, CaptionOf(key));
    return dictionary.Detach();
}

}  // namespace tarn
