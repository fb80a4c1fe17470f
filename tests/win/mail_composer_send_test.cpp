// The composer sending to a real SMTP server on 127.0.0.1: what the user typed and edited
// arrives, read back by Python's email package and by the server itself. (STARTTLS, AUTH
// and a silent server are sent to by SendHtmlMail in smtp_delivery_test.cpp; the composer
// passes it the stored settings whole.)
#include "composer_window.h"
#include "smtp_test_server.h"

namespace tarn::test {
namespace {

using namespace composer;
using ComposerSendTest = ComposerTest;

TEST_F(ComposerSendTest, WhatWasTypedAndEditedArrivesAndTheWindowCloses) {
    const SmtpTestServer server;
    ASSERT_NE(server.port(), 0);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"127.0.0.1", false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", std::to_wstring(server.port()), false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Authentication", L"False", false);
    WriteBytes(page_, "<html><body><p>Stock today</p><img src=\"report_files/flag.png\" alt=\"Flag\"></body></html>");
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    const ui::Window form(window);
    form.Control(HtmlEmailForm::kTxtTo).SetText(L"Ann <ann@example.com>");
    form.Control(HtmlEmailForm::kTxtCC).SetText(L"cc@example.com");
    form.Control(HtmlEmailForm::kTxtBcc).SetText(L"hidden@example.com");
    form.Control(HtmlEmailForm::kTxtFrom).SetText(L"me@example.com");
    form.Control(HtmlEmailForm::kTxtSubject).SetText(L"Stock for Monday");
    form.Control(HtmlEmailForm::kBody).SetText(L"Stock tomorrow\r\n[Flag] \r\n");
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(HtmlEmailForm::kCmdSend, BN_CLICKED), 0);
    // Sent: the window closes itself.
    PumpUntil([&] { return !IsWindow(window); });
    ASSERT_FALSE(IsWindow(window));

    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts,
              "mail_from me@example.com\nrcpt_to ann@example.com\nrcpt_to cc@example.com\nrcpt_to hidden@example.com\n"
              "tls no\n");
    const std::string reading = MailReading(received->message);
    EXPECT_EQ(reading.substr(0, reading.find("\nheader lines")),
              "from me@example.com\nto Ann <ann@example.com>\ncc cc@example.com\nbcc none")
        << reading;
    EXPECT_NE(reading.find("img 0 cid:1.flag.png@TOKEN -> image/png, "), std::string::npos) << reading;
    EXPECT_NE(reading.find("defects: none"), std::string::npos) << reading;
    EXPECT_NE(FileBytes(received->message).find("Stock tomorrow"), std::string::npos);
    EXPECT_NE(FileBytes(received->message).find("Subject: Stock for Monday"), std::string::npos);
    for (const wchar_t* name : {L"SMTP Server", L"SMTP Port", L"SMTP Authentication"})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, name);
}

}  // namespace
}  // namespace tarn::test
