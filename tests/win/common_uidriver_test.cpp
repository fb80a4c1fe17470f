// The UI driver on dialogs like the component's later ones (text boxes, check boxes,
// lists, buttons by caption or id), and uidriver.exe as host scripts use it: started
// beside the code that opens windows, it finds them in the process that started it,
// answers them, logs what it saw, takes pictures, and always ends by itself.
#include "com/handles.h"
#include "common/save_dialog.h"
#include "common_ui.h"
#include "ui/export_file.h"

#include <sstream>

namespace tarn::test {
namespace {

std::wstring DriverPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return (std::filesystem::path(exe).parent_path() / L"uidriver.exe").wstring();
}

// The driver started as a script starts it (not waited for); Finish() waits for its end.
class DriverProcess {
public:
    explicit DriverProcess(const std::wstring& arguments) {
        std::wstring command = L"\"" + DriverPath() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;  // its usage text stays out of the test's output
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
            throw std::runtime_error("cannot start uidriver.exe");
        process_.reset(info.hProcess);
        unique_hfile thread(info.hThread);
    }
    // The exit code, or -1 when it has not ended within `timeout`.
    long Finish(ui::Milliseconds timeout) {
        if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 99);
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }

private:
    unique_hfile process_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsPng(const std::wstring& path) { return FileBytes(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0; }

// A modal dialog built in memory, with one control of each kind the driver handles.
class ControlsDialog {
public:
    static constexpr int kName = 101, kHeaders = 102, kColumns = 103, kMethod = 104;

    struct Result {
        INT_PTR ended = 0;
        std::wstring name;
        bool headers = false;
        std::vector<int> columns;
        int method = -1;
        int listNotifications = 0;
    };

    Result Run() {
        Result result;
        result.ended = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), Template(), nullptr, &Procedure,
                                               reinterpret_cast<LPARAM>(&result));
        return result;
    }

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            for (const wchar_t* column : {L"Item", L"Quantity", L"Price"})
                SendDlgItemMessageW(dialog, kColumns, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(column));
            for (const wchar_t* method : {L"CSV", L"HTML", L"PDF"})
                SendDlgItemMessageW(dialog, kMethod, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(method));
            return TRUE;
        }
        if (message != WM_COMMAND) return FALSE;
        auto* result = reinterpret_cast<Result*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (LOWORD(wParam) == kColumns && HIWORD(wParam) == LBN_SELCHANGE) ++result->listNotifications;
        if (LOWORD(wParam) == IDOK) {
            wchar_t name[100] = {};
            GetDlgItemTextW(dialog, kName, name, 100);
            result->name = name;
            result->headers = IsDlgButtonChecked(dialog, kHeaders) == BST_CHECKED;
            for (int i = 0; i < 3; ++i)
                if (SendDlgItemMessageW(dialog, kColumns, LB_GETSEL, i, 0) > 0) result->columns.push_back(i);
            result->method = static_cast<int>(SendDlgItemMessageW(dialog, kMethod, CB_GETCURSEL, 0, 0));
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }

    void Words(std::wstring_view text) {
        for (wchar_t c : text) words_.push_back(c);
        words_.push_back(0);
    }
    void Align() {
        if (words_.size() % 2) words_.push_back(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, std::wstring_view text) {
        Align();
        DLGITEMTEMPLATE item{WS_CHILD | WS_VISIBLE | style, 0, x, y, cx, cy, id};
        const auto* raw = reinterpret_cast<const WORD*>(&item);
        words_.insert(words_.end(), raw, raw + sizeof item / sizeof(WORD));
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        Words(text);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* Template() {
        DLGTEMPLATE head{DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 6, 10, 10, 220, 120};
        const auto* raw = reinterpret_cast<const WORD*>(&head);
        words_.assign(raw, raw + sizeof head / sizeof(WORD));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        Words(L"Select Fields");
        words_.push_back(8);
        Words(L"MS Shell Dlg");
        Item(WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 10, 10, 120, 14, kName, 0x0081, L"");
        Item(BS_AUTOCHECKBOX | WS_TABSTOP, 10, 30, 120, 12, kHeaders, 0x0080, L"Include &headers");
        Item(WS_BORDER | LBS_EXTENDEDSEL | LBS_NOTIFY | WS_TABSTOP, 10, 46, 80, 40, kColumns, 0x0083, L"");
        Item(CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 100, 46, 80, 60, kMethod, 0x0085, L"");
        Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 100, 96, 50, 14, IDOK, 0x0080, L"OK");
        Item(BS_PUSHBUTTON | WS_TABSTOP, 160, 96, 50, 14, IDCANCEL, 0x0080, L"Cancel");
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

    std::vector<WORD> words_;
};

using UiDriverTest = CommonUiTest;

TEST_F(UiDriverTest, TypesTicksSelectsAndPressesOnADialog) {
    ui::Watcher<std::vector<std::wstring>> watcher([] {
        const ui::Window dialog = ui::WaitForWindow({L"#32770", L"Select Fields"});
        dialog.Control(ControlsDialog::kName).SetText(L"Stock report");
        const ui::Window headers = dialog.ControlByText(L"Include headers", L"Button");
        headers.SetChecked(true);
        const ui::Window columns = dialog.Control(ControlsDialog::kColumns);
        columns.Select(L"Item");
        columns.Select(L"Price");
        dialog.Control(ControlsDialog::kMethod).Select(L"HTML");
        std::vector<std::wstring> seen = columns.Entries();
        for (const std::wstring& s : columns.SelectedEntries()) seen.push_back(L"selected " + s);
        seen.push_back(headers.IsChecked() ? L"ticked" : L"not ticked");
        dialog.PressButton(L"OK");
        return seen;
    });
    const ControlsDialog::Result result = ControlsDialog().Run();
    EXPECT_EQ(watcher.Get(), (std::vector<std::wstring>{L"Item", L"Quantity", L"Price", L"selected Item",
                                                        L"selected Price", L"ticked"}));
    EXPECT_EQ(result.ended, IDOK);
    EXPECT_EQ(result.name, L"Stock report");
    EXPECT_TRUE(result.headers);
    EXPECT_EQ(result.columns, (std::vector<int>{0, 2}));
    EXPECT_EQ(result.method, 1);
    EXPECT_EQ(result.listNotifications, 2) << "the dialog hears of each selection as it would of a click";

    // Pressing by control id, and a missing control named in the failure.
    ui::Watcher<std::wstring> cancel([] {
        const ui::Window dialog = ui::WaitForWindow({L"#32770", L"Select Fields"});
        std::wstring missing;
        try {
            dialog.PressButton(L"Apply");
        } catch (const ui::DriverError& e) {
            missing = e.message();
        }
        dialog.PressButton(IDCANCEL);
        return missing;
    });
    EXPECT_EQ(ControlsDialog().Run().ended, IDCANCEL);
    EXPECT_EQ(cancel.Get(), L"no control \"Apply\" in \"Select Fields\"");
}

using UiDriverProgramTest = CommonUiTest;

TEST_F(UiDriverProgramTest, ReadsTheProgressWindowAndAnswersAMessageBoxFromAScript) {
    ScratchFolder folder;
    WriteBytes(folder / L"steps.txt",
               "# what a user sees during a failed export\n"
               "progress caption^=\"Exporting to\" text=\"10 records ...\"\n"
               "messagebox caption=Quillon\n"
               "press OK\n"
               "gone\n");
    DriverProcess driver(L"--deadline 60 --log \"" + folder / L"seen.log" + L"\" --shots \"" + folder.path() +
                         L"\" --script \"" + folder / L"steps.txt" + L"\"");
    StatusForm& form = StatusForm::Current();
    form.SetTitle(L"Exporting to stock.csv");
    form.ShowMessage(L"0 records ...");
    form.ShowMessage(L"10 records ...");
    const std::wstring target = folder / L"missing\\stock.csv";
    EXPECT_FALSE(OpenExportFile(target)) << "answered by the driver";
    ASSERT_EQ(driver.Finish(std::chrono::seconds(60)), 0) << FileBytes(folder / L"seen.log");

    const std::vector<std::string> log = Lines(FileBytes(folder / L"seen.log"));
    const std::string cannotOpen =
        ui::Escaped(L"Cannot open " + target + L"\r\n\r\n" + SystemText(ERROR_PATH_NOT_FOUND));
    const std::vector<std::string> expected{
        "progress caption=\"Exporting to stock.csv\" text=\"10 records ...\"",
        "shot \"" + ui::Escaped(folder / L"01-progress.png") + "\"",
        "messagebox caption=\"Quillon\" icon=exclamation text=\"" + cannotOpen + "\" buttons=\"OK\"",
        "shot \"" + ui::Escaped(folder / L"02-messagebox.png") + "\"",
        "pressed \"OK\"",
        "gone",
        "done",
    };
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(IsPng(folder / L"01-progress.png"));
    EXPECT_TRUE(IsPng(folder / L"02-messagebox.png"));
}

TEST_F(UiDriverProgramTest, AnswersTheSaveDialogFromCommandLineSteps) {
    ScratchFolder folder;
    DriverProcess driver(L"--log \"" + folder / L"seen.log" +
                         L"\" savedialog caption=\"Export to ...\" ; type \"stock take\" ; gone");
    std::wstring fileName;
    std::wstring fileTitle;
    EXPECT_TRUE(ShowSaveDialog(
        fileName, fileTitle,
        {L"csv", L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*", folder.path(), L"Export to ..."}));
    EXPECT_EQ(fileName, folder / L"stock take.csv");
    ASSERT_EQ(driver.Finish(std::chrono::seconds(60)), 0) << FileBytes(folder / L"seen.log");
    EXPECT_EQ(Lines(FileBytes(folder / L"seen.log")),
              (std::vector<std::string>{
                  "savedialog caption=\"Export to ...\" filename=\"\" filter=\"Comma Separated Values (*.CSV;*.CDF)\" "
                  "filters=\"Comma Separated Values (*.CSV;*.CDF)|All (*.*)\"",
                  "typed \"stock take\" and pressed Save",
                  "gone",
                  "done",
              }));
}

TEST_F(UiDriverProgramTest, EndsByItselfWithTheReasonWhenAStepCannotBeDone) {
    ScratchFolder folder;
    const auto started = std::chrono::steady_clock::now();
    DriverProcess never(L"--deadline 2 --log \"" + folder / L"never.log" + L"\" window caption=\"Never shown\"");
    EXPECT_EQ(never.Finish(std::chrono::seconds(30)), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    const std::string log = FileBytes(folder / L"never.log");
    EXPECT_EQ(log.rfind("error: step 1 (window): a window captioned \\\"Never shown\\\" did not appear", 0), 0u) << log;

    DriverProcess unknown(L"--log \"" + folder / L"unknown.log" + L"\" dance");
    EXPECT_EQ(unknown.Finish(std::chrono::seconds(30)), 1);
    EXPECT_EQ(FileBytes(folder / L"unknown.log"), "error: step 1 (dance): unknown step \\\"dance\\\"\r\n");

    DriverProcess noSteps(L"--log \"" + folder / L"none.log" + L"\"");
    EXPECT_EQ(noSteps.Finish(std::chrono::seconds(30)), 3) << "a usage error";
}

}  // namespace
}  // namespace tarn::test
