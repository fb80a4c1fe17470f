// The PDF writer on a long text document: `pages` letter pages of 56 lines each (a bold
// heading, body text in Arial with some Greek and Cyrillic words, a Courier New figures
// column, a rule and a shaded box per page), written to a file with the fonts embedded as
// subsets. Fonts come from the Liberation folder; text is placed with TrueTypeFontMetrics
// as a composer would. Run by bench/run_pdf_bench.py; see docs/benchmarks.md.
//
//     pdf_bench <pages> <output.pdf>
//
// Prints key=value lines: seconds and pages per second in all and in the writer alone
// (AddPage and Finish, without composing), file size, and the process's peak
// resident memory.
#include "print/pdf_writer.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class FileSink final : public tarn::ByteSink {
public:
    explicit FileSink(const char* path) : file_(std::fopen(path, "wb")) {
        if (!file_) throw std::runtime_error("cannot create the output file");
    }
    ~FileSink() override {
        if (file_) std::fclose(file_);
    }

protected:
    void Put(std::string_view bytes) override {
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) throw std::runtime_error("write failed");
    }
    void Finish() override {
        if (std::fclose(file_) != 0) throw std::runtime_error("close failed");
        file_ = nullptr;
    }

private:
    std::FILE* file_;
};

const wchar_t* const kWords[] = {L"harbour", L"ledger",  L"quarter", L"invoice", L"Σύνολο", L"итого",
                                 L"freight", L"balance", L"pallet",  L"κόστος",  L"склад",  L"tariff"};

}  // namespace

int main(int argc, char** argv) {
    using namespace tarn::pages;
    if (argc != 3) {
        std::fprintf(stderr, "usage: pdf_bench <pages> <output.pdf>\n");
        return 2;
    }
    const int pages = std::atoi(argv[1]);
    FontFolderProvider fonts({"/usr/share/fonts/truetype/liberation2"});
    TrueTypeFontMetrics metrics(fonts);
    FileSink sink(argv[2]);
    PdfDocumentInfo info;
    info.title = L"Benchmark ledger";
    const auto start = std::chrono::steady_clock::now();
    PdfWriter writer(sink, fonts, info);
    FontSpec body, heading, figures;
    body.size = 10;
    heading.size = 14;
    heading.bold = true;
    figures.name = L"Courier New";
    figures.size = 10;
    unsigned seed = 1;
    std::chrono::steady_clock::duration writing{};
    for (int p = 0; p < pages; ++p) {
        Page page;
        page.ops.push_back(TextRun{1440, 1440, heading, 0x00402010, L"Ledger page " + std::to_wstring(p + 1)});
        page.ops.push_back(Line{1440, 1600, 10800, 1600, 0x00808080, 10});
        page.ops.push_back(Box{1440, 1700, 9360, 300, 0x00F0E8E0, std::nullopt, 0});
        for (int line = 0; line < 55; ++line) {
            const int baseline = 1900 + line * 240;
            std::wstring text;
            while (true) {
                seed = seed * 1103515245u + 12345u;
                const std::wstring word = kWords[(seed >> 16) % 12];
                if (metrics.TextWidth(body, text + L" " + word) > 7200) break;
                text += (text.empty() ? L"" : L" ") + word;
            }
            page.ops.push_back(TextRun{1440, baseline, body, 0, text});
            const std::wstring amount = std::to_wstring((seed >> 8) % 100000) + L".00";
            page.ops.push_back(
                TextRun{static_cast<int>(10800 - metrics.TextWidth(figures, amount)), baseline, figures, 0, amount});
        }
        const auto before = std::chrono::steady_clock::now();
        writer.AddPage(std::move(page));
        writing += std::chrono::steady_clock::now() - before;
    }
    const auto before = std::chrono::steady_clock::now();
    writer.Finish();
    sink.Close();
    writing += std::chrono::steady_clock::now() - before;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double writer_seconds = std::chrono::duration<double>(writing).count();
    std::printf(
        "pages=%d\nseconds=%.3f\npages_per_second=%.0f\nwriter_seconds=%.3f\nwriter_pages_per_second=%.0f\n"
        "bytes=%llu\npeak_rss_kb=%ld\n",
        pages, seconds, pages / seconds, writer_seconds, pages / writer_seconds,
        static_cast<unsigned long long>(sink.Tell()), usage.ru_maxrss);
    return 0;
}
