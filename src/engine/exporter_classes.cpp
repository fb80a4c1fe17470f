// Exporter classes: identities, extra members, the operations each serves (handed to the
// format folders' export functions), and creation by method-table entry.
#include "engine/exporter_classes.h"

#include "html/html_object_export.h"
#include "html/html_table_export.h"
#include "html/mhtml_export.h"
#include "mail/document_export.h"
#include "print/image_export.h"
#include "print/pdf_export.h"
#include "print/print_preview.h"
#include "print/printer_export.h"
#include "tables/delimited_export.h"
#include "tables/xls_export.h"

namespace tarn {

namespace {
template <class T>
ComPtr<_ExportMEthod> Make() {
    ComPtr<_ExportMEthod> exporter;
    ThrowIfFailed(T::CreateInstance(__uuidof(_ExportMEthod), reinterpret_cast<void**>(exporter.GetAddressOf())),
                  L"Creating an exporter");
    return exporter;
}
}  // namespace

void* ExportMethodObject::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_ExportMEthod))
        return static_cast<_ExportMEthod*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

bool ExportCSVObject::DoExportTable(IDispatch* table) {
    return ExportDelimitedTable(options(), table, kCommaSeparated);
}

bool ExportTXTObject::DoExportTable(IDispatch* table) { return ExportDelimitedTable(options(), table, kTabSeparated); }
bool ExportTXTObject::DoExportRTF(const std::wstring& rtf) { return ExportRtfDocument(options(), rtf); }
bool ExportTXTObject::DoExportText(const std::wstring& text) { return ExportTextDocument(options(), text); }

bool ExportHTMLObject::DoExportTable(IDispatch* table) { return ExportHtmlTable(options(), table); }
bool ExportHTMLObject::DoExportChart(IDispatch* chart) { return ExportHtmlChart(options(), chart); }
bool ExportHTMLObject::DoExportPicture(IPictureDisp* picture) { return ExportHtmlPicture(options(), picture); }
bool ExportHTMLObject::DoExportEMFFile(const std::wstring& path) { return ExportHtmlMetafile(options(), path); }
bool ExportHTMLObject::DoExportImageFile(const std::wstring& path) { return ExportHtmlImageFile(options(), path); }
bool ExportHTMLObject::DoExportRTF(const std::wstring& rtf) { return ExportHtmlRtf(options(), rtf); }
bool ExportHTMLObject::DoExportText(const std::wstring& text) { return ExportHtmlText(options(), text); }

bool ExportMHTMLObject::DoExportTable(IDispatch* table) {
    return Export([table](_ExportMEthod* html, VARIANT_BOOL* r) {
        IDispatch* argument = table;
        return html->ExportTable(&argument, r);
    });
}
bool ExportMHTMLObject::DoExportChart(IDispatch* chart) {
    return Export([chart](_ExportMEthod* html, VARIANT_BOOL* r) {
        IDispatch* argument = chart;
        return html->ExportChart(&argument, r);
    });
}
bool ExportMHTMLObject::DoExportPicture(IPictureDisp* picture) {
    return Export([picture](_ExportMEthod* html, VARIANT_BOOL* r) {
        IPictureDisp* argument = picture;
        return html->ExportPicture(&argument, r);
    });
}
bool ExportMHTMLObject::DoExportEMFFile(const std::wstring& path) {
    return Export(
        [&path](_ExportMEthod* html, VARIANT_BOOL* r) { return html->ExportEMFFile(unique_bstr(path).get(), r); });
}
bool ExportMHTMLObject::DoExportImageFile(const std::wstring& path) {
    return Export(
        [&path](_ExportMEthod* html, VARIANT_BOOL* r) { return html->ExportImageFile(unique_bstr(path).get(), r); });
}
bool ExportMHTMLObject::DoExportRTF(const std::wstring& rtf) {
    return Export([&rtf](_ExportMEthod* html, VARIANT_BOOL* r) { return html->ExportRTF(unique_bstr(rtf).get(), r); });
}
bool ExportMHTMLObject::DoExportText(const std::wstring& text) {
    return Export(
        [&text](_ExportMEthod* html, VARIANT_BOOL* r) { return html->ExportText(unique_bstr(text).get(), r); });
}

bool ExportImageObject::DoExportTable(IDispatch* table) { return ExportTableImage(options(), table); }
bool ExportImageObject::DoExportChart(IDispatch* chart) { return ExportChartImage(options(), chart); }
bool ExportImageObject::DoExportPicture(IPictureDisp* picture) { return ExportPictureImage(options(), picture); }
bool ExportImageObject::DoExportEMFFile(const std::wstring& path) { return ExportMetafileImage(options(), path); }
bool ExportImageObject::DoExportImageFile(const std::wstring& path) { return ConvertImageFile(options(), path); }

bool ExportXLSObject::DoExportTable(IDispatch* table) { return ExportXlsTable(options(), table, showInExcel_); }

HRESULT ExportXLSObject::get_ShowInExcel(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = ToVariantBool(showInExcel_);
    return S_OK;
}
HRESULT ExportXLSObject::put_ShowInExcel(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    showInExcel_ = *value != VARIANT_FALSE;
    return S_OK;
}

