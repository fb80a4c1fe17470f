// Pictures of the print preview window and the dialogs it opens, for docs/screenshots
// (`make screenshots` runs this with TARN_SCREENSHOTS naming the folder). Not part of the
// test run.
#include "win_support.h"

namespace tarn::test {
namespace {

using PreviewScreenshotTest = ComTest;

ComPtr<IDispatch> StockList() {
    std::wstring text =
        L"rows = 121\ncols = 5\nrowheight = 300\nbackcolorfixed = #D8E4F0\nforecolorfixed = #1F2A44\n"
        L"gridcolor = #C8C8C8\n---\n| Item | Depot | Amount | Due\n";
    const wchar_t* items[] = {L"Apples", L"Pears", L"Carrots", L"Leeks", L"Plums", L"Cherries"};
    const wchar_t* depots[] = {L"Harbour", L"Yard", L"Mill", L"Quay"};
    for (int row = 1; row <= 120; ++row)
        text += std::to_wstring(row) + L" | " + items[row % 6] + L" | " + depots[row % 4] + L" | " +
                std::to_wstring(row * 37 % 1900) + L".50 | 2024-0" + std::to_wstring(1 + row % 9) + L"-1" +
                std::to_wstring(row % 10) + L"\n";
    text += L"@col 3 align=right\n@cell 0,1:0,4 bold\n";
    return HostGrid(text);
}

// The window as it is now, painted first.
void Shoot(const ui::Window& window, const std::wstring& path) {
    RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    window.SavePng(path);
}

// The dialog a toolbar button opens, photographed and cancelled.
void ShootDialog(const ui::Window& toolbar, const wchar_t* button, const std::wstring& path) {
    ui::PressToolbarButton(toolbar, button, ui::ToolbarPart::Button, false);
    ui::WindowQuery dialogs;
    dialogs.className = L"#32770";
    const ui::Window dialog = ui::WaitForWindow(dialogs);
    Shoot(dialog, path);
    dialog.PressButton(L"Cancel");
    EXPECT_TRUE(dialog.WaitUntilGone());
}

TEST_F(PreviewScreenshotTest, DISABLED_ThePreviewWindowAndItsDialogs) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    const std::wstring out = std::wstring(folder) + L"\\";

    const ComPtr<IDispatch> grid = StockList();
    auto engine = Create<_Engine>(__uuidof(::Engine));
    ASSERT_EQ(engine->put_ProgramName(unique_bstr(L"Harbour").get()), S_OK);
    ASSERT_EQ(engine->put_Title(unique_bstr(L"Harbour stock list").get()), S_OK);
    ASSERT_EQ(engine->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    ASSERT_EQ(engine->put_SkipFieldSelection(VARIANT_TRUE), S_OK);
    IDispatch* argument = grid.Get();
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(engine->ExportTable(&argument, unique_bstr(L"PREVIEW").get(), &result), S_OK);

    DriveModeless([&] {
        const ui::Window form = ui::WaitForWindow(Captioned(L"Harbour Print Preview"));
        const ui::Window toolbar = form.Control(100);
        Shoot(form, out + L"preview-table.png");

        ui::PressToolbarButton(toolbar, L"Zoom Out", ui::ToolbarPart::Arrow, false);
        ui::WindowQuery menus;
        menus.className = L"#32768";
        ui::WaitForWindow(menus);
        form.SavePng(out + L"preview-zoom-menu.png");
        ui::ChooseMenuItem(L"Two Page");
        Shoot(form, out + L"preview-two-page.png");
        ui::PressToolbarButton(toolbar, L"Zoom In", ui::ToolbarPart::Arrow, false);
        ui::ChooseMenuItem(L"Thumbnail");
        Shoot(form, out + L"preview-thumbnails.png");

        ShootDialog(toolbar, L"Page Setup", out + L"page-setup-dialog.png");
        ShootDialog(toolbar, L"Print", out + L"print-dialog.png");
        form.Close();
        EXPECT_TRUE(form.WaitUntilGone());
    });
}

}  // namespace
}  // namespace tarn::test
