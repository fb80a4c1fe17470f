// The SMTP settings dialog as the tests meet it: shown by ShowSmtpSettingsDialog while a
// watcher thread answers it, and the settings it stores in the registry. Shared by the
// dialog's tests and the screenshot taker (tests/screenshots).
#pragma once

#include "mail/smtp_settings_form.h"
#include "mail/smtp_settings_form_ids.h"
#include "win_support.h"

#include <functional>

namespace tarn::test::smtp_dialog {

inline constexpr wchar_t kKey[] = L"Software\\Quillonsoft\\Quillon Export Engine\\Settings";
inline constexpr const wchar_t* kValues[] = {L"SMTP Server", L"SMTP Port", L"SMTP Authentication", L"SMTP UserID",
                                             L"SMTP Password"};

// The stored string, or "<missing>".
inline std::wstring Stored(const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

class SmtpSettingsDialogTest : public CommonUiTest {
protected:
    // The dialog's template comes from the component's resources.
    SmtpSettingsDialogTest() : CommonUiTest(true) {}
    void SetUp() override {
        CommonUiTest::SetUp();
        Clear();
    }
    void TearDown() override {
        Clear();
        CommonUiTest::TearDown();
    }
    static void Clear() {
        for (const wchar_t* name : kValues) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, name);
    }
};

inline ui::Window WaitForDialog() { return ui::WaitForWindow({L"#32770", L"Configure SMTP Server"}); }

template <class Result>
std::pair<bool, Result> Drive(std::function<Result()> steps) {
    ui::Watcher<Result> watcher(std::move(steps));
    const bool ok = mail::ShowSmtpSettingsDialog(nullptr);
    return {ok, watcher.Get()};
}

struct Shown {
    std::wstring host, port, user, password, verify;
    bool ticked = false;
    bool frameVisible = false;
};
inline Shown Read(const ui::Window& dialog) {
    return {dialog.Control(IDC_SMTPHostname).Text(),      dialog.Control(IDC_SMTPPortNumber).Text(),
            dialog.Control(IDC_SMTPAuthUserName).Text(),  dialog.Control(IDC_SMTPAuthPassword).Text(),
            dialog.Control(IDC_VerifyPassword).Text(),    dialog.Control(IDC_chkSMTPAuth).IsChecked(),
            dialog.Control(IDC_SMTPAuthFrame).IsVisible()};
}

}  // namespace tarn::test::smtp_dialog
