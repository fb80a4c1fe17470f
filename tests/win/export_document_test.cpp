// Documents through ExportTXT: RTF kept as markup under an .rtf name and read as plain text
// under any other, plain text as it is; the save dialog's filters with the one FileFormat
// preselects, and the closing message; quiet exports choosing by the name in any case; and
// the RTF reader's text against the platform's rich-text control.
#include "mail/rtf_reader.h"
#include "win_support.h"

#include <richedit.h>

namespace tarn::test {
namespace {

constexpr wchar_t kRtf[] =
    L"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;}\\f0 Hello {\\b bold} caf\\'e9\\par Second\\par}";
constexpr wchar_t kRtfFilter[] = L"Rich Text Files (*.rtf)";
constexpr wchar_t kTxtFilter[] = L"Text Files (*.txt)";
const std::string kPlainText = Ansi(L"Hello bold caf\u00E9\r\nSecond\r\n");

bool Export(_ExportMEthod* exporter, bool rtf, std::wstring_view text) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(rtf ? exporter->ExportRTF(unique_bstr(text).get(), &result)
                  : exporter->ExportText(unique_bstr(text).get(), &result),
              S_OK);
    return result == VARIANT_TRUE;
}

using DocumentExportTest = ComTest;

TEST_F(DocumentExportTest, TheDialogOffersTheDocumentsTypesAndTheNameChoosesTheFormat) {
    ScratchFolder folder;
    struct Case {
        bool rtf;
        const wchar_t* fileFormat;
        const wchar_t* typed;
        std::vector<std::wstring> filters;
        const wchar_t* preselected;
        const wchar_t* written;
        std::string bytes;
    };
    const std::vector<std::wstring> documentFilters{kRtfFilter, kTxtFilter, L"All (*.*)"};
    const Case cases[] = {
        {true, L"rtf", L"letter", documentFilters, kRtfFilter, L"letter.rtf", Narrow(kRtf) + "\r\n"},
        {true, L"txt", L"letter", documentFilters, kTxtFilter, L"letter.txt", kPlainText},
        {false, L"", L"notes", {kTxtFilter, L"All (*.*)"}, L"All (*.*)", L"notes.txt", Narrow(kRtf) + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.written));
        auto exporter =
            NewExporter(__uuidof(::ExportTXT),
                        {.initDir = folder.path(), .fileFormat = c.fileFormat, .quiet = false, .skipDialog = false});
        ui::Watcher<std::pair<ui::SaveDialogView, ui::MessageBoxView>> watcher([&c] {
            ui::SaveDialogView dialog = ui::WaitForSaveDialog();
            ui::SaveAs(dialog.window, c.typed);
            ui::MessageBoxView done = ui::WaitForMessageBox(Captioned(L"Export"));
            done.window.PressButton(L"OK");
            return std::make_pair(dialog, done);
        });
        EXPECT_TRUE(Export(exporter.Get(), c.rtf, kRtf));
        const auto [dialog, done] = watcher.Get();
        EXPECT_EQ(dialog.caption, L"Export to ...");
        EXPECT_EQ(dialog.filters, c.filters);
        EXPECT_EQ(dialog.selectedFilter, c.preselected) << "FileFormat is the dialog's default extension";
        EXPECT_EQ(done.text, L"Exported to " + std::wstring(c.written));
        EXPECT_EQ(done.icon, ui::Icon::Information);
        EXPECT_EQ(TargetOf(exporter.Get()), folder / c.written);
        EXPECT_EQ(FileBytes(folder / c.written), c.bytes);
    }
}

