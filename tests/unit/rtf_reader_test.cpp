// The RTF reader: visible text as a rich-text control reports it, styled runs, the escapes
// and destinations real documents use, and hostile input that must neither crash nor hang.
#include "mail/rtf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarn {
namespace {

std::wstring Plain(std::wstring_view rtf) { return RtfToPlainText(rtf); }

TEST(RtfReader, ParagraphsTabsLinesAndEscapesBecomeText) {
    EXPECT_EQ(Plain(L"{\\rtf1 a\\par\\par}"), L"a\r\n") << "only the last paragraph mark closes the document";
    EXPECT_EQ(Plain(L"{\\rtf1 a\\tab b\\line c\\par d}"), L"a\tb\r\nc\r\nd");
    EXPECT_EQ(Plain(L"{\\rtf1 \\{x\\}\\\\ y\\~z}"), L"{x}\\ y\u00A0z");
    EXPECT_EQ(Plain(L"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}"),
              L"\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
    // Line ends in the source are not text; a control word ends at its delimiting space.
    EXPECT_EQ(Plain(L"{\\rtf1 one\r\ntwo \\b three\\b0  four}"), L"onetwo three four");
    EXPECT_EQ(Plain(L"{\\rtf1 a\\\r\nb}"), L"a\r\nb") << "backslash before a line end is a paragraph";
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallbackCharacters) {
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc2\\u8364 ab!}"), L"\u20AC!");
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc1\\u-3913 ?x}"), L"\uF0B7x") << "negative values wrap to 16 bits";
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc0\\u65 B}"), L"AB");
    EXPECT_EQ(Plain(L"{\\rtf1 \\u233\\'e9 done}"), L"\u00E9 done") << "a hex escape is one skipped character";
    EXPECT_EQ(Plain(L"{\\rtf1 {\\uc3\\u955 a}b}"), L"\u03BBb") << "skipping stops at the group end";
}

TEST(RtfReader, HiddenDestinationsShowNothing) {
    // (Info, styles, fields, pictures, headers and footers: in the LibreOffice documents below.)
    EXPECT_EQ(Plain(L"{\\rtf1{\\*\\unknownthing xyz}visible}"), L"visible");
    EXPECT_EQ(Plain(L"{\\rtf1 a{\\pict\\bin5 }{\\}x}b}"), L"ab") << "binary data may hold braces";
    EXPECT_EQ(Plain(L"{\\rtf1 {\\pntext \\'b7\\tab}item}"), L"item");
}

// A paragraph a line: its alignment, then each run as [text font half-points styles #BBGGRR].
std::wstring Describe(const RtfDocument& doc) {
    std::wstring out;
    for (const RtfParagraph& paragraph : doc.paragraphs) {
        out += std::to_wstring(static_cast<int>(paragraph.alignment));
        for (const RtfRun& run : paragraph.runs) {
            const RtfCharFormat& f = run.format;
            wchar_t colour[16] = L"";
            if (f.hasColor) std::swprintf(colour, 16, L" #%06X", f.color);
            out += L" [" + run.text + L" " + f.fontName + L" " + std::to_wstring(f.halfPoints) +
                   (f.bold ? L" b" : L"") + (f.italic ? L" i" : L"") + (f.underline ? L" u" : L"") + colour + L"]";
        }
        out += L"\n";
    }
    return out;
}

TEST(RtfReader, RunsCarryFontsSizesStylesColoursAndAlignment) {
    const RtfDocument doc = ReadRtf(
        L"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}"
        L"{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}"
        L"\\pard\\qc\\f1\\fs32 Title\\par"
        L"\\pard\\f0\\fs20 plain {\\b bold}{\\i\\ul it}{\\cf1 red}{\\cf2 blue}{\\cf9 bad}\\par"
        L"\\pard\\qr right}");
    // Alignment 0 left, 1 centre, 2 right; \cf9 is past the colour table: no colour.
    EXPECT_EQ(Describe(doc),
              L"1 [Title Arial 32]\n"
              L"0 [plain  Times New Roman 20] [bold Times New Roman 20 b] [it Times New Roman 20 i u] "
              L"[red Times New Roman 20 #0000FF] [blue Times New Roman 20 #FF8000] [bad Times New Roman 20]\n"
              L"2 [right Times New Roman 20]\n");
    EXPECT_EQ(doc.PlainText(), L"Title\r\nplain bolditredbluebad\r\nright");
}

TEST(RtfReader, CodePagesComeFromTheDocumentAndTheFont) {
    std::vector<unsigned> pages;
    CodePageDecoder recorder = [&](unsigned cp, std::string_view bytes) {
        pages.push_back(cp);
        return DecodeWindows1252(cp, bytes);
    };
    ReadRtf(L"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}}\\f0 \\'c0\\f1 \\'c0}",
            recorder);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_EQ(pages[pages.size() - 2], 1251u);
    EXPECT_EQ(pages.back(), 1250u);
}

