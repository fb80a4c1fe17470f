// The common support against the real system: the progress window (the latest message
// under its title, above the host's window without taking its focus), the save dialog's
// overwrite question, shell links, and the settings store in the registry (below keys of
// its own, removed after).
#include "com/errors.h"
#include "common/message_pump.h"
#include "common/registry_support.h"
#include "common/save_dialog.h"
#include "common/shell_links.h"
#include "ui/status_form.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using CommonWindowsTest = CommonUiTest;

// Reads the progress window from another thread while this one waits without pumping,
// as an export's thread does between two messages.
ui::ProgressView ReadWhileBusy(const std::wstring& text) {
    ui::Watcher<ui::ProgressView> watcher([text] {
        ui::ProgressView seen;
        ui::WaitUntil([&] { return (seen = ui::WaitForProgress()).text == text; }, ui::kDefaultWait);
        return seen;
    });
    return watcher.Get();
}

TEST_F(CommonWindowsTest, ProgressShowsTheLatestMessageUnderItsTitleWithoutTakingTheFocus) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnTestHost";
    RegisterClassW(&wc);
    const HWND host = CreateWindowExW(0, L"TarnTestHost", L"Inventory", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500,
                                      300, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(host);
    SetActiveWindow(host);
    ProcessPendingMessages();
    ASSERT_EQ(GetActiveWindow(), host);

    StatusForm& form = StatusForm::Current();
    EXPECT_FALSE(IsWindowVisible(form.hwnd())) << "loading alone shows nothing";
    form.ShowMessage(L"0 records ...");
    ui::ProgressView seen = ReadWhileBusy(L"0 records ...");
    EXPECT_EQ(seen.caption, L"Export");
    EXPECT_EQ(seen.window.Owner(), host) << "stays above the host's window";
    EXPECT_EQ(GetActiveWindow(), host) << "the host keeps the focus";
    form.SetTitle(L"Exporting to Q&A report.csv");
    form.ShowMessage(L"10 records ...");
    seen = ReadWhileBusy(L"10 records ...");
    EXPECT_EQ(seen.caption, L"Exporting to Q&A report.csv");

    DestroyWindow(host);  // owned windows go with their owner
    EXPECT_FALSE(seen.window.Exists());
    StatusForm::Current().ShowMessage(L"again");
    EXPECT_EQ(ReadWhileBusy(L"again").caption, L"Export") << "made again, with its own title";
}

// Refuses to make the progress window, as a session that takes no more windows does.
LRESULT CALLBACK RefuseProgressWindow(int code, WPARAM wParam, LPARAM lParam) {
    wchar_t name[64] = L"";
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64) &&
        std::wstring_view(name) == StatusForm::kClassName)
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A progress window that could not be made leaves no class behind (the class would
// outlive the module that holds its window procedure), and the next one is made.
TEST_F(CommonWindowsTest, ProgressWindowThatCannotBeMadeLeavesNoClassBehind) {
    StatusForm::Unload();
    HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseProgressWindow, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    EXPECT_THROW(StatusForm::Current(), ComError);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(StatusForm::IsLoaded());
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_FALSE(GetClassInfoExW(ModuleHandle(), StatusForm::kClassName, &wc));

    StatusForm::Current().ShowMessage(L"made after all");
    EXPECT_EQ(ReadWhileBusy(L"made after all").caption, L"Export");
    StatusForm::Unload();
}

constexpr wchar_t kCsvFilter[] = L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*";

TEST_F(CommonWindowsTest, SaveDialogReplacesAnExistingFileOnlyAfterTheUserAgrees) {
    ScratchFolder folder;
    WriteBytes(folder / L"stock.csv", "old");
    ui::Watcher<bool> watcher([] {
        const ui::SaveDialogView dialog = ui::WaitForSaveDialog();
        ui::SaveAs(dialog.window, L"stock.csv");
        ui::WindowQuery owned;
        owned.owner = dialog.window.hwnd();
        ui::MessageBoxView question = ui::WaitForMessageBox(owned);  // the system's own question
        question.window.PressButton(L"No");
        question.window.WaitUntilGone();
        const bool stayed = dialog.window.IsVisible();
        ui::SaveAs(dialog.window, L"stock.csv");
        ui::WaitForMessageBox(owned).window.PressButton(L"Yes");
        return stayed;
    });
    std::wstring fileName = L"proposal.csv", fileTitle;
    ASSERT_TRUE(ShowSaveDialog(fileName, fileTitle, {L"csv", kCsvFilter, folder.path(), L"Export to ..."}));
    EXPECT_TRUE(watcher.Get()) << "No returns to the dialog";
    EXPECT_EQ(fileName, folder / L"stock.csv");
    EXPECT_EQ(fileTitle, L"stock.csv");
    EXPECT_EQ(FileBytes(folder / L"stock.csv"), "old") << "the dialog only chooses; it writes nothing";
}

TEST_F(CommonWindowsTest, AShortcutResolvesToItsTargetAndAnythingElseIsAnError) {
    ScratchFolder folder;
    const std::wstring target = folder / L"Stock report.csv", link = folder / L"Stock report.lnk";
    WriteBytes(target, "a,b\r\n");
    MakeShortcut(link, target);
    EXPECT_EQ(ResolveShortcut(link), target);
    EXPECT_THROW(static_cast<void>(ResolveShortcut(folder / L"missing.lnk")), ComError);
    EXPECT_THROW(static_cast<void>(ResolveShortcut(target)), ComError) << "a file that is not a shortcut";
}

constexpr wchar_t kTestApplication[] = L"Quillon Export Engine Tests";
constexpr wchar_t kTestRoot[] = L"Software\\Quillonsoft\\Quillon Export Engine Tests";

// The value's type and bytes as the registry holds them, or REG_NONE and nothing.
std::pair<DWORD, std::vector<BYTE>> Stored(HKEY hive, const std::wstring& path, const wchar_t* name) {
    DWORD type = REG_NONE, size = 0;
    if (RegGetValueW(hive, path.c_str(), name, RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    std::vector<BYTE> bytes(size);
    RegGetValueW(hive, path.c_str(), name, RRF_RT_ANY, &type, bytes.data(), &size);
    return {type, bytes};
}

TEST_F(CommonWindowsTest, SettingsRoundTripAsStringsAndRawWritesStoreByType) {
    const std::wstring settings = std::wstring(kTestRoot) + L"\\Settings";
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Port", 25, false), L"25");
    WriteSetting(kTestApplication, L"Settings", L"SMTP Server", L"mail.example.com", false);
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Server", L"", false), L"mail.example.com");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, settings, L"SMTP Server").first, static_cast<DWORD>(REG_SZ));
    // The per-user flag selects the current user's hive, and the two stay apart.
    WriteSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"10,20,300,400", true);
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"0,0,0,0", true), L"10,20,300,400");
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"0,0,0,0", false), L"0,0,0,0");

    unique_variant value;
    value.vt = VT_I2;
    value.iVal = -2;
    WriteRegistryValue(HKEY_LOCAL_MACHINE, settings, L"SMTP Server", value);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, settings, L"SMTP Server"),
              std::make_pair(static_cast<DWORD>(REG_DWORD), std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Server", L"none", false), L"none")
        << "a number under a string setting reads as missing";
    // Booleans write nothing.
    value.reset();
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    WriteRegistryValue(HKEY_CURRENT_USER, settings, L"Flag", value);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, settings, L"Flag").first, static_cast<DWORD>(REG_NONE));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestRoot);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
}

}  // namespace
}  // namespace tarn::test
