// Pictures of the field selection dialog with and without its method part, for
// docs/screenshots (`make screenshots` runs this with TARN_SCREENSHOTS naming the folder).
// Not part of the test run.
#include "select_fields_window.h"

namespace tarn::test {
namespace {

using namespace field_dialog;

using SelectFieldsScreenshotTest = SelectFieldsTest;

TEST_F(SelectFieldsScreenshotTest, DISABLED_WithAndWithoutTheMethodPart) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    auto grid = HostGrid(
        L"Item | Description | Qty | Price | Paid | Delivered\n"
        L"apples | Cox, 1 kg | 3 | 1.25 | yes | 2024-03-01\n");
    for (const bool withMethods : {true, false}) {
        const std::wstring path =
            std::wstring(folder) + (withMethods ? L"\\select-fields.png" : L"\\select-fields-without-method.png");
        auto engine = NewEngine(L"0,2,3", withMethods, L"C:\\Reports\\stock.csv");
        std::wstring method = L"CSV", columns;
        Drive<void>(
            [path] {
                const ui::Window dialog = WaitForDialog();
                dialog.SavePng(path);
                dialog.PressButton(IDC_cmdCancel);
                EXPECT_TRUE(dialog.WaitUntilGone());
            },
            grid.Get(), method, engine.Get(), columns);
        EXPECT_TRUE(std::filesystem::exists(path)) << Narrow(path);
    }
}

}  // namespace
}  // namespace tarn::test
