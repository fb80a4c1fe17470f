// A real SMTP server on 127.0.0.1 for Windows-side tests: tests/support/smtp_server.py
// (aiosmtpd) started as a Linux program for the test's lifetime, and what it received read
// back: each message's bytes and what the server saw (envelope, TLS, AUTH).
#pragma once

#include "win_support.h"

#include <optional>
#include <string>

namespace tarn::test {

class SmtpTestServer {
public:
    // `options`: any of "--starttls", "--implicit-tls PORT", "--auth USER:PASSWORD", "--silent".
    explicit SmtpTestServer(const std::string& options = "");
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // The port it listens on; 0 when it did not come up.
    unsigned short port() const noexcept { return port_; }

    struct Received {
        std::string facts;     // "mail_from a@b\nrcpt_to c@d\n...tls no\n[auth USER PASSWORD\n]"
        std::wstring message;  // the .eml file: the message as received
    };
    // The `n`-th message (from 1), waiting for it up to `timeout`.
    std::optional<Received> WaitForMessage(int n, ui::Milliseconds timeout = ui::Milliseconds(15000)) const;
    // Messages received so far.
    int MessageCount() const;

private:
    ScratchFolder folder_;
    unsigned short port_ = 0;
};

// Python's email package on a received message (tests/support/mail_check.py): its headers
// as a reader shows them, then mhtml_check.py's lines.
std::string MailReading(const std::wstring& message);

}  // namespace tarn::test
