// Workbooks written by the writer and read back by xlrd: values and their types, the
// formatting a cell shows, the sheet layout and the sheet list.
#include "tables/xls_workbook.h"

#include "tables/compound_file.h"

#include "xls_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace tarn::xls {
namespace {

using test::XlsFacts;

class XlsWorkbookTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
    }
    std::string Save(Workbook& book, const std::string& name) {
        MemorySink sink;
        book.Save(sink);
        return folder_.Write(name, sink.bytes());
    }
    test::ScratchFolder folder_{"xls"};
};

TEST_F(XlsWorkbookTest, ValuesKeepTheirTypes) {
    Workbook book;
    book.AddSheet(L"Values");
    const CellStyle plain;
    book.WriteNumber(0, 0, 42, plain);    // an integer: the short RK form
    book.WriteNumber(0, 1, -1.5, plain);  // exact in 30 bits of a double
    book.WriteNumber(0, 2, 3.14159265358979, plain);
    book.WriteNumber(0, 3, 1e300, plain);
    book.WriteNumber(0, 4, -536870912, plain);  // just outside the RK integers
    book.WriteNumber(0, 5, std::nan(""), plain);
    book.WriteNumber(0, 6, 1e9, plain);              // an integer past 30 bits
    book.WriteNumber(0, 7, 1099511627776.0, plain);  // 2^40: exact in 30 bits of a double
    book.WriteText(1, 0, L"plain text", plain);
    book.WriteText(1, 1, L"", plain);
    book.WriteText(1, 2, L"12345", plain);
    book.WriteBlank(1, 3, plain);
    book.WriteText(2, 2, L"later", plain);  // cells of a row in any order
    book.WriteText(2, 0, L"earlier", plain);
    book.WriteNumber(2, 1, 1, plain);
    book.WriteNumber(2, 1, 2, plain);  // the later write of a cell counts
    XlsFacts facts(Save(book, "values.xls"));
    EXPECT_EQ(facts.Line("sheet 0"), "sheet 0 'Values' 3 8");
    EXPECT_EQ(facts.Values(0),  // 36: #NUM!
              "0 0 number 42.0\n0 1 number -1.5\n0 2 number 3.14159265358979\n0 3 number 1e+300\n"
              "0 4 number -536870912.0\n0 5 error 36\n0 6 number 1000000000.0\n0 7 number 1099511627776.0\n"
              "1 0 text 'plain text'\n1 1 text ''\n1 2 text '12345'\n1 3 blank \n"
              "2 0 text 'earlier'\n2 1 number 2.0\n2 2 text 'later'\n");
}

TEST_F(XlsWorkbookTest, FormattingResolvesThroughFontsFormatsAndPalette) {
    Workbook book;
    book.AddSheet(L"Styles");
    CellStyle plain;
    CellStyle heading;
    heading.fontName = L"Courier New";
    heading.fontSize = 14.5;
    heading.bold = true;
    heading.italic = true;
    heading.underline = true;
    heading.fontColour = 0x00336699;  // COLORREF: red 0x99, green 0x66, blue 0x33
    heading.filled = true;
    heading.fill = 0x00CCFFFF;  // light yellow, a colour of the default palette
    heading.horizontal = HorizontalAlignment::Centre;
    heading.vertical = VerticalAlignment::Top;
    CellStyle money;
    money.numberFormat = L"#,##0.00 \x20AC";
    money.horizontal = HorizontalAlignment::Right;
    money.fontColour = 0x000000FF;
    CellStyle asText;
    asText.quotePrefix = true;
    asText.horizontal = HorizontalAlignment::Left;
    asText.vertical = VerticalAlignment::Centre;
    book.WriteText(0, 0, L"Heading", heading);
    book.WriteNumber(0, 1, 1234.5, money);
    book.WriteText(0, 2, L"007", asText);
    book.WriteNumber(0, 3, 1, plain);
    EXPECT_EQ(XlsFacts(Save(book, "styles.xls")).Lines({"cell"}),
              "cell 0 0 0 text 'Heading' | font Courier New 290 1 1 1 #996633 | fill #FFFFCC | align 2 0 | "
              "format General | prefix 0\n"
              "cell 0 0 1 number 1234.5 | font Arial 200 0 0 0 #FF0000 | fill none | align 3 2 | "
              "format #,##0.00 \xE2\x82\xAC | prefix 0\n"
              "cell 0 0 2 text '007' | font Arial 200 0 0 0 #000000 | fill none | align 1 1 | format General | "
              "prefix 1\n"
              "cell 0 0 3 number 1.0 | font Arial 200 0 0 0 #000000 | fill none | align 0 2 | format General | "
              "prefix 0\n");
}

