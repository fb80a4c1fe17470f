// Comma- and tab-separated, HTML, MHTML, workbook and PDF table export of a large host grid, against the
// cost of only reading the grid. The test host's grid is filled with `rows` x 10 cells (texts
// with commas, quotes and spaces, numbers, a check-box column), exported quietly to a file by
// the component's ExportCSV, ExportTXT, ExportHTML, ExportMHTML or ExportXLS class, and read
// again by a loop that makes
// exactly the export's host calls through the same late-bound facade and writes nothing:
// the floor no exporter can beat. Run by bench/run_delimited_bench.py (and, for XLS,
// bench/run_xls_bench.py, for PDF bench/run_pdf_table_bench.py); see docs/benchmarks.md.
//
//     delimited_bench.exe <rows> <CSV|TXT|HTML|MHTML|XLS|PDF> <output folder> [runs]
//
// Prints key=value lines: setup and export times, rows per second, host calls per
// exported cell, the floor and the export's ratio to it, and memory: the process's peak
// working set and page-file usage, and how far the export raised each above the level the
// filled grid had already reached.
#include "com/handles.h"
#include "com/late_bound.h"
#include "tables/grid_table.h"

#include "TarnwickExports7.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using tarn::CellSetting;
using tarn::ComPtr;
using tarn::GridTable;
using tarn::LateBound;
using tarn::LongArg;
using tarn::unique_bstr;
using Clock = std::chrono::steady_clock;

constexpr long kCols = 10;

[[noreturn]] void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "%s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) Fail(what, hr);
}

std::wstring Widen(const char* text) {
    std::wstring wide(std::strlen(text), L'\0');
    std::mbstowcs(wide.data(), text, wide.size());
    return wide;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Memory {
    SIZE_T workingSet, peakWorkingSet, pagefile, peakPagefile;
};

Memory ProcessMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PagefileUsage, counters.PeakPagefileUsage};
}

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The component DLL beside this program, its classes made through its class factory (no
// registry involved, so the DLL measured is the one just built).
ComPtr<_ExportMEthod> NewExporter(REFCLSID clsid) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe);
    path.resize(path.find_last_of(L'\\') + 1);
    path += L"TarnwickExports7.dll";
    static HMODULE module = LoadLibraryW(path.c_str());
    if (!module) Fail("Loading TarnwickExports7.dll", HRESULT_FROM_WIN32(GetLastError()));
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    Check(getClassObject(clsid, IID_PPV_ARGS(&factory)), "DllGetClassObject");
    ComPtr<_ExportMEthod> exporter;
    Check(factory->CreateInstance(nullptr, IID_PPV_ARGS(&exporter)), "Creating the exporter");
    return exporter;
}

VARIANT Text(const std::wstring& text, unique_bstr& keep) {
    keep = unique_bstr(text);
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = keep.get();
    return v;
}

// Fill's cells (R<r>C<c>, column 1 the number r x 1.25), then texts that need quoting or
// lose their quotes, a check-box column, whole numbers and empty cells. The same content
// is generated again by run_delimited_bench.py for Python's csv module.
void FillGrid(LateBound& grid, long rows) {
    grid.Call(L"Fill", {LongArg(rows), LongArg(kCols)});
    unique_bstr keep;
    for (long r = 1; r < rows; ++r) {
        const std::wstring n = std::to_wstring(r);
        grid.Put(L"Cell", Text(L"Lane " + n + L", Harbour", keep), {LongArg(0), LongArg(r), LongArg(2)});
        grid.Put(L"Cell", Text(L"The \"" + n + L"\" lot", keep), {LongArg(0), LongArg(r), LongArg(3)});
        grid.Put(L"Cell", LongArg(r % 3 == 0 ? 1 : 2), {LongArg(5), LongArg(r), LongArg(4)});
        grid.Put(L"Cell", Text(std::to_wstring(r * 7L), keep), {LongArg(0), LongArg(r), LongArg(5)});
        grid.Put(L"Cell", Text(r % 2 ? L"" : L"ok", keep), {LongArg(0), LongArg(r), LongArg(7)});
    }
}

long TotalCalls(LateBound& grid) { return tarn::VariantToLong(grid.Get(L"TotalCalls")); }

