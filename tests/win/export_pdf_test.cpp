// PDF files through ExportPDF, read back by qpdf and poppler: the grid's cells under the
// page header and over the footer, a table over three pages with its header row and page
// number on each, the column list, a long RTF text beyond ANSI, a metafile as a picture, a
// chart and an image file on a page of their own, a
// text in the body font, CJK cells and text drawn from a linked face, every face embedded
// once; and a target that cannot be written, which leaves nothing behind.
#include "win_support.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>

namespace tarn::test {
namespace {

using PdfExportTest = ComTest;

// The words of a text, as pdftotext separates cells and columns with blanks.
std::set<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The text the test host's Fill writes in a cell.
std::string FilledCell(int row, int col) {
    char text[32];
    std::snprintf(text, sizeof text, "R%dC%d", row, col);
    return text;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Every font embedded, each face once (whatever the tag before the "+" of a subset's name).
void ExpectEmbeddedOnce(const PdfReadBack& pdf) {
    EXPECT_FALSE(pdf.fonts.empty());
    for (const std::string& embedded : pdf.embedded) EXPECT_EQ(embedded, "yes");
    std::set<std::string> faces;
    for (const std::string& font : pdf.fonts) faces.insert(font.substr(font.find('+') + 1));
    EXPECT_EQ(faces.size(), pdf.fonts.size()) << testing::PrintToString(pdf.fonts);
}

// Faces the system links to one, for the test's length: entries "FILE,Face[,scaling]" or a
// file alone.
class SystemLink {
public:
    SystemLink(const wchar_t* face, std::wstring_view entries) : face_(face) {
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, face, REG_MULTI_SZ, entries.data(),
                                  DWORD(entries.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~SystemLink() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, face_); }
    SystemLink(const SystemLink&) = delete;
    SystemLink& operator=(const SystemLink&) = delete;

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
    const wchar_t* face_;
};

// A PDF of a grid of 120 rows of R<r>C<c> texts (column 1 numbers r x 1.25) under a header row,
// row 7 and column 2 hidden, with `paragraph` above it.
PdfReadBack LedgerPdf(const ScratchFolder& folder, const std::wstring& name, const std::wstring& paragraph) {
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    grid.Call(L"Fill", {LongArg(121), LongArg(4)});
    grid.Put(L"RowHidden", BoolArg(true), {LongArg(7)});
    grid.Put(L"ColHidden", BoolArg(true), {LongArg(2)});
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / name});
    EXPECT_EQ(exporter->put_Title(unique_bstr(L"Harbour ledger").get()), S_OK);
    EXPECT_EQ(exporter->put_Paragraph(unique_bstr(paragraph).get()), S_OK);
    EXPECT_EQ(exporter->put_Footer(unique_bstr(L"Footnote never printed").get()), S_OK);
    EXPECT_TRUE(ExportTable(exporter.Get(), grid.object()));
    return PdfReading(folder / name);
}

TEST_F(PdfExportTest, ATableOfThreePagesRepeatsItsHeaderRowAndNumbersEveryPage) {
    ScratchFolder folder;
    const PdfReadBack pdf = LedgerPdf(folder, L"ledger.pdf", L"Counted at the north quay");
    EXPECT_NE(pdf.check.find("No syntax or stream encoding errors"), std::string::npos) << pdf.check;
    ExpectEmbeddedOnce(pdf);
    const std::vector<std::string> pages = pdf.Pages();
    ASSERT_EQ(pages.size(), 3u) << pdf.text;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string& page = pages[i];
        EXPECT_EQ(Count(page, "Harbour ledger"), 1u) << "page " << i + 1 << "\n" << page;
        for (const char* header : {"Col0", "Col1", "Col3"}) EXPECT_EQ(Count(page, header), 1u) << header << page;
        const std::size_t number = page.find("Page ");
        ASSERT_NE(number, std::string::npos) << page;
        EXPECT_EQ(page.substr(number + 5, page.find_first_of(" \r\n", number + 5) - number - 5), std::to_string(i + 1));
    }
    EXPECT_EQ(Count(pages[0], "Counted at the north quay"), 1u) << pages[0];
    EXPECT_EQ(Count(pdf.text, "Counted at the north quay"), 1u);
    EXPECT_EQ(pdf.text.find("Footnote"), std::string::npos);
    EXPECT_EQ(pdf.text.find("Col2"), std::string::npos) << "a hidden column";

