// Painting one preview page of 1,000 table cells at 100 %: a 50-row, 20-column table
// composed as the preview composes it (fonts measured by GDI), then the page area's paint
// routine drawing the first page into a bitmap compatible with the screen and copying it
// to the screen, as the window's WM_PAINT does. Run by bench/run_preview_bench.py; see
// docs/benchmarks.md.
//
//     preview_paint_bench <runs>
//
// Prints key=value lines: the cells and drawing operations on the page, and the best and
// median paint times in milliseconds.
#include "com/handles.h"
#include "print/gdi_font_provider.h"
#include "print/preview_page_view.h"
#include "print/print_document.h"
#include "print/table_layout.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace tarn;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    constexpr int kRows = 50, kCols = 20;

    pages::TableData table;
    table.columnWidths.assign(kCols, 500);
    table.rowHeights.assign(kRows, 220);
    table.fixedRows = 1;
    table.fixedCols = 1;
    table.cells.resize(kRows);
    for (int row = 0; row < kRows; ++row)
        for (int col = 0; col < kCols; ++col) {
            pages::TableCell cell;
            cell.text = row == 0 ? L"Col " + std::to_wstring(col) : std::to_wstring(row * 37 + col * 11);
            cell.font.name = L"Arial";
            cell.font.size = 7;
            cell.font.bold = row == 0;
            if (col > 0) cell.alignment.horizontal = pages::HorizontalAlignment::Right;
            table.cells[row].push_back(cell);
        }

    pages::GdiFontProvider fonts;
    pages::TrueTypeFontMetrics metrics(fonts);
    PageList list;
    ExportOptions options;
    options.title = L"Paint benchmark";
    pages::PageComposer composer(SetupOf(options, {}), DecorationOf(options), metrics, list);
    pages::ComposeTable(composer, table, {}, {});
    composer.Finish();
    const pages::Page& page = list.pages.front();
    int texts = 0;
    for (const pages::DrawOp& op : page.ops) texts += std::holds_alternative<pages::TextRun>(op) ? 1 : 0;

    PreviewPageView view;
    view.Show(&list.pages, 0, PreviewLayout::Zoom, 100);
    const unique_window_dc screen(nullptr);
    const int width = 900, height = 1150;
    const unique_hdc memory(CreateCompatibleDC(screen.get()));
    const unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    std::vector<double> times;
    {
        const unique_select_object selected(memory.get(), bitmap.get());
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            view.Paint(memory.get(), width, height);
            BitBlt(screen.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
            GdiFlush();
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }

    std::sort(times.begin(), times.end());
    std::printf("pages=%zu\ntext_runs_on_page=%d\nops_on_page=%zu\nruns=%d\nbest_ms=%.2f\nmedian_ms=%.2f\n",
                list.pages.size(), texts, page.ops.size(), runs, times.front(), times[times.size() / 2]);
    return 0;
}
