// The composer sending to a real SMTP server on 127.0.0.1: what the user typed and edited
// arrives, read back by Python's email package and by the server itself.
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

// Over STARTTLS with a login, a subject that tries to add a header stays one Subject line;
// a server that takes the connection and never answers ends in "Send Failed." after the
// read time-out, and the window stays open and usable.
TEST_F(ComposerSendTest, EncryptedAndSilentServersThroughTheWindow) {
    const SmtpTestServer server("--starttls --auth joe:s3cret");
    const SmtpTestServer silent("--silent");
    ASSERT_TRUE(server.port() && silent.port());
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"127.0.0.1", false);
    for (const auto& [name, value] : {std::pair{L"SMTP Port", std::to_wstring(server.port())},
                                      {L"SMTP Authentication", L"True"}, {L"SMTP UserID", L"joe"},
                                      {L"SMTP Password", L"s3cret"}})
        WriteSetting(kSettingsApplication, kSettingsSection, name, value, false);
    auto typeAndSend = [&](HWND window) {
        const ui::Window form(window);
        form.Control(HtmlEmailForm::kTxtTo).SetText(L"ann@example.com");
        form.Control(HtmlEmailForm::kTxtFrom).SetText(L"me@example.com");
        form.Control(HtmlEmailForm::kTxtSubject).SetText(L"Weekly\r\nBcc: x@y");
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(HtmlEmailForm::kCmdSend, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.Control(HtmlEmailForm::kCmdSend).hwnd()));
    };
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    typeAndSend(window);
    PumpUntil([&] { return !IsWindow(window); });
    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts, "mail_from me@example.com\nrcpt_to ann@example.com\ntls yes\nauth joe s3cret\n");
    const std::string bytes = FileBytes(received->message);
    const std::string headers = bytes.substr(0, bytes.find("\r\n\r\n") + 2);
    EXPECT_EQ(headers.find("\nBcc:"), std::string::npos) << headers;
    const std::size_t subject = headers.find("Subject: Weekly");
    ASSERT_NE(subject, std::string::npos) << headers;
    EXPECT_NE(headers.substr(subject, headers.find("\r\n", subject) - subject).find("Bcc: x@y"), std::string::npos)
        << headers;

    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", std::to_wstring(silent.port()), false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Authentication", L"False", false);
    window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    const auto started = GetTickCount64();
    const ui::MessageBoxView failed = Drive<ui::MessageBoxView>([&] {
        typeAndSend(window);
        ui::MessageBoxView box = ui::WaitForMessageBox({L"", L"Send Failed"}, ui::Milliseconds(75000));
        box.window.PressButton(L"OK");
        box.window.WaitUntilGone();
        return box;
    });
    EXPECT_LE(GetTickCount64() - started, 70000u) << "the read time-out bounds the wait";
    EXPECT_EQ(failed.text.rfind(L"Send Failed.  Check your SMTP settings and try again.\r\n\r\nError ", 0), 0u)
        << Narrow(failed.text);
    ASSERT_TRUE(IsWindow(window)) << "a failed send keeps the window";
    ui::Window(window).Control(HtmlEmailForm::kTxtTo).SetText(L"bob@example.com");
    EXPECT_EQ(ui::Window(window).Control(HtmlEmailForm::kTxtTo).Text(), L"bob@example.com");
    CloseComposer(window);
    EXPECT_EQ(silent.MessageCount(), 0);
    for (const wchar_t* name :
         {L"SMTP Server", L"SMTP Port", L"SMTP Authentication", L"SMTP UserID", L"SMTP Password"})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, name);
}

}  // namespace
}  // namespace tarn::test
