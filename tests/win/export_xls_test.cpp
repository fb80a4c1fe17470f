// ExportXLS as a user and a host meet it, with xlrd reading every written workbook: where
// grid cells land and how they look, values as numbers or texts, the dialog and the
// windows, sheets beyond the row limit, the grid's own writer, and failures that leave no
// half-written file behind.
#include "com/handles.h"
#include "common/registry_support.h"
#include "win_support.h"
#include "xls_wine_reader.h"

#include <olectl.h>

namespace tarn::test {
namespace {

using ui::MessageBoxView;
using ui::ProgressView;
using ui::SaveDialogView;
using ui::Watcher;

void Put(IDispatch* grid, long setting, long row, long col, VARIANT value) {
    LateBound(grid).Put(L"Cell", value, {LongArg(setting), LongArg(row), LongArg(col)});
}

void SetTitle(_ExportMEthod* e, const std::wstring& title) { EXPECT_EQ(e->put_Title(unique_bstr(title).get()), S_OK); }

ComPtr<_ExportMEthod> Exporter(const std::wstring& target, const wchar_t* columns, bool quiet = true,
                               bool showInExcel = false) {
    ComPtr<_ExportMEthod> e =
        NewExporter(__uuidof(::ExportXLS), {.target = target, .columns = columns, .quiet = quiet});
    ComPtr<_ExportXLS> xls;
    EXPECT_EQ(e.As(&xls), S_OK);
    VARIANT_BOOL show = ToVariantBool(showInExcel);
    EXPECT_EQ(xls->put_ShowInExcel(&show), S_OK);
    return e;
}

// The export's HRESULT and Boolean, with no message box expected: one that appeared anyway
// is closed by the watcher and fails the test.
HRESULT ExportSilently(_ExportMEthod* e, IDispatch* grid, bool& exported) {
    Watcher<void> watcher([] {});
    IDispatch* argument = grid;
    VARIANT_BOOL result = VARIANT_FALSE;
    const HRESULT hr = e->ExportTable(&argument, &result);
    exported = result == VARIANT_TRUE;
    EXPECT_NO_THROW(watcher.Get()) << "the export showed a message";
    return hr;
}

using XlsExportTest = ComTest;

TEST_F(XlsExportTest, CellsKeepTheirPlaceLookAndValues) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = HostGrid(
        L"backcolorfixed = &H8000000F\n"
        L"fixedcols = 0\n"
        L"---\n"
        L"Code | Skip | Amount | Date | Flag | Pic\n"
        L"007 | x | 1,234.50 | 12/31/1999 | | \n"
        L"hidden | x | 5 | | |\n"
        L"1,5 | x | 12% | 1/2/2003 17:45 | | label\n"
        L"'quoted | x | -3 | not a date | |\n"
        L"@row 2 hidden\n"
        L"@row 3 height=450\n"
        L"@col 0 width=1800 align=right\n"
        L"@col 3 type=date\n"
        L"@cell 1,0 bold italic underline fore=#C00000 back=#FFFF00 font=\"Courier New\" size=12\n"
        L"@cell 1,4 check=checked\n"
        L"@cell 3,4 check=unchecked\n");
    const ComPtr<IDispatch> picture =
        VariantToObject(LateBound(grid.Get()).Call(L"MakePicture", {LongArg(8), LongArg(6), LongArg(0xFF)}));
    VARIANT object;
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = picture.Get();
    Put(grid.Get(), 3, 1, 5, object);
    Put(grid.Get(), 3, 3, 5, object);

    auto e = Exporter(folder / L"stock.xls", L",0,2,3,4,5,");
    SetTitle(e.Get(), L"Quarterly stock of the north shop");
    bool exported = false;
    EXPECT_EQ(ExportSilently(e.Get(), grid.Get(), exported), S_OK) << LastErrorDescription();
    EXPECT_TRUE(exported);

