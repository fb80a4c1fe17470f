// The e-mail composer as the user meets it: a modeless window on the test's thread, driven
// from a watcher thread while this thread pumps its messages.
#include "composer_window.h"
#include "common/screen_metrics.h"

namespace tarn::test {
namespace {

using namespace composer;

// The subject and caption follow the file and the subject box; the body shows the page's
// text, cells as tab-separated rows, and a text file as it is written.
TEST_F(ComposerTest, SubjectCaptionAndBodyFollowTheFile) {
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    const ui::Window form(window);
    EXPECT_EQ(form.Text(), L"EMailing: report - Message (HTML)");
    EXPECT_EQ(form.Control(HtmlEmailForm::kTxtSubject).Text(), L"EMailing: report");
    // The picture is drawn after its label (the rich edit reads its object as a blank).
    EXPECT_EQ(Body(window), L"Stock today\r\nPears\t3\r\n[Flag] \r\n");
    // An emptied subject reads "Untitled" once the subject box loses the focus.
    SetFocus(form.Control(HtmlEmailForm::kTxtSubject).hwnd());
    SetWindowTextW(form.Control(HtmlEmailForm::kTxtSubject).hwnd(), L"");
    SetFocus(form.Control(HtmlEmailForm::kTxtTo).hwnd());
    EXPECT_EQ(form.Text(), L"Untitled - Message (HTML)");
    CloseComposer(window);

    window = HtmlEmailForm::SendMessageFor(text_, L"Weekly notes", L"someone@example.com");
    EXPECT_EQ(ui::Window(window).Text(), L"Weekly notes - Message (Plain Text)");
    EXPECT_EQ(Body(window), L"a < b\r\n  indented\r\n");
    CloseComposer(window);
}

// Send wants To, then From; with both, the edited page is saved in place of the file and a
// failed delivery says so and keeps the window; the addresses are remembered for the next.
TEST_F(ComposerTest, SendChecksAddressesSavesTheEditedPageAndRemembersAddresses) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"SMTP Server");
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    const std::wstring to = L"ann" + std::to_wstring(GetTickCount64()) + L"@example.com";
    std::string unedited;
    const auto seen = Drive<std::vector<ui::MessageBoxView>>([&] {
        const ui::Window form(window);
        std::vector<ui::MessageBoxView> boxes;
        auto sendAndAnswer = [&] {
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(HtmlEmailForm::kCmdSend, BN_CLICKED),
                         reinterpret_cast<LPARAM>(form.Control(HtmlEmailForm::kCmdSend).hwnd()));
            boxes.push_back(ui::WaitForMessageBox());
            boxes.back().window.PressButton(L"OK");
            boxes.back().window.WaitUntilGone();
        };
        sendAndAnswer();
        form.Control(HtmlEmailForm::kTxtTo).SetText(to);
        sendAndAnswer();
        form.Control(HtmlEmailForm::kTxtFrom).SetText(L"me@example.com");
        sendAndAnswer();  // no server yet: asked for, then tried anyway
        boxes.push_back(ui::WaitForMessageBox({L"", L"Send Failed"}));
        unedited = FileBytes(page_);
        boxes.back().window.PressButton(L"OK");
        boxes.back().window.WaitUntilGone();
        WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Server", L"127.0.0.1", false);
        WriteSetting(kSettingsApplication, kSettingsSection, L"SMTP Port", L"1", false);
        form.Control(HtmlEmailForm::kBody).SetText(L"Stock today\r\nApples\t12\r\n");
        sendAndAnswer();
        return boxes;
    });
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].caption, L"EMailing: report - Message (HTML)");
    EXPECT_EQ(seen[0].text, L"Please enter a Recipient in the 'To' box.");
    EXPECT_EQ(seen[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(seen[1].text, L"Please enter a From address.");
    EXPECT_EQ(seen[2].caption, L"EMailing: report - Message (HTML)");
    EXPECT_EQ(seen[2].text, L"Please enter the SMTP server information.");
    EXPECT_EQ(seen[2].icon, ui::Icon::Exclamation);
    for (const ui::MessageBoxView& failed : {seen[3], seen[4]}) {
        EXPECT_EQ(failed.caption, L"Send Failed");
        EXPECT_EQ(failed.icon, ui::Icon::Exclamation);
        EXPECT_EQ(failed.text.rfind(L"Send Failed.  Check your SMTP settings and try again.\r\n\r\nError ", 0), 0u)
            << Narrow(failed.text);
    }
    EXPECT_TRUE(IsWindow(window));
    // Sent as shown, the page is written back as it was; edited, only the texts change
    // (the picture whose label was deleted stays).
    EXPECT_EQ(unedited, Ansi(kPage));
    EXPECT_EQ(FileBytes(page_), Ansi(L"<HTML><HEAD><TITLE>report</TITLE></HEAD><BODY>\r\n<p>Stock <b>today</b></p>\r\n"
                                     L"<table>\r\n<tr><td>Apples</td><td>12</td></tr>\r\n</table>\r\n"
                                     L"<p><img src=\"report_files/flag.png\" alt=\"Flag\"></p>\r\n</BODY></HTML>\r\n"));
    CloseComposer(window);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"SMTP Server");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"SMTP Port");

    window = HtmlEmailForm::SendMessageFor(text_, L"", L"");
    const std::vector<std::wstring> remembered = ui::Window(window).Control(HtmlEmailForm::kTxtTo).Entries();
    ASSERT_FALSE(remembered.empty());
    EXPECT_EQ(remembered.front(), to);
    EXPECT_EQ(ui::Window(window).Control(HtmlEmailForm::kTxtFrom).Entries().front(), L"me@example.com");
    // Typing the beginning of a remembered address completes it, the added part selected.
    const HWND toBox = ui::Window(window).Control(HtmlEmailForm::kTxtTo).hwnd();
    const HWND toEdit = GetWindow(toBox, GW_CHILD);
    SetFocus(toEdit);
    for (wchar_t c : std::wstring(L"ann")) SendMessageW(toEdit, WM_CHAR, c, 0);
    EXPECT_EQ(ui::Window(toBox).Text(), to);
    DWORD start = 0, end = 0;
    SendMessageW(toBox, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, to.size());
    CloseComposer(window);
}

