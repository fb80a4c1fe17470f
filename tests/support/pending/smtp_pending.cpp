// Stand-ins for SMTP delivery and the SMTP settings dialog, linked only while the source
// tree has not got them yet (cmake/component.cmake checks), so the composer builds and
// its own rules can be tested. Delivery always fails; the dialog shows nothing.
#include "common/registry_support.h"
#include "mail/smtp_delivery.h"

#include <windows.h>

namespace tarn::mail {

#ifndef TARN_HAVE_SMTP_DELIVERY
SmtpSettings LoadSmtpSettings() {
    SmtpSettings settings;
    settings.server = ReadSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"", false);
    return settings;
}

DeliveryResult SendHtmlMail(const MailMessage&, const SmtpSettings&) {
    return {false, static_cast<long>(E_NOTIMPL), L"SMTP delivery is not part of this build."};
}
#endif

#ifndef TARN_HAVE_SMTP_SETTINGS_DIALOG
bool ShowSmtpSettingsDialog(HWND) { return false; }
#endif

}  // namespace tarn::mail
