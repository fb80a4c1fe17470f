// The field and method selection dialog as the user meets it: driven from a watcher
// thread while SelectFields (or Engine.ExportTable) waits for it, with grids of the test
// host and an engine of the component. The dialog's template comes from the component's
// resources, so the code linked into this program is pointed at the DLL's module.
#include "com/errors.h"
#include "com/late_bound.h"
#include "com/module.h"
#include "common_ui.h"
#include "engine/select_fields.h"
#include "ui/select_fields_form_ids.h"

#include <optional>
#include <vector>

namespace tarn::test {
namespace {

using Texts = std::vector<std::wstring>;

constexpr wchar_t kCaption[] = L"Select the Fields your would like included ...";
const std::vector<std::wstring> kOfferedMethods{L" Comma Delimited File", L" Text File", L" HTML File",
                                                L" MHTML File (Embedded Images)", L" Excel Spreadsheet"};

VARIANT TextArg(const unique_bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

class SelectFieldsTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        previousModule_ = ModuleHandle();
        SetModuleHandle(TheComponent().module);
    }
    void TearDown() override {
        SetModuleHandle(previousModule_);
        ComTest::TearDown();
    }

    // A grid of the test host loaded from its text form (tests/testhost/README.md).
    static ComPtr<IDispatch> Grid(const wchar_t* text) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(L"ExportTestHost.Grid", &clsid), S_OK) << "the test host is not registered";
        ComPtr<IDispatch> grid;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grid)), S_OK);
        if (grid) {
            const unique_bstr source(text);
            LateBound(grid.Get()).Call(L"LoadFromText", {TextArg(source)});
        }
        return grid;
    }
    static void SetHeader(IDispatch* grid, long column, const wchar_t* text) {
        const unique_bstr value(text);
        LateBound(grid).Put(L"Cell", TextArg(value), {LongArg(0), LongArg(0), LongArg(column)});
    }

    static ComPtr<_Engine> NewEngine(const wchar_t* columnList, bool selectMethod, const wchar_t* target = L"") {
        ComPtr<_Engine> engine = Create<_Engine>(__uuidof(::Engine));
        const unique_bstr list(columnList), file(target);
        EXPECT_EQ(engine->put_ColumnList(list.get()), S_OK);
        EXPECT_EQ(engine->put_SelectMethod(ToVariantBool(selectMethod)), S_OK);
        EXPECT_EQ(engine->put_TargetFilename(file.get()), S_OK);
        return engine;
    }
    static std::wstring TargetOf(_Engine* engine) {
        unique_bstr value;
        EXPECT_EQ(engine->get_TargetFilename(value.put()), S_OK);
        return value.str();
    }

private:
    HMODULE previousModule_ = nullptr;
};

ui::Window WaitForDialog() { return ui::WaitForWindow({L"#32770", kCaption}); }

// What the watcher saw of the dialog when it came.
struct Seen {
    Texts fields;
    Texts selectedFields;
    long currentField = -1;
    Texts methods;
    Texts currentMethod;
    std::wstring fileName;
    bool methodPartVisible = false;
};

Seen Read(const ui::Window& dialog) {
    Seen seen;
    const ui::Window list = dialog.Control(IDC_FieldList);
    seen.fields = list.Entries();
    seen.selectedFields = list.SelectedEntries();
    seen.currentField = static_cast<long>(SendMessageW(list.hwnd(), LB_GETCARETINDEX, 0, 0));
    const ui::Window methods = dialog.Control(IDC_ExportMethod);
    seen.methods = methods.Entries();
    seen.currentMethod = methods.SelectedEntries();
    seen.fileName = dialog.Control(IDC_TargetFilename).Text();
    seen.methodPartVisible = methods.IsVisible();
    return seen;
}

// Shows the dialog through SelectFields; `steps` answer it. Returns what they returned.
template <class Result, class Steps>
Result Drive(Steps&& steps, IDispatch* grid, std::wstring& method, _Engine* engine, std::wstring& columns) {
    ui::Watcher<Result> watcher(std::forward<Steps>(steps));
    columns = SelectFields(grid, method, engine);
    return watcher.Get();
}