    const std::vector<std::string> facts = DescribeWorkbook(folder / L"stock.xls");
    SCOPED_TRACE(Joined(facts));
    wchar_t decimal[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    const bool comma = std::wstring(decimal) == L",";
    ExpectFacts(facts, {"sheet 0 'Quarterly_stock_of_the_nor_...' 5 5", "frozen 1 0", "width 0 5120", "width 1 3413",
                        "height 3 450 1",
                        "cell 0 1 0 number 7.0 | font Courier New 240 1 1 1 #C00000 | fill #FFFF00 | align 3 1 | "
                        "format 000 | prefix 0",
                        "cell 0 1 1 number 1234.5 | font Tahoma 160 0 0 0 #000000 | fill none | align 1 1 | "
                        "format #,##0.00 | prefix 0",
                        "cell 0 3 1 number 0.12 | font Tahoma 160 0 0 0 #000000 | fill none | align 1 1 | "
                        "format 0% | prefix 0"});
    // Values alone: dates in the user's order, check boxes, pictures with and without text.
    for (const auto& [at, value] : std::initializer_list<std::pair<const char*, std::string>>{
             {"cell 0 1 2 ", comma ? "text '12/31/1999'"
                                   : "date 36525.0 | font Tahoma 160 0 0 0 #000000 | fill none "
                                     "| align 1 1 | format m/d/yyyy |"},
             {"cell 0 3 2 ", comma ? "text '1/2/2003 17:45'" : "date 37623.739583333"},
             {"cell 0 3 0 ", comma ? "number 1.5 |" : "text '1,5' |"},
             {"cell 0 1 3 ", "text 'Yes' |"},
             {"cell 0 3 3 ", "text 'No' |"},
             {"cell 0 1 4 ", "blank  |"},
             {"cell 0 3 4 ", "text 'label' |"},
             {"cell 0 4 0 ", "text \"'quoted\" |"},
             {"cell 0 4 1 ", "number -3.0 |"},
             {"cell 0 4 2 ", "text 'not a date' |"}})
        EXPECT_EQ(Fact(facts, at).substr(std::string_view(at).size(), value.size()), value) << at;
    // Header: bold, the fixed cells' fill (a system colour: the button face), the grid's font;
    // column A right-aligned, the rest general.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    char fill[8];
    std::snprintf(fill, sizeof fill, "#%02X%02X%02X", GetRValue(face), GetGValue(face), GetBValue(face));
    EXPECT_EQ(Fact(facts, "cell 0 0 0 "), "cell 0 0 0 text 'Code' | font Tahoma 160 1 0 0 #000000 | fill " +
                                              std::string(fill) + " | align 3 1 | format General | prefix 0");
    EXPECT_EQ(Fact(facts, "cell 0 0 1 "), "cell 0 0 1 text 'Amount' | font Tahoma 160 1 0 0 #000000 | fill " +
                                              std::string(fill) + " | align 1 1 | format General | prefix 0");
    EXPECT_EQ(CountFacts(facts, "cell 0 2 "), 0u) << "grid row 2 is hidden: worksheet row 3 stays empty";
    EXPECT_NE(FileBytes(folder / L"stock.xls").find("\x89PNG\r\n\x1a\n"), std::string::npos) << "the picture";
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"stock.xls"});
}

