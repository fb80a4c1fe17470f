// Printing through ExportPrinter to the CUPS queue the test runner sets up (scripts/print_queue.py),
// whose jobs become PDF files read back by qpdf and poppler: the grid's printed text is the
// text of its PDF export; the print dialog's Cancel and an unknown printer print nothing.
#include "win_support.h"

#include "tables/grid_table.h"

#include <chrono>
#include <iterator>
#include <sstream>

namespace tarn::test {
namespace {

constexpr wchar_t kPrinter[] = L"Tarnwick_Test_Printer";
constexpr wchar_t kSpool[] = L"Z:\\var\\spool\\tarnwick-print";

// A word no other job's title holds: letters only, so the spooled file's name keeps it.
std::wstring UniqueWord() {
    static unsigned counter = 0;
    std::wstring word = L"job";
    for (unsigned long long n = GetTickCount64() * 100 + GetCurrentProcessId() % 100 + counter++ * 7; n; n /= 26)
        word += static_cast<wchar_t>(L'a' + n % 26);
    return word;
}

// The spooled file whose name holds `word`, once qpdf and poppler can read it whole; empty
// reading when no such file came by the deadline.
PdfReadBack Printed(const std::wstring& word, ui::Milliseconds wait = std::chrono::seconds(60)) {
    PdfReadBack reading;
    auto lastTry = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    ui::WaitUntil(
        [&] {
            if (std::chrono::steady_clock::now() - lastTry < std::chrono::milliseconds(300)) return false;
            lastTry = std::chrono::steady_clock::now();
            for (const std::wstring& name : FilesIn(kSpool))
                if (name.find(word) != std::wstring::npos && name.ends_with(L".pdf")) {
                    const std::wstring path = std::wstring(kSpool) + L"\\" + name;
                    reading = PdfReading(path);
                    if (reading.check.find("No syntax or stream encoding errors") == std::string::npos) return false;
                    for (const std::wstring& left : FilesIn(kSpool))
                        if (left.find(word) != std::wstring::npos)
                            DeleteFileW((std::wstring(kSpool) + L"\\" + left).c_str());
                    return true;
                }
            return false;
        },
        wait);
    return reading;
}

bool HasPrinted(const std::wstring& word) {
    for (const std::wstring& name : FilesIn(kSpool))
        if (name.find(word) != std::wstring::npos) return true;
    return false;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

ComPtr<_ExportMEthod> NewPrinter(const std::wstring& title, const std::wstring& printer, bool quiet,
                                 const std::wstring& columns = {}) {
    auto exporter = NewExporter(__uuidof(::ExportPrinter), {.columns = columns, .quiet = quiet});
    ComPtr<_ExportPrinter> print;
    EXPECT_EQ(exporter.As(&print), S_OK);
    VARIANT_BOOL preview = VARIANT_FALSE;
    EXPECT_EQ(print->put_Preview(&preview), S_OK);
    EXPECT_EQ(exporter->put_Title(unique_bstr(title).get()), S_OK);
    EXPECT_EQ(exporter->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    EXPECT_EQ(exporter->put_ProgramName(unique_bstr(L"Harbour Desk").get()), S_OK);
    unique_bstr name(printer);
    BSTR argument = name.get();
    EXPECT_EQ(exporter->put_DefaultPrinter(&argument), S_OK);
    return exporter;
}

// What a grid shows: Redraw, then every column's and every row's hidden state.
std::vector<bool> GridState(IDispatch* object) {
    GridTable grid(object);
    std::vector<bool> state{grid.Redraw()};
    for (long c = 0; c < grid.Cols(); ++c) state.push_back(grid.ColHidden(c));
    for (long r = 0; r < grid.Rows(); ++r) state.push_back(grid.RowHidden(r));
    return state;
}

using PrinterExportTest = ComTest;

TEST_F(PrinterExportTest, QuietPrintsTheGridOnTheNamedPrinterAsItsPdfExportReads) {
    ASSERT_NE(GetFileAttributesW(kSpool), INVALID_FILE_ATTRIBUTES)
        << "no print queue: scripts/print_queue.py sets it up";
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    const std::vector<bool> before = GridState(grid.object());
    const std::wstring word = UniqueWord();
    const std::wstring title = L"Harbour stock " + word;
    const std::wstring columns = L",0,1,2,4,";  // not Depot (3)

    auto printer = NewPrinter(title, kPrinter, true, columns);
    EXPECT_TRUE(ExportTable(printer.Get(), grid.object()));  // no dialog: a dialog would hold the call
    EXPECT_EQ(GridState(grid.object()), before);

    auto pdf = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"stock.pdf", .columns = columns});
    pdf->put_Title(unique_bstr(title).get());
    pdf->put_SubTitle(unique_bstr(L"Spring count").get());
    pdf->put_ProgramName(unique_bstr(L"Harbour Desk").get());
    ASSERT_TRUE(ExportTable(pdf.Get(), grid.object()));

    const PdfReadBack printed = Printed(word);
    ASSERT_FALSE(printed.text.empty()) << "nothing came out of " << Narrow(kPrinter);
    for (const char* expected :
         {"Harbour stock", "Spring count", "Harbour Desk", "Page 1", "Apples", "North", "1,250.00"})
        EXPECT_NE(printed.text.find(expected), std::string::npos) << expected << "\n" << printed.text;
    for (const char* absent : {"Old stock", "Mill", "Quay"})  // a hidden row, Depot's cells
        EXPECT_EQ(printed.text.find(absent), std::string::npos) << absent << "\n" << printed.text;
    EXPECT_EQ(Words(printed.text), Words(PdfReading(folder / L"stock.pdf").text));
}

TEST_F(PrinterExportTest, CancellingThePrintDialogOrNamingAnUnknownPrinterPrintsNothing) {
    LateBound grid = SampleGrid();
    const std::wstring cancelled = UniqueWord(), unknown = UniqueWord(), last = UniqueWord();

    auto asking = NewPrinter(L"Cancelled " + cancelled, kPrinter, false);
    ui::Watcher<void> watcher([] {
        ui::Window dialog = ui::WaitForWindow({.className = L"#32770", .caption = L"Print"});
        dialog.PressButton(L"Cancel");
    });
    EXPECT_TRUE(ExportTable(asking.Get(), grid.object()));
    watcher.Get();

    auto nowhere = NewPrinter(L"Unknown " + unknown, L"No Such Printer", true);
    EXPECT_TRUE(ExportTable(nowhere.Get(), grid.object()));

    // The queue prints in order: once the last job is out, the others would be too.
    auto printer = NewPrinter(L"Last " + last, kPrinter, true);
    EXPECT_TRUE(ExportTable(printer.Get(), grid.object()));
    EXPECT_FALSE(Printed(last).text.empty());
    EXPECT_FALSE(HasPrinted(cancelled));
    EXPECT_FALSE(HasPrinted(unknown));
}

}  // namespace
}  // namespace tarn::test
