// SendHtmlMail against a real SMTP server on 127.0.0.1 (aiosmtpd, started by each test):
// what arrives is read back by Python's email package; what the server saw of the session
// (envelope, TLS, AUTH) by the server itself.
#include "mail/smtp_delivery.h"
#include "smtp_test_server.h"
#include "win_support.h"

#include <winsock2.h>

#include <chrono>

namespace tarn::test {
namespace {

using mail::DeliveryResult;
using mail::MailMessage;
using mail::SmtpSettings;

SmtpSettings Local(const SmtpTestServer& server) {
    SmtpSettings settings;
    settings.server = L"127.0.0.1";
    settings.port = server.port();
    return settings;
}

// A page with two pictures (one referenced twice), a line holding a single "." and text
// outside ASCII.
std::wstring WritePage(const ScratchFolder& folder) {
    std::filesystem::create_directories(folder / L"page_files");
    std::filesystem::copy_file(TestPicture(L"sample-40x30.png"), folder / L"page_files\\a.png");
    std::filesystem::copy_file(TestPicture(L"sample-40x30.gif"), folder / L"b.gif");
    const std::wstring page = folder / L"page.htm";
    WriteBytes(page,
               "<html><head><meta charset=\"utf-8\"><title>Report</title></head><body>\r\n"
               "<p>Caf\xc3\xa9</p><img src=\"page_files/a.png\"><img src=\"b.gif\">\r\n.\r\n"
               "<img src=\"page_files/a.png\"></body></html>\r\n");
    return page;
}

std::string Describe(const DeliveryResult& r) { return std::to_string(r.errorNumber) + " " + Narrow(r.description); }

TEST(SmtpDeliveryTest, OneMessageArrivesWithItsHeadersPicturesAndBccOnlyInTheEnvelope) {
    const SmtpTestServer server;
    ASSERT_NE(server.port(), 0);
    const ScratchFolder folder;
    MailMessage message;
    message.from = L"J\u00f6rg M\u00fcller <joerg@example.com>";
    message.to = L"a@example.com; \"Last, First\" <b@example.com>";
    message.cc = L"c@example.com";
    message.bcc = L"hidden@example.com";
    message.subject = L"Report\r\nBcc: x@y";
    message.htmlPath = WritePage(folder);
    const DeliveryResult result = mail::SendHtmlMail(message, Local(server));
    ASSERT_TRUE(result.sent) << Describe(result);

    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts,
              "mail_from joerg@example.com\nrcpt_to a@example.com\nrcpt_to b@example.com\nrcpt_to c@example.com\n"
              "rcpt_to hidden@example.com\ntls no\n");
    const std::string reading = MailReading(received->message);
    EXPECT_EQ(reading.substr(0, reading.find("\ntype ")),
              "from J\xc3\xb6rg M\xc3\xbcller <joerg@example.com>\n"
              "to a@example.com, \"Last, First\" <b@example.com>\ncc c@example.com\nbcc none\n"
              "header lines 8\nlone dots 1");
    EXPECT_NE(reading.find("subject Report  Bcc: x@y\n"), std::string::npos) << reading;
    EXPECT_NE(reading.find("img 0 cid:1.a.png@TOKEN -> image/png, "), std::string::npos) << reading;
    EXPECT_NE(reading.find("img 1 cid:2.b.gif@TOKEN -> image/gif, "), std::string::npos) << reading;
    EXPECT_NE(reading.find("img 2 cid:1.a.png@TOKEN -> image/png, "), std::string::npos) << reading;
    EXPECT_NE(reading.find("unreferenced parts: none\ndefects: none\n"), std::string::npos) << reading;
    EXPECT_EQ(server.MessageCount(), 1);
}

TEST(SmtpDeliveryTest, StartTlsEncryptsTheSessionAndTheServerSeesTheConfiguredCredentials) {
    const SmtpTestServer server("--starttls --auth joe:s3cr\xc3\xa9t");
    ASSERT_NE(server.port(), 0);
    const ScratchFolder folder;
    MailMessage message{L"me@example.com", L"you@example.com", L"", L"", L"Encrypted", WritePage(folder)};
    SmtpSettings settings = Local(server);
    settings.authenticate = true;
    settings.userId = L"joe";
    settings.password = L"wrong";
    DeliveryResult result = mail::SendHtmlMail(message, settings);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.errorNumber, 535);
    EXPECT_NE(result.description.find(L"535 5.7.8 Authentication credentials invalid"), std::wstring::npos)
        << Narrow(result.description);

    settings.password = L"s3cr\u00e9t";
    result = mail::SendHtmlMail(message, settings);
    ASSERT_TRUE(result.sent) << Describe(result);
    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts, "mail_from me@example.com\nrcpt_to you@example.com\ntls yes\nauth joe s3cr\xc3\xa9t\n");
}

TEST(SmtpDeliveryTest, Port465IsTlsFromTheFirstByte) {
    const SmtpTestServer server("--implicit-tls 465");
    if (server.port() == 0) GTEST_SKIP() << "port 465 cannot be had here";
    const ScratchFolder folder;
    const DeliveryResult result =
        mail::SendHtmlMail({L"me@example.com", L"you@example.com", L"", L"", L"x", WritePage(folder)}, Local(server));
    ASSERT_TRUE(result.sent) << Describe(result);
    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts, "mail_from me@example.com\nrcpt_to you@example.com\ntls yes\n");
}

TEST(SmtpDeliveryTest, AServerThatNeverAnswersFailsWithinTheReadLimit) {
    const SmtpTestServer server("--silent");
    ASSERT_NE(server.port(), 0);
    const ScratchFolder folder;
    SmtpSettings settings = Local(server);
    settings.readTimeoutSeconds = 2;
    const auto start = std::chrono::steady_clock::now();
    const DeliveryResult result =
        mail::SendHtmlMail({L"me@example.com", L"you@example.com", L"", L"", L"x", WritePage(folder)}, settings);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.errorNumber, HRESULT_FROM_WIN32(WSAETIMEDOUT)) << Describe(result);
    EXPECT_EQ(result.description, L"The server did not answer within 2 seconds (Winsock error 10060)");
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 6.0);
}

}  // namespace
}  // namespace tarn::test