int Pixels(int twips, int capability) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, capability);
    ReleaseDC(nullptr, screen);
    return MulDiv(twips, dpi, 1440);
}
int PixelsX(int twips) { return Pixels(twips, LOGPIXELSX); }
int PixelsY(int twips) { return Pixels(twips, LOGPIXELSY); }

RECT ClientRectOf(const ui::Window& control, const ui::Window& dialog) {
    RECT r{};
    GetWindowRect(control.hwnd(), &r);
    MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

constexpr wchar_t kFourColumns[] = L"Name | Qty | Price | Paid\napples | 3 | 1.25 | yes\n";

TEST_F(SelectFieldsTest, TheWindowHasItsControlsAtTheirTwipsPositionsAndWorksFromTheKeyboard) {
    auto grid = Grid(kFourColumns);
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
    std::wstring method, columns;
    const auto tabOrder = Drive<Texts>(
        [&] {
            const ui::Window dialog = WaitForDialog();
            RECT client{};
            GetClientRect(dialog.hwnd(), &client);
            EXPECT_EQ(client.right, PixelsX(5655));
            EXPECT_EQ(client.bottom, PixelsY(3960));
            for (const Layout& c : layout) {
                const ui::Window control = dialog.Control(c.id);
                EXPECT_EQ(_wcsicmp(control.ClassName().c_str(), c.className), 0) << Narrow(control.ClassName());
                EXPECT_EQ(control.Text(), c.text) << Narrow(c.className);
                const RECT r = ClientRectOf(control, dialog);
                EXPECT_EQ(r.left, PixelsX(c.left)) << Narrow(c.text);
                EXPECT_EQ(r.top, PixelsY(c.top)) << Narrow(c.text);
                // A label is wider only when the dialog's font needs the room for its text.
                if (c.id == IDC_ExportFilenameLabel || c.id == IDC_ExportMethodLabel)
                    EXPECT_GE(r.right - r.left, PixelsX(c.width)) << Narrow(c.text);
                else
                    EXPECT_EQ(r.right - r.left, PixelsX(c.width)) << Narrow(c.text);
                EXPECT_EQ(r.bottom - r.top, PixelsY(c.height)) << Narrow(c.text);
            }
            const LONG listStyle = GetWindowLongW(dialog.Control(IDC_FieldList).hwnd(), GWL_STYLE);
            EXPECT_TRUE(listStyle & LBS_EXTENDEDSEL) << "Ctrl and Shift extend the selection";
            EXPECT_FALSE(listStyle & LBS_SORT) << "columns stay in grid order";
            EXPECT_EQ(GetWindowLongW(dialog.Control(IDC_ExportMethod).hwnd(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
            EXPECT_EQ(LOWORD(SendMessageW(dialog.hwnd(), DM_GETDEFID, 0, 0)), IDC_cmdOK) << "Enter presses OK";

            // Tab goes through the controls in the order they are laid out.
            Texts order;
            HWND at = dialog.Control(IDC_FieldList).hwnd();
            for (int i = 0; i < 6; ++i, at = GetNextDlgTabItem(dialog.hwnd(), at, FALSE))
                order.push_back(std::to_wstring(GetDlgCtrlID(at)));

            // Escape in the field list cancels.
            PostMessageW(dialog.Control(IDC_FieldList).hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return order;
        },
        grid.Get(), method, engine.Get(), columns);
    const Texts expectedOrder{std::to_wstring(IDC_FieldList),    std::to_wstring(IDC_cmdOK),
                              std::to_wstring(IDC_cmdCancel),    std::to_wstring(IDC_TargetFilename),
                              std::to_wstring(IDC_ExportMethod), std::to_wstring(IDC_FieldList)};
    EXPECT_EQ(tabOrder, expectedOrder);
    EXPECT_EQ(columns, L"") << "Escape is Cancel";

    // Enter in the field list is OK, with every entry selected as it started.
    Drive<void>(
        [] {
            const ui::Window dialog = WaitForDialog();
            PostMessageW(dialog.Control(IDC_FieldList).hwnd(), WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_TRUE(dialog.WaitUntilGone());
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(columns, L",0,1,2,3,");
    EXPECT_EQ(method, L"HTML");
}

TEST_F(SelectFieldsTest, TheFieldListShowsListableColumnsPreselectedFromTheColumnList) {
    auto grid = Grid(
        L"cols = 8\n---\nName | x | x | | Hidden | Narrow | Price | Qty\n"
        L"apples | 1 | 2 | 3 | 4 | 5 | 6 | 7\n@col 4 hidden\n@col 5 width=0\n");
    SetHeader(grid.Get(), 1, L" ");
    SetHeader(grid.Get(), 2, L"A\r\nB");
    const Texts listed{L"Name", L"Icon", L"A  B", L"Price", L"Qty"};

    auto readAndPressOK = [] {
        const ui::Window dialog = WaitForDialog();
        Seen seen = Read(dialog);
        dialog.PressButton(IDC_cmdOK);
        EXPECT_TRUE(dialog.WaitUntilGone());
        return seen;
    };
    std::wstring method = L"CSV", columns;
    auto engine = NewEngine(L"", false, L"C:\\out\\old.csv");
    Seen seen = Drive<Seen>(readAndPressOK, grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(seen.fields, listed);
    EXPECT_EQ(seen.selectedFields, listed) << "an empty ColumnList selects every entry";
    EXPECT_EQ(seen.currentField, 0);
    EXPECT_EQ(columns, L",0,1,2,6,7,") << "the grid's column numbers, in commas";
    EXPECT_EQ(method, L"CSV") << "no method part: the method stays";
    EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\old.csv") << "no method part: the file name stays";

    engine = NewEngine(L"1", false);
    seen = Drive<Seen>(readAndPressOK, grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(seen.selectedFields, Texts{L"Icon"}) << "ColumnList ,1, selects column 1 only";
    EXPECT_EQ(seen.currentField, 0) << "the first entry is the current one, selected or not";
    EXPECT_EQ(columns, L",1,");
}

TEST_F(SelectFieldsTest, OKWithoutAFieldSaysSoAndStaysOpenThenReturnsTheChosenColumns) {
    auto grid = Grid(kFourColumns);
    auto engine = NewEngine(L"", false);
    std::wstring method, columns;
    const auto message = Drive<ui::MessageBoxView>(
        [] {
            const ui::Window dialog = WaitForDialog();
            const ui::Window list = dialog.Control(IDC_FieldList);
            for (const wchar_t* entry : {L"Name", L"Qty", L"Price", L"Paid"}) list.Select(entry, false);
            dialog.PressButton(IDC_cmdOK);
            ui::MessageBoxView box = ui::WaitForMessageBox();
            box.window.PressButton(L"OK");
            EXPECT_TRUE(box.window.WaitUntilGone());
            EXPECT_TRUE(dialog.IsVisible()) << "the dialog stays open";
            list.Select(L"Name");
            list.Select(L"Paid");
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return box;
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(message.text, L"Please select at least one field from the list.");
    EXPECT_EQ(message.caption, kCaption);
    EXPECT_EQ(message.icon, ui::Icon::Exclamation);
    EXPECT_EQ(columns, L",0,3,");
}

TEST_F(SelectFieldsTest, GridsWithNothingToChooseGetEveryColumnWithoutAWindow) {
    // Any window that shows up is closed by the watcher, and Get() reports it.
    auto noWindow = [] {};
    std::wstring method, columns;
    auto engine = NewEngine(L"1", true, L"C:\\out\\old.csv");

    auto noHeader = Grid(L"fixedrows = 0\n---\nName | Qty | Price\napples | 3 | 1.25\n");
    Drive<void>(noWindow, noHeader.Get(), method, engine.Get(), columns);
    EXPECT_EQ(columns, L",0,,1,,2,");
    EXPECT_EQ(method, L"") << "no method was chosen";
    EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\old.csv");

    auto oneListable = Grid(L"Name | | Hidden\napples | 3 | 1.25\n@col 2 hidden\n");
    Drive<void>(noWindow, oneListable.Get(), method, engine.Get(), columns);
    EXPECT_EQ(columns, L",0,,1,,2,") << "hidden and unnamed columns too";
}

TEST_F(SelectFieldsTest, TheMethodPartOffersFileExportsAndPreselectsByTheIncomingMethod) {
    auto grid = Grid(kFourColumns);
    const std::pair<const wchar_t*, const wchar_t*> preselection[] = {
        {L"CSV", L" Comma Delimited File"},
        {L"txt", L" Text File"},
        {L"MHTML", L" MHTML File (Embedded Images)"},
        {L"XLS", L" Excel Spreadsheet"},
        {L"PDF", L" Excel Spreadsheet"},
        {L"EXCEL", L" Excel Spreadsheet"},
        {L"", L" HTML File"},
        {L"PRINTER", L" HTML File"},
    };
    for (const auto& [incoming, current] : preselection) {
        auto engine = NewEngine(L"", true, L"C:\\out\\old.csv");
        std::wstring method = incoming, columns;
        const Seen seen = Drive<Seen>(
            [] {
                const ui::Window dialog = WaitForDialog();
                const Seen seen = Read(dialog);
                dialog.PressButton(IDC_cmdOK);
                EXPECT_TRUE(dialog.WaitUntilGone());
                return seen;
            },
            grid.Get(), method, engine.Get(), columns);
        EXPECT_EQ(seen.methods, kOfferedMethods);
        EXPECT_EQ(seen.currentMethod, Texts{current}) << "incoming " << Narrow(incoming);
        EXPECT_EQ(seen.fileName, L"old.csv");
    }
}

TEST_F(SelectFieldsTest, OKTakesTheChosenMethodAndTheTypedNameCancelLeavesTheFolder) {
    auto grid = Grid(kFourColumns);
    auto engine = NewEngine(L"", true, L"C:\\out\\old.csv");
    std::wstring method = L"PDF", columns;
    Drive<void>(
        [] {
            const ui::Window dialog = WaitForDialog();
            dialog.Control(IDC_ExportMethod).Select(L" Text File");
            dialog.Control(IDC_TargetFilename).SetText(L"new report.csv");
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(method, L"TXT");
    EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\new_report.csv");
    EXPECT_EQ(columns, L",0,1,2,3,");

    for (const bool byCloseBox : {false, true}) {
        engine = NewEngine(L"", true, L"C:\\out\\old.csv");
        method = L"CSV";
        Drive<void>(
            [byCloseBox] {
                const ui::Window dialog = WaitForDialog();
                dialog.Control(IDC_ExportMethod).Select(L" Text File");
                if (byCloseBox)
                    dialog.Close();
                else
                    dialog.PressButton(IDC_cmdCancel);
                EXPECT_TRUE(dialog.WaitUntilGone());
            },
            grid.Get(), method, engine.Get(), columns);
        EXPECT_EQ(columns, L"") << (byCloseBox ? "close box" : "Cancel");
        EXPECT_EQ(method, L"CSV") << "the method passed in stays";
        EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\") << "only the folder is left";
    }

    engine = NewEngine(L"", true, L"");
    method = L"";
    Drive<void>(
        [] {
            const ui::Window dialog = WaitForDialog();
            dialog.Control(IDC_TargetFilename).SetText(L"stock.htm");
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(method, L"HTML");
    EXPECT_EQ(TargetOf(engine.Get()), L".\\stock.htm") << "an empty TargetFilename is the current folder";
}

TEST_F(SelectFieldsTest, WithoutSelectMethodTheWindowEndsAboveTheMethodPart) {
    auto grid = Grid(kFourColumns);
    auto engine = NewEngine(L"", false, L"C:\\out\\old.csv");
    std::wstring method = L"XLS", columns;
    const auto seen = Drive<std::pair<Seen, Texts>>(
        [] {
            const ui::Window dialog = WaitForDialog();
            RECT client{};
            GetClientRect(dialog.hwnd(), &client);
            EXPECT_EQ(client.right, PixelsX(5655));
            EXPECT_EQ(client.bottom, PixelsY(2580 - 20));
            Texts visible;
            for (const ui::Window& c : dialog.Controls())
                if (c.IsVisible()) visible.push_back(std::to_wstring(c.Id()));
            const Seen seen = Read(dialog);
            dialog.PressButton(IDC_cmdOK);
            EXPECT_TRUE(dialog.WaitUntilGone());
            return std::make_pair(seen, visible);
        },
        grid.Get(), method, engine.Get(), columns);
    EXPECT_EQ(seen.first.methods, Texts{}) << "the method list stays empty";
    EXPECT_FALSE(seen.first.methodPartVisible);
    const Texts visible{std::to_wstring(IDC_FieldList), std::to_wstring(IDC_cmdOK), std::to_wstring(IDC_cmdCancel)};
    EXPECT_EQ(seen.second, visible);
    EXPECT_EQ(method, L"XLS");
    EXPECT_EQ(TargetOf(engine.Get()), L"C:\\out\\old.csv");
}

// Engine.ExportTable with no method asks for one even when fields are to be skipped, and
// exports the chosen columns with the chosen method under the typed name.
TEST_F(SelectFieldsTest, ExportTableWithoutAMethodAsksAndExportsWithTheChoice) {
    ScratchFolder scratch;
    auto grid = Grid(kFourColumns);
    auto engine = NewEngine(L"", false, (scratch / L"old.csv").c_str());
    ASSERT_EQ(engine->put_SkipFieldSelection(VARIANT_TRUE), S_OK);
    ASSERT_EQ(engine->put_SkipFilenameSelection(VARIANT_TRUE), S_OK);
    VARIANT_BOOL quiet = VARIANT_TRUE;
    ASSERT_EQ(engine->put_Quiet(&quiet), S_OK);

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

    VARIANT_BOOL selectMethod = VARIANT_FALSE;
    engine->get_SelectMethod(&selectMethod);
    EXPECT_EQ(selectMethod, VARIANT_TRUE);
    unique_bstr columnList;
    engine->get_ColumnList(columnList.put());
    EXPECT_EQ(columnList.str(), L",0,2,");
    const std::wstring written = scratch / L"stock_list.csv";
    EXPECT_EQ(TargetOf(engine.Get()), written);
    const std::string content = FileBytes(written);
    EXPECT_NE(content.find("Name"), std::string::npos) << content;
    EXPECT_NE(content.find("1.25"), std::string::npos) << content;
    EXPECT_EQ(content.find("Qty"), std::string::npos) << content;
    EXPECT_EQ(content.find("Paid"), std::string::npos) << content;
}

// Pictures of the dialog for docs/screenshots (`make screenshots`); not part of the test run.
using SelectFieldsScreenshotTest = SelectFieldsTest;

TEST_F(SelectFieldsScreenshotTest, DISABLED_WithAndWithoutTheMethodPart) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    auto grid = Grid(
        L"Item | Description | Qty | Price | Paid | Delivered\n"
        L"apples | Cox, 1 kg | 3 | 1.25 | yes | 2024-03-01\n");
    for (const bool withMethods : {true, false}) {
        const std::wstring path =
            std::wstring(folder) + (withMethods ? L"\\select-fields.png" : L"\\select-fields-without-method.png");
        auto engine = NewEngine(L"0,2,3", withMethods, L"C:\\Reports\\stock.csv");
        std::wstring method = L"CSV", columns;
        Drive<void>(
            [path] {
                const ui::Window dialog = WaitForDialog();
                dialog.SavePng(path);
                dialog.PressButton(IDC_cmdCancel);
                EXPECT_TRUE(dialog.WaitUntilGone());
            },
            grid.Get(), method, engine.Get(), columns);
        EXPECT_TRUE(std::filesystem::exists(path)) << Narrow(path);
    }
}

}  // namespace
}  // namespace tarn::test
