// The SMTP settings dialog as the user meets it, driven from a watcher thread while
// ShowSmtpSettingsDialog waits; what it stored read back from the registry itself and
// through LoadSmtpSettings, which delivery uses.
#include "mail/smtp_delivery.h"
#include "smtp_settings_window.h"

namespace tarn::test {
namespace {

using namespace smtp_dialog;

TEST_F(SmtpSettingsDialogTest, OpensWithDefaultsAtItsTwipsPositionsInTabOrderAndCancelStoresNothing) {
    struct Layout {
        int id;
        const wchar_t* text;
        int left, top, width, height;
    };
    const Layout layout[] = {
        {IDC_Label11, L"Hostname or Address of SMTP Server", 240, 180, 2700, 195},
        {IDC_SMTPHostname, L"", 240, 420, 4515, 315},
        {IDC_Label12, L"SMTP Port Number", 240, 960, 1380, 195},
        {IDC_SMTPPortNumber, L"25", 1680, 900, 555, 315},
        {IDC_chkSMTPAuth, L"This SMTP Server Requires Authentication", 240, 1380, 3555, 255},
        {IDC_SMTPAuthFrame, L"", 240, 1680, 4395, 1515},
        {IDC_Label14, L"User Name", 480, 2040, 795, 195},
        {IDC_SMTPAuthUserName, L"", 1740, 1980, 2595, 300},
        {IDC_Label16, L"Password", 480, 2400, 690, 195},
        {IDC_SMTPAuthPassword, L"", 1740, 2340, 2595, 300},
        {IDC_Label18, L"Verify Password", 480, 2760, 1125, 195},
        {IDC_VerifyPassword, L"", 1740, 2700, 2595, 300},
        {IDOK, L"OK", 1440, 3300, 915, 375},
        {IDCANCEL, L"Cancel", 2640, 3300, 915, 375},
    };
    auto pixels = [](int twips) { return MulDiv(twips, ScreenDpi(), 1440); };
    const auto [ok, seen] = Drive<std::pair<Shown, std::vector<int>>>([&] {
        const ui::Window dialog = WaitForDialog();
        const Shown shown = Read(dialog);
        RECT client{};
        GetClientRect(dialog.hwnd(), &client);
        EXPECT_EQ(client.right, pixels(4980));
        EXPECT_EQ(client.bottom, pixels(3750));
        for (const Layout& c : layout) {
            SCOPED_TRACE(Narrow(c.text) + " " + std::to_string(c.id));
            const ui::Window control = dialog.Control(c.id);
            EXPECT_EQ(control.Text(), c.text);
            RECT r{};
            GetWindowRect(control.hwnd(), &r);
            MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, pixels(c.left));
            EXPECT_EQ(r.top, pixels(c.top));
            // A label is wider only when the dialog's font needs the room for its text.
            const bool label = c.id == IDC_Label11 || c.id == IDC_Label12 || c.id == IDC_Label14 ||
                               c.id == IDC_Label16 || c.id == IDC_Label18;
            EXPECT_TRUE(label ? r.right - r.left >= pixels(c.width) : r.right - r.left == pixels(c.width));
            EXPECT_EQ(r.bottom - r.top, pixels(c.height));
        }
        for (const int id : {IDC_SMTPAuthPassword, IDC_VerifyPassword})
            EXPECT_EQ(SendMessageW(dialog.Control(id).hwnd(), EM_GETPASSWORDCHAR, 0, 0), L'*');
        dialog.Control(IDC_chkSMTPAuth).SetChecked(true);
        // The frame and its fields follow the box (the last field is shown last).
        const ui::Window frame = dialog.Control(IDC_SMTPAuthFrame), verify = dialog.Control(IDC_VerifyPassword);
        EXPECT_TRUE(ui::WaitUntil([&] { return verify.IsVisible(); }, ui::kDefaultWait));
        EXPECT_TRUE(frame.IsVisible());
        std::vector<int> order;
        HWND at = dialog.Control(IDC_SMTPHostname).hwnd();
        for (int i = 0; i < 9; ++i, at = GetNextDlgTabItem(dialog.hwnd(), at, FALSE)) order.push_back(GetDlgCtrlID(at));
        dialog.Control(IDC_SMTPHostname).SetText(L"mail.example.com");
        dialog.Control(IDC_SMTPAuthUserName).SetText(L"joe");
        dialog.PressButton(L"Cancel");
        EXPECT_TRUE(dialog.WaitUntilGone());
        return std::make_pair(shown, order);
    });
    EXPECT_FALSE(ok);
    const Shown& shown = seen.first;
    EXPECT_EQ(shown.host, L"");
    EXPECT_EQ(shown.port, L"25");
    EXPECT_FALSE(shown.ticked);
    EXPECT_FALSE(shown.frameVisible);
    EXPECT_EQ(shown.user + shown.password + shown.verify, L"");
    EXPECT_EQ(seen.second,
              (std::vector<int>{IDC_SMTPHostname, IDC_SMTPPortNumber, IDC_chkSMTPAuth, IDC_SMTPAuthUserName,
                                IDC_SMTPAuthPassword, IDC_VerifyPassword, IDOK, IDCANCEL, IDC_SMTPHostname}));
    for (const wchar_t* name : kValues) EXPECT_EQ(Stored(name), L"<missing>") << Narrow(name);
}

TEST_F(SmtpSettingsDialogTest, OkComparesThePasswordsAndStoresTheFiveSettingsWithThePasswordProtected) {
    const std::wstring password = L"p\u00e4ss word";
    const auto [ok, box] = Drive<ui::MessageBoxView>([&] {
        const ui::Window dialog = WaitForDialog();
        dialog.Control(IDC_SMTPHostname).SetText(L"mail.example.com");
        dialog.Control(IDC_SMTPPortNumber).SetText(L"2525");
        dialog.Control(IDC_chkSMTPAuth).SetChecked(true);
        dialog.Control(IDC_SMTPAuthUserName).SetText(L"joe");
        dialog.Control(IDC_SMTPAuthPassword).SetText(L"secret1");
        dialog.Control(IDC_VerifyPassword).SetText(L"secret2");
        dialog.PressButton(L"OK");
        ui::MessageBoxView box = ui::WaitForMessageBox();
        box.window.PressButton(L"OK");
        EXPECT_TRUE(box.window.WaitUntilGone());
        const Shown after = Read(dialog);
        EXPECT_EQ(after.password + after.verify, L"") << "both password boxes are emptied";
        GUITHREADINFO focus{};
        focus.cbSize = sizeof focus;
        GetGUIThreadInfo(dialog.ThreadId(), &focus);
        EXPECT_EQ(focus.hwndFocus, dialog.Control(IDC_SMTPAuthPassword).hwnd()) << "the password box has the focus";
        EXPECT_EQ(Stored(L"SMTP Server"), L"<missing>") << "nothing is saved";
        dialog.Control(IDC_SMTPAuthPassword).SetText(password);
        dialog.Control(IDC_VerifyPassword).SetText(password);
        dialog.PressButton(L"OK");
        EXPECT_TRUE(dialog.WaitUntilGone());
        return box;
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(box.text, L"The passwords do not match.");
    EXPECT_EQ(box.caption, L"TarnwickExports7");
    EXPECT_EQ(box.icon, ui::Icon::None);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(Stored(L"SMTP Server"), L"mail.example.com");
    EXPECT_EQ(Stored(L"SMTP Port"), L"2525");
    EXPECT_EQ(Stored(L"SMTP Authentication"), L"1");
    EXPECT_EQ(Stored(L"SMTP UserID"), L"joe");
    const std::wstring kept = Stored(L"SMTP Password");
    EXPECT_EQ(kept.rfind(L"dpapi:", 0), 0u) << Narrow(kept);
    EXPECT_EQ(kept.find(L"ss word"), std::wstring::npos);
    mail::SmtpSettings settings = mail::LoadSmtpSettings();
    EXPECT_EQ(settings.server, L"mail.example.com");
    EXPECT_EQ(settings.port, 2525);
    EXPECT_TRUE(settings.authenticate);
    EXPECT_EQ(settings.userId, L"joe");
    EXPECT_EQ(settings.password, password);

    // Reopened: everything as stored. Unticked, the passwords are not compared and the first
    // box's text is stored; an empty port is stored as 0, which delivery reads as 25.
    const auto [ok2, shown] = Drive<Shown>([] {
        const ui::Window dialog = WaitForDialog();
        const Shown shown = Read(dialog);
        dialog.Control(IDC_chkSMTPAuth).SetChecked(false);
        dialog.Control(IDC_SMTPPortNumber).SetText(L"");
        dialog.Control(IDC_SMTPAuthPassword).SetText(L"first");
        dialog.Control(IDC_VerifyPassword).SetText(L"second");
        dialog.PressButton(L"OK");
        EXPECT_TRUE(dialog.WaitUntilGone());
        return shown;
    });
    EXPECT_TRUE(ok2);
    EXPECT_EQ(shown.host, L"mail.example.com");
    EXPECT_EQ(shown.port, L"2525");
    EXPECT_TRUE(shown.ticked);
    EXPECT_TRUE(shown.frameVisible);
    EXPECT_EQ(shown.password, password);
    EXPECT_EQ(shown.verify, password);
    EXPECT_EQ(Stored(L"SMTP Port"), L"0");
    EXPECT_EQ(Stored(L"SMTP Authentication"), L"0");
    settings = mail::LoadSmtpSettings();
    EXPECT_EQ(settings.port, 25);
    EXPECT_FALSE(settings.authenticate);
    EXPECT_EQ(settings.password, L"first");

    // A clear-text password written by an older version is still read.
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"SMTP Password", REG_SZ, L"old clear", sizeof L"old clear");
    EXPECT_EQ(mail::LoadSmtpSettings().password, L"old clear");
}

}  // namespace
}  // namespace tarn::test