TEST_F(XlsWorkbookTest, SheetLayoutWidthsHeightsAndFrozenPanes) {
    Workbook book;
    book.AddSheet(L"Layout");
    const CellStyle plain;
    book.SetColumnWidth(0, 12.5);
    book.SetColumnWidth(1, 30);
    book.SetColumnWidth(2, 30);
    book.FreezePanes(1, 2);
    book.SetRowHeight(0, 25.5);
    book.WriteText(0, 0, L"a", plain);
    book.SetColumnWidth(5, 300);           // kept to what Excel takes
    book.SetColumnWidth(6, std::nan(""));  // ignored
    book.SetRowHeight(4, 1000);
    book.SetRowHeight(3, 8);  // an empty row with a height of its own
    book.WriteText(40, 0, L"b", plain);
    book.SetRowHeight(40, 30);  // after its cells
    book.SetRowHeight(0, 20);   // after rows two blocks further down were written
    book.WriteText(100, 3, L"c", plain);
    book.AddSheet(L"Rows only");
    book.FreezePanes(3, 0);
    const std::string file = Save(book, "layout.xls");
    // Blocks of 32 rows: rows 0 and 3, row 40, row 100; none on the second sheet.
    EXPECT_EQ(test::CheckIndexes(file), "index 0 ok 3\nindex 1 ok 0\n");
    // Widths in 1/256 of a character, 5 and 6 kept and ignored; heights in twips, row 100's the default.
    EXPECT_EQ(XlsFacts(file).Lines({"sheet", "frozen", "width", "height"}),
              "sheet 0 'Layout' 101 4\nfrozen 1 2\nwidth 0 3200\nwidth 1 7680\nwidth 2 7680\nwidth 5 65535\n"
              "height 0 400 1\nheight 3 160 1\nheight 4 8190 1\nheight 40 600 1\nheight 100 255 0\n"
              "sheet 1 'Rows only' 0 0\nfrozen 3 0\n");
}

TEST_F(XlsWorkbookTest, SheetNamesAreMadeValidAndUnique) {
    Workbook book;
    for (const wchar_t* name :
         {L"Sales", L"sales", L"a:b\\c/d?e*f[g]h", L"", L"A name that is much longer than Excel allows",
          L"A name that is much longer than Excel allows", L"'quoted'", L"\x0394\x03B5\x03BB\x03C4\x03B1"})
        book.AddSheet(name);
    EXPECT_EQ(XlsFacts(Save(book, "names.xls")).Lines({"sheet"}),
              "sheet 0 'Sales' 0 0\nsheet 1 'sales (2)' 0 0\nsheet 2 'a_b_c_d_e_f_g_h' 0 0\nsheet 3 'Sheet4' 0 0\n"
              "sheet 4 'A name that is much longer than' 0 0\nsheet 5 'A name that is much longer (2)' 0 0\n"
              "sheet 6 '_quoted_' 0 0\nsheet 7 'Δελτα' 0 0\n");
}