TEST_F(DocumentExportTest, QuietDocumentsChooseTheirFormByTheNameInAnyCaseAndSayNothing) {
    ScratchFolder folder;
    const std::tuple<const wchar_t*, const wchar_t*, std::string> cases[] = {
        {L"Letter.Rtf", L"Letter.Rtf", Narrow(kRtf) + "\r\n"},
        {L"memo.doc", L"memo.doc.txt", kPlainText},
        {L"memo.TEXT", L"memo.TEXT", kPlainText},
    };
    for (const auto& [target, written, bytes] : cases) {
        SCOPED_TRACE(Narrow(target));
        auto exporter = NewExporter(__uuidof(::ExportTXT), {.target = folder / target});
        // A message box would keep the export from returning: the watcher closes it and fails.
        ui::Watcher<void> watcher([] {});
        EXPECT_TRUE(Export(exporter.Get(), true, kRtf));
        EXPECT_NO_THROW(watcher.Get());
        EXPECT_EQ(TargetOf(exporter.Get()), folder / written);
        EXPECT_EQ(FileBytes(folder / written), bytes);
    }
}

// The RTF reader's plain text against the platform's rich-text control on the same
// documents, and on the RTF the control itself writes for them (what WordPad saves).
// Deliberate differences, where this platform's control departs from what a reader of the
// text file expects: a manual line break (\line) is written as CR LF, not run into the next
// word; a field's result ("the site" of a hyperlink) is kept, not dropped.
DWORD CALLBACK CollectRtf(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* done) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(bytes), static_cast<size_t>(count));
    *done = count;
    return 0;
}

// The control's plain text of a document loaded as RTF, and the RTF it writes for it.
std::pair<std::wstring, std::string> RichEdit(const std::string& rtf) {
    LoadLibraryW(L"riched20.dll");
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
    if (!edit) return {L"<no control>", ""};
    SETTEXTEX set{ST_DEFAULT, CP_ACP};
    SendMessageW(edit, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(rtf.c_str()));
    std::wstring text(rtf.size() + 1, L'\0');
    GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
    text.resize(static_cast<size_t>(
        SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()))));
    std::string written;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&written), 0, CollectRtf};
    SendMessageW(edit, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    DestroyWindow(edit);
    return {text, written};
}

std::wstring OurText(const std::string& rtf) { return RtfToPlainText(std::wstring(rtf.begin(), rtf.end())); }

TEST(RtfAgainstRichEdit, DocumentsAndWhatTheControlWritesForThemReadTheSame) {
    const char* documents[] = {
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}}\\viewkind4\\uc1\\pard\\f0\\fs22 Hello "
        "WordPad\\par Second line\\par}",
        "{\\rtf1\\ansi Plain {\\b bold} {\\i italic} {\\ul under}\\par}",
        "{\\rtf1\\ansi a\\tab b\\par c}",
        "{\\rtf1\\ansi caf\\'e9 \\'80 na\\'efve}",
        "{\\rtf1\\ansi\\uc1 \\u8364? and \\u955?}",
        "{\\rtf1\\ansi{\\*\\generator Riched20;}{\\info{\\title Hidden}}visible}",
        "{\\rtf1\\ansi{\\colortbl ;\\red255\\green0\\blue0;}\\cf1 red\\cf0  plain\\par}",
        "{\\rtf1\\ansi \\{braces\\} and \\\\ backslash}",
        "{\\rtf1\\ansi one\\par\\par three}",
        "{\\rtf1\\ansi }",
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}{\\colortbl ;\\red0\\green0"
        "\\blue255;}\\f0\\fs20 Sales {\\b 2026}\\par\\qc\\f1\\cf1 Centred caf\\'e9\\par\\pard tab\\tab end}",
        "{\\rtf1\\ansi\\uc1 euro \\u8364? and quotes \\ldblquote x\\rdblquote\\par second}",
    };
    for (const char* rtf : documents) {
        SCOPED_TRACE(rtf);
        const auto [text, saved] = RichEdit(rtf);
        EXPECT_EQ(Narrow(OurText(rtf)), Narrow(text));
        ASSERT_EQ(saved.rfind("{\\rtf", 0), 0u);
        EXPECT_EQ(Narrow(OurText(saved)), Narrow(RichEdit(saved).first)) << saved;
    }
}

}  // namespace
}  // namespace tarn::test
