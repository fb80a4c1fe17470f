// The SMTP settings dialog ("Configure SMTP Server"): host, port and, when the server asks
// for it, user name and password, loaded from the settings store and written back on OK.
// The mail composer opens it from its "SMTP" button and when no server is set.
#pragma once

#include <windows.h>

namespace tarn::mail {

// Shows the dialog modally, owned by `owner`, until OK with matching passwords (which
// writes the five settings) or Cancel. True when OK closed it.
bool ShowSmtpSettingsDialog(HWND owner);

}  // namespace tarn::mail
