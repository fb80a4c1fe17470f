// PDF files through ExportPDF, read back by qpdf and poppler: the grid's cells under the
// page header and over the footer, a text in the body font, every font embedded; and a
// target that cannot be written, which leaves nothing behind.
#include "win_support.h"

#include <sstream>

namespace tarn::test {
namespace {

// The part of a PdfReading between the n-th and the next "==" line.
std::string Section(const std::string& reading, int n) {
    std::size_t begin = 0;
    for (int i = 0; i < n; ++i) begin = reading.find("==\n", begin) + 3;
    const std::size_t end = reading.find("==\n", begin);
    return reading.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The "emb" column of every font pdffonts lists, in order.
std::vector<std::string> EmbeddedColumn(const std::string& fonts) {
    std::vector<std::string> result;
    std::istringstream lines(fonts);
    std::string line;
    bool table = false;
    while (std::getline(lines, line)) {
        if (line.starts_with("---")) {
            table = true;
            continue;
        }
        if (!table || line.empty()) continue;
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (w.size() >= 6) result.push_back(w[w.size() - 5]);
    }
    return result;
}

using PdfExportTest = ComTest;

TEST_F(PdfExportTest, WritesTheGridAndTextsAsPdfsPopplerReadsWithEveryFontEmbedded) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"stock"});
    ASSERT_EQ(exporter->put_Title(unique_bstr(L"Harbour stock list").get()), S_OK);
    ASSERT_EQ(exporter->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    ASSERT_TRUE(ExportTable(exporter.Get(), grid.object()));
    EXPECT_EQ(TargetOf(exporter.Get()), folder / L"stock.pdf");

    const std::string table = PdfReading(folder / L"stock.pdf");
    EXPECT_NE(Section(table, 0).find("No syntax or stream encoding errors"), std::string::npos) << table;
    const std::string text = Section(table, 1);
    for (const char* expected :
         {"Harbour stock list", "Spring count", "Page 1", "Item", "Apples", "North", "1,250.00", "Quay", "Note | misc"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("Old stock"), std::string::npos) << "a hidden row\n" << text;
    const std::vector<std::string> tableFonts = EmbeddedColumn(Section(table, 2));
    EXPECT_FALSE(tableFonts.empty()) << table;
    for (const std::string& embedded : tableFonts) EXPECT_EQ(embedded, "yes") << Section(table, 2);

    auto textExporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"notes.pdf"});
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(textExporter->ExportText(unique_bstr(L"Ledger line one\r\nSecond ledger line").get(), &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const std::string notes = PdfReading(folder / L"notes.pdf");
    EXPECT_NE(Section(notes, 0).find("No syntax or stream encoding errors"), std::string::npos) << notes;
    const std::string notesText = Section(notes, 1);
    EXPECT_LT(notesText.find("Ledger line one"), notesText.find("Second ledger line")) << notesText;
    EXPECT_NE(notesText.find("Page 1"), std::string::npos) << notesText;
    const std::vector<std::string> notesFonts = EmbeddedColumn(Section(notes, 2));
    EXPECT_FALSE(notesFonts.empty()) << notes;
    for (const std::string& embedded : notesFonts) EXPECT_EQ(embedded, "yes") << Section(notes, 2);
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