TEST_F(XlsExportTest, TheDialogTheProgressWindowAndTheClosingCount) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = HostGrid(L"a | b\n1 | 2\n3 | 4\n");
    GridProxy proxy(grid.Get());
    proxy.HoldAt(L"RowHeight", 2);
    ComPtr<_ExportMEthod> e = NewExporter(
        __uuidof(::ExportXLS), {.initDir = folder.path(), .columns = L",0,1,", .quiet = true, .skipDialog = false});
    struct Seen {
        SaveDialogView dialog;
        ProgressView progress;
    };
    Watcher<Seen> watcher([&] {
        ResumeOnExit release{proxy};
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, L"book");
        proxy.WaitUntilHeld();
        seen.progress = ui::WaitForProgress();
        return seen;
    });
    EXPECT_TRUE(ExportTable(e.Get(), &proxy));
    const Seen seen = watcher.Get();
    EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{L"Excel Spreadsheets (*.xls)", L"All (*.*)"}));
    EXPECT_EQ(seen.progress.caption, L"Exporting to book.xls") << "shown although Quiet is set";
    EXPECT_EQ(seen.progress.text, L"0 records ...");
    EXPECT_EQ(TargetOf(e.Get()), folder / L"book.xls");
    EXPECT_EQ(Fact(DescribeWorkbook(folder / L"book.xls"), "cell 0 2 1 ").substr(0, 23), "cell 0 2 1 number 4.0 |");

    // Not quiet: the closing count.
    auto loud = Exporter(folder / L"loud", L",0,1,", false);
    const MessageBoxView done = AnswerMessageBox([&] { EXPECT_TRUE(ExportTable(loud.Get(), grid.Get())); });
    EXPECT_EQ(done.caption, L"Export");
    EXPECT_EQ(done.text, L"2 records exported to loud.xls");
    EXPECT_EQ(done.icon, ui::Icon::Information);
}

// Also: with ShowInExcel and nothing registered for workbooks, the file stays and no message comes.
TEST_F(XlsExportTest, OddTitlesLongTextsAndTooManyColumns) {
    ScratchFolder folder;
    FileTypeAssociation workbooks(L"xls");
    workbooks.Clear();
    std::wstring header = L"h0", row = L"0", columns = L",0,";
    for (int c = 1; c < 300; ++c) {
        header += L" | h" + std::to_wstring(c);
        row += L" | " + std::to_wstring(c);
        columns += std::to_wstring(c) + L",";
    }
    ComPtr<IDispatch> grid = HostGrid(header + L"\n" + row + L"\n");
    const std::wstring longText(40000, L'x');
    const unique_bstr text(longText);
    Put(grid.Get(), 0, 1, 1, TextArg(text));
    GridProxy proxy(grid.Get());
    proxy.HoldAt(L"RowHeight", 1);
    auto e = Exporter(folder / L"wide.xls", columns.c_str(), false, true);
    SetTitle(e.Get(), L"[:*?/\\]");
    Watcher<ProgressView> watcher([&] {
        ResumeOnExit release{proxy};
        proxy.WaitUntilHeld();
        return ui::WaitForProgress();
    });
    EXPECT_TRUE(ExportTable(e.Get(), &proxy));
    EXPECT_EQ(watcher.Get().caption, L"Exporting to  (only the first 256 of 300 columns fit on a worksheet)");
    const std::vector<std::string> facts = DescribeWorkbook(folder / L"wide.xls");
    ExpectFacts(facts, {"sheet 0 '_______' 2 256", "cell 0 1 255 number 255.0 | "});
    const std::string longCell = "cell 0 1 1 text '" + std::string(32767, 'x') + "' |";
    EXPECT_EQ(Fact(facts, "cell 0 1 1 ").substr(0, longCell.size()), longCell);
}

TEST_F(XlsExportTest, RowsBeyondOneSheetContinueOnMoreSheetsUnderTheRepeatedHeader) {
    ScratchFolder folder;
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    grid.Call(L"Fill", {LongArg(70000), LongArg(2)});
    auto e = Exporter(folder / L"long.xls", L",0,1,");
    SetTitle(e.Get(), L"Long");
    EXPECT_TRUE(ExportTable(e.Get(), grid.object()));
    const std::vector<std::string> facts = DescribeWorkbook(folder / L"long.xls");
    ExpectFacts(facts, {"sheet 0 'Long' 65536 2", "sheet 1 'Long (2)' 4465 2", "cell 0 65535 0 text 'R65535C0' |",
                        "cell 1 0 0 text 'Col0' |", "cell 1 1 0 text 'R65536C0' |", "cell 1 4464 1 number 87498.75 |"});
    EXPECT_EQ(CountFacts(facts, "frozen 1 0"), 2u) << "the header row stays in view on both sheets";
}

