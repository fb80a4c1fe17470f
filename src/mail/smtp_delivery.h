// Sends a saved HTML page as an e-mail by SMTP: the page and the pictures it references go
// as one multipart/related message. Used by the mail composer.
#pragma once

#include <string>

namespace tarn::mail {

// The server settings as stored by the SMTP settings dialog.
struct SmtpSettings {
    std::wstring server;
    long port = 25;  // 25 is used when less than 1
    bool authenticate = false;
    std::wstring userId;
    std::wstring password;
    int connectTimeoutSeconds = 30;
    int readTimeoutSeconds = 30;  // the longest wait for each of the server's replies
};

struct MailMessage {
    std::wstring from;
    std::wstring to;   // addresses separated by ";" or ","
    std::wstring cc;
    std::wstring bcc;  // envelope only, never a header
    std::wstring subject;
    std::wstring htmlPath;  // absolute path of the saved page that becomes the body
};

struct DeliveryResult {
    bool sent = false;
    long errorNumber = 0;        // an HRESULT-like number shown to the user after "Error "
    std::wstring description;    // what went wrong, including the server's reply text
};

// Reads the five settings of the "Settings" section of the settings store.
SmtpSettings LoadSmtpSettings();

// Connects, talks SMTP (STARTTLS or implicit TLS where due, AUTH when asked) and sends.
// A failure's number is the server's reply code when the server refused a step (535, 550),
// else an HRESULT (a Winsock error as HRESULT_FROM_WIN32, a security status, E_INVALIDARG
// for addresses that cannot be sent, E_FAIL).
DeliveryResult SendHtmlMail(const MailMessage& message, const SmtpSettings& settings);

}  // namespace tarn::mail