    const std::set<std::string> words = Words(pdf.text);
    for (int r = 1; r <= 120; ++r) {
        char amount[32];
        std::snprintf(amount, sizeof amount, "%.2f", r * 1.25);
        for (const std::string& cell : {FilledCell(r, 0), std::string(amount), FilledCell(r, 3)})
            EXPECT_EQ(words.count(cell), r == 7 ? 0u : 1u) << cell;
        EXPECT_EQ(words.count(FilledCell(r, 2)), 0u);
    }

    const PdfReadBack plain = LedgerPdf(folder, L"plain.pdf", L"");
    EXPECT_EQ(plain.Pages().size(), 3u);
    EXPECT_EQ(plain.text.find("Counted"), std::string::npos);
    EXPECT_LT(plain.text.find("Harbour ledger"), plain.text.find("Col0")) << plain.text;
}

// Only the columns ColumnList names are printed, and the grid is left as it was: its hidden
// columns and rows hidden, nothing else, and Redraw back on.
TEST_F(PdfExportTest, ColumnListPrintsTheNamedColumnsAndLeavesTheGridAsItWas) {
    ScratchFolder folder;
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    grid.Call(L"Fill", {LongArg(6), LongArg(5)});
    grid.Put(L"ColHidden", BoolArg(true), {LongArg(3)});
    grid.Put(L"RowHidden", BoolArg(true), {LongArg(3)});
    grid.Call(L"ResetCounters");
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"picked.pdf", .columns = L",0,,2,"});
    ASSERT_TRUE(ExportTable(exporter.Get(), grid.object()));
    const std::set<std::string> words = Words(PdfReading(folder / L"picked.pdf").text);
    for (int r = 1; r < 6; ++r) {
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(words.count(FilledCell(r, c)), (c == 0 || c == 2) && r != 3 ? 1u : 0u) << FilledCell(r, c);
    }
    EXPECT_EQ(words.count("Col0") + words.count("Col2"), 2u);
    for (long c = 0; c < 5; ++c) EXPECT_EQ(VariantToBool(grid.Get(L"ColHidden", {LongArg(c)})), c == 3) << c;
    for (long r = 0; r < 6; ++r) EXPECT_EQ(VariantToBool(grid.Get(L"RowHidden", {LongArg(r)})), r == 3) << r;
    EXPECT_TRUE(VariantToBool(grid.Get(L"Redraw")));
    const std::vector<std::wstring> writes = Lines(WriteLog(grid.object()));
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), L"Redraw=False");
    EXPECT_EQ(writes.back(), L"Redraw=True");
}

