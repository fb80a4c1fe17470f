// What a user meets around a table export by ExportCSV, ExportTXT and ExportHTML: the save
// dialog (typed names, cancel, the overwrite question), the progress window while rows are
// written, the closing count, and the messages for files that cannot be opened and grids
// that fail; and the host's grid, whose Redraw is switched off only while rows are read.
// The grid is the test host's; a proxy in front of it can hide members and hold the
// export at one row, so the windows of an export under way can be read.
#include "com/late_bound.h"
#include "com/handles.h"
#include "common_ui.h"

#include <atomic>
#include <cwchar>

namespace tarn::test {
namespace {

using ui::MessageBoxView;
using ui::ProgressView;
using ui::SaveDialogView;
using ui::Watcher;

ComPtr<IDispatch> NewHostGrid(std::wstring_view text) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"ExportTestHost.Grid", &clsid), S_OK) << "the test host is not registered";
    ComPtr<IDispatch> grid;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grid)), S_OK);
    unique_bstr source(text);
    VARIANT arg;
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = source.get();
    LateBound(grid.Get()).Call(L"LoadFromText", {arg});
    return grid;
}

std::wstring WriteLog(IDispatch* grid) { return VariantToText(LateBound(grid).Get(L"WriteLog")); }

// The test host's grid behind a proxy. Hidden members are unknown to callers, as they are
// to an older host's grid. A hold stops the caller at its first call of one member with
// one first argument (RowHeight(15)) until the test resumes it or the deadline passes.
class GridProxy final : public IDispatch {
public:
    explicit GridProxy(IDispatch* inner, std::vector<std::wstring> hidden = {})
        : inner_(inner),
          hidden_(std::move(hidden)),
          reached_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          resumed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    GridProxy(const GridProxy&) = delete;
    GridProxy& operator=(const GridProxy&) = delete;
    ~GridProxy() { EXPECT_EQ(references_.load(), 0u) << "the exporter kept the grid"; }

    void HoldAt(const wchar_t* member, long firstArgument) {
        auto* name = const_cast<LPOLESTR>(member);
        ASSERT_EQ(inner_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &holdId_), S_OK);
        holdArgument_ = firstArgument;
    }
    // Waits until the caller is held; throws when it never comes.
    void WaitUntilHeld() const {
        if (WaitForSingleObject(reached_.get(), static_cast<DWORD>(ui::kDefaultWait.count())) != WAIT_OBJECT_0)
            throw ui::DriverError(L"the export never reached the held call");
    }
    void Resume() const noexcept { SetEvent(resumed_.get()); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        for (const std::wstring& member : hidden_)
            if (count > 0 && _wcsicmp(names[0], member.c_str()) == 0) {
                ids[0] = DISPID_UNKNOWN;
                return DISP_E_UNKNOWNNAME;
            }
        return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        if (id == holdId_ && params && params->cArgs > 0 && !held_) {
            const VARIANT& first = params->rgvarg[params->cArgs - 1];
            if (V_VT(&first) == VT_I4 && V_I4(&first) == holdArgument_) {
                held_ = true;
                SetEvent(reached_.get());
                WaitForSingleObject(resumed_.get(), 2 * static_cast<DWORD>(ui::kDefaultWait.count()));
            }
        }
        return inner_->Invoke(id, iid, lcid, flags, params, result, excep, argErr);
    }

private:
    ComPtr<IDispatch> inner_;
    std::vector<std::wstring> hidden_;
    unique_hfile reached_;
    unique_hfile resumed_;
    DISPID holdId_ = DISPID_UNKNOWN;
    long holdArgument_ = 0;
    bool held_ = false;
    std::atomic<ULONG> references_{0};
};

// Resumes a held export however the watcher's steps end.
struct ResumeOnExit {
    const GridProxy& proxy;
    ~ResumeOnExit() { proxy.Resume(); }
};

