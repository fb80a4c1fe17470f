// SelectFields: fills the selection dialog from the grid and the engine, decides whether it
// is needed at all, shows it, and hands its choices back. Every step runs on its own; a
// grid or engine member that fails leaves that step undone and the next one runs.
#include "engine/select_fields.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/late_bound.h"
#include "common/export_options.h"
#include "common/file_names.h"
#include "tables/grid_table.h"
#include "ui/select_fields_form.h"

#include <optional>
#include <vector>

namespace tarn {

namespace {

bool SameTextIgnoringCase(std::wstring_view a, std::wstring_view b) noexcept {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) noexcept {
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (SameTextIgnoringCase(text.substr(i, part.size()), part)) return true;
    return false;
}

void EraseAll(std::wstring& text, std::wstring_view part) {
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at)) text.erase(at, part.size());
}

// A header as the list shows it: a lone space stands for the icon column, and line
// breaks become spaces (CR LF gives two).
std::wstring ListedHeader(std::wstring header) {
    if (header == L" ") header = L"Icon";
    for (wchar_t& c : header)
        if (c == L'\r' || c == L'\n') c = L' ';
    return header;
}

// A catalogue caption as the method list shows it: without "Export to" (the leading space
// stays), access-key marks and the trailing " ...".
std::wstring ListedMethod(std::wstring_view caption) {
    std::wstring text(caption.size() > 9 ? caption.substr(9) : std::wstring_view());
    EraseAll(text, L"&");
    EraseAll(text, L" ...");
    return text;
}

// PDF and image export need more than a file name, so the dialog does not offer them.
bool IsOfferedText(std::wstring_view text) noexcept {
    return !ContainsIgnoringCase(text, L" PDF ") && !ContainsIgnoringCase(text, L" Image ");
}

std::wstring EngineText(_Engine* engine, HRESULT (STDMETHODCALLTYPE _Engine::*get)(BSTR*), const wchar_t* what) {
    unique_bstr value;
    ThrowIfFailed((engine->*get)(value.put()), what);
    return value.str();
}

std::vector<FieldChoice> ListableColumns(GridTable& grid, long columns, const std::wstring& columnList) {
    std::vector<FieldChoice> fields;
    for (long i = 0; i < columns; ++i) {
        TryStep([&] {
            if (grid.ColWidth(i) <= 0 || grid.ColHidden(i)) return;
            std::wstring header = grid.CellText(0, i);
            if (header.empty()) return;
            fields.push_back(
                {ListedHeader(std::move(header)), i, columnList.empty() || IsColumnSelected(columnList, i)});
        });
    }
    return fields;
}

std::vector<std::wstring> TextsOf(const VARIANT& array) {
    if (V_VT(&array) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&array)) throw ComError(E_UNEXPECTED, L"Not a list");
    SAFEARRAY* items = V_ARRAY(&array);
    LONG low = 0, high = -1;
    SafeArrayGetLBound(items, 1, &low);
    SafeArrayGetUBound(items, 1, &high);
    std::vector<std::wstring> texts;
    for (LONG i = low; i <= high; ++i) {
        unique_variant item;
        ThrowIfFailed(SafeArrayGetElement(items, &i, item.put()), L"Reading the method list");
        texts.push_back(VariantToText(item));
    }
    return texts;
}

struct MethodPart {
    std::vector<MethodChoice> entries;
    std::optional<size_t> current;
};

// The entries the dialog offers from the engine's catalogue for tables, and the one made
// current: the last entry added up to the working method's key, else HTML, else the first.
MethodPart OfferedMethods(_Engine* engine, const std::wstring& method) {
    MethodPart part;
    ObjectType tables = ObjectTypeTable;
    ComPtr<IDispatch> raw;
    ThrowIfFailed(engine->ExportMethods(&tables, &raw), L"Reading the export methods");
    LateBound catalogue(raw.Get());
    TryStep([&] {
        const std::vector<std::wstring> keys = TextsOf(catalogue.Call(L"Keys"));
        const std::vector<std::wstring> captions = TextsOf(catalogue.Call(L"Items"));
        for (size_t i = 0; i < keys.size() && i < captions.size(); ++i) {
            if (!SameTextIgnoringCase(keys[i], L"EXCEL")) {
                std::wstring text = ListedMethod(captions[i]);
                if (IsOfferedText(text)) part.entries.push_back({std::move(text), keys[i]});
            }
            if (SameTextIgnoringCase(keys[i], method))
                part.current = part.entries.empty() ? std::nullopt : std::optional<size_t>(part.entries.size() - 1);
        }
    });
    if (!part.current) {
        for (size_t i = 0; i < part.entries.size() && !part.current; ++i)
            if (part.entries[i].key == L"HTML") part.current = i;
        if (!part.current && !part.entries.empty()) part.current = 0;
    }
    TryStep([&] { catalogue.Call(L"RemoveAll"); });
    return part;
}

}  // namespace

std::wstring SelectFields(IDispatch* grid, std::wstring& method, _Engine* engine) {
    GridTable table(grid);
    std::wstring columnList;
    TryStep([&] { columnList = EngineText(engine, &_Engine::get_ColumnList, L"Reading ColumnList"); });
    long columns = 0;
    TryStep([&] { columns = table.Cols(); });
    std::vector<FieldChoice> fields = ListableColumns(table, columns, columnList);

    // Nothing to choose from: every column, hidden ones too, each in its own commas.
    std::optional<long> fixedRows;
    TryStep([&] { fixedRows = table.FixedRows(); });
    if (fixedRows == 0 || fields.size() < 2) return EachColumnEnclosed(columns);

    SelectFieldsForm form(std::move(fields), method);
    VARIANT_BOOL selectMethod = VARIANT_FALSE;
    TryStep([&] { ThrowIfFailed(engine->get_SelectMethod(&selectMethod), L"Reading SelectMethod"); });
    if (selectMethod) {
        MethodPart offered;
        TryStep([&] { offered = OfferedMethods(engine, method); });
        std::wstring fileName;
        TryStep([&] {
            fileName = FileNameOf(EngineText(engine, &_Engine::get_TargetFilename, L"Reading TargetFilename"), false);
        });
        form.OfferMethods(std::move(offered.entries), offered.current, std::move(fileName));
    }

    TryStep([&] { form.ShowModal(GetActiveWindow()); });
    method = form.method();
    if (selectMethod) {
        TryStep([&] {
            const std::wstring folder =
                FolderOf(EngineText(engine, &_Engine::get_TargetFilename, L"Reading TargetFilename"));
            const unique_bstr target(folder + form.typedFileName());
            ThrowIfFailed(engine->put_TargetFilename(target.get()), L"Setting TargetFilename");
        });
    }
    return form.columnList();
}

}  // namespace tarn