// The printer has no target file: it keeps none of the file options.
ExportPrinterObject::ExportPrinterObject() {
    DiscardOptions(kOptTargetFilename | kOptInitDir | kOptImageFormat | kOptImageHeight | kOptImageWidth |
                   kOptFileFormat | kOptSkipFilenameSelection);
}
HRESULT ExportPrinterObject::get_Preview(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = ToVariantBool(preview_);
    return S_OK;
}
HRESULT ExportPrinterObject::put_Preview(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    preview_ = *value != VARIANT_FALSE;
    return S_OK;
}
bool ExportPrinterObject::DoExportTable(IDispatch* table) {
    return preview_ ? PreviewTable(options(), table) : PrintTable(options(), table);
}
bool ExportPrinterObject::DoExportChart(IDispatch* chart) {
    return preview_ ? PreviewChart(options(), chart) : PrintChart(options(), chart);
}
bool ExportPrinterObject::DoExportPicture(IPictureDisp* picture) {
    return preview_ ? PreviewPicture(options(), picture) : PrintPicture(options(), picture);
}
bool ExportPrinterObject::DoExportEMFFile(const std::wstring& path) {
    return preview_ ? PreviewImageFile(options(), path) : PrintImageFile(options(), path);
}
bool ExportPrinterObject::DoExportImageFile(const std::wstring& path) {
    return preview_ ? PreviewImageFile(options(), path) : PrintImageFile(options(), path);
}
bool ExportPrinterObject::DoExportRTF(const std::wstring& rtf) {
    return preview_ ? PreviewRtf(options(), rtf) : PrintRtf(options(), rtf);
}
bool ExportPrinterObject::DoExportText(const std::wstring& text) {
    return preview_ ? PreviewText(options(), text) : PrintText(options(), text);
}

ExportPDFObject::ExportPDFObject() { DiscardOptions(kOptImageFormat | kOptImageHeight | kOptImageWidth); }
bool ExportPDFObject::DoExportTable(IDispatch* table) { return ExportPdfTable(options(), table); }
bool ExportPDFObject::DoExportChart(IDispatch* chart) { return ExportPdfChart(options(), chart); }
bool ExportPDFObject::DoExportPicture(IPictureDisp* picture) { return ExportPdfPicture(options(), picture); }
bool ExportPDFObject::DoExportEMFFile(const std::wstring& path) { return DoExportImageFile(path); }
bool ExportPDFObject::DoExportImageFile(const std::wstring& path) { return ExportPdfImageFile(options(), path); }
bool ExportPDFObject::DoExportRTF(const std::wstring& rtf) { return ExportPdfRtf(options(), rtf); }
bool ExportPDFObject::DoExportText(const std::wstring& text) { return ExportPdfText(options(), text); }

// The page is written by an ExportHTML of its own, its options set one by one through the
// exporter interface as a host would set them (DefaultPrinter is not among them). Its
// error, if it raises one, means no page.
bool ExportMHTMLObject::Export(const PageOperation& operation) {
    return ExportMhtml(options(), [&operation](const ExportOptions& o) {
        auto html = Make<ExportHTMLObject>();
        auto text = [](const std::wstring& value) { return unique_bstr(value); };
        html->put_ProgramName(text(o.programName).get());
        html->put_ProgramVersion(text(o.programVersion).get());
        html->put_Title(text(o.title).get());
        html->put_SubTitle(text(o.subTitle).get());
        html->put_Paragraph(text(o.paragraph).get());
        html->put_Footer(text(o.footer).get());
        html->put_Orientation(static_cast<PrintOrientation>(o.orientation));
        html->put_TargetFilename(text(o.targetFilename).get());
        html->put_ColumnList(text(o.columnList).get());
        html->put_ImageFormat(text(o.imageFormat).get());
        html->put_ImageHeight(o.imageHeight);
        html->put_ImageWidth(o.imageWidth);
        VARIANT_BOOL skip = ToVariantBool(o.skipFilenameSelection);
        html->put_SkipFilenameSelection(&skip);
        html->put_InitDir(text(o.initDir).get());
        unique_bstr format = text(o.fileFormat);
        BSTR formatArgument = format.get();
        html->put_FileFormat(&formatArgument);
        VARIANT_BOOL quiet = ToVariantBool(o.quiet);
        html->put_Quiet(&quiet);
        VARIANT_BOOL result = VARIANT_FALSE;
        return SUCCEEDED(operation(html.Get(), &result)) && result != VARIANT_FALSE;
    });
}

ComPtr<_ExportMEthod> CreateExporter(const MethodEntry& entry) {
    VARIANT_BOOL flag = ToVariantBool(entry.flag);
    switch (entry.kind) {
        case ExporterKind::Csv: return Make<ExportCSVObject>();
        case ExporterKind::Txt: return Make<ExportTXTObject>();
        case ExporterKind::Html: return Make<ExportHTMLObject>();
        case ExporterKind::Mhtml: return Make<ExportMHTMLObject>();
        case ExporterKind::Xls: {
            auto exporter = Make<ExportXLSObject>();
            ComPtr<_ExportXLS> xls;
            ThrowIfFailed(exporter.As(&xls), L"Querying the workbook exporter");
            ThrowIfFailed(xls->put_ShowInExcel(&flag), L"Setting ShowInExcel");
            return exporter;
        }
        case ExporterKind::Pdf: return Make<ExportPDFObject>();
        case ExporterKind::Printer: {
            auto exporter = Make<ExportPrinterObject>();
            ComPtr<_ExportPrinter> printer;
            ThrowIfFailed(exporter.As(&printer), L"Querying the printer exporter");
            ThrowIfFailed(printer->put_Preview(&flag), L"Setting Preview");
            return exporter;
        }
        case ExporterKind::Image: return Make<ExportImageObject>();
    }
    return {};
}

}  // namespace tarn