// The export's reads and writes of the grid, in its order, with nothing written anywhere:
// Redraw off, the size, per row its height and hidden state, per cell the check box, then
// the picture and the text, the data value only for a picture without text; Redraw on.
// Returns the characters read, so nothing can be left out.
size_t ReadLikeTheExport(IDispatch* table) {
    GridTable grid(table);
    grid.SetRedraw(false);
    const long rows = grid.Rows();
    const long cols = grid.Cols();
    size_t characters = 0;
    for (long r = 0; r < rows; ++r) {
        if (grid.RowHeight(r) <= 0 || grid.RowHidden(r)) continue;
        for (long c = 0; c < cols; ++c) {
            if (grid.CellLong(CellSetting::Checkbox, r, c) != 0) continue;
            const bool picture = grid.CellPicture(r, c) != nullptr;
            std::wstring text = grid.CellText(r, c);
            if (picture && text.empty()) text = tarn::VariantToText(grid.Cell(CellSetting::Data, r, c));
            characters += text.size();
        }
    }
    grid.SetRedraw(true);
    return characters;
}

// The HTML export's reads of the grid, as many of each as it makes, with nothing written:
// the columns' widths, the table's colours and font, the fixed cells' colours, grid lines,
// outline and fixed sizes, the columns' hidden states; per row its hidden state and height;
// per cell its merged block, picture, shown text, back colour, font, fore colour, size,
// bold, italic, underline and alignment; per column its data type and, for a cell of
// general alignment, its alignment, once each. Returns the characters of the shown texts.
size_t ReadLikeTheHtmlExport(IDispatch* table) {
    GridTable grid(table);
    const long cols = grid.Cols();
    std::vector<long> widths(cols);
    for (long c = 0; c < cols; ++c) widths[c] = grid.ColWidth(c);
    (void)grid.Width();
    for (int i = 0; i < 2; ++i) (void)grid.FontName();
    for (long color : {grid.BackColor(), grid.GridColor(), grid.BackColorFixed(), grid.ForeColorFixed(),
                       grid.GridColorFixed(), grid.GridLines()})
        (void)color;
    const long outlineCol = grid.OutlineBar() > 0 ? grid.OutlineCol() : -1;
    (void)grid.FixedRows();
    (void)grid.FixedCols();
    std::vector<long> columns;
    for (long c = 0; c < cols; ++c)
        if (!grid.ColHidden(c) && widths[c] > 0) columns.push_back(c);
    const long rows = grid.Rows();
    std::vector<bool> typed(cols), aligned(cols);
    size_t characters = 0;
    for (long r = 0; r < rows; ++r) {
        if (grid.RowHidden(r) || grid.RowHeight(r) <= 0) continue;
        for (long c : columns) {
            const tarn::CellRange block = grid.MergedRange(r, c);
            if (block.col1 < c || block.row1 < r) continue;
            (void)grid.CellPicture(r, c);
            characters += tarn::VariantToText(grid.Cell(CellSetting::DisplayText, r, c)).size();
            if (!typed[c]) {
                (void)grid.ColDataType(c);
                typed[c] = true;
            }
            if (c == outlineCol) (void)grid.IsSubtotal(r);
            for (CellSetting setting :
                 {CellSetting::BackColor, CellSetting::FontName, CellSetting::ForeColor, CellSetting::FontSize,
                  CellSetting::FontBold, CellSetting::FontItalic, CellSetting::FontUnderline})
                (void)grid.Cell(setting, r, c);
            const long code = grid.CellLong(CellSetting::Alignment, r, c);
            if (code == static_cast<long>(tarn::GridAlignment::General) && !aligned[c]) {
                (void)grid.ColAlignment(c);
                aligned[c] = true;
            }
        }
    }
    return characters;
}