TEST_F(XlsWorkbookTest, UnicodeAndLongTextsSurviveTheSharedStringTable) {
    Workbook book;
    book.AddSheet(L"Texts");
    const CellStyle plain;
    book.WriteText(0, 0, L"caf\x00E9", plain);                  // one byte per character
    book.WriteText(0, 1, L"\x65E5\x672C\x8A9E \x0416", plain);  // two bytes per character
    book.WriteText(0, 2, std::wstring(40000, L'x'), plain);     // cut to 32,767
    // A character outside the basic plane is a surrogate pair: kept whole, or cut whole.
    book.WriteText(0, 3, L"smile \U0001F600", plain);
    book.WriteText(0, 4, std::wstring(32766, L'y') + L"\U0001F600", plain);
    // Texts that straddle the SST's CONTINUE records, compressed and wide.
    for (unsigned row = 1; row < 400; ++row) {
        book.WriteText(row, 0, std::wstring(97, static_cast<wchar_t>(L'a' + row % 26)) + std::to_wstring(row), plain);
        book.WriteText(row, 1, std::wstring(61, static_cast<wchar_t>(0x0410 + row % 32)) + std::to_wstring(row), plain);
    }
    book.WriteText(400, 0, L"caf\x00E9", plain);  // shared with the first
    XlsFacts facts(Save(book, "texts.xls"));
    EXPECT_EQ(facts.Cell(0, 0, 0), "text 'café'");
    EXPECT_EQ(facts.Cell(0, 0, 1), "text '日本語 Ж'");
    EXPECT_EQ(facts.Cell(0, 0, 2), "text '" + std::string(32767, 'x') + "'");
    EXPECT_EQ(facts.Cell(0, 0, 3), "text 'smile \xF0\x9F\x98\x80'");
    EXPECT_EQ(facts.Cell(0, 0, 4), "text '" + std::string(32766, 'y') + "'");
    for (unsigned row = 1; row < 400; ++row) {
        const std::string r = std::to_string(row);
        EXPECT_EQ(facts.Cell(0, row, 0), "text '" + std::string(97, static_cast<char>('a' + row % 26)) + r + "'");
        std::string cyrillic;  // UTF-8 of U+0410 + row % 32
        for (int i = 0; i < 61; ++i) cyrillic += "\xD0" + std::string(1, static_cast<char>(0x90 + row % 32));
        EXPECT_EQ(facts.Cell(0, row, 1), "text '" + cyrillic + r + "'");
    }
    EXPECT_EQ(facts.Cell(0, 400, 0), "text 'café'");
}

TEST_F(XlsWorkbookTest, SeventyThousandRowsOverTwoSheets) {
    Workbook book;
    const CellStyle plain;
    CellStyle bold;
    bold.bold = true;
    for (unsigned n = 0; n < 70000; ++n) {
        if (n % kMaxRows == 0) book.AddSheet(L"Part");
        const unsigned row = n % kMaxRows;
        book.WriteNumber(row, 0, n, plain);
        book.WriteText(row, 1, L"row " + std::to_wstring(n), n % 2 ? bold : plain);  // 70,000 distinct texts
        book.WriteText(row, 2, n % 3 ? L"odd" : L"even", plain);
    }
    const std::string file = Save(book, "rows.xls");
    EXPECT_EQ(test::CheckIndexes(file), "index 0 ok 2048\nindex 1 ok 140\n");
    // (Cells on both sheets, read by xlrd, in tests/win/export_xls_test.cpp.)
    XlsFacts facts(file, true);
    EXPECT_EQ(facts.Line("sheet 0"), "sheet 0 'Part' 65536 3");
    EXPECT_EQ(facts.Line("sheet 1"), "sheet 1 'Part (2)' 4464 3");
}

TEST_F(XlsWorkbookTest, ColoursPastTheFiftySixthTakeTheNearestEntry) {
    Workbook book;
    book.AddSheet(L"Colours");
    for (unsigned i = 0; i < 60; ++i) {
        CellStyle style;
        style.filled = true;
        style.fill = 0x000100 * (i * 4) + 0x000003;  // green from 0 to 236, red 3
        style.fontColour = 0x000003;
        book.WriteNumber(i, 0, i, style);
    }
    XlsFacts facts(Save(book, "colours.xls"));
    for (unsigned i = 0; i < 60; ++i) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "#03%02X00", std::min(i, 55u) * 4);
        EXPECT_EQ(facts.CellFormat(0, i, 0).substr(0, 43), std::string("font Arial 200 0 0 0 #030000 | fill ") + fill)
            << "row " << i;
    }
}

