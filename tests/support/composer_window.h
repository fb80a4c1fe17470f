// The e-mail composer as the tests meet it: a modeless window on the test's thread, driven
// from a watcher thread while this thread pumps its messages. Shared by the composer's
// tests and the screenshot taker (tests/screenshots).
#pragma once

#include "common/registry_support.h"
#include "mail/html_email_form.h"
#include "win_support.h"

#include <atomic>
#include <functional>

namespace tarn::test::composer {

using mail::HtmlEmailForm;

inline constexpr wchar_t kSettingsKey[] = L"Software\\Quillonsoft\\Quillon Export Engine\\Settings";
inline constexpr wchar_t kSizeValue[] = L"FormSize_HTMLEmailFormSend Message";
inline constexpr wchar_t kStateValue[] = L"WindowState_HTMLEmailFormSend Message";
inline constexpr wchar_t kPage[] =
    L"<HTML><HEAD><TITLE>report</TITLE></HEAD><BODY>\r\n<p>Stock <b>today</b></p>\r\n"
    L"<table>\r\n<tr><td>Pears</td><td>3</td></tr>\r\n</table>\r\n<p><img src=\"report_files/flag.png\" "
    L"alt=\"Flag\"></p>\r\n"
    L"</BODY></HTML>\r\n";

// Dispatches this thread's messages until `done` or `milliseconds` have passed.
inline void PumpUntil(const std::function<bool()>& done, ULONGLONG milliseconds = 20000) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (!done() && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Runs `steps` on a watcher thread while this thread keeps the composer alive.
template <class Result>
Result Drive(std::function<Result()> steps) {
    std::atomic<bool> finished{false};
    ui::Watcher<Result> watcher([&]() -> Result {
        struct Finish {
            std::atomic<bool>& flag;
            ~Finish() { flag = true; }
        } finish{finished};
        return steps();
    });
    PumpUntil([&] { return finished.load(); });
    return watcher.Get();
}

inline void CloseComposer(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    PumpUntil([&] { return !IsWindow(window); });
}

// A page with a picture in its side folder and a text file in a scratch folder; no stored
// window placement before or after.
class ComposerTest : public CommonUiTest {
protected:
    void SetUp() override {
        CommonUiTest::SetUp();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kSizeValue);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kStateValue);
        WriteBytes(page_, Ansi(kPage));
        CreateDirectoryW((scratch_ / L"report_files").c_str(), nullptr);
        CopyFileW(TestPicture(L"sample-40x30.png").c_str(), (scratch_ / L"report_files\\flag.png").c_str(), FALSE);
        WriteBytes(text_, "a < b\r\n  indented");
    }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kSizeValue);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kStateValue);
        CommonUiTest::TearDown();
    }
    static std::wstring Body(HWND window) { return ui::Window(window).Control(HtmlEmailForm::kBody).Text(); }

    ScratchFolder scratch_;
    std::wstring page_ = scratch_ / L"report.htm";
    std::wstring text_ = scratch_ / L"notes.txt";
};

}  // namespace tarn::test::composer
