// The printer exporter's operations: the options a document uses, the content it keeps
// (a table with its grid's row states as they were when handed over), and the hand-over to
// the preview window or the printer.
#include "print/printer_export.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"
#include "common/file_names.h"
#include "imaging/image_sources.h"
#include "print/print_preview.h"
#include "print/printer_output.h"
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

bool Deliver(const ExportOptions& o, PrintContent content, bool preview) {
    const ExportOptions document = DocumentOptionsOf(o);
    if (preview)
        ShowPrintPreview(document, std::move(content));
    else
        static_cast<void>(PrintDocument(document, content, !document.quiet));
    return true;
}

PrintContent ImageFileContent(const std::wstring& path, const wchar_t* headerMargin) {
    PrintContent content;
    content.kind = PrintContentKind::ImageFile;
    content.text = path;
    content.headerMargin = headerMargin;
    return content;
}

// Where a chart's metafile goes: TempChart.emf in the component's folder, or in the
// temporary folder when that one takes no files. It stays after the export (a preview
// composes again from it) and the next chart overwrites it.
std::wstring ChartMetafilePath() {
    constexpr wchar_t kName[] = L"TempChart.emf";
    std::wstring path = FolderOf(ModulePath()) + kName;
    if (unique_hfile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)).get() !=
        INVALID_HANDLE_VALUE)
        return path;
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    ThrowLastErrorIf(n == 0 || n > MAX_PATH, L"GetTempPath");
    return folder + std::wstring(kName);
}

}  // namespace

bool PrintTable(const ExportOptions& o, IDispatch* table, bool preview) {
    PrintContent content;
    content.kind = PrintContentKind::Table;
    content.table = table;
    GridTable grid(table);
    content.recordedRows = RecordRowStates(grid);
    return Deliver(o, std::move(content), preview);
}

bool PrintRtf(const ExportOptions& o, const std::wstring& rtf, bool preview) {
    PrintContent content;
    content.kind = PrintContentKind::Rtf;
    content.text = rtf;
    return Deliver(o, std::move(content), preview);
}

bool PrintText(const ExportOptions& o, const std::wstring& text, bool preview) {
    PrintContent content;
    content.kind = PrintContentKind::Text;
    content.text = text;
    return Deliver(o, std::move(content), preview);
}

bool PrintImageFile(const ExportOptions& o, const std::wstring& path, bool preview) {
    return Deliver(o, ImageFileContent(path, kImageHeaderMargin), preview);
}

bool PrintPicture(const ExportOptions& o, IPictureDisp* picture, bool preview) {
    PrintContent content;
    content.kind = PrintContentKind::Picture;
    content.picture = picture;
    return Deliver(o, std::move(content), preview);
}

bool PrintChart(const ExportOptions& o, IDispatch* chart, bool preview) {
    const std::wstring path = ChartMetafilePath();
    ExportOptions size = o;
    size.imageWidth = 640;
    size.imageHeight = 480;
    {
        ChartCopy copy(chart, size);
        TryStep([&] { copy.CopyMetafile(path); });
        copy.RestoreDeskColor();
    }
    return Deliver(o, ImageFileContent(path, kChartHeaderMargin), preview);
}

}  // namespace tarn