// A document over several pages with Greek and Cyrillic beside Latin text, and a metafile
// handed over as a file: text that extracts as itself from embedded fonts, the metafile as a
// picture of the page.
TEST_F(PdfExportTest, LongRtfTextsAndMetafilesBecomeValidPdfs) {
    ScratchFolder folder;
    std::wstring rtf = L"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;}\\f0\\fs24 ";
    for (int i = 1; i <= 150; ++i)
        rtf += L"{\\b Entry " + std::to_wstring(i) +
               L"} \\u920?\\u945?\\u955?\\u945?\\u963?\\u963?\\u945? "
               L"\\u1055?\\u1088?\\u1080?\\u1089?\\u1090?\\u1072?\\u1085?\\u1100? harbour\\par ";
    rtf += L"}";
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"document.pdf"});
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(exporter->ExportRTF(unique_bstr(rtf).get(), &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const PdfReadBack document = PdfReading(folder / L"document.pdf");
    EXPECT_NE(document.check.find("No syntax or stream encoding errors"), std::string::npos) << document.check;
    ExpectEmbeddedOnce(document);
    const std::vector<std::string> pages = document.Pages();
    EXPECT_GE(pages.size(), 3u);
    EXPECT_NE(pages.back().find("Entry 150"), std::string::npos) << pages.back();
    EXPECT_EQ(Count(document.text, "\xCE\x98\xCE\xB1\xCE\xBB\xCE\xB1\xCF\x83\xCF\x83\xCE\xB1"), 150u)  // Θαλασσα
        << document.text.substr(0, 600);
    EXPECT_EQ(Count(document.text, "\xD0\x9F\xD1\x80\xD0\xB8\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD1\x8C"),
              150u);  // Пристань

    WriteHalvesEmf(folder / L"halves.emf", 4, 2);
    ASSERT_TRUE(Export(exporter.Get(), folder / L"drawing.pdf", MetafileFile(folder / L"halves.emf")));
    const PdfReadBack drawing = PdfReading(folder / L"drawing.pdf");
    EXPECT_NE(drawing.check.find("No syntax or stream encoding errors"), std::string::npos) << drawing.check;
    EXPECT_EQ(drawing.Pages().size(), 1u);
    // The logo and its mask, and the metafile drawn large.
    const auto large = std::count_if(drawing.images.begin(), drawing.images.end(), [](const std::string& image) {
        return image.starts_with("image ") && std::stoi(image.substr(6)) >= 1000;
    });
    EXPECT_EQ(large, 1) << testing::PrintToString(drawing.images);
}

// An image file and a chart each make one valid page with their picture; the image
// file's header carries the title, the chart's is empty.
TEST_F(PdfExportTest, ChartsAndImageFilesMakeOnePageWithTheirPicture) {
    ScratchFolder folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"chart.pdf"});
    ASSERT_EQ(exporter->put_Title(unique_bstr(L"Harbour stock list").get()), S_OK);
    ASSERT_TRUE(Export(exporter.Get(), folder / L"photo.pdf", ImageFile(TestPicture(L"sample-40x30.png"))));
    ASSERT_TRUE(Export(exporter.Get(), folder / L"chart.pdf", Chart(chart.object())));
    BSTR title = nullptr;
    ASSERT_EQ(exporter->get_Title(&title), S_OK);
    EXPECT_EQ(SysStringLen(title), 0u) << "a chart empties the exporter's title";
    SysFreeString(title);
    const auto pictures = [](const PdfReadBack& pdf, const std::string& prefix) {
        return std::count_if(pdf.images.begin(), pdf.images.end(),
                             [&](const std::string& image) { return image.starts_with(prefix); });
    };
    const PdfReadBack drawn = PdfReading(folder / L"chart.pdf");
    EXPECT_NE(drawn.check.find("No syntax or stream encoding errors"), std::string::npos) << drawn.check;
    EXPECT_EQ(drawn.Pages().size(), 1u);
    EXPECT_EQ(drawn.text.find("Harbour stock list"), std::string::npos) << "a chart's header is empty";
    EXPECT_GE(pictures(drawn, "image "), 2) << "the logo and the chart: " << testing::PrintToString(drawn.images);
    ExpectEmbeddedOnce(drawn);
    const PdfReadBack photo = PdfReading(folder / L"photo.pdf");
    EXPECT_NE(photo.check.find("No syntax or stream encoding errors"), std::string::npos) << photo.check;
    EXPECT_EQ(photo.Pages().size(), 1u);
    EXPECT_NE(photo.text.find("Harbour stock list"), std::string::npos) << photo.text;
    EXPECT_EQ(pictures(photo, "image 40x30"), 1) << testing::PrintToString(photo.images);
}

