// The workbook writer on its own: `rows` rows of 10 cells (a distinct text, a text from 20
// repeating ones, four whole numbers, four fractions) in sheets of `rows per sheet` rows,
// saved to a file. Native, optimised, without sanitizers; see docs/benchmarks.md.
//
//     xls_writer_bench <rows> <output file> [rows per sheet, default 62500]
//
// Prints key=value lines: rows, sheets, seconds (filling and saving), rows per second, the
// file's size, and the process's peak resident memory before and after.
#include "tables/xls_workbook.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

class FileSink final : public tarn::ByteSink {
public:
    explicit FileSink(const char* path) : file_(path, std::ios::binary) {
        if (!file_) throw std::runtime_error(std::string("cannot create ") + path);
    }

protected:
    void Put(std::string_view bytes) override { file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); }
    void Finish() override {
        file_.close();
        if (!file_) throw std::runtime_error("cannot write the workbook");
    }

private:
    std::ofstream file_;
};

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xls_writer_bench <rows> <output file> [rows per sheet]\n");
        return 2;
    }
    const unsigned long rows = std::strtoul(argv[1], nullptr, 10);
    const unsigned long perSheet = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 62500;
    const double before = PeakMegabytes();
    const auto start = std::chrono::steady_clock::now();

    tarn::xls::Workbook book;
    tarn::xls::CellStyle text, number, fraction;
    text.fontName = L"Tahoma";
    number.horizontal = tarn::xls::HorizontalAlignment::Right;
    fraction.numberFormat = L"#,##0.00";
    fraction.filled = true;
    fraction.fill = 0xE0F0FF;
    unsigned long sheets = 0;
    for (unsigned long n = 0; n < rows; ++n) {
        const auto row = static_cast<unsigned>(n % perSheet);
        if (row == 0) book.AddSheet(L"Rows " + std::to_wstring(n + 1));
        sheets += row == 0;
        book.WriteText(row, 0, L"Item " + std::to_wstring(n), text);
        book.WriteText(row, 1, L"Category " + std::to_wstring(n % 20), text);
        for (unsigned c = 2; c < 6; ++c) book.WriteNumber(row, c, static_cast<double>(n * c), number);
        for (unsigned c = 6; c < 10; ++c) book.WriteNumber(row, c, static_cast<double>(n) / (c + 1), fraction);
    }
    const auto filled = std::chrono::steady_clock::now();
    FileSink sink(argv[2]);
    book.Save(sink);
    sink.Close();
    const auto saved = std::chrono::steady_clock::now();

    const double fill = std::chrono::duration<double>(filled - start).count();
    const double save = std::chrono::duration<double>(saved - filled).count();
    std::printf("rows=%lu\nsheets=%lu\nfill_s=%.3f\nsave_s=%.3f\nrows_per_s=%.0f\nbytes=%llu\n", rows, sheets, fill,
                save, static_cast<double>(rows) / (fill + save), static_cast<unsigned long long>(sink.Tell()));
    std::printf("peak_rss_mb_before=%.1f\npeak_rss_mb=%.1f\n", before, PeakMegabytes());
}
