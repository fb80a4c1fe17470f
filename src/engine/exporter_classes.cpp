// Exporter classes: identities, extra members, and creation by method-table entry.
#include "engine/exporter_classes.h"

namespace tarn {

void* ExportMethodObject::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_ExportMEthod))
        return static_cast<_ExportMEthod*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

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

ExportPDFObject::ExportPDFObject() { DiscardOptions(kOptImageFormat | kOptImageHeight | kOptImageWidth); }

namespace {
template <class T>
ComPtr<_ExportMEthod> Make() {
    ComPtr<_ExportMEthod> exporter;
    ThrowIfFailed(T::CreateInstance(__uuidof(_ExportMEthod), reinterpret_cast<void**>(exporter.GetAddressOf())),
                  L"Creating an exporter");
    return exporter;
}
}  // namespace

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