// A stream long enough for more FAT sectors than the header lists, read back by xlrd's own
// compound file reader.
TEST_F(XlsWorkbookTest, LargeStreamsNeedFatSectorsListedOutsideTheHeader) {
    std::string content(7500000, '\0');
    std::uint32_t state = 12345;
    for (char& c : content) c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
    MemorySink sink;
    cfb::WriteCompoundFile(sink, u"Workbook", content.size(), [&content](ByteSink& out) {
        for (std::size_t at = 0; at < content.size(); at += 100000)
            out.Write(std::string_view(content).substr(at, 100000));
    });
    EXPECT_EQ(
        test::CompareWorkbookStream(folder_.Write("large.cfb", sink.bytes()), folder_.Write("large.raw", content)),
        "same 7500000\n");
}

// LibreOffice opens the workbook and keeps its pictures where they were anchored.
TEST_F(XlsWorkbookTest, PicturesSurviveLibreOffice) {
    if (!std::filesystem::exists("/usr/bin/soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const auto read = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    };
    const std::filesystem::path images = std::filesystem::path(TARN_SOURCE_DIR) / "tests/data/images";
    const Picture png{Picture::Format::Png, read(images / "sample-40x30.png"), 40, 30};
    const Picture jpeg{Picture::Format::Jpeg, read(images / "sample-40x30.jpg"), 40, 30};
    // Noise does not compress: a picture far longer than a record, so the drawing group
    // goes on in CONTINUE records.
    bool ok = false;
    const std::string made =
        test::Run("/usr/bin/convert -size 100x80 -seed 7 xc: +noise Random '" + (folder_ / "noise.png") + "'", ok);
    ASSERT_TRUE(ok) << made;
    const Picture noise{Picture::Format::Png, read(folder_ / "noise.png"), 100, 80};
    ASSERT_GT(noise.bytes.size(), 3 * 8224u);
    Workbook book;
    book.AddSheet(L"Pictures");
    book.WriteText(0, 0, L"Pictures below", {});
    book.SetColumnWidth(2, 20);
    book.InsertPicture(3, 2, png, 10, 5);
    book.InsertPicture(7, 4, jpeg, 0, 0);
    book.InsertPicture(20, 1, png, 0, 0);  // the same picture again: stored once
    book.AddSheet(L"Noise");
    book.InsertPicture(2, 2, noise, 0, 0);
    Save(book, "pictures.xls");
    const std::string converted =
        test::Run("cd '" + (folder_ / "") + "' && /usr/bin/soffice --headless -env:UserInstallation=file://" +
                      (folder_ / "profile") + " --convert-to xlsx pictures.xls",
                  ok);
    ASSERT_TRUE(ok) << converted;
    EXPECT_EQ(converted.find("rror"), std::string::npos) << converted;
    // The media in the converted file, where the first sheet's pictures start, and whether
    // the large picture came through byte for byte.
    const std::string listing = test::Run(
        "/usr/bin/python3 -c \"import re, sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
        "print(sorted(n for n in z.namelist() if n.startswith('xl/media/'))); "
        "print(re.findall(r'<xdr:from><xdr:col>(\\d+)</xdr:col><xdr:colOff>\\d+</xdr:colOff><xdr:row>(\\d+)<', "
        "z.read('xl/drawings/drawing1.xml').decode())); "
        "print(z.read('xl/media/image3.png') == open(sys.argv[2], 'rb').read())\" '" +
            (folder_ / "pictures.xlsx") + "' '" + (folder_ / "noise.png") + "'",
        ok);
    ASSERT_TRUE(ok) << listing;
    EXPECT_EQ(listing,
              "['xl/media/image1.png', 'xl/media/image2.jpeg', 'xl/media/image3.png']\n"
              "[('2', '3'), ('4', '7'), ('1', '20')]\nTrue\n");
}

}  // namespace
}  // namespace tarn::xls
