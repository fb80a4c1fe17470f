// The SMTP settings dialog: the resource template gives the controls, texts and tab order;
// the code places them at their twips for the screen, loads and saves the settings, and
// keeps the frame of the authentication fields shown exactly while the box is ticked.
#include "mail/smtp_settings_form.h"

#include "com/module.h"
#include "common/registry_support.h"
#include "common/screen_metrics.h"
#include "mail/smtp_settings.h"
#include "mail/smtp_settings_form_ids.h"
#include "ui/base_window.h"
#include "ui/dialog_layout.h"
#include "ui/message_box.h"

#include <functional>
#include <string>

namespace tarn::mail {

namespace {

struct TwipsRect {
    int id;
    int left, top, width, height;
};

constexpr int kFrameLeft = 240;
constexpr int kFrameTop = 1680;
// Design positions in twips; the frame's fields relative to the frame.
constexpr TwipsRect kLayout[] = {
    {IDC_Label11, 240, 180, 2700, 195},      {IDC_SMTPHostname, 240, 420, 4515, 315},
    {IDC_Label12, 240, 960, 1380, 195},      {IDC_SMTPPortNumber, 1680, 900, 555, 315},
    {IDC_chkSMTPAuth, 240, 1380, 3555, 255}, {IDC_SMTPAuthFrame, kFrameLeft, kFrameTop, 4395, 1515},
    {IDC_SmtpCmdOK, 1440, 3300, 915, 375},   {IDC_SmtpCmdCancel, 2640, 3300, 915, 375},
};
constexpr TwipsRect kFrameLayout[] = {
    {IDC_Label14, 240, 360, 795, 195},   {IDC_SMTPAuthUserName, 1500, 300, 2595, 300},
    {IDC_Label16, 240, 720, 690, 195},   {IDC_SMTPAuthPassword, 1500, 660, 2595, 300},
    {IDC_Label18, 240, 1080, 1125, 195}, {IDC_VerifyPassword, 1500, 1020, 2595, 300},
};
constexpr int kInnerWidth = 4980;
constexpr int kInnerHeight = 3750;

// A message with no title of its own carries the component's.
constexpr wchar_t kComponentTitle[] = L"TarnwickExports7";

bool IsLabel(int id) noexcept {
    return id == IDC_Label11 || id == IDC_Label12 || id == IDC_Label14 || id == IDC_Label16 || id == IDC_Label18;
}

int PixelsX(int twips) noexcept { return MulDiv(twips, 1, TwipsPerPixelX()); }
int PixelsY(int twips) noexcept { return MulDiv(twips, 1, TwipsPerPixelY()); }

// A step that fails is skipped and the next one runs.
void Step(const std::function<void()>& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

std::wstring Setting(const wchar_t* name, const SettingDefault& fallback) {
    return ReadSetting(kSettingsApplication, kSettingsSection, name, fallback, false);
}
void Store(const wchar_t* name, std::wstring_view value) {
    WriteSetting(kSettingsApplication, kSettingsSection, name, value, false);
}

class SmtpSettingsForm : public BaseDialog<SmtpSettingsForm> {
public:
    bool ShowModal(HWND owner) {
        return DialogBoxParamW(ModuleHandle(), MAKEINTRESOURCEW(IDD_HTMLEmailConfigForm), owner,
                               &SmtpSettingsForm::DialogProc, reinterpret_cast<LPARAM>(this)) == IDOK;
    }

private:
    friend class BaseDialog<SmtpSettingsForm>;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        if (message == WM_INITDIALOG) {
            PlaceControls();
            Load();
            CentreWindow(hwnd(), GetWindow(hwnd(), GW_OWNER));
            return TRUE;  // the focus goes to the host box
        }
        if (message != WM_COMMAND) return FALSE;
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == EN_SETFOCUS) {
            // Tabbing or clicking into a box selects its whole text.
            SendMessageW(reinterpret_cast<HWND>(lParam), EM_SETSEL, 0, -1);
            return TRUE;
        }
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        switch (id) {
            case IDC_chkSMTPAuth: ShowFrame(); return TRUE;
            case IDC_SmtpCmdOK: OnOK(); return TRUE;
            case IDC_SmtpCmdCancel: EndDialog(hwnd(), IDCANCEL); return TRUE;
            default: return FALSE;
        }
    }

