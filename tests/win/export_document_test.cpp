// Documents through ExportTXT: RTF kept as markup for an .rtf name and read as plain text
// for any other, plain text as it is; the save dialog the user meets for each (filters,
// the one preselected by FileFormat, typed names), cancel, and the closing message.
#include "common_ui.h"

namespace tarn::test {
namespace {

using ui::MessageBoxView;
using ui::SaveDialogView;
using ui::Watcher;

constexpr wchar_t kRtf[] =
    L"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;}\\f0 Hello {\\b bold} caf\\'e9\\par Second\\par}";
constexpr wchar_t kRtfFilter[] = L"Rich Text Files (*.rtf)";
constexpr wchar_t kTxtFilter[] = L"Text Files (*.txt)";

// The RTF's text in the system's ANSI code page, as the file holds it.
std::string PlainText() {
    const std::wstring text = L"Hello bold caf\u00E9\r\nSecond\r\n";
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

ComPtr<_ExportMEthod> NewExporter(const std::wstring& target, const std::wstring& initDir, const wchar_t* fileFormat,
                                  bool quiet, bool skipDialog) {
    ComPtr<_ExportMEthod> e = Create<_ExportMEthod>(__uuidof(::ExportTXT));
    if (!e) return e;
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(target).get()), S_OK);
    EXPECT_EQ(e->put_InitDir(unique_bstr(initDir).get()), S_OK);
    unique_bstr format(fileFormat);
    BSTR formatArgument = format.get();
    EXPECT_EQ(e->put_FileFormat(&formatArgument), S_OK);
    VARIANT_BOOL quietSetting = quiet ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT_BOOL skip = skipDialog ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_EQ(e->put_Quiet(&quietSetting), S_OK);
    EXPECT_EQ(e->put_SkipFilenameSelection(&skip), S_OK);
    return e;
}

bool ExportRtf(_ExportMEthod* exporter, std::wstring_view rtf) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(exporter->ExportRTF(unique_bstr(rtf).get(), &result), S_OK);
    return result == VARIANT_TRUE;
}

bool ExportText(_ExportMEthod* exporter, std::wstring_view text) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(exporter->ExportText(unique_bstr(text).get(), &result), S_OK);
    return result == VARIANT_TRUE;
}

std::wstring TargetOf(_ExportMEthod* exporter) {
    unique_bstr target;
    exporter->get_TargetFilename(target.put());
    return target.str();
}

struct Seen {
    SaveDialogView dialog;
    MessageBoxView done;
};

// Types `name` into the save dialog and closes the message that follows.
Watcher<Seen> SaveAndConfirm(const wchar_t* name) {
    return Watcher<Seen>([name] {
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, name);
        ui::WindowQuery done;
        done.caption = L"Export";
        seen.done = ui::WaitForMessageBox(done);
        seen.done.window.PressButton(L"OK");
        return seen;
    });
}

using DocumentExportTest = ComTest;

TEST_F(DocumentExportTest, RtfKeepsItsMarkupUnderAnRtfNameAndBecomesPlainTextUnderATextName) {
    ScratchFolder folder;
    struct Case {
        const wchar_t* fileFormat;
        const wchar_t* preselected;
        const wchar_t* written;
        std::string bytes;
    };
    const Case cases[] = {
        {L"rtf", kRtfFilter, L"letter.rtf", Narrow(kRtf) + "\r\n"},
        {L"txt", kTxtFilter, L"letter.txt", PlainText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.fileFormat));
        auto exporter = NewExporter(L"", folder.path(), c.fileFormat, false, false);
        Watcher<Seen> watcher = SaveAndConfirm(L"letter");
        EXPECT_TRUE(ExportRtf(exporter.Get(), kRtf));
        const Seen seen = watcher.Get();
        EXPECT_EQ(seen.dialog.caption, L"Export to ...");
        EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{kRtfFilter, kTxtFilter, L"All (*.*)"}));
        EXPECT_EQ(seen.dialog.selectedFilter, c.preselected) << "FileFormat is the dialog's default extension";
        EXPECT_EQ(seen.done.text, L"Exported to " + std::wstring(c.written));
        EXPECT_EQ(seen.done.icon, ui::Icon::Information);
        EXPECT_EQ(TargetOf(exporter.Get()), folder / c.written);
        EXPECT_EQ(FileBytes(folder / c.written), c.bytes);
    }
}

TEST_F(DocumentExportTest, PlainTextOffersTextFilesAndAddsTheirExtensionWhenTheNameHasNone) {
    ScratchFolder folder;
    auto exporter = NewExporter(L"", folder.path(), L"", false, false);
    Watcher<Seen> watcher = SaveAndConfirm(L"notes");
    EXPECT_TRUE(ExportText(exporter.Get(), L"line one\r\nline two"));
    const Seen seen = watcher.Get();
    EXPECT_EQ(seen.dialog.caption, L"Export to ...");
    EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{kTxtFilter, L"All (*.*)"}));
    EXPECT_EQ(seen.done.text, L"Exported to notes.txt");
    EXPECT_EQ(FileBytes(folder / L"notes.txt"), "line one\r\nline two\r\n");

    Watcher<SaveDialogView> cancel([] {
        SaveDialogView dialog = ui::WaitForSaveDialog();
        dialog.window.PressButton(IDCANCEL);
        return dialog;
    });
    auto cancelled = NewExporter(folder / L"kept", folder.path(), L"txt", false, false);
    EXPECT_FALSE(ExportText(cancelled.Get(), L"never written"));
    EXPECT_EQ(cancel.Get().fileName, L"kept");
    EXPECT_EQ(TargetOf(cancelled.Get()), folder / L"kept");
    EXPECT_FALSE(std::filesystem::exists(folder / L"kept"));
    EXPECT_FALSE(std::filesystem::exists(folder / L"kept.txt"));
}

TEST_F(DocumentExportTest, QuietDocumentsChooseTheirFormByTheNameInAnyCaseAndSayNothing) {
    ScratchFolder folder;
    struct Case {
        const wchar_t* target;
        const wchar_t* written;
        std::string bytes;
    };
    const Case cases[] = {
        {L"Letter.Rtf", L"Letter.Rtf", Narrow(kRtf) + "\r\n"},
        {L"memo.doc", L"memo.doc.txt", PlainText()},
        {L"memo.TEXT", L"memo.TEXT", PlainText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.target));
        auto exporter = NewExporter(folder / c.target, L"", L"", true, true);
        // A message box would keep the export from returning; the watcher would then
        // close it and report the test as stuck.
        Watcher<void> watcher([] {});
        EXPECT_TRUE(ExportRtf(exporter.Get(), kRtf));
        watcher.Get();
        EXPECT_EQ(TargetOf(exporter.Get()), folder / c.written);
        EXPECT_EQ(FileBytes(folder / c.written), c.bytes);
    }
}

}  // namespace
}  // namespace tarn::test
