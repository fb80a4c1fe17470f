// The SMTP conversation (RFC 5321) over any byte transport: greeting, EHLO (HELO when the
// server does not know it), STARTTLS when offered, AUTH PLAIN or LOGIN, the envelope, the
// message with its lines dot-stuffed, and QUIT. Every reply is read whole (multi-line
// replies included) and checked; a refusal ends the conversation with the server's code
// and text. Portable: the socket and TLS live behind SmtpTransport.
#pragma once

#include "common/byte_sink.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::mail {

// Why a conversation ended early. `replyCode` is the server's three-digit code when the
// server refused a step, 0 when the connection or TLS failed (then `systemCode` may hold
// the platform's error number).
class SmtpError : public std::runtime_error {
public:
    SmtpError(std::string what, int replyCode = 0, long systemCode = 0)
        : std::runtime_error(std::move(what)), replyCode_(replyCode), systemCode_(systemCode) {}
    [[nodiscard]] int replyCode() const noexcept { return replyCode_; }
    [[nodiscard]] long systemCode() const noexcept { return systemCode_; }

private:
    int replyCode_;
    long systemCode_;
};

// A connected byte stream to the server. Failures (time-outs included) throw SmtpError.
class SmtpTransport {
public:
    virtual ~SmtpTransport() = default;
    virtual void Send(std::string_view bytes) = 0;
    // At least one byte into `buffer`; throws when the peer closed or nothing came in time.
    virtual std::size_t Receive(char* buffer, std::size_t size) = 0;
    // Negotiates TLS on the open connection, checking nothing of the server's certificate
    // but its name when asked to. Bytes sent and received after it are encrypted.
    virtual void StartTls() = 0;
    [[nodiscard]] virtual bool Encrypted() const = 0;
};

// One server reply: its code and its lines' texts (without code and separator).
struct SmtpReply {
    int code = 0;
    std::vector<std::string> lines;
    // The lines joined by blanks, as shown to the user.
    [[nodiscard]] std::string Text() const;
};

struct SmtpRequest {
    std::string clientName = "localhost";  // the EHLO argument
    bool authenticate = false;
    std::string user;                     // UTF-8
    std::string password;                 // UTF-8
    std::string sender;                   // the envelope's MAIL FROM address
    std::vector<std::string> recipients;  // every RCPT TO address (To, Cc and Bcc)
    // Writes the message (headers and body) in any line-end form; the session turns it
    // into CRLF lines and stuffs dots.
    std::function<void(ByteSink&)> writeMessage;
};

class SmtpSession {
public:
    explicit SmtpSession(SmtpTransport& transport) : transport_(transport) {}

    // Runs the whole conversation. Throws SmtpError; the transport is left as it is (the
    // caller closes it).
    void Send(const SmtpRequest& request);

    // The server's EHLO keywords, upper case (after STARTTLS, the second list).
    [[nodiscard]] const std::vector<std::string>& extensions() const noexcept { return extensions_; }

private:
    SmtpReply ReadReply();
    SmtpReply Command(std::string_view line);
    void Expect(const SmtpReply& reply, int first, std::string_view step) const;
    void Hello(const std::string& clientName);
    [[nodiscard]] bool Offers(std::string_view keyword) const;
    void Authenticate(const SmtpRequest& request);

    SmtpTransport& transport_;
    std::string received_;  // bytes read but not yet taken as reply lines
    std::vector<std::string> extensions_;
    std::vector<std::string> authMechanisms_;
};

// The message as it goes after DATA: bare CR and LF become CR LF, a line starting with "."
// gets another one, and Close() (the first one) ends the message with "." on a line of its
// own. Writes through to `out` in chunks.
class DotStuffingSink final : public ByteSink {
public:
    explicit DotStuffingSink(SmtpTransport& out) : out_(out) {}

protected:
    void Put(std::string_view bytes) override;
    void Finish() override;

private:
    void Flush();
    SmtpTransport& out_;
    std::string buffer_;
    bool atLineStart_ = true;
    bool pendingCr_ = false;
    bool finished_ = false;
};

}  // namespace tarn::mail