    HWND Item(int id) const noexcept { return GetDlgItem(hwnd(), id); }
    std::wstring Text(int id) const {
        HWND box = Item(id);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
        return text;
    }
    void SetText(int id, const std::wstring& text) const { SetDlgItemTextW(hwnd(), id, text.c_str()); }
    bool Ticked() const { return IsDlgButtonChecked(hwnd(), IDC_chkSMTPAuth) == BST_CHECKED; }

    void PlaceControls() noexcept {
        for (const TwipsRect& r : kLayout)
            MoveWindow(Item(r.id), PixelsX(r.left), PixelsY(r.top), PixelsX(r.width), PixelsY(r.height), FALSE);
        for (const TwipsRect& r : kFrameLayout)
            MoveWindow(Item(r.id), PixelsX(kFrameLeft + r.left), PixelsY(kFrameTop + r.top), PixelsX(r.width),
                       PixelsY(r.height), FALSE);
        // Labels are as wide as their texts need in the dialog's font.
        for (const TwipsRect& r : kLayout)
            if (IsLabel(r.id))
                FitLabel(Item(r.id), PixelsX(r.left), PixelsY(r.top), PixelsX(r.width), PixelsY(r.height));
        for (const TwipsRect& r : kFrameLayout)
            if (IsLabel(r.id))
                FitLabel(Item(r.id), PixelsX(kFrameLeft + r.left), PixelsY(kFrameTop + r.top), PixelsX(r.width),
                         PixelsY(r.height));
        for (const int id : {IDC_SMTPAuthPassword, IDC_VerifyPassword})
            SendMessageW(Item(id), EM_SETPASSWORDCHAR, L'*', 0);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE));
        RECT outer{0, 0, PixelsX(kInnerWidth), PixelsY(kInnerHeight)};
        AdjustWindowRectEx(&outer, style, FALSE, exStyle);
        SetWindowPos(hwnd(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The frame and the fields on it are shown exactly while the box is ticked; hidden
    // fields also leave the tab order.
    void ShowFrame() const noexcept {
        const int show = Ticked() ? SW_SHOW : SW_HIDE;
        ShowWindow(Item(IDC_SMTPAuthFrame), show);
        for (const TwipsRect& r : kFrameLayout) ShowWindow(Item(r.id), show);
    }

    void Load() noexcept {
        Step([&] { SetText(IDC_SMTPHostname, Setting(kSmtpServerValue, L"")); });
        Step([&] { SetText(IDC_SMTPPortNumber, Setting(kSmtpPortValue, 25)); });
        Step([&] {
            // Only 0 and 1 are values of the box; anything else leaves it as it is.
            const std::wstring stored = Setting(kSmtpAuthenticationValue, false);
            const long value = LeadingNumber(stored);
            if (stored.find_first_not_of(L" -+0123456789") == std::wstring::npos && (value == 0 || value == 1))
                CheckDlgButton(hwnd(), IDC_chkSMTPAuth, value == 1 ? BST_CHECKED : BST_UNCHECKED);
        });
        Step([&] { SetText(IDC_SMTPAuthUserName, Setting(kSmtpUserIdValue, L"")); });
        Step([&] {
            const std::wstring password = PasswordFromStore(Setting(kSmtpPasswordValue, L""));
            SetText(IDC_SMTPAuthPassword, password);
            SetText(IDC_VerifyPassword, password);
        });
        ShowFrame();
    }

    void OnOK() noexcept {
        std::wstring password;
        Step([&] { password = Text(IDC_SMTPAuthPassword); });
        bool match = true;
        Step([&] { match = !Ticked() || Text(IDC_VerifyPassword) == password; });
        if (!match) {
            ShowMessageBox(L"The passwords do not match.", kComponentTitle, MessageIcon::None);
            SetText(IDC_SMTPAuthPassword, L"");
            SetText(IDC_VerifyPassword, L"");
            SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SMTPAuthPassword)), TRUE);
            return;
        }
        Step([&] { Store(kSmtpServerValue, Text(IDC_SMTPHostname)); });
        Step([&] { Store(kSmtpPortValue, std::to_wstring(LeadingNumber(Text(IDC_SMTPPortNumber)))); });
        Step([&] { Store(kSmtpAuthenticationValue, Ticked() ? L"1" : L"0"); });
        Step([&] { Store(kSmtpUserIdValue, Text(IDC_SMTPAuthUserName)); });
        Step([&] { Store(kSmtpPasswordValue, ProtectedPassword(password)); });
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        EndDialog(hwnd(), IDOK);
    }
};

}  // namespace

bool ShowSmtpSettingsDialog(HWND owner) {
    SmtpSettingsForm form;
    return form.ShowModal(owner);
}

}  // namespace tarn::mail