// The workbook export's reads of the grid, as many of each as it makes, with nothing
// written: the size and fixed parts, per column its width, alignment and data type; per row
// its height and hidden state; per cell its font, colours, check box, picture and text
// (bold only below the header row, which is bold anyway); Redraw on at the end.
size_t ReadLikeTheXlsExport(IDispatch* table) {
    GridTable grid(table);
    const long cols = grid.Cols();
    const long rows = grid.Rows();
    (void)grid.FixedRows();
    (void)grid.FixedCols();
    (void)grid.BackColorFixed();
    for (long c = 0; c < cols; ++c) {
        (void)grid.ColWidth(c);
        (void)grid.ColAlignment(c);
        (void)grid.ColDataType(c);
    }
    size_t characters = 0;
    for (long r = 0; r < rows; ++r) {
        if (grid.RowHeight(r) <= 0 || grid.RowHidden(r)) continue;
        for (long c = 0; c < cols; ++c) {
            (void)grid.Cell(CellSetting::FontName, r, c);
            (void)grid.Cell(CellSetting::FontSize, r, c);
            if (r != 0) (void)grid.Cell(CellSetting::FontBold, r, c);
            for (CellSetting setting :
                 {CellSetting::FontUnderline, CellSetting::FontItalic, CellSetting::ForeColor, CellSetting::BackColor})
                (void)grid.Cell(setting, r, c);
            if (grid.CellLong(CellSetting::Checkbox, r, c) != 0) continue;
            (void)grid.CellPicture(r, c);
            characters += grid.CellText(r, c).size();
        }
    }
    grid.SetRedraw(true);
    return characters;
}

