// The SMTP conversation's transport on Windows: a Winsock connection with a bounded wait for
// connecting and for every read and write, and TLS through Schannel (SSPI) on it, either at
// once (port 465) or when the conversation asks for it (STARTTLS).
//
// The server's certificate is not checked (SCH_CRED_MANUAL_CRED_VALIDATION, and no manual
// check follows): mail servers on private networks mostly present self-signed certificates,
// and the settings have no place to trust one. TLS here keeps the password and the message
// from passive listeners; it does not prove the server's identity.
#pragma once

#include "mail/smtp_session.h"

#include <memory>
#include <string>

namespace tarn::mail {

struct ConnectLimits {
    int connectSeconds = 30;
    int readSeconds = 30;  // also bounds each write
};

// Connects to `host` at `port` (names and address literals, IPv4 or IPv6). Throws SmtpError
// with the Winsock error number when no address answers within the limit.
std::unique_ptr<SmtpTransport> ConnectSmtpTransport(const std::wstring& host, unsigned short port,
                                                    const ConnectLimits& limits);

}  // namespace tarn::mail