TEST_F(XlsExportTest, AFailingGridOrAMissingFolderLeavesNoFileAndAClearError) {
    ScratchFolder folder;
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    grid.Call(L"Fill", {LongArg(6000), LongArg(2)});
    grid.Call(L"ResetCounters");
    GridProxy proxy(grid.object());
    proxy.FailAt(L"RowHeight", 5000);
    auto e = Exporter(folder / L"broken.xls", L",0,1,");
    bool exported = true;
    EXPECT_TRUE(FAILED(ExportSilently(e.Get(), &proxy, exported)));
    EXPECT_FALSE(exported);
    const std::wstring failure = LastErrorDescription();
    EXPECT_NE(failure.find(L"broken.xls was not written"), std::wstring::npos) << Narrow(failure);
    EXPECT_NE(failure.find(L"Row 5000 cannot be read"), std::wstring::npos) << Narrow(failure);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{}) << "no half-written or temporary file";
    EXPECT_EQ(WriteLog(grid.object()), L"Redraw=True");
    EXPECT_FALSE(ProgressWindowExists());

    auto missing = Exporter(folder / L"no such folder\\book.xls", L",0,1,");
    EXPECT_TRUE(FAILED(ExportSilently(missing.Get(), grid.object(), exported)));
    EXPECT_FALSE(exported);
    const std::wstring missingFolder = LastErrorDescription();
    EXPECT_NE(missingFolder.find(L"no such folder\\book.xls was not written"), std::wstring::npos)
        << Narrow(missingFolder);
}

// The setting, in HKEY_LOCAL_MACHINE, while the object lives (the test prefix has none of its own).
struct DirectOutputSetting {
    static constexpr wchar_t kKey[] = L"Software\\Quillonsoft\\Quillon Export Engine\\Settings";
    DirectOutputSetting() {
        WriteSetting(kSettingsApplication, kSettingsSection, L"Direct XLS Output", L"True", false);
    }
    ~DirectOutputSetting() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Direct XLS Output"); }
};

TEST_F(XlsExportTest, DirectOutputLetsTheGridWriteItselfAndGivesBackEveryHiddenColumn) {
    ScratchFolder folder;
    DirectOutputSetting direct;
    ComPtr<IDispatch> grid = HostGrid(L"A | B | C | D\nkeep | drop | also | hidden\n@col 3 hidden\n");
    LateBound(grid.Get()).Call(L"ResetCounters");
    // Quiet does not silence this path's message.
    auto e = Exporter(folder / L"direct", L",0,2,", true);
    const MessageBoxView done = AnswerMessageBox([&] { EXPECT_TRUE(ExportTable(e.Get(), grid.Get())); });
    EXPECT_EQ(done.caption, L"Export");
    EXPECT_EQ(done.text, L"Exported to direct.xls");
    const std::string file = FileBytes(folder / L"direct.xls");
    EXPECT_TRUE(file.find("keep") != file.npos && file.find("also") != file.npos) << file;
    EXPECT_TRUE(file.find("drop") == file.npos && file.find("hidden") == file.npos) << file;
    EXPECT_EQ(WriteLog(grid.Get()),
              L"ColHidden(1)=True\r\nColHidden(3)=True\r\nColHidden(0)=False\r\n"
              L"ColHidden(1)=False\r\nColHidden(2)=False\r\nColHidden(3)=True");

    // With ShowInExcel, no message at all.
    FileTypeAssociation workbooks(L"xls");
    workbooks.Clear();
    auto shown = Exporter(folder / L"shown.xls", L",0,", false, true);
    bool exported = false;
    EXPECT_EQ(ExportSilently(shown.Get(), grid.Get(), exported), S_OK);
    EXPECT_TRUE(exported);
}

}  // namespace
}  // namespace tarn::test