// The PDF export's reads of the grid, each once, with nothing written: the size, fixed parts,
// colours and font; per column its hidden state, width and alignment; per row its hidden
// state and height; per cell its merged block, shown text, font, colours, alignment, check
// box and picture. The export reads the fixed row again on every page, so it makes a few
// more calls than this.
size_t ReadLikeThePdfExport(IDispatch* table) {
    GridTable grid(table);
    grid.SetRedraw(false);
    const long rows = grid.Rows(), cols = grid.Cols();
    (void)grid.FixedRows();
    (void)grid.FixedCols();
    for (long c = 0; c < cols; ++c) {
        if (!grid.ColHidden(c)) (void)grid.ColWidth(c);
        (void)grid.ColAlignment(c);
    }
    for (long r = 0; r < rows; ++r)
        if (!grid.RowHidden(r)) (void)grid.RowHeight(r);
    for (long color : {grid.BackColor(), grid.BackColorFixed(), grid.ForeColorFixed(), grid.GridColor(),
                       grid.GridColorFixed(), grid.GridLines()})
        (void)color;
    (void)grid.FontName();
    size_t characters = 0;
    for (long r = 0; r < rows; ++r) {
        for (long c = 0; c < cols; ++c) {
            (void)grid.MergedRange(r, c);
            characters += tarn::VariantToText(grid.Cell(CellSetting::DisplayText, r, c)).size();
            for (CellSetting setting : {CellSetting::FontName, CellSetting::FontSize, CellSetting::FontBold,
                                        CellSetting::FontItalic, CellSetting::FontUnderline, CellSetting::ForeColor,
                                        CellSetting::BackColor, CellSetting::Alignment, CellSetting::Checkbox})
                (void)grid.Cell(setting, r, c);
            (void)grid.CellPicture(r, c);
        }
    }
    grid.SetRedraw(true);
    return characters;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: delimited_bench <rows> <CSV|TXT|HTML|MHTML|XLS|PDF> <output folder> [runs]\n");
        return 3;
    }
    const long rows = std::atol(argv[1]);
    const std::string method = argv[2];
    const bool csv = method == "CSV", mhtml = method == "MHTML", html = method == "HTML" || mhtml,
               xls = method == "XLS", pdf = method == "PDF";
    if (rows < 1 || (!csv && !html && !xls && !pdf && method != "TXT")) {
        std::fprintf(stderr, "rows must be positive and the method CSV, TXT, HTML, MHTML, XLS or PDF\n");
        return 3;
    }
    const std::wstring target = Widen(argv[3]) + (csv     ? L"\\bench.csv"
                                                  : mhtml ? L"\\bench.mhtml"
                                                  : html  ? L"\\bench.htm"
                                                  : xls   ? L"\\bench.xls"
                                                  : pdf   ? L"\\bench.pdf"
                                                          : L"\\bench.txt");
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;

    Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
    {
        CLSID gridClass;
        Check(CLSIDFromProgID(L"ExportTestHost.Grid", &gridClass), "Finding ExportTestHost.Grid");
        ComPtr<IDispatch> table;
        Check(CoCreateInstance(gridClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table)), "Creating the grid");
        LateBound grid(table.Get());

        const Clock::time_point setupStart = Clock::now();
        FillGrid(grid, rows);
        std::printf("rows=%ld\ncols=%ld\nmethod=%s\nsetup_s=%.3f\n", rows, kCols, method.c_str(),
                    Seconds(Clock::now() - setupStart));

        ComPtr<_ExportMEthod> exporter = NewExporter(csv     ? __uuidof(::ExportCSV)
                                                     : mhtml ? __uuidof(::ExportMHTML)
                                                     : html  ? __uuidof(::ExportHTML)
                                                     : xls   ? __uuidof(::ExportXLS)
                                                     : pdf   ? __uuidof(::ExportPDF)
                                                             : __uuidof(::ExportTXT));
        std::wstring columns = L",";
        for (long c = 0; c < kCols; ++c) columns += std::to_wstring(c) + L",";
        Check(exporter->put_ColumnList(unique_bstr(columns).get()), "ColumnList");
        Check(exporter->put_TargetFilename(unique_bstr(target).get()), "TargetFilename");
        VARIANT_BOOL yes = VARIANT_TRUE;
        Check(exporter->put_Quiet(&yes), "Quiet");
        Check(exporter->put_SkipFilenameSelection(&yes), "SkipFilenameSelection");

        // The first export sets the memory figures: its peak above what the filled grid
        // had already reached is the export's own.
        const Memory before = ProcessMemory();
        double best = 1e300, bestFloor = 1e300;
        long exportCalls = 0, floorCalls = 0;
        size_t characters = 0;
        Memory after{};
        for (int run = 0; run < runs; ++run) {
            grid.Call(L"ResetCounters");
            IDispatch* argument = table.Get();
            VARIANT_BOOL result = VARIANT_FALSE;
            const Clock::time_point start = Clock::now();
            Check(exporter->ExportTable(&argument, &result), "ExportTable");
            best = std::min(best, Seconds(Clock::now() - start));
            if (result != VARIANT_TRUE) Fail("ExportTable returned False", E_FAIL);
            exportCalls = TotalCalls(grid);
            if (run == 0) after = ProcessMemory();

            grid.Call(L"ResetCounters");
            const Clock::time_point floorStart = Clock::now();
            characters = html  ? ReadLikeTheHtmlExport(table.Get())
                         : xls ? ReadLikeTheXlsExport(table.Get())
                         : pdf ? ReadLikeThePdfExport(table.Get())
                               : ReadLikeTheExport(table.Get());
            bestFloor = std::min(bestFloor, Seconds(Clock::now() - floorStart));
            floorCalls = TotalCalls(grid);
        }

        const double cells = static_cast<double>(rows) * kCols;
        std::printf("export_s=%.3f\nexport_rows_per_s=%.0f\n", best, rows / best);
        std::printf("host_calls=%ld\nhost_calls_per_cell=%.3f\n", exportCalls, exportCalls / cells);
        std::printf("floor_s=%.3f\nfloor_rows_per_s=%.0f\nfloor_host_calls=%ld\nfloor_characters=%zu\n", bestFloor,
                    rows / bestFloor, floorCalls, characters);
        std::printf("ratio_to_floor=%.3f\n", bestFloor / best);
        std::printf("peak_working_set_mb=%.1f\npeak_pagefile_mb=%.1f\n", Megabytes(after.peakWorkingSet),
                    Megabytes(after.peakPagefile));
        std::printf("grid_working_set_mb=%.1f\ngrid_pagefile_mb=%.1f\n", Megabytes(before.workingSet),
                    Megabytes(before.pagefile));
        std::printf("grid_peak_working_set_mb=%.1f\ngrid_peak_pagefile_mb=%.1f\n", Megabytes(before.peakWorkingSet),
                    Megabytes(before.peakPagefile));
        std::printf("export_working_set_kb=%zu\nexport_pagefile_kb=%zu\n",
                    (after.peakWorkingSet - before.peakWorkingSet) / 1024,
                    (after.peakPagefile - before.peakPagefile) / 1024);
        std::printf("file=%ls\n", target.c_str());
        if (exportCalls != floorCalls && !pdf) {
            std::fprintf(stderr, "the floor made %ld host calls, the export %ld\n", floorCalls, exportCalls);
            return 1;
        }
    }
    CoUninitialize();
    return 0;
}
