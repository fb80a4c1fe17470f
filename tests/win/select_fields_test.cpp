// The field and method selection dialog as the user meets it: driven from a watcher
// thread while SelectFields (or Engine.ExportTable) waits for it, with grids of the test
// host and an engine of the component. The dialog's template comes from the component's
// resources, so the code linked into this program is pointed at the DLL's module.
#include "select_fields_window.h"

namespace tarn::test {
namespace {

using namespace field_dialog;

constexpr wchar_t kFourColumns[] = L"Name | Qty | Price | Paid\napples | 3 | 1.25 | yes\n";

// The dialog's controls sit at their twips positions for the screen's DPI, Tab walks them in
// layout order, Enter is OK and Escape is Cancel.
TEST_F(SelectFieldsTest, TheWindowHasItsControlsAtTheirTwipsPositionsAndWorksFromTheKeyboard) {
    auto grid = HostGrid(kFourColumns);
    auto engine = NewEngine(L"", true, L"C:\\out\\old.csv");
    struct Layout {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        int left, top, width, height;
    };
    const Layout layout[] = {
        {IDC_FieldList, L"ListBox", L"", 120, 120, 4155, 2310},
        {IDC_cmdOK, L"Button", L"OK", 4440, 120, 1095, 435},
        {IDC_cmdCancel, L"Button", L"Cancel", 4440, 660, 1095, 435},
        {IDC_ExportFilenameLabel, L"Static", L"Export Filename", 180, 2580, 1125, 195},
        {IDC_TargetFilename, L"Edit", L"old.csv", 120, 2820, 5310, 315},
        {IDC_ExportMethodLabel, L"Static", L"Export format ", 180, 3240, 975, 195},
        {IDC_ExportMethod, L"ComboBox", L" HTML File", 120, 3480, 5310, 315},
    };
    auto pixels = [](int twips) { return MulDiv(twips, ScreenDpi(), 1440); };
    std::wstring method, columns;
    const auto tabOrder = Drive<std::vector<int>>(
        [&] {
            const ui::Window dialog = WaitForDialog();
            RECT client{};
            GetClientRect(dialog.hwnd(), &client);
            EXPECT_EQ(client.right, pixels(5655));
            EXPECT_EQ(client.bottom, pixels(3960));
            for (const Layout& c : layout) {
                SCOPED_TRACE(Narrow(c.className) + " " + Narrow(c.text));
                const ui::Window control = dialog.Control(c.id);
                EXPECT_EQ(_wcsicmp(control.ClassName().c_str(), c.className), 0);
                EXPECT_EQ(control.Text(), c.text);
                RECT r{};
                GetWindowRect(control.hwnd(), &r);
                MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&r), 2);
                EXPECT_EQ(r.left, pixels(c.left));
                EXPECT_EQ(r.top, pixels(c.top));
                // A label is wider only when the dialog's font needs the room for its text.
                const bool label = c.id == IDC_ExportFilenameLabel || c.id == IDC_ExportMethodLabel;
                EXPECT_TRUE(label ? r.right - r.left >= pixels(c.width) : r.right - r.left == pixels(c.width));
                EXPECT_EQ(r.bottom - r.top, pixels(c.height));
            }
            const LONG listStyle = GetWindowLongW(dialog.Control(IDC_FieldList).hwnd(), GWL_STYLE);
            EXPECT_TRUE(listStyle & LBS_EXTENDEDSEL) << "Ctrl and Shift extend the selection";
            EXPECT_FALSE(listStyle & LBS_SORT) << "columns stay in grid order";
            EXPECT_EQ(GetWindowLongW(dialog.Control(IDC_ExportMethod).hwnd(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
            EXPECT_EQ(LOWORD(SendMessageW(dialog.hwnd(), DM_GETDEFID, 0, 0)), IDC_cmdOK) << "Enter presses OK";
            std::vector<int> order;
            HWND at = dialog.Control(IDC_FieldList).hwnd();
            for (int i = 0; i < 6; ++i, at = GetNextDlgTabItem(dialog.hwnd(), at, FALSE))
                order.push_back(GetDlgCtrlID(at));
            PostMessageW(dialog.Control(IDC_FieldList).hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return order;
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(tabOrder, (std::vector<int>{IDC_FieldList, IDC_cmdOK, IDC_cmdCancel, IDC_TargetFilename, IDC_ExportMethod,
                                          IDC_FieldList}));
    EXPECT_EQ(columns, L"") << "Escape is Cancel";

    Drive<void>(
        [] {
            const ui::Window dialog = WaitForDialog();
            PostMessageW(dialog.Control(IDC_FieldList).hwnd(), WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_TRUE(dialog.WaitUntilGone());
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(columns, L",0,1,2,3,") << "Enter is OK, with every entry selected as it started";
    EXPECT_EQ(method, L"HTML");
}

TEST_F(SelectFieldsTest, TheFieldListShowsListableColumnsPreselectedFromTheColumnListAndNeedsOne) {
    auto grid = HostGrid(
        L"cols = 8\n---\nName | x | x | | Hidden | Narrow | Price | Qty\n"
        L"apples | 1 | 2 | 3 | 4 | 5 | 6 | 7\n@col 4 hidden\n@col 5 width=0\n");
    const unique_bstr blank(L" "), twoLines(L"A\r\nB");
    LateBound(grid.Get()).Put(L"Cell", TextArg(blank), {LongArg(0), LongArg(0), LongArg(1)});
    LateBound(grid.Get()).Put(L"Cell", TextArg(twoLines), {LongArg(0), LongArg(0), LongArg(2)});
    const Texts listed{L"Name", L"Icon", L"A  B", L"Price", L"Qty"};
    std::wstring method = L"CSV", columns;
    auto engine = NewEngine(L"", false, L"C:\\out\\old.csv");
    Seen seen = Drive<Seen>(
        [] {
            const ui::Window dialog = WaitForDialog();
            const Seen seen = Read(dialog);
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return seen;
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(seen.fields, listed);
    EXPECT_EQ(seen.selectedFields, listed) << "an empty ColumnList selects every entry";
    EXPECT_EQ(columns, L",0,1,2,6,7,") << "the grid's column numbers, in commas";
    EXPECT_EQ(method, L"CSV") << "no method part: the method stays";
    EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\old.csv") << "no method part: the file name stays";

    // ColumnList ,1, selects column 1 only; OK without any field says so and stays open.
    engine = NewEngine(L"1", false);
    const auto [selected, message] = Drive<std::pair<Texts, ui::MessageBoxView>>(
        [] {
            const ui::Window dialog = WaitForDialog();
            const ui::Window list = dialog.Control(IDC_FieldList);
            const Texts selected = list.SelectedEntries();
            list.Select(L"Icon", false);
            dialog.PressButton(IDC_cmdOK);
            ui::MessageBoxView box = ui::WaitForMessageBox();
            box.window.PressButton(L"OK");
            EXPECT_TRUE(box.window.WaitUntilGone());
            list.Select(L"Name");
            list.Select(L"Qty");
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return std::make_pair(selected, box);
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(selected, Texts{L"Icon"});
    EXPECT_EQ(message.text, L"Please select at least one field from the list.");
    EXPECT_EQ(message.caption, kCaption);
    EXPECT_EQ(message.icon, ui::Icon::Exclamation);
    EXPECT_EQ(columns, L",0,7,");
}

TEST_F(SelectFieldsTest, TheMethodPartPreselectsByTheIncomingMethodAndCancelKeepsIt) {
    auto grid = HostGrid(kFourColumns);
    std::wstring method, columns;
    const std::pair<const wchar_t*, const wchar_t*> preselection[] = {
        {L"txt", L" Text File"}, {L"PDF", L" Excel Spreadsheet"}, {L"", L" HTML File"}, {L"PRINTER", L" HTML File"}};
    for (const auto& [incoming, current] : preselection) {
        auto engine = NewEngine(L"", true, L"C:\\out\\old.csv");
        method = incoming;
        const Seen seen = Drive<Seen>(
            [] {
                const ui::Window dialog = WaitForDialog();
                const Seen seen = Read(dialog);
                dialog.PressButton(IDC_cmdCancel);
                EXPECT_TRUE(dialog.WaitUntilGone());
                return seen;
            },
            grid.Get(), method, engine.Get(), columns);
        EXPECT_EQ(seen.methods, kOfferedMethods);
        EXPECT_EQ(seen.currentMethod, Texts{current}) << "incoming " << Narrow(incoming);
        EXPECT_EQ(seen.fileName, L"old.csv");
        EXPECT_EQ(columns, L"") << "Cancel";
        EXPECT_EQ(method, incoming) << "Cancel leaves the method passed in";
        EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\") << "Cancel leaves only the folder";
    }
}

// Engine.ExportTable with no method asks for one even when fields are to be skipped, and
// exports the chosen columns with the chosen method under the typed name.
TEST_F(SelectFieldsTest, ExportTableWithoutAMethodAsksAndExportsWithTheChoice) {
    ScratchFolder scratch;
    auto grid = HostGrid(kFourColumns);
    auto engine = NewEngine(L"", false, (scratch / L"old.csv").c_str());
    VARIANT_BOOL quiet = VARIANT_TRUE;
    ASSERT_TRUE(engine->put_SkipFieldSelection(VARIANT_TRUE) == S_OK && engine->put_Quiet(&quiet) == S_OK &&
                engine->put_SkipFilenameSelection(VARIANT_TRUE) == S_OK);

    ui::Watcher<void> watcher([] {
        const ui::Window dialog = WaitForDialog();
        const ui::Window list = dialog.Control(IDC_FieldList);
        list.Select(L"Qty", false);
        list.Select(L"Paid", false);
        dialog.Control(IDC_ExportMethod).Select(L" Comma Delimited File");
        dialog.Control(IDC_TargetFilename).SetText(L"stock list.csv");
        dialog.PressButton(IDC_cmdOK);
        EXPECT_TRUE(dialog.WaitUntilGone());
    });
    IDispatch* table = grid.Get();
    VARIANT_BOOL exported = VARIANT_FALSE;
    const unique_bstr noMethod(L"");
    EXPECT_EQ(engine->ExportTable(&table, noMethod.get(), &exported), S_OK);
    watcher.Get();
    EXPECT_EQ(exported, VARIANT_TRUE);

    unique_bstr columnList;
    engine->get_ColumnList(columnList.put());
    EXPECT_EQ(columnList.str(), L",0,2,");
    EXPECT_EQ(TargetOf(engine.Get()), scratch / L"stock_list.csv");
    EXPECT_EQ(AfterDateLine(scratch / L"stock_list.csv"), "#\r\nName,Price\r\napples,1.25\r\n");
}

}  // namespace
}  // namespace tarn::test
