// What a user meets around a table export by ExportCSV and ExportTXT: the save dialog, the
// progress window while rows are written, the closing count, and the message for a file that cannot be opened; and the
// host's grid, whose Redraw is switched off only while rows are read. A proxy in front of the grid holds the export at
// one row, so the windows of an export under way can be read.
#include "com/handles.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using ui::MessageBoxView;
using ui::ProgressView;
using ui::SaveDialogView;
using ui::Watcher;

// An exporter of the two columns the test grids have, writing `target` without the dialog.
ComPtr<_ExportMEthod> DirectExporter(REFCLSID clsid, const std::wstring& target, bool quiet) {
    return NewExporter(clsid, {.target = target, .columns = L",0,1,", .quiet = quiet});
}
// One that opens the save dialog in `folder`.
ComPtr<_ExportMEthod> DialogExporter(REFCLSID clsid, const std::wstring& folder) {
    return NewExporter(clsid, {.initDir = folder, .columns = L",0,1,", .quiet = false, .skipDialog = false});
}

constexpr wchar_t kCsvFilter[] = L"Comma Separated Values (*.CSV;*.CDF)";

using TableWindowsTest = ComTest;

TEST_F(TableWindowsTest, CsvThroughTheDialogShowsProgressEveryTenWrittenRowsAndTheCount) {
    ScratchFolder folder;
    // 26 rows, of which rows 3 and 4 are hidden and row 7 takes no height: 23 are written.
    std::wstring text = L"Item | Qty\n";
    std::string expected = "Item,Qty\r\n";
    for (int r = 1; r <= 25; ++r) {
        text += L"i" + std::to_wstring(r) + L" | " + std::to_wstring(r * 3) + L"\n";
        if (r != 3 && r != 4 && r != 7)
            expected += std::string("i").append(std::to_string(r)) + "," + std::to_string(r * 3) + "\r\n";
    }
    text += L"@row 3:4 hidden\n@row 7 height=0\n";
    ComPtr<IDispatch> grid = HostGrid(text);
    GridProxy proxy(grid.Get());
    // Rows 0 to 14 are written by then: the twelfth written row was the last report.
    proxy.HoldAt(L"RowHeight", 15);
    auto exporter = DialogExporter(__uuidof(::ExportCSV), folder.path());

    struct Seen {
        SaveDialogView dialog;
        ProgressView progress;
        MessageBoxView done;
        bool progressLeftOpen = true;
    };
    Watcher<Seen> watcher([&] {
        ResumeOnExit release{proxy};
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, L"stock");
        proxy.WaitUntilHeld();
        seen.progress = ui::WaitForProgress();
        proxy.Resume();
        seen.done = ui::WaitForMessageBox(Captioned(L"Export"));
        seen.progressLeftOpen = ProgressWindowExists();
        seen.done.window.PressButton(L"OK");
        return seen;
    });
    const bool exported = ExportTable(exporter.Get(), &proxy);
    const Seen seen = watcher.Get();

    EXPECT_TRUE(exported);
    EXPECT_EQ(seen.dialog.caption, L"Export to ...");
    EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{kCsvFilter, L"All (*.*)"}));
    EXPECT_EQ(seen.dialog.selectedFilter, kCsvFilter);
    EXPECT_EQ(seen.progress.caption, L"Exporting to stock.csv");
    EXPECT_EQ(seen.progress.text, L"10 records ...");
    EXPECT_EQ(seen.done.text, L"22 records exported to stock.csv");
    EXPECT_EQ(seen.done.icon, ui::Icon::Information);
    EXPECT_FALSE(seen.progressLeftOpen) << "the progress window closes before the count is shown";
    EXPECT_EQ(TargetOf(exporter.Get()), folder / L"stock.csv");
    EXPECT_EQ(AfterDateLine(folder / L"stock.csv"), "#\r\n" + expected);
    EXPECT_EQ(WriteLog(grid.Get()), L"Redraw=False\r\nRedraw=True");
}

TEST_F(TableWindowsTest, AFileThatCannotBeOpenedIsReportedWithTheSystemsReasonEvenWhenQuiet) {
    ScratchFolder folder;
    // Held open without sharing, as another program would hold it.
    const std::wstring busy = folder / L"busy.txt";
    unique_hfile holder(CreateFileW(busy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);
    struct Case {
        const CLSID* clsid;
        std::wstring target;
        std::wstring opened;
        DWORD error;
        bool quiet;
    };
    const Case cases[] = {
        {&__uuidof(::ExportCSV), folder / L"missing\\data.dat", folder / L"missing\\data.dat.csv", ERROR_PATH_NOT_FOUND,
         true},
        {&__uuidof(::ExportTXT), busy, busy, ERROR_SHARING_VIOLATION, false},
    };
    ComPtr<IDispatch> grid = HostGrid(L"a | b\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.opened));
        auto exporter = DirectExporter(*c.clsid, c.target, c.quiet);
        Watcher<MessageBoxView> watcher([] {
            MessageBoxView box = ui::WaitForMessageBox();
            box.window.PressButton(L"OK");
            return box;
        });
        EXPECT_FALSE(ExportTable(exporter.Get(), grid.Get()));
        const MessageBoxView box = watcher.Get();
        EXPECT_EQ(box.caption, L"Quillon");
        EXPECT_EQ(box.icon, ui::Icon::Exclamation);
        EXPECT_EQ(box.text, L"Cannot open " + c.opened + L"\r\n\r\n" + SystemText(c.error));
        EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_FALSE(ProgressWindowExists());
    }
    EXPECT_EQ(WriteLog(grid.Get()), L"") << "Redraw is not touched";
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"busy.txt"});
}

}  // namespace
}  // namespace tarn::test