TEST_F(PdfExportTest, WritesTheGridAndTextsAsPdfsPopplerReadsWithEveryFontEmbedded) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    // Characters beyond the ANSI code page that Tahoma lacks come from a face linked to it.
    grid.Put(L"Cell", TextArg(unique_bstr(L"\u6771\u4EAC \u6E2F \u5009\u5EAB")),
             {LongArg(0), LongArg(6), LongArg(3)});  // 東京 港 倉庫
    grid.Put(L"Cell", TextArg(unique_bstr(L"Crate \u6771\u4EAC")), {LongArg(0), LongArg(5), LongArg(2)});
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"stock"});
    ASSERT_EQ(exporter->put_Title(unique_bstr(L"Harbour stock list").get()), S_OK);
    ASSERT_EQ(exporter->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    ASSERT_TRUE(ExportTable(exporter.Get(), grid.object()));
    EXPECT_EQ(TargetOf(exporter.Get()), folder / L"stock.pdf");

    const PdfReadBack table = PdfReading(folder / L"stock.pdf");
    EXPECT_NE(table.check.find("No syntax or stream encoding errors"), std::string::npos) << table.check;
    for (const char* expected :
         {"Harbour stock list", "Spring count", "Page 1", "Item", "Apples", "North", "1,250.00", "Quay", "Note | misc",
          "\xE6\x9D\xB1\xE4\xBA\xAC \xE6\xB8\xAF \xE5\x80\x89\xE5\xBA\xAB", "Crate \xE6\x9D\xB1\xE4\xBA\xAC"})
        EXPECT_NE(table.text.find(expected), std::string::npos) << expected << "\n" << table.text;
    EXPECT_EQ(table.text.find("Old stock"), std::string::npos) << "a hidden row\n" << table.text;
    ExpectEmbeddedOnce(table);
    // The face of a PDF's font, without the subset's tag.
    const auto faces = [](const PdfReadBack& pdf) {
        std::set<std::string> names;
        for (const std::string& font : pdf.fonts) names.insert(font.substr(font.find('+') + 1));
        return names;
    };
    EXPECT_TRUE(faces(table).contains("WenQuanYiMicroHei")) << testing::PrintToString(table.fonts);

    // The text's Courier New links to a face GDI lacks (its substitute lacks the characters),
    // a file alone, then the monospaced CJK face, which comes before the common faces.
    constexpr wchar_t kLinks[] = L"SIMSUN.TTC,SimSun\0MINGLIU.TTC\0WQY-MICROHEI.TTC,WenQuanYi Micro Hei Mono,128,96\0";
    const SystemLink link(L"Courier New", {kLinks, std::size(kLinks)});
    auto textExporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"notes.pdf"});
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(textExporter->ExportText(
                  unique_bstr(L"Ledger line one\r\nSecond ledger line\r\nCrate \u6771\u4EAC \u6E2F").get(), &result),
              S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const PdfReadBack notes = PdfReading(folder / L"notes.pdf");
    EXPECT_NE(notes.check.find("No syntax or stream encoding errors"), std::string::npos) << notes.check;
    EXPECT_LT(notes.text.find("Ledger line one"), notes.text.find("Second ledger line")) << notes.text;
    EXPECT_NE(notes.text.find("Page 1"), std::string::npos) << notes.text;
    EXPECT_NE(notes.text.find("Crate \xE6\x9D\xB1\xE4\xBA\xAC \xE6\xB8\xAF"), std::string::npos) << notes.text;
    ExpectEmbeddedOnce(notes);
    EXPECT_TRUE(faces(notes).contains("WenQuanYiMicroHeiMono")) << testing::PrintToString(notes.fonts);
    EXPECT_FALSE(faces(notes).contains("WenQuanYiMicroHei")) << testing::PrintToString(notes.fonts);
    EXPECT_EQ(folder.Files(), (std::vector<std::wstring>{L"notes.pdf", L"stock.pdf"}));
}

TEST_F(PdfExportTest, ATargetThatCannotBeWrittenIsReportedAndLeavesNoFile) {
    ScratchFolder folder;
    const std::wstring target = folder / L"missing\\report";
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = target, .quiet = false});
    ui::Watcher<std::pair<ui::MessageBoxView, ui::MessageBoxView>> watcher([] {
        ui::MessageBoxView error = ui::WaitForMessageBox();
        error.window.PressButton(L"OK");
        ui::MessageBoxView done = ui::WaitForMessageBox(Captioned(L"Export"));
        done.window.PressButton(L"OK");
        return std::make_pair(error, done);
    });
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(exporter->ExportText(unique_bstr(L"Nowhere to go").get(), &result), S_OK);
    const auto [error, done] = watcher.Get();
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_TRUE(error.text.starts_with(L"Cannot generate " + target + L".pdf\r\n")) << Narrow(error.text);
    EXPECT_GT(error.text.size(), (L"Cannot generate " + target + L".pdf\r\n").size()) << "with the reason";
    EXPECT_EQ(error.icon, ui::Icon::Exclamation);
    EXPECT_EQ(done.text, L"Exported to report.pdf");
    EXPECT_TRUE(folder.Files().empty());
}

}  // namespace
}  // namespace tarn::test
