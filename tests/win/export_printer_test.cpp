// Printing through ExportPrinter to the CUPS queue the test runner sets up (scripts/print_queue.py),
// whose jobs become PDF files read back by qpdf and poppler: the grid's printed text is the
// text of its PDF export; the print dialog's Cancel, an unknown printer and a queue that
// refuses jobs print nothing.
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

// An engine set up as a host sets it to print without asking for fields.
ComPtr<_Engine> NewEngine(const std::wstring& title, const std::wstring& printer, bool quiet,
                          const std::wstring& columns = {}) {
    auto engine = Create<_Engine>(__uuidof(::Engine));
    EXPECT_EQ(engine->put_SkipFieldSelection(VARIANT_TRUE), S_OK);
    EXPECT_EQ(engine->put_ColumnList(unique_bstr(columns).get()), S_OK);
    EXPECT_EQ(engine->put_Title(unique_bstr(title).get()), S_OK);
    EXPECT_EQ(engine->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    EXPECT_EQ(engine->put_ProgramName(unique_bstr(L"Harbour Desk").get()), S_OK);
    VARIANT_BOOL silent = ToVariantBool(quiet);
    EXPECT_EQ(engine->put_Quiet(&silent), S_OK);
    unique_bstr name(printer);
    BSTR argument = name.get();
    EXPECT_EQ(engine->put_DefaultPrinter(&argument), S_OK);
    return engine;
}

bool Print(_Engine* engine, IDispatch* grid) {
    IDispatch* argument = grid;
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(engine->ExportTable(&argument, unique_bstr(L"PRINTER").get(), &result), S_OK);
    return result != VARIANT_FALSE;
}

// The same options on ExportPDF, writing `target`.
ComPtr<_ExportMEthod> NewPdf(const std::wstring& target, const std::wstring& title, const std::wstring& columns = {}) {
    auto pdf = NewExporter(__uuidof(::ExportPDF), {.target = target, .columns = columns});
    EXPECT_EQ(pdf->put_Title(unique_bstr(title).get()), S_OK);
    EXPECT_EQ(pdf->put_SubTitle(unique_bstr(L"Spring count").get()), S_OK);
    EXPECT_EQ(pdf->put_ProgramName(unique_bstr(L"Harbour Desk").get()), S_OK);
    return pdf;
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

    auto engine = NewEngine(title, kPrinter, true, L"0,1,2,4");  // not Depot (3)
    EXPECT_TRUE(Print(engine.Get(), grid.object()));             // no dialog: a dialog would hold the call
    EXPECT_EQ(GridState(grid.object()), before);
    ASSERT_TRUE(ExportTable(NewPdf(folder / L"stock.pdf", title, L",0,1,2,4,").Get(), grid.object()));

    // A text of three pages, through the exporter itself.
    std::wstring ledger;
    for (int line = 1; line <= 150; ++line) ledger += L"Ledger line " + std::to_wstring(line) + L"\r\n";
    const std::wstring textWord = UniqueWord();
    auto printer = NewExporter(__uuidof(::ExportPrinter), {.quiet = true});
    printer->put_Title(unique_bstr(L"Ledger " + textWord).get());
    unique_bstr name(kPrinter);
    BSTR argument = name.get();
    printer->put_DefaultPrinter(&argument);
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(printer->ExportText(unique_bstr(ledger).get(), &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    auto pdf = NewExporter(__uuidof(::ExportPDF), {.target = folder / L"ledger.pdf"});
    pdf->put_Title(unique_bstr(L"Ledger " + textWord).get());
    ASSERT_EQ(pdf->ExportText(unique_bstr(ledger).get(), &result), S_OK);

    const PdfReadBack printed = Printed(word);
    ASSERT_FALSE(printed.text.empty()) << "nothing came out of " << Narrow(kPrinter);
    for (const char* expected :
         {"Harbour stock", "Spring count", "Harbour Desk", "Page 1", "Apples", "North", "1,250.00"})
        EXPECT_NE(printed.text.find(expected), std::string::npos) << expected << "\n" << printed.text;
    for (const char* absent : {"Old stock", "Mill", "Quay"})  // a hidden row, Depot's cells
        EXPECT_EQ(printed.text.find(absent), std::string::npos) << absent << "\n" << printed.text;
    EXPECT_EQ(Words(printed.text), Words(PdfReading(folder / L"stock.pdf").text));

    const PdfReadBack text = Printed(textWord);
    const std::size_t page2 = text.text.find("Page 2"), page3 = text.text.find("Page 3");
    EXPECT_LT(text.text.find("Page 1"), page2);
    EXPECT_LT(page2, page3);
    EXPECT_NE(page3, std::string::npos) << text.text;
    EXPECT_EQ(Words(text.text), Words(PdfReading(folder / L"ledger.pdf").text));
}

TEST_F(PrinterExportTest, CancellingThePrintDialogAnUnknownPrinterOrARefusingQueuePrintNothing) {
    LateBound grid = SampleGrid();
    const std::wstring cancelled = UniqueWord(), unknown = UniqueWord(), rejected = UniqueWord(), last = UniqueWord();

    auto asking = NewEngine(L"Cancelled " + cancelled, kPrinter, false);
    ui::Watcher<void> watcher([] {
        ui::Window dialog = ui::WaitForWindow({.className = L"#32770", .caption = L"Print"});
        dialog.PressButton(L"Cancel");
    });
    EXPECT_TRUE(Print(asking.Get(), grid.object()));
    watcher.Get();

    auto nowhere = NewEngine(L"Unknown " + unknown, L"No Such Printer", true);
    EXPECT_TRUE(Print(nowhere.Get(), grid.object()));
    auto refusing = NewEngine(L"Rejected " + rejected, L"Tarnwick_Rejecting_Printer", true);
    EXPECT_TRUE(Print(refusing.Get(), grid.object()));

    // The queue prints in order: once the last job is out, the others would be too.
    auto printer = NewEngine(L"Last " + last, kPrinter, true);
    EXPECT_TRUE(Print(printer.Get(), grid.object()));
    EXPECT_FALSE(Printed(last).text.empty());
    EXPECT_FALSE(HasPrinted(cancelled));
    EXPECT_FALSE(HasPrinted(unknown));
    EXPECT_FALSE(HasPrinted(rejected));
}

TEST_F(PrinterExportTest, ChartsPicturesFilesAndRtfPrintUnderTheHostsTitle) {
    ScratchFolder folder;
    WriteHalvesEmf(folder / L"halves.emf", 4, 2);
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    ComPtr<IPictureDisp> picture =
        AsPicture(LateBound(HostGrid(L"a").Get()).Call(L"MakePicture", {LongArg(64), LongArg(24), LongArg(0xFF)}));
    const std::pair<const wchar_t*, Operation> jobs[] = {
        {L"Chart", Chart(chart.object())},
        {L"Picture", Picture(picture.Get())},
        {L"Image", ImageFile(TestPicture(L"sample-40x30.png"))},
        {L"Metafile", MetafileFile(folder / L"halves.emf")},
        {L"Rtf", [](_ExportMEthod* e, VARIANT_BOOL* r) {
             return e->ExportRTF(unique_bstr(LR"({\rtf1\ansi {\b Tide} table for the quay\par})").get(), r);
         }}};
    std::vector<std::wstring> words;
    for (const auto& [kind, operation] : jobs) {
        words.push_back(UniqueWord());
        auto printer = NewExporter(__uuidof(::ExportPrinter), {.quiet = true});
        printer->put_Title(unique_bstr(std::wstring(kind) + L" " + words.back()).get());
        unique_bstr name(kPrinter);
        BSTR argument = name.get();
        printer->put_DefaultPrinter(&argument);
        EXPECT_TRUE(Export(printer.Get(), {}, operation)) << Narrow(kind);
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string title = Narrow(std::wstring(jobs[i].first) + L" " + words[i]);
        const PdfReadBack printed = Printed(words[i]);
        EXPECT_NE(printed.text.find(title), std::string::npos) << title << "\n" << printed.text;
        EXPECT_NE(printed.text.find("Page 1"), std::string::npos) << title << "\n" << printed.text;
        if (i + 1 == words.size()) {
            EXPECT_NE(printed.text.find("Tide table for the quay"), std::string::npos) << printed.text;
        }
    }
}

}  // namespace
}  // namespace tarn::test
