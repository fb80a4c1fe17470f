// The RTF reader's plain text against the platform's rich-text control on the same
// documents: where they agree the reader is right; the differences we accept are listed.
#include "component.h"
#include "mail/rtf_reader.h"

#include <richedit.h>

#include <string>

namespace tarn::test {
namespace {

// The rich-text control's plain text of a document loaded as RTF.
std::wstring RichEditText(const std::string& rtf) {
    HMODULE lib = LoadLibraryW(L"riched20.dll");
    EXPECT_TRUE(lib);
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_TRUE(edit);
    if (!edit) return L"<no control>";
    SETTEXTEX set{ST_DEFAULT, CP_ACP};
    SendMessageW(edit, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(rtf.c_str()));
    GETTEXTLENGTHEX lengthRequest{GTL_NUMCHARS | GTL_USECRLF, 1200};
    LRESULT length = SendMessageW(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
    LRESULT got = SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got));
    DestroyWindow(edit);
    return text;
}

DWORD CALLBACK CollectRtf(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* done) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(bytes), static_cast<size_t>(count));
    *done = count;
    return 0;
}

// The RTF the control itself writes for the document it holds (what WordPad saves).
std::string RichEditRtf(const std::string& rtf) {
    LoadLibraryW(L"riched20.dll");
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
    if (!edit) return {};
    SETTEXTEX set{ST_DEFAULT, CP_ACP};
    SendMessageW(edit, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(rtf.c_str()));
    std::string written;
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&written);
    stream.pfnCallback = CollectRtf;
    SendMessageW(edit, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    DestroyWindow(edit);
    return written;
}

std::wstring OurText(const std::string& rtf) { return RtfToPlainText(std::wstring(rtf.begin(), rtf.end())); }

TEST(RtfAgainstRichEdit, EverydayDocumentsReadTheSame) {
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
        "{\\rtf1\\ansi a\\par\\par}",
    };
    // Deliberate differences, where this platform's control departs from what a reader of
    // the text file expects: a manual line break (\line) is written as CR LF, not run into
    // the next word; a field's result ("the site" of a hyperlink) is kept, not dropped.
    for (const char* rtf : documents) {
        SCOPED_TRACE(rtf);
        EXPECT_EQ(Narrow(OurText(rtf)), Narrow(RichEditText(rtf)));
    }
}

// Documents as the control saves them: font and colour tables, \\viewkind, \\uc1, \\pard
// with spacing, language tags and escapes chosen by the control rather than by us.
TEST(RtfAgainstRichEdit, DocumentsTheControlWroteReadTheSame) {
    const char* documents[] = {
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}{\\colortbl ;\\red0\\green0"
        "\\blue255;}\\f0\\fs20 Sales {\\b 2026}\\par\\qc\\f1\\cf1 Centred caf\\'e9\\par\\pard tab\\tab end}",
        "{\\rtf1\\ansi\\uc1 euro \\u8364? and quotes \\ldblquote x\\rdblquote\\par second}",
    };
    for (const char* source : documents) {
        std::string saved = RichEditRtf(source);
        SCOPED_TRACE(saved);
        ASSERT_EQ(saved.rfind("{\\rtf", 0), 0u);
        EXPECT_EQ(Narrow(OurText(saved)), Narrow(RichEditText(saved)));
    }
}

}  // namespace
}  // namespace tarn::test
