// The RTF reader: visible text as a rich-text control reports it, styled runs, the escapes
// and destinations real documents use, and hostile input that must neither crash nor hang.
#include "mail/rtf_reader.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarn {
namespace {

std::wstring Plain(std::wstring_view rtf) { return RtfToPlainText(rtf); }

TEST(RtfReader, ParagraphsTabsLinesAndEscapesBecomeText) {
    EXPECT_EQ(Plain(L"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard Hello, {\\b world}!\\par Second\\par}"),
              L"Hello, world!\r\nSecond");
    EXPECT_EQ(Plain(L"{\\rtf1 a\\par\\par}"), L"a\r\n") << "only the last paragraph mark closes the document";
    EXPECT_EQ(Plain(L"{\\rtf1 a\\tab b\\line c\\par d}"), L"a\tb\r\nc\r\nd");
    EXPECT_EQ(Plain(L"{\\rtf1 \\{x\\}\\\\ y\\~z}"), L"{x}\\ y\u00A0z");
    EXPECT_EQ(Plain(L"{\\rtf1 caf\\'e9 \\'80 \\'93q\\'94}"), L"caf\u00E9 \u20AC \u201Cq\u201D");
    EXPECT_EQ(Plain(L"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}"),
              L"\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
    // Line ends in the source are not text; a control word ends at its delimiting space.
    EXPECT_EQ(Plain(L"{\\rtf1 one\r\ntwo \\b three\\b0  four}"), L"onetwo three four");
    EXPECT_EQ(Plain(L"{\\rtf1 a\\\r\nb}"), L"a\r\nb") << "backslash before a line end is a paragraph";
    EXPECT_EQ(Plain(L"{\\rtf1 }"), L"");
    EXPECT_EQ(Plain(L"{\\rtf1 x\\cell y\\cell\\row z}"), L"x\ty\t\r\nz");
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallbackCharacters) {
    EXPECT_EQ(Plain(L"{\\rtf1 \\u8364? euro}"), L"\u20AC euro");
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc2\\u8364 ab!}"), L"\u20AC!");
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc1\\u-3913 ?x}"), L"\uF0B7x") << "negative values wrap to 16 bits";
    EXPECT_EQ(Plain(L"{\\rtf1 \\uc0\\u65 B}"), L"AB");
    EXPECT_EQ(Plain(L"{\\rtf1 \\u233\\'e9 done}"), L"\u00E9 done") << "a hex escape is one skipped character";
    EXPECT_EQ(Plain(L"{\\rtf1 {\\uc3\\u955 a}b}"), L"\u03BBb") << "skipping stops at the group end";
}

TEST(RtfReader, HiddenDestinationsShowNothing) {
    EXPECT_EQ(Plain(L"{\\rtf1{\\*\\generator Riched20 10.0;}{\\info{\\title T}{\\author A}}"
                    L"{\\stylesheet{\\s1 heading 1;}}{\\*\\unknownthing xyz}visible}"),
              L"visible");
    EXPECT_EQ(Plain(L"{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt the site}}.}"),
              L"see the site.");
    EXPECT_EQ(Plain(L"{\\rtf1 a{\\pict\\wmetafile8 0123abcdef}b{\\header head}c{\\footer foot}d}"), L"abcd");
    EXPECT_EQ(Plain(L"{\\rtf1 a{\\pict\\bin5 }{\\}x}b}"), L"ab") << "binary data may hold braces";
    EXPECT_EQ(Plain(L"{\\rtf1 {\\pntext \\'b7\\tab}item}"), L"item");
}

TEST(RtfReader, RunsCarryFontsSizesStylesColoursAndAlignment) {
    RtfDocument doc = ReadRtf(
        L"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}"
        L"{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}"
        L"\\pard\\qc\\f1\\fs32 Title\\par"
        L"\\pard\\f0\\fs20 plain {\\b bold}{\\i\\ul it}{\\cf1 red}{\\cf2 blue}{\\cf9 bad}\\par"
        L"\\pard\\qr right}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    const RtfParagraph& title = doc.paragraphs[0];
    EXPECT_EQ(title.alignment, RtfAlignment::Center);
    ASSERT_EQ(title.runs.size(), 1u);
    EXPECT_EQ(title.runs[0].format.fontName, L"Arial");
    EXPECT_EQ(title.runs[0].format.halfPoints, 32);

    const RtfParagraph& body = doc.paragraphs[1];
    EXPECT_EQ(body.alignment, RtfAlignment::Left);
    ASSERT_EQ(body.runs.size(), 6u);
    EXPECT_EQ(body.runs[0].text, L"plain ");
    EXPECT_EQ(body.runs[0].format.fontName, L"Times New Roman");
    EXPECT_EQ(body.runs[0].format.halfPoints, 20);
    EXPECT_TRUE(body.runs[1].format.bold);
    EXPECT_TRUE(body.runs[2].format.italic);
    EXPECT_TRUE(body.runs[2].format.underline);
    EXPECT_FALSE(body.runs[2].format.bold);
    EXPECT_TRUE(body.runs[3].format.hasColor);
    EXPECT_EQ(body.runs[3].format.color, 0x0000FFu);
    EXPECT_EQ(body.runs[4].format.color, 0xFF8000u);
    EXPECT_FALSE(body.runs[5].format.hasColor) << "an index past the colour table is no colour";
    EXPECT_EQ(doc.paragraphs[2].alignment, RtfAlignment::Right);
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

}  // namespace
}  // namespace tarn
