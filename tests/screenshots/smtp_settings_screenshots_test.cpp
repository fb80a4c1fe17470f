// A picture of the SMTP settings dialog with authentication, for docs/screenshots (`make
// screenshots` runs this with TARN_SCREENSHOTS naming the folder). Not part of the test run.
#include "smtp_settings_window.h"

namespace tarn::test {
namespace {

using namespace smtp_dialog;

using SmtpSettingsScreenshotTest = SmtpSettingsDialogTest;

TEST_F(SmtpSettingsScreenshotTest, DISABLED_WithAuthentication) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    const std::wstring path = std::wstring(folder) + L"\\smtp-settings.png";
    Drive<bool>([path] {
        const ui::Window dialog = WaitForDialog();
        dialog.Control(IDC_SMTPHostname).SetText(L"mail.example.com");
        dialog.Control(IDC_SMTPPortNumber).SetText(L"587");
        dialog.Control(IDC_chkSMTPAuth).SetChecked(true);
        dialog.Control(IDC_SMTPAuthUserName).SetText(L"reports");
        dialog.Control(IDC_SMTPAuthPassword).SetText(L"password");
        dialog.Control(IDC_VerifyPassword).SetText(L"password");
        dialog.SavePng(path);
        dialog.PressButton(L"Cancel");
        return dialog.WaitUntilGone();
    });
    EXPECT_TRUE(std::filesystem::exists(path)) << Narrow(path);
}

}  // namespace
}  // namespace tarn::test