// The composer keeps its minimum size and its rows follow the frame's width; Tab, Enter
// and Escape work as in a dialog although the host's message loop knows nothing of it.
TEST_F(ComposerTest, SizesFollowTheFrameAndTheKeyboardWorksAsInADialog) {
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    ASSERT_TRUE(window);
    const ui::Window form(window);
    MoveWindow(window, 10, 10, 100, 100, TRUE);
    RECT frame{}, client{}, box{}, header{}, body{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 6045 / TwipsPerPixelX());
    EXPECT_EQ(frame.bottom - frame.top, 5805 / TwipsPerPixelY());
    MoveWindow(window, 10, 10, 700, 600, TRUE);
    GetClientRect(window, &client);
    GetWindowRect(form.Control(HtmlEmailForm::kHeaderFrame).hwnd(), &header);
    GetWindowRect(form.Control(HtmlEmailForm::kBody).hwnd(), &body);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&body), 2);
    const int margin = body.left;
    EXPECT_EQ(header.right - header.left, client.right - 2 * margin);
    EXPECT_EQ(body.right - body.left, client.right - 2 * margin);
    EXPECT_EQ(body.bottom, client.bottom - margin);
    for (int id : {HtmlEmailForm::kTxtTo, HtmlEmailForm::kTxtCC, HtmlEmailForm::kTxtBcc, HtmlEmailForm::kTxtFrom,
                   HtmlEmailForm::kTxtSubject}) {
        GetWindowRect(form.Control(id).hwnd(), &box);
        EXPECT_EQ(box.right - box.left, header.right - header.left - MulDiv(960, ScreenDpi(), 1440)) << id;
    }

    std::vector<int> order;
    HWND at = form.Control(HtmlEmailForm::kTxtTo).hwnd();
    for (int i = 0; i < 10; ++i, at = GetNextDlgTabItem(window, at, FALSE)) order.push_back(GetDlgCtrlID(at));
    EXPECT_EQ(order, (std::vector<int>{HtmlEmailForm::kTxtTo, HtmlEmailForm::kTxtCC, HtmlEmailForm::kTxtBcc,
                                       HtmlEmailForm::kTxtFrom, HtmlEmailForm::kTxtSubject, HtmlEmailForm::kBody,
                                       HtmlEmailForm::kCmdSend, HtmlEmailForm::kCmdCancel, HtmlEmailForm::kCmdConfig,
                                       HtmlEmailForm::kTxtTo}));
    // Tab from From reaches the subject, whose text is then all selected.
    SetFocus(form.Control(HtmlEmailForm::kTxtFrom).hwnd());
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    const HWND subject = form.Control(HtmlEmailForm::kTxtSubject).hwnd();
    PumpUntil([&] { return GetFocus() == subject; }, 5000);
    ASSERT_EQ(GetFocus(), subject);
    PumpUntil([] { return false; }, 100);
    DWORD start = 1, end = 0;
    SendMessageW(subject, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(subject)));
    // Enter is Send (which wants a recipient first); Escape is Cancel.
    const ui::MessageBoxView box2 = Drive<ui::MessageBoxView>([&] {
        PostMessageW(subject, WM_KEYDOWN, VK_RETURN, 0);
        ui::MessageBoxView seen = ui::WaitForMessageBox();
        seen.window.PressButton(L"OK");
        seen.window.WaitUntilGone();
        return seen;
    });
    EXPECT_EQ(box2.text, L"Please enter a Recipient in the 'To' box.");
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpUntil([&] { return !IsWindow(window); }, 5000);
    EXPECT_FALSE(IsWindow(window));
}

// A stored rectangle with only 300 twips on the screen comes back at 400, 400 twips with
// its size; one wholly off the screen is ignored and the window keeps its own place.
TEST_F(ComposerTest, PlacementComesBackOnlyWhereEnoughOfItIsOnTheScreen) {
    const long tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
    const long screenWidth = GetSystemMetrics(SM_CXSCREEN) * tx;
    HWND window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    RECT defaultPlace{};
    GetWindowRect(window, &defaultPlace);
    CloseComposer(window);

    WriteRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kSizeValue,
                       std::to_wstring(screenWidth - 300) + L",1500,7500,6600");
    WriteRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kStateValue, L"0");
    window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    RECT placed{};
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, 400 / tx);
    EXPECT_EQ(placed.top, 400 / ty);
    EXPECT_EQ(placed.right - placed.left, 7500 / tx);
    EXPECT_EQ(placed.bottom - placed.top, 6600 / ty);
    CloseComposer(window);
    // Closing stored where it was.
    EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kSizeValue, L""),
              std::to_wstring(400 / tx * tx) + L"," + std::to_wstring(400 / ty * ty) + L"," +
                  std::to_wstring(7500 / tx * tx) + L"," + std::to_wstring(6600 / ty * ty));

    WriteRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kSizeValue, L"-20000,-20000,7500,6600");
    window = HtmlEmailForm::SendMessageFor(page_, L"", L"");
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, defaultPlace.left);
    EXPECT_EQ(placed.top, defaultPlace.top);
    EXPECT_EQ(placed.right - placed.left, defaultPlace.right - defaultPlace.left);
    CloseComposer(window);
}

}  // namespace
}  // namespace tarn::test