TEST(RtfReader, NonRtfInputIsPlainTextWithNormalisedLineEnds) {
    EXPECT_EQ(Plain(L"one\ntwo\r\nthree\rfour"), L"one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(Plain(L""), L"");
    EXPECT_EQ(Plain(L" {\\rtf1 x}"), L" {\\rtf1 x}");
}

TEST(RtfReader, HostileInputEndsQuicklyWithoutCrashing) {
    std::wstring deep = L"{\\rtf1 ";
    deep.append(200000, L'{');
    deep += L"deep";
    deep.append(200000, L'}');
    deep += L"}";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Plain(deep), L"deep");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));

    std::wstring open = L"{\\rtf1 ";
    open.append(200000, L'{');
    EXPECT_EQ(Plain(open + L"unclosed"), L"unclosed");

    EXPECT_EQ(Plain(L"{\\rtf1 a}}}}}b"), L"a") << "what follows the document's closing brace is not read";
    EXPECT_EQ(Plain(std::wstring(L"{\\rtf1 a\\par\n}\0", 15)), L"a")
        << "as the control saves it, with a NUL after the document";
    EXPECT_EQ(Plain(L"{\\rtf1 x\\fs99999999999999999999999 y\\f-2147483649 z\\cf99999999999 w}"), L"xyzw");
    EXPECT_EQ(Plain(L"{\\rtf1 a\\bin99999999999 bcdef"), L"a");
    EXPECT_EQ(Plain(L"{\\rtf1 a\\'g1b\\'"), L"ab") << "a bad hex escape consumes its two characters";
    EXPECT_EQ(Plain(L"{\\rtf1 \\u99999999999 ?x}"), std::wstring(1, static_cast<wchar_t>(0xFFFF)) + L"x");
    std::wstring longWord = L"{\\rtf1 \\" + std::wstring(100000, L'a') + L" text}";
    EXPECT_EQ(Plain(longWord), L"text");
    std::wstring manyFonts = L"{\\rtf1{\\fonttbl";
    for (int i = 0; i < 10000; ++i) manyFonts += L"{\\f" + std::to_wstring(i) + L" F;}";
    manyFonts += L"}\\f9999 ok}";
    EXPECT_EQ(Plain(manyFonts), L"ok");
}

// UTF-8 of the reader's text, which holds UTF-16 units (surrogate pairs for characters past U+FFFF).
std::string Utf8(std::wstring_view text) {
    static constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
        int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
        for (int t = tail - 1; t >= 0; --t) out += static_cast<char>(0x80 | ((c >> (6 * t)) & 0x3F));
    }
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Documents LibreOffice Writer wrote (tests/data/rtf/make_fixtures.sh), against LibreOffice's
// own plain text of each. Both sides are normalised: LF line ends, no BOM, blanks trimmed at
// both ends of each line (LibreOffice indents list items), no trailing empty lines. Then:
// - LibreOffice's list labels ("• ", "◦ ", "2. ") are dropped: they are \listtext,
//   which the reader, like the rich-text control, does not show;
// - U+00AD is dropped from LibreOffice's text: an optional hyphen (\-) is not visible text;
// - in tables the reader ends each cell with a tab, LibreOffice puts each cell on a line:
//   our row-ending tabs go, and the other tabs become line ends;
// - `loFrom` becomes `loTo` in LibreOffice's text, for what it computes and the reader cannot.
TEST(RtfReader, LibreOfficeDocumentsReadAsLibreOfficeReadsThem) {
    struct Fixture {
        const char* name;
        bool table = false;
        const char* loFrom = nullptr;
        const char* loTo = nullptr;
    };
    const Fixture fixtures[] = {
        {"styles"},                                                  // styles, \line, \tab, escapes
        {"table", true},                                             // a nested table, merged cells
        {"lists"},                                                   // bullets, nested, numbers
        {"unicode"},                                                 // \uN, surrogates under \uc0, \~ \- \_
        {"picture"},                                                 // \shppict PNG, \nonshppict WMF
        {"header_footer_fields", false, "footnote1 ", "footnote "},  // \chftn is the footnote's number
    };
    auto normalise = [](std::string text, bool fromLibreOffice) {
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        std::string out, line;
        std::istringstream lines(text);
        while (std::getline(lines, line)) {
            line.erase(0, line.find_first_not_of(" \t\r"));
            line.erase(line.find_last_not_of(" \t\r") + 1);
            for (const char* label : {"\u2022 ", "\u25E6 "})
                if (fromLibreOffice && line.rfind(label, 0) == 0) line.erase(0, std::strlen(label));
            size_t digits = line.find_first_not_of("0123456789");
            if (fromLibreOffice && digits > 0 && digits != std::string::npos && line.compare(digits, 2, ". ") == 0)
                line.erase(0, digits + 2);
            out += line + "\n";
        }
        for (size_t at; fromLibreOffice && (at = out.find("\u00AD")) != std::string::npos;) out.erase(at, 2);
        while (out.size() >= 2 && out.ends_with("\n\n")) out.pop_back();
        return out;
    };
    const std::filesystem::path folder = std::filesystem::path(TARN_SOURCE_DIR) / "tests" / "data" / "rtf";
    for (const Fixture& fixture : fixtures) {
        SCOPED_TRACE(fixture.name);
        std::string rtf = ReadFile(folder / (std::string(fixture.name) + ".rtf"));
        ASSERT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
        std::string ours = Utf8(RtfToPlainText(std::wstring(rtf.begin(), rtf.end())));
        if (fixture.table) {
            for (size_t at = 0; (at = ours.find("\t\r\n", at)) != std::string::npos; at += 2) ours.erase(at, 1);
            std::replace(ours.begin(), ours.end(), '\t', '\n');
        }
        std::string theirs = ReadFile(folder / (std::string(fixture.name) + ".txt"));
        if (fixture.loFrom) theirs.replace(theirs.find(fixture.loFrom), std::strlen(fixture.loFrom), fixture.loTo);
        EXPECT_EQ(normalise(ours, false), normalise(theirs, true));
    }
}

}  // namespace
}  // namespace tarn
