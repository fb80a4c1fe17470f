// The composer sending to a real SMTP server on 127.0.0.1: what the user typed and edited
// arrives, read back by Python's email package and by the server itself.
#include "common/registry_support.h"
#include "mail/html_email_form.h"
#include "smtp_test_server.h"
#include "win_support.h"

#include <atomic>
#include <chrono>

namespace tarn::test {
namespace {

using mail::HtmlEmailForm;
using ComposerSendTest = CommonUiTest;

constexpr wchar_t kSettingsKey[] = L"Software\\Quillonsoft\\Quillon Export Engine\\Settings";

TEST_F(ComposerSendTest, WhatWasTypedAndEditedArrivesAndTheWindowCloses) {
    const SmtpTestServer server;
    ASSERT_NE(server.port(), 0);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"127.0.0.1", false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", std::to_wstring(server.port()), false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Authentication", L"False", false);
    const ScratchFolder folder;
    std::filesystem::create_directories(folder / L"report_files");
    std::filesystem::copy_file(TestPicture(L"sample-40x30.png"), folder / L"report_files\\flag.png");
    const std::wstring page = folder / L"report.htm";
    WriteBytes(page, "<html><body><p>Stock today</p><img src=\"report_files/flag.png\" alt=\"Flag\"></body></html>");

    HWND window = HtmlEmailForm::SendMessageFor(page, L"", L"");
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
    MSG message;
    ASSERT_TRUE(ui::WaitUntil(
        [&] {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return !IsWindow(window);
        },
        ui::kDefaultWait));

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

// With STARTTLS offered and authentication set, the session is encrypted and the server
// sees the stored user and password; a subject carrying CR LF and a header of its own
// stays one Subject line and adds no recipient. A server that takes the connection and
// never answers ends in "Send Failed." after the read time-out, and the window stays.
TEST_F(ComposerSendTest, EncryptedAuthenticatedSendsKeepTheHeadersAndASilentServerFailsInTime) {
    const SmtpTestServer server("--starttls --auth joe:s3cret");
    ASSERT_NE(server.port(), 0);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"127.0.0.1", false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", std::to_wstring(server.port()), false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Authentication", L"True", false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP UserID", L"joe", false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Password", L"s3cret", false);
    const ScratchFolder folder;
    const std::wstring page = folder / L"note.htm";
    WriteBytes(page, "<html><body><p>Hello</p></body></html>");

    auto typeAndSend = [&](HWND window) {
        const ui::Window form(window);
        form.Control(HtmlEmailForm::kTxtTo).SetText(L"ann@example.com");
        form.Control(HtmlEmailForm::kTxtFrom).SetText(L"me@example.com");
        form.Control(HtmlEmailForm::kTxtSubject).SetText(L"Weekly\r\nBcc: x@y");
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(HtmlEmailForm::kCmdSend, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.Control(HtmlEmailForm::kCmdSend).hwnd()));
    };
    auto pumpUntil = [](auto done, ui::Milliseconds wait) {
        MSG message;
        return ui::WaitUntil(
            [&] {
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
                return done();
            },
            wait);
    };
    HWND window = HtmlEmailForm::SendMessageFor(page, L"", L"");
    ASSERT_TRUE(window);
    typeAndSend(window);
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }, ui::kDefaultWait));
    const auto received = server.WaitForMessage(1);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->facts, "mail_from me@example.com\nrcpt_to ann@example.com\ntls yes\nauth joe s3cret\n");
    const std::string bytes = FileBytes(received->message);
    const std::string headers = bytes.substr(0, bytes.find("\r\n\r\n") + 2);
    EXPECT_EQ(headers.find("\nBcc:"), std::string::npos) << headers;
    const size_t subject = headers.find("Subject: Weekly");
    ASSERT_NE(subject, std::string::npos) << headers;
    const std::string subjectLine = headers.substr(subject, headers.find("\r\n", subject) - subject);
    EXPECT_NE(subjectLine.find("Bcc: x@y"), std::string::npos) << "one Subject line: " << headers;

    const SmtpTestServer silent("--silent");
    ASSERT_NE(silent.port(), 0);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", std::to_wstring(silent.port()), false);
    WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Authentication", L"False", false);
    window = HtmlEmailForm::SendMessageFor(page, L"", L"");
    ASSERT_TRUE(window);
    std::atomic<bool> answered{false};
    ui::Watcher<ui::MessageBoxView> watcher([&] {
        ui::MessageBoxView box = ui::WaitForMessageBox({L"", L"Send Failed"}, ui::Milliseconds(75000));
        box.window.PressButton(L"OK");
        box.window.WaitUntilGone();
        answered = true;
        return box;
    });
    const auto started = std::chrono::steady_clock::now();
    typeAndSend(window);
    pumpUntil([&] { return answered.load(); }, ui::Milliseconds(80000));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    const ui::MessageBoxView box = watcher.Get();
    EXPECT_EQ(box.text.rfind(L"Send Failed.  Check your SMTP settings and try again.\r\n\r\nError ", 0), 0u)
        << Narrow(box.text);
    EXPECT_LE(seconds.count(), 70) << "the read time-out bounds the wait";
    ASSERT_TRUE(IsWindow(window)) << "a failed send keeps the window";
    const ui::Window form(window);
    form.Control(HtmlEmailForm::kTxtTo).SetText(L"bob@example.com");
    EXPECT_EQ(form.Control(HtmlEmailForm::kTxtTo).Text(), L"bob@example.com");
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(window); }, ui::kDefaultWait));
    EXPECT_EQ(silent.MessageCount(), 0);
    for (const wchar_t* name :
         {L"SMTP Server", L"SMTP Port", L"SMTP Authentication", L"SMTP UserID", L"SMTP Password"})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, name);
}

}  // namespace
}  // namespace tarn::test
