// Print operations: the options a document uses, the content it keeps (a table with its
// grid's row states as they were when handed over), composed and sent to the printer.
#include "print/printer_export.h"

#include "com/errors.h"
#include "print/gdi_print.h"
#include "print/print_document.h"
#include "print/print_preview.h"
#include "tables/grid_table.h"

#include <windows.h>

namespace tarn {

namespace {

// The options a document is composed and printed with, taken one by one in this order;
// the file and image options play no part.
ExportOptions DocumentOptionsOf(const ExportOptions& o) {
    ExportOptions document;
    document.programName = o.programName;
    document.programVersion = o.programVersion;
    document.columnList = o.columnList;
    document.orientation = static_cast<std::int16_t>(o.orientation);
    document.title = o.title;
    document.subTitle = o.subTitle;
    document.paragraph = o.paragraph;
    document.footer = o.footer;
    document.quiet = o.quiet;
    document.defaultPrinter = o.defaultPrinter;
    return document;
}

// The job's name in the printer's queue.
std::wstring DocumentNameOf(const ExportOptions& o) {
    if (!o.title.empty()) return o.title;
    if (!o.programName.empty()) return o.programName;
    return L"Document";
}

// Quiet opens the printer before composing, so a printer that does not exist costs nothing;
// the dialog comes after composing, as the preview's Print does.
bool Print(const ExportOptions& options, const PrintContent& content) {
    const ExportOptions o = DocumentOptionsOf(options);
    const pages::Orientation orientation =
        o.orientation == 1 ? pages::Orientation::Landscape : pages::Orientation::Portrait;
    TryStep([&] {
        if (o.quiet) {
            const unique_hdc printer = OpenPrinterDc(o.defaultPrinter, orientation);
            if (printer) static_cast<void>(PrintPages(printer.get(), ComposePages(o, content), DocumentNameOf(o)));
        } else {
            static_cast<void>(PrintWithDialog(GetActiveWindow(), ComposePages(o, content), DocumentNameOf(o),
                                              o.defaultPrinter, orientation));
        }
    });
    return true;
}

}  // namespace

bool PrintTable(const ExportOptions& o, IDispatch* table) {
    GridTable grid(table);
    return Print(o, {.kind = PrintContentKind::Table, .table = table, .recordedRows = RecordRowStates(grid)});
}

bool PrintRtf(const ExportOptions& o, const std::wstring& rtf) {
    return Print(o, {.kind = PrintContentKind::Rtf, .text = rtf});
}

bool PrintText(const ExportOptions& o, const std::wstring& text) {
    return Print(o, {.kind = PrintContentKind::Text, .text = text});
}

bool PrintImageFile(const ExportOptions& o, const std::wstring& path) {
    return Print(o, {.kind = PrintContentKind::ImageFile, .text = path, .headerMargin = kImageHeaderMargin});
}

bool PrintPicture(const ExportOptions& o, IPictureDisp* picture) {
    return Print(o, {.kind = PrintContentKind::Picture, .picture = picture});
}

bool PrintChart(const ExportOptions& o, IDispatch* chart) {
    const std::wstring path = WriteChartMetafile(chart, o);
    return Print(o, {.kind = PrintContentKind::ImageFile, .text = path, .headerMargin = kChartHeaderMargin});
}

}  // namespace tarn
