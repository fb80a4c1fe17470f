// Preview operations: the content kept for recomposition, handed to a new preview window.
#include "print/print_preview.h"

#include "com/errors.h"
#include "com/module.h"
#include "common/file_names.h"
#include "imaging/image_sources.h"
#include "print/print_document.h"
#include "print/print_preview_form.h"
#include "ui/message_box.h"

namespace tarn {

namespace {

bool Preview(const ExportOptions& o, PrintContent content) {
    try {
        PrintPreviewForm::Show(o, std::move(content));
    } catch (const ComError& e) {
        ShowErrorMessage(e.description());
    }
    return true;
}

}  // namespace

bool PreviewTable(const ExportOptions& o, IDispatch* table) {
    return Preview(o, {.kind = PrintContentKind::Table, .table = table});
}

bool PreviewRtf(const ExportOptions& o, const std::wstring& rtf) {
    return Preview(o, {.kind = PrintContentKind::Rtf, .text = rtf});
}

bool PreviewText(const ExportOptions& o, const std::wstring& text) {
    return Preview(o, {.kind = PrintContentKind::Text, .text = text});
}

bool PreviewImageFile(const ExportOptions& o, const std::wstring& path) {
    return Preview(o, {.kind = PrintContentKind::ImageFile, .text = path, .headerMargin = kImageHeaderMargin});
}

bool PreviewPicture(const ExportOptions& o, IPictureDisp* picture) {
    return Preview(o, {.kind = PrintContentKind::Picture, .picture = picture});
}

bool PreviewChart(const ExportOptions& o, IDispatch* chart) {
    const std::wstring path = WriteChartMetafile(chart, o);
    return Preview(o, {.kind = PrintContentKind::ImageFile, .text = path, .headerMargin = kChartHeaderMargin});
}

std::wstring WriteChartMetafile(IDispatch* chart, const ExportOptions& o) {
    const std::wstring path = FolderOf(ModulePath()) + L"TempChart.emf";
    ExportOptions size = o;
    size.imageWidth = 640;
    size.imageHeight = 480;
    ChartCopy copy(chart, size);
    TryStep([&] { copy.CopyMetafile(path); });
    copy.RestoreDeskColor();
    return path;
}

}  // namespace tarn
