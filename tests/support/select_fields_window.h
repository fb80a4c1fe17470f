// The field and method selection dialog as the tests meet it: shown by SelectFields (or
// Engine.ExportTable) while a watcher thread answers it. Shared by the dialog's tests and
// the screenshot taker (tests/screenshots).
#pragma once

#include "engine/select_fields.h"
#include "ui/select_fields_form_ids.h"
#include "win_support.h"

namespace tarn::test::field_dialog {

using Texts = std::vector<std::wstring>;

inline constexpr wchar_t kCaption[] = L"Select the Fields your would like included ...";
inline const std::vector<std::wstring> kOfferedMethods{L" Comma Delimited File", L" Text File", L" HTML File",
                                                       L" MHTML File (Embedded Images)", L" Excel Spreadsheet"};

class SelectFieldsTest : public CommonUiTest {
protected:
    // The dialog's template comes from the component's resources.
    SelectFieldsTest() : CommonUiTest(true) {}

    static ComPtr<_Engine> NewEngine(const wchar_t* columnList, bool selectMethod, const wchar_t* target = L"") {
        ComPtr<_Engine> engine = Create<_Engine>(__uuidof(::Engine));
        EXPECT_EQ(engine->put_ColumnList(unique_bstr(columnList).get()), S_OK);
        EXPECT_EQ(engine->put_SelectMethod(ToVariantBool(selectMethod)), S_OK);
        EXPECT_EQ(engine->put_TargetFilename(unique_bstr(target).get()), S_OK);
        return engine;
    }
    static std::wstring TargetOf(_Engine* engine) {
        unique_bstr value;
        EXPECT_EQ(engine->get_TargetFilename(value.put()), S_OK);
        return value.str();
    }
};

inline ui::Window WaitForDialog() { return ui::WaitForWindow({L"#32770", kCaption}); }

// What the watcher saw of the dialog when it came.
struct Seen {
    Texts fields;
    Texts selectedFields;
    Texts methods;
    Texts currentMethod;
    std::wstring fileName;
};

inline Seen Read(const ui::Window& dialog) {
    Seen seen;
    const ui::Window list = dialog.Control(IDC_FieldList);
    seen.fields = list.Entries();
    seen.selectedFields = list.SelectedEntries();
    const ui::Window methods = dialog.Control(IDC_ExportMethod);
    seen.methods = methods.Entries();
    seen.currentMethod = methods.SelectedEntries();
    seen.fileName = dialog.Control(IDC_TargetFilename).Text();
    return seen;
}

// Shows the dialog through SelectFields; `steps` answer it. Returns what they returned.
template <class Result, class Steps>
Result Drive(Steps&& steps, IDispatch* grid, std::wstring& method, _Engine* engine, std::wstring& columns) {
    ui::Watcher<Result> watcher(std::forward<Steps>(steps));
    columns = SelectFields(grid, method, engine);
    return watcher.Get();
}

}  // namespace tarn::test::field_dialog
