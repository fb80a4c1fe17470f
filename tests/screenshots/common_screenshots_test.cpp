// Pictures of every window the component has, for docs/screenshots (`make screenshots`
// runs this with TARN_SCREENSHOTS naming the folder). Not part of the test run.
#include "ui/export_file.h"
#include "ui/message_box.h"
#include "common/save_dialog.h"
#include "ui/status_form.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using ScreenshotTest = CommonUiTest;

// Opens a message box with `show`, photographs it and presses OK.
template <class Show>
void ShootMessageBox(const std::wstring& path, Show&& show) {
    ui::Watcher<void> watcher([path] {
        const ui::MessageBoxView box = ui::WaitForMessageBox();
        box.window.SavePng(path);
        box.window.PressButton(L"OK");
    });
    show();
    watcher.Get();
}

TEST_F(ScreenshotTest, DISABLED_EveryWindowOfTheComponent) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    const std::wstring out = folder;
    ScratchFolder scratch;

    {
        ui::Watcher<void> watcher([out] {
            const ui::SaveDialogView dialog = ui::WaitForSaveDialog();
            dialog.window.SavePng(out + L"\\save-dialog.png");
            dialog.window.PressButton(IDCANCEL);
        });
        std::wstring fileName = scratch / L"stock.csv";
        std::wstring fileTitle;
        static_cast<void>(ShowSaveDialog(fileName, fileTitle,
                                         {L"csv", L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*",
                                          scratch.path(), L"Export to ..."}));
        watcher.Get();
    }
    {
        StatusForm& form = StatusForm::Current();
        form.SetTitle(L"Exporting to stock.csv");
        form.ShowMessage(L"120 records ...");
        ui::Window(form.hwnd()).SavePng(out + L"\\progress-window.png");
        StatusForm::Unload();
    }
    ShootMessageBox(out + L"\\cannot-open-message.png",
                    [&] { static_cast<void>(OpenExportFile(L"C:\\Reports\\missing\\stock.csv")); });
    ShootMessageBox(out + L"\\export-completed-message.png",
                    [] { ExportMessages(false).ShowCompleted(L"120 records exported to stock.csv"); });
    for (const wchar_t* name :
         {L"save-dialog.png", L"progress-window.png", L"cannot-open-message.png", L"export-completed-message.png"})
        EXPECT_TRUE(std::filesystem::exists(out + L"\\" + name)) << Narrow(name);
}

}  // namespace
}  // namespace tarn::test
