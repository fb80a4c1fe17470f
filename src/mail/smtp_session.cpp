// The SMTP conversation. Replies are read line by line from what the transport hands over;
// a reply ends at a line whose code is followed by a blank (or nothing) instead of "-".
#include "mail/smtp_session.h"

#include "html/mime_encoding.h"

#include <algorithm>

namespace tarn::mail {

namespace {

constexpr std::size_t kLongestReplyLine = 4096;
constexpr std::size_t kLongestReply = 64 * 1024;
constexpr std::size_t kSendChunk = 64 * 1024;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Addresses and names the envelope carries must not end a command line early.
void RefuseLineBreaks(std::string_view text, std::string_view what) {
    if (text.find_first_of("\r\n") != std::string_view::npos)
        throw SmtpError("The " + std::string(what) + " contains a line break");
}

}  // namespace

std::string SmtpReply::Text() const {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += ' ';
        text += line;
    }
    return std::to_string(code) + (text.empty() ? "" : " " + text);
}

SmtpReply SmtpSession::ReadReply() {
    SmtpReply reply;
    std::size_t total = 0;
    for (;;) {
        std::size_t end;
        while ((end = received_.find('\n')) == std::string::npos) {
            if (received_.size() > kLongestReplyLine) throw SmtpError("The server's reply line is too long");
            char buffer[1024];
            received_.append(buffer, transport_.Receive(buffer, sizeof buffer));
        }
        std::string line = received_.substr(0, end);
        received_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        total += line.size();
        if (total > kLongestReply) throw SmtpError("The server's reply is too long");
        if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) ||
            (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
            throw SmtpError("The server's reply is not SMTP: " + line.substr(0, 200));
        const int code = std::stoi(line.substr(0, 3));
        if (reply.code != 0 && code != reply.code)
            throw SmtpError("The server's reply changes its code within: " + line.substr(0, 200));
        reply.code = code;
        reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        if (line.size() == 3 || line[3] == ' ') return reply;
    }
}

SmtpReply SmtpSession::Command(std::string_view line) {
    transport_.Send(std::string(line) + "\r\n");
    return ReadReply();
}

void SmtpSession::Expect(const SmtpReply& reply, int first, std::string_view step) const {
    if (reply.code / 100 != first)
        throw SmtpError("The server refused " + std::string(step) + ": " + reply.Text(), reply.code);
}

void SmtpSession::Hello(const std::string& clientName) {
    SmtpReply reply = Command("EHLO " + clientName);
    extensions_.clear();
    authMechanisms_.clear();
    if (reply.code / 100 == 2) {
        // The first line greets; each further line names an extension and its arguments.
        for (std::size_t i = 1; i < reply.lines.size(); ++i) {
            std::string keyword = Upper(reply.lines[i]);
            std::string arguments;
            if (const std::size_t blank = keyword.find_first_of(" ="); blank != std::string::npos) {
                arguments = keyword.substr(blank + 1);
                keyword.resize(blank);
            }
            if (keyword == "AUTH") {
                std::size_t at = 0;
                while (at < arguments.size()) {
                    std::size_t next = arguments.find(' ', at);
                    if (next == std::string::npos) next = arguments.size();
                    if (next > at) authMechanisms_.push_back(arguments.substr(at, next - at));
                    at = next + 1;
                }
            }
            extensions_.push_back(keyword);
        }
        return;
    }
    // A server that knows only RFC 821 answers EHLO with 500 or 502.
    Expect(Command("HELO " + clientName), 2, "the greeting (HELO)");
}

bool SmtpSession::Offers(std::string_view keyword) const {
    return std::find(extensions_.begin(), extensions_.end(), keyword) != extensions_.end();
}

void SmtpSession::Authenticate(const SmtpRequest& request) {
    const auto mechanism = [&](std::string_view name) {
        return std::find(authMechanisms_.begin(), authMechanisms_.end(), name) != authMechanisms_.end();
    };
    if (mechanism("PLAIN")) {
        std::string credentials;
        credentials += '\0';
        credentials += request.user;
        credentials += '\0';
        credentials += request.password;
        Expect(Command("AUTH PLAIN " + Base64Of(credentials)), 2, "the user name or password (AUTH PLAIN)");
        return;
    }
    if (mechanism("LOGIN")) {
        Expect(Command("AUTH LOGIN"), 3, "authentication (AUTH LOGIN)");
        Expect(Command(Base64Of(request.user)), 3, "the user name (AUTH LOGIN)");
        Expect(Command(Base64Of(request.password)), 2, "the user name or password (AUTH LOGIN)");
        return;
    }
    throw SmtpError(authMechanisms_.empty() ? "The server does not offer authentication"
                                            : "The server offers no authentication this client knows (PLAIN, LOGIN)");
}

void SmtpSession::Send(const SmtpRequest& request) {
    RefuseLineBreaks(request.clientName, "client name");
    RefuseLineBreaks(request.sender, "sender's address");
    for (const std::string& recipient : request.recipients) RefuseLineBreaks(recipient, "recipient's address");
    if (request.recipients.empty()) throw SmtpError("The message has no recipient");

    Expect(ReadReply(), 2, "the connection");
    Hello(request.clientName);
    if (!transport_.Encrypted() && Offers("STARTTLS")) {
        Expect(Command("STARTTLS"), 2, "encryption (STARTTLS)");
        // Anything the server sent ahead of the handshake could have been injected in clear.
        if (!received_.empty()) throw SmtpError("The server sent data before encryption began");
        transport_.StartTls();
        Hello(request.clientName);
    }
    if (request.authenticate) Authenticate(request);

    Expect(Command("MAIL FROM:<" + request.sender + ">"), 2, "the sender (MAIL FROM)");
    for (const std::string& recipient : request.recipients)
        Expect(Command("RCPT TO:<" + recipient + ">"), 2, "the recipient " + recipient + " (RCPT TO)");
    Expect(Command("DATA"), 3, "the message (DATA)");
    DotStuffingSink data(transport_);
    if (request.writeMessage) request.writeMessage(data);
    data.Close();
    Expect(ReadReply(), 2, "the message");
    // The message is accepted; a refused or broken QUIT changes nothing.
    try {
        Command("QUIT");
    } catch (const SmtpError&) {
    }
}

void DotStuffingSink::Put(std::string_view bytes) {
    for (const char c : bytes) {
        if (pendingCr_) {
            pendingCr_ = false;
            buffer_ += "\r\n";
            atLineStart_ = true;
            if (c == '\n') continue;
        }
        if (c == '\r') {
            pendingCr_ = true;
            continue;
        }
        if (c == '\n') {
            buffer_ += "\r\n";
            atLineStart_ = true;
            continue;
        }
        if (atLineStart_ && c == '.') buffer_ += '.';
        atLineStart_ = false;
        buffer_ += c;
    }
    if (buffer_.size() >= kSendChunk) Flush();
}

void DotStuffingSink::Finish() {
    // The message's writer may close the sink itself (the MIME packer does); the end
    // mark goes once.
    if (finished_) return;
    finished_ = true;
    if (pendingCr_) Put("\n");
    buffer_ += atLineStart_ ? ".\r\n" : "\r\n.\r\n";
    Flush();
}

void DotStuffingSink::Flush() {
    if (!buffer_.empty()) out_.Send(buffer_);
    buffer_.clear();
}

}  // namespace tarn::mail