// An exporter of the two columns the test grids have. Without `skipDialog` the save dialog
// opens in `initDir` proposing `target`.
ComPtr<_ExportMEthod> NewExporter(REFCLSID clsid, const std::wstring& target, const std::wstring& initDir, bool quiet,
                                  bool skipDialog) {
    ComPtr<_ExportMEthod> e = Create<_ExportMEthod>(clsid);
    if (!e) return e;
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(target).get()), S_OK);
    EXPECT_EQ(e->put_InitDir(unique_bstr(initDir).get()), S_OK);
    EXPECT_EQ(e->put_ColumnList(unique_bstr(L",0,1,").get()), S_OK);
    VARIANT_BOOL quietSetting = quiet ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT_BOOL skip = skipDialog ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_EQ(e->put_Quiet(&quietSetting), S_OK);
    EXPECT_EQ(e->put_SkipFilenameSelection(&skip), S_OK);
    return e;
}
ComPtr<_ExportMEthod> DialogExporter(REFCLSID clsid, const std::wstring& folder, bool quiet = false) {
    return NewExporter(clsid, L"", folder, quiet, false);
}
ComPtr<_ExportMEthod> DirectExporter(REFCLSID clsid, const std::wstring& target, bool quiet) {
    return NewExporter(clsid, target, L"", quiet, true);
}

ui::WindowQuery Captioned(const wchar_t* caption) {
    ui::WindowQuery query;
    query.caption = caption;
    return query;
}

bool ExportTable(_ExportMEthod* exporter, IDispatch* grid) {
    IDispatch* argument = grid;
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(exporter->ExportTable(&argument, &result), S_OK);
    return result == VARIANT_TRUE;
}

std::wstring TargetOf(_ExportMEthod* exporter) {
    unique_bstr target;
    exporter->get_TargetFilename(target.put());
    return target.str();
}

bool ProgressWindowExists() {
    ui::WindowQuery query;
    query.className = ui::kProgressClass;
    query.visibleOnly = false;
    return !ui::FindWindows(query).empty();
}

// The file without its first line, the date and time of the export.
std::string AfterDateLine(const std::wstring& path) {
    const std::string bytes = FileBytes(path);
    EXPECT_EQ(bytes.rfind("# ", 0), 0u) << bytes;
    return bytes.substr(bytes.find("\r\n") + 2);
}

std::vector<std::wstring> Files(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    return names;
}

constexpr wchar_t kCsvFilter[] = L"Comma Separated Values (*.CSV;*.CDF)";
constexpr wchar_t kTxtFilter[] = L"Text Files (*.txt)";

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
    ComPtr<IDispatch> grid = NewHostGrid(text);
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

TEST_F(TableWindowsTest, TxtThroughTheDialogKeepsATypedExtensionOnlyWhenItIsATextOne) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = NewHostGrid(L"Item | Qty\na | 1\nb | 2\n");
    struct Case {
        const wchar_t* typed;
        const wchar_t* written;
    };
    for (const Case& c : {Case{L"notes.dat", L"notes.dat.txt"}, Case{L"notes.TEXT", L"notes.TEXT"}}) {
        SCOPED_TRACE(Narrow(c.typed));
        auto exporter = DialogExporter(__uuidof(::ExportTXT), folder.path());
        struct Seen {
            SaveDialogView dialog;
            MessageBoxView done;
        };
        Watcher<Seen> watcher([&] {
            Seen seen;
            seen.dialog = ui::WaitForSaveDialog();
            ui::SaveAs(seen.dialog.window, c.typed);
            seen.done = ui::WaitForMessageBox(Captioned(L"Export"));
            seen.done.window.PressButton(L"OK");
            return seen;
        });
        EXPECT_TRUE(ExportTable(exporter.Get(), grid.Get()));
        const Seen seen = watcher.Get();
        EXPECT_NE(seen.dialog.caption, L"Export to ...") << "tab files use the system's title";
        EXPECT_FALSE(seen.dialog.caption.empty());
        EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{kTxtFilter, L"All (*.*)"}));
        EXPECT_EQ(seen.dialog.selectedFilter, kTxtFilter);
        // A header row and two data rows make two records.
        EXPECT_EQ(seen.done.text, L"2 records exported to " + std::wstring(c.written));
        EXPECT_EQ(TargetOf(exporter.Get()), folder / c.written);
        EXPECT_EQ(AfterDateLine(folder / c.written), "#\r\nItem\tQty\r\na\t1\r\nb\t2\r\n");
    }
}

