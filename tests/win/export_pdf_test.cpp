// PDF files through ExportPDF, read back by qpdf and poppler: the grid's cells under the
// page header and over the footer, a text in the body font, every font embedded; and a
// target that cannot be written, which leaves nothing behind.
#include "win_support.h"

namespace tarn::test {
namespace {

using PdfExportTest = ComTest;

TEST_F(PdfExportTest, WritesTheGridAndTextsAsPdfsPopplerReadsWithEveryFontEmbedded) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    auto exporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"stock"});
    ASSERT_EQ(exporter->put_Title(unique_bstr(L"Harbour stock list").get()), S_OK);
    ASSERT_EQ(exporter->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    ASSERT_TRUE(ExportTable(exporter.Get(), grid.object()));
    EXPECT_EQ(TargetOf(exporter.Get()), folder / L"stock.pdf");

    const PdfReadBack table = PdfReading(folder / L"stock.pdf");
    EXPECT_NE(table.check.find("No syntax or stream encoding errors"), std::string::npos) << table.check;
    for (const char* expected :
         {"Harbour stock list", "Spring count", "Page 1", "Item", "Apples", "North", "1,250.00", "Quay", "Note | misc"})
        EXPECT_NE(table.text.find(expected), std::string::npos) << expected << "\n" << table.text;
    EXPECT_EQ(table.text.find("Old stock"), std::string::npos) << "a hidden row\n" << table.text;
    EXPECT_FALSE(table.embedded.empty());
    for (const std::string& embedded : table.embedded) EXPECT_EQ(embedded, "yes");

    auto textExporter = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"notes.pdf"});
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(textExporter->ExportText(unique_bstr(L"Ledger line one\r\nSecond ledger line").get(), &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const PdfReadBack notes = PdfReading(folder / L"notes.pdf");
    EXPECT_NE(notes.check.find("No syntax or stream encoding errors"), std::string::npos) << notes.check;
    EXPECT_LT(notes.text.find("Ledger line one"), notes.text.find("Second ledger line")) << notes.text;
    EXPECT_NE(notes.text.find("Page 1"), std::string::npos) << notes.text;
    EXPECT_FALSE(notes.embedded.empty());
    for (const std::string& embedded : notes.embedded) EXPECT_EQ(embedded, "yes");
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
