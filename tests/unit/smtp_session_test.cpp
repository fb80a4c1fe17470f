// The SMTP conversation against a scripted server: the bytes the client sends compared
// with literal text, replies split across reads and over several lines, refusals carrying
// the server's code and text; and typed addresses and subjects that try to add headers.
#include "mail/mail_addresses.h"
#include "mail/smtp_session.h"

#include <gtest/gtest.h>

#include <deque>

namespace tarn::mail {
namespace {

// Answers each Send with the next scripted reply, handed over a few bytes per read.
class ScriptedServer final : public SmtpTransport {
public:
    explicit ScriptedServer(std::deque<std::string> replies) : replies_(std::move(replies)) { Next(); }
    void Send(std::string_view bytes) override {
        sent += bytes;
        Next();
    }
    std::size_t Receive(char* buffer, std::size_t size) override {
        if (pending_.empty()) throw SmtpError("no reply scripted");
        const std::size_t n = std::min<std::size_t>({size, 5, pending_.size()});
        pending_.copy(buffer, n);
        pending_.erase(0, n);
        return n;
    }
    void StartTls() override { encrypted_ = true, sent += "<tls>"; }
    bool Encrypted() const override { return encrypted_; }

    std::string sent;

private:
    void Next() {
        if (!replies_.empty()) pending_ += replies_.front(), replies_.pop_front();
    }
    std::deque<std::string> replies_;
    std::string pending_;
    bool encrypted_ = false;
};

SmtpRequest Request(std::string body) {
    SmtpRequest r;
    r.clientName = "pc1";
    r.sender = "me@a.example";
    r.recipients = {"to@b.example", "bcc@c.example"};
    // Writers may close the sink themselves, as the MIME packer does.
    r.writeMessage = [body = std::move(body)](ByteSink& out) {
        out.Write(body);
        out.Close();
    };
    return r;
}

TEST(SmtpSession, TalksStartTlsAuthPlainAndSendsTheMessageDotStuffedInCrlfLines) {
    ScriptedServer server({"220 mx ready\r\n", "250-mx hello\r\n250-SIZE 1000\r\n250 STARTTLS\r\n", "220 go ahead\r\n",
                           "250-mx again\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n", "235 ok\r\n", "250 ok\r\n",
                           "250 ok\r\n", "250 ok\r\n", "354 send\r\n", "250 queued\r\n", "221 bye\r\n"});
    SmtpRequest request = Request("Subject: x\n\n.\n..two\r\nend.\rlast");
    request.authenticate = true;
    request.user = "u";
    request.password = "p\xc3\xa4";
    SmtpSession(server).Send(request);
    EXPECT_EQ(server.sent,
              "EHLO pc1\r\nSTARTTLS\r\n<tls>EHLO pc1\r\nAUTH PLAIN AHUAcMOk\r\n"
              "MAIL FROM:<me@a.example>\r\nRCPT TO:<to@b.example>\r\nRCPT TO:<bcc@c.example>\r\nDATA\r\n"
              "Subject: x\r\n\r\n..\r\n...two\r\nend.\r\nlast\r\n.\r\nQUIT\r\n");
}

TEST(SmtpSession, FallsBackToHeloAndAuthLoginAndReportsTheServersRefusal) {
    ScriptedServer old({"220 old\r\n", "502 what\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "250 ok\r\n",
                        "354 go\r\n", "250 ok\r\n", "221 bye\r\n"});
    SmtpSession(old).Send(Request("x"));
    EXPECT_EQ(old.sent.substr(0, 20), "EHLO pc1\r\nHELO pc1\r\n");

    ScriptedServer login({"220 mx\r\n", "250-mx\r\n250 AUTH=LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
                          "535-5.7.8 Authentication\r\n535 5.7.8 credentials invalid\r\n"});
    SmtpRequest request = Request("x");
    request.authenticate = true;
    request.user = "joe";
    request.password = "secret";
    try {
        SmtpSession(login).Send(request);
        FAIL() << "the refusal was not reported";
    } catch (const SmtpError& e) {
        EXPECT_EQ(e.replyCode(), 535);
        EXPECT_STREQ(e.what(),
                     "The server refused the user name or password (AUTH LOGIN): "
                     "535 5.7.8 Authentication 5.7.8 credentials invalid");
    }
    EXPECT_EQ(login.sent, "EHLO pc1\r\nAUTH LOGIN\r\nam9l\r\nc2VjcmV0\r\n");

    ScriptedServer refusing({"220 mx\r\n", "250 mx\r\n", "250 ok\r\n", "250 ok\r\n", "550 5.1.1 no such user\r\n"});
    try {
        SmtpSession(refusing).Send(Request("x"));
        FAIL() << "the refusal was not reported";
    } catch (const SmtpError& e) {
        EXPECT_EQ(e.replyCode(), 550);
        EXPECT_STREQ(e.what(), "The server refused the recipient bcc@c.example (RCPT TO): 550 5.1.1 no such user");
    }
}

TEST(MailAddresses, TypedTextCannotAddHeaderLines) {
    const auto list = ParseAddressList("\"Last, First\" <a@b.example>; J\xc3\xb6rg <j@c.example>,, plain@d.example ");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(AddressListValue(list),
              "\"Last, First\" <a@b.example>, =?utf-8?B?SsO2cmc=?= <j@c.example>, plain@d.example");
    for (const char* typed : {"a@b.example\r\nBcc: x@y", "a@b.example\nBcc: x@y", "Name <a@b.example> x@y",
                              "a@b.example <x@y>\r\n", "j\xc3\xb6rg@c.example"})
        EXPECT_THROW(ParseAddressList(typed), SmtpError) << typed;
    EXPECT_EQ(SingleLineSubject("Report\r\nBcc: x@y"), "Report  Bcc: x@y");
}

}  // namespace
}  // namespace tarn::mail