TEST_F(TableWindowsTest, CancellingTheDialogWritesNothingAndLeavesTheGridAlone) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = NewHostGrid(L"a | b\n");
    for (const CLSID* clsid : {&__uuidof(::ExportCSV), &__uuidof(::ExportTXT), &__uuidof(::ExportHTML)}) {
        auto exporter = NewExporter(*clsid, folder / L"proposed", folder.path(), false, false);
        Watcher<SaveDialogView> watcher([] {
            SaveDialogView dialog = ui::WaitForSaveDialog();
            dialog.window.PressButton(IDCANCEL);
            return dialog;
        });
        EXPECT_FALSE(ExportTable(exporter.Get(), grid.Get()));
        EXPECT_EQ(watcher.Get().fileName, L"proposed");
        EXPECT_EQ(TargetOf(exporter.Get()), folder / L"proposed");
        EXPECT_FALSE(ProgressWindowExists());
    }
    EXPECT_TRUE(Files(folder.path()).empty());
    EXPECT_EQ(WriteLog(grid.Get()), L"") << "Redraw is not touched";
}

TEST_F(TableWindowsTest, AnExistingFileIsReplacedOnlyWhenTheUserAgreesAndNothingOldRemains) {
    ScratchFolder folder;
    const std::string old(5000, 'x');
    WriteBytes(folder / L"stock.csv", old);
    ComPtr<IDispatch> grid = NewHostGrid(L"a | b\n");
    auto exporter = DialogExporter(__uuidof(::ExportCSV), folder.path(), true);
    for (const wchar_t* answer : {L"No", L"Yes"}) {
        SCOPED_TRACE(Narrow(answer));
        Watcher<MessageBoxView> watcher([&] {
            const SaveDialogView dialog = ui::WaitForSaveDialog();
            ui::SaveAs(dialog.window, L"stock.csv");
            ui::WindowQuery owned;
            owned.owner = dialog.window.hwnd();
            MessageBoxView question = ui::WaitForMessageBox(owned);
            question.window.PressButton(answer);
            question.window.WaitUntilGone();
            if (std::wstring_view(answer) == L"No") dialog.window.PressButton(IDCANCEL);
            return question;
        });
        const bool exported = ExportTable(exporter.Get(), grid.Get());
        EXPECT_EQ(watcher.Get().buttons, (std::vector<std::wstring>{L"Yes", L"No"}));
        if (std::wstring_view(answer) == L"No") {
            EXPECT_FALSE(exported);
            EXPECT_EQ(FileBytes(folder / L"stock.csv"), old);
        } else {
            EXPECT_TRUE(exported);
            EXPECT_EQ(AfterDateLine(folder / L"stock.csv"), "#\r\na,b\r\n");
        }
    }
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
    ComPtr<IDispatch> grid = NewHostGrid(L"a | b\n");
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
    EXPECT_EQ(Files(folder.path()), std::vector<std::wstring>{L"busy.txt"});
}

