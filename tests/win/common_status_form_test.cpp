// The progress window as a user sees it while an export runs: its title, the latest
// message only, shown without taking the focus from the host, read by the driver while
// the exporting thread is busy; and the one-pass message pump under it.
#include "common/message_pump.h"
#include "common_ui.h"

namespace tarn::test {
namespace {

using ui::ProgressView;
using ui::Watcher;

// A host program's main window, active as it is when the host calls the engine.
class HostWindow {
public:
    HostWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TarnTestHost";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, L"TarnTestHost", L"Inventory", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 300,
                                nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(hwnd_);
        SetActiveWindow(hwnd_);
        ProcessPendingMessages();
    }
    ~HostWindow() {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }
    HWND hwnd() const { return hwnd_; }
    void Destroy() { DestroyWindow(hwnd_); }

private:
    HWND hwnd_ = nullptr;
};

// Reads the progress window from another thread while this one waits without pumping,
// as an export's thread does between two messages.
ProgressView ReadWhileBusy(const wchar_t* expectedText) {
    Watcher<ProgressView> watcher([text = std::wstring(expectedText)] {
        ProgressView seen;
        ui::WaitUntil(
            [&] {
                seen = ui::WaitForProgress();
                return seen.text == text;
            },
            ui::kDefaultWait);
        return seen;
    });
    return watcher.Get();
}

int delivered = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++delivered;
    return DefWindowProcW(window, message, wParam, lParam);
}

using StatusFormTest = CommonUiTest;

TEST_F(StatusFormTest, ShowsTheLatestMessageUnderItsTitleWithoutTakingTheFocus) {
    HostWindow host;
    ASSERT_EQ(GetActiveWindow(), host.hwnd());

    StatusForm& form = StatusForm::Current();
    EXPECT_TRUE(StatusForm::IsLoaded());
    EXPECT_FALSE(IsWindowVisible(form.hwnd())) << "loading alone shows nothing";
    EXPECT_EQ(&StatusForm::Current(), &form) << "one window per thread";

    form.ShowMessage(L"0 records ...");
    ProgressView seen = ReadWhileBusy(L"0 records ...");
    EXPECT_EQ(seen.caption, L"Export");
    EXPECT_EQ(seen.text, L"0 records ...");
    EXPECT_EQ(seen.window.Owner(), host.hwnd()) << "stays above the host's window";
    EXPECT_EQ(GetActiveWindow(), host.hwnd()) << "the host keeps the focus";

    form.SetTitle(L"Exporting to Q&A report.csv");
    form.ShowMessage(L"10 records ...");
    seen = ReadWhileBusy(L"10 records ...");
    EXPECT_EQ(seen.caption, L"Exporting to Q&A report.csv");
    EXPECT_EQ(seen.text, L"10 records ...") << "the second message replaces the first";

    form.ShowMessage(L"");
    seen = ReadWhileBusy(L"");
    EXPECT_TRUE(seen.window.IsVisible()) << "an empty message still shows the window";
    EXPECT_EQ(seen.text, L"");

    StatusForm::Unload();
    EXPECT_FALSE(StatusForm::IsLoaded());
    EXPECT_FALSE(seen.window.Exists());
    StatusForm::Current().ShowMessage(L"again");
    EXPECT_EQ(ReadWhileBusy(L"again").caption, L"Export") << "a new window starts with its own title";
}

TEST_F(StatusFormTest, AWindowClosedWithItsOwnerIsMadeAgainOnTheNextMessage) {
    auto host = std::make_unique<HostWindow>();
    StatusForm::Current().ShowMessage(L"first");
    const HWND first = StatusForm::Current().hwnd();
    host->Destroy();  // owned windows go with their owner
    EXPECT_FALSE(IsWindow(first));
    StatusForm::Current().ShowMessage(L"second");
    EXPECT_TRUE(IsWindowVisible(StatusForm::Current().hwnd()));
    EXPECT_EQ(ReadWhileBusy(L"second").text, L"second");
}

TEST_F(StatusFormTest, ThePumpDispatchesWhatIsWaitingAndLeavesAQuitForTheHost) {
    HostWindow host;
    ProcessPendingMessages();
    // Counts WM_APP messages reaching the host window.
    delivered = 0;
    const auto previous = SetWindowLongPtrW(host.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc));
    for (int i = 0; i < 3; ++i) PostMessageW(host.hwnd(), WM_APP, 0, 0);
    ProcessPendingMessages();
    EXPECT_EQ(delivered, 3);

    PostQuitMessage(7);
    PostMessageW(host.hwnd(), WM_APP, 0, 0);
    ProcessPendingMessages();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the host's loop still gets its quit";
    EXPECT_EQ(msg.wParam, 7u);
    SetWindowLongPtrW(host.hwnd(), GWLP_WNDPROC, previous);
    ProcessPendingMessages();
}

}  // namespace
}  // namespace tarn::test