TEST_F(TableWindowsTest, QuietShowsNoWindowAndAnExportWithoutWrittenRowsCountsNone) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = NewHostGrid(L"h | h\na | 1\nb | 2\n");
    {
        GridProxy proxy(grid.Get());
        proxy.HoldAt(L"RowHeight", 1);
        auto exporter = DirectExporter(__uuidof(::ExportCSV), folder / L"quiet", true);
        // A message box would keep the export from returning: the watcher then closes it
        // and reports the test as stuck.
        Watcher<bool> watcher([&] {
            ResumeOnExit release{proxy};
            proxy.WaitUntilHeld();
            return ProgressWindowExists();
        });
        EXPECT_TRUE(ExportTable(exporter.Get(), &proxy));
        EXPECT_FALSE(watcher.Get()) << "no progress window while a quiet export runs";
        EXPECT_EQ(AfterDateLine(folder / L"quiet.csv"), "#\r\nh,h\r\na,1\r\nb,2\r\n");
    }
    for (auto [clsid, name] :
         {std::pair{&__uuidof(::ExportTXT), L"empty.txt"}, {&__uuidof(::ExportHTML), L"empty.htm"}}) {
        // Every row hidden or flat; without the dialog the progress names no file.
        ComPtr<IDispatch> empty = NewHostGrid(L"h | h\na | 1\n@row 0 height=0\n@row 1 hidden\n");
        GridProxy proxy(empty.Get());
        proxy.HoldAt(L"RowHidden", 1);
        auto exporter = DirectExporter(*clsid, folder / L"empty", false);
        struct Seen {
            ProgressView progress;
            MessageBoxView done;
        };
        Watcher<Seen> watcher([&] {
            ResumeOnExit release{proxy};
            Seen seen;
            proxy.WaitUntilHeld();
            seen.progress = ui::WaitForProgress();
            proxy.Resume();
            seen.done = ui::WaitForMessageBox(Captioned(L"Export"));
            seen.done.window.PressButton(L"OK");
            return seen;
        });
        EXPECT_TRUE(ExportTable(exporter.Get(), &proxy));
        const Seen seen = watcher.Get();
        EXPECT_EQ(seen.progress.caption, L"Exporting to ");
        EXPECT_EQ(seen.progress.text, L"0 records ...");
        EXPECT_EQ(seen.done.text, L"0 records exported to " + std::wstring(name));
        EXPECT_EQ(seen.done.icon, ui::Icon::Information);
        EXPECT_TRUE(std::filesystem::exists(folder / name));
    }
}

TEST_F(TableWindowsTest, AnHtmlExportStoppedByTheGridSaysSoEvenWhenQuiet) {
    ScratchFolder folder;
    ComPtr<IDispatch> grid = NewHostGrid(L"h | h\na | 1\n");
    for (bool quiet : {true, false}) {
        SCOPED_TRACE(quiet ? "quiet" : "not quiet");
        // A grid without merged blocks: its first cell stops the export.
        GridProxy proxy(grid.Get(), {L"GetMergedRange"});
        proxy.HoldAt(L"RowHidden", 0);
        const std::wstring target = folder / (quiet ? L"quiet" : L"shown");
        auto exporter = DirectExporter(__uuidof(::ExportHTML), target, quiet);
        struct Seen {
            bool progressWhileRunning = false;
            MessageBoxView error;
            bool progressWithError = true;
        };
        Watcher<Seen> watcher([&] {
            ResumeOnExit release{proxy};
            Seen seen;
            proxy.WaitUntilHeld();
            seen.progressWhileRunning = ProgressWindowExists();
            proxy.Resume();
            seen.error = ui::WaitForMessageBox();
            seen.progressWithError = ProgressWindowExists();
            seen.error.window.PressButton(L"OK");
            return seen;
        });
        EXPECT_FALSE(ExportTable(exporter.Get(), &proxy));
        const Seen seen = watcher.Get();
        EXPECT_EQ(seen.progressWhileRunning, !quiet);
        EXPECT_FALSE(seen.progressWithError) << "the progress window closes before the error is shown";
        EXPECT_EQ(seen.error.caption, L"Export HTML");
        EXPECT_EQ(seen.error.icon, ui::Icon::Exclamation);
        const std::wstring opening = L"Cannot export to " + target + L".htm\r\n";
        EXPECT_EQ(seen.error.text.substr(0, opening.size()), opening);
        EXPECT_NE(seen.error.text.find(L"GetMergedRange"), std::wstring::npos) << Narrow(seen.error.text);
    }
}

}  // namespace
}  // namespace tarn::test
