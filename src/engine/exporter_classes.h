// The creatable exporter classes. Each serves _ExportMEthod and its own (mostly empty)
// default interface and overrides the operations of ExporterBase it serves, handing them
// to the export functions of the format folders (exporter_classes.cpp).
#pragma once

#include "engine/exporter.h"
#include "engine/method_table.h"

#include <functional>

namespace tarn {

template <class Derived, class DefaultItf>
class ExporterClass : public ComObject<Derived, ExporterBase, DualDispatch<DefaultItf>, ErrorInfoSupport> {
public:
    void* FindInterface(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(DefaultItf))
            return static_cast<DefaultItf*>(static_cast<DualDispatch<DefaultItf>*>(this));
        if (iid == __uuidof(_ExportMEthod)) return static_cast<_ExportMEthod*>(static_cast<ExporterBase*>(this));
        if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
        return nullptr;
    }
};

// The contract as a class: keeps every option and exports nothing.
class ExportMethodObject final : public ComObject<ExportMethodObject, ExporterBase, ErrorInfoSupport> {
public:
    void* FindInterface(REFIID iid) noexcept;
};

// Comma-separated tables (tables/delimited_export.h).
class ExportCSVObject final : public ExporterClass<ExportCSVObject, _ExportCSV> {
protected:
    bool DoExportTable(IDispatch* table) override;
};

// Tab-separated tables (tables/delimited_export.h); RTF and text documents
// (mail/document_export.h).
class ExportTXTObject final : public ExporterClass<ExportTXTObject, _ExportTXT> {
protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportRTF(const std::wstring& rtf) override;
    bool DoExportText(const std::wstring& text) override;
};
// HTML pages: tables (html/html_table_export.h); charts, pictures, metafiles, image files,
// RTF and text (html/html_object_export.h).
class ExportHTMLObject final : public ExporterClass<ExportHTMLObject, _ExportHTML> {
protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportChart(IDispatch* chart) override;
    bool DoExportPicture(IPictureDisp* picture) override;
    bool DoExportEMFFile(const std::wstring& path) override;
    bool DoExportImageFile(const std::wstring& path) override;
    bool DoExportRTF(const std::wstring& rtf) override;
    bool DoExportText(const std::wstring& text) override;
};
// Single-file archives (html/mhtml_export.h): each operation has an ExportHTML write its
// page, which is then packed with its pictures.
class ExportMHTMLObject final : public ExporterClass<ExportMHTMLObject, _ExportMHTML> {
protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportChart(IDispatch* chart) override;
    bool DoExportPicture(IPictureDisp* picture) override;
    bool DoExportEMFFile(const std::wstring& path) override;
    bool DoExportImageFile(const std::wstring& path) override;
    bool DoExportRTF(const std::wstring& rtf) override;
    bool DoExportText(const std::wstring& text) override;

private:
    using PageOperation = std::function<HRESULT(_ExportMEthod* html, VARIANT_BOOL* result)>;
    bool Export(const PageOperation& operation);
};
// Image files (print/image_export.h).
class ExportImageObject final : public ExporterClass<ExportImageObject, _ExportImage> {
protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportChart(IDispatch* chart) override;
    bool DoExportPicture(IPictureDisp* picture) override;
    bool DoExportEMFFile(const std::wstring& path) override;
    bool DoExportImageFile(const std::wstring& path) override;
};

// Excel workbooks (tables/xls_export.h): tables only.
class ExportXLSObject final : public ExporterClass<ExportXLSObject, _ExportXLS> {
public:
    HRESULT STDMETHODCALLTYPE get_ShowInExcel(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_ShowInExcel(VARIANT_BOOL* value) override;

protected:
    bool DoExportTable(IDispatch* table) override;

private:
    bool showInExcel_ = false;
};

// The print preview window (print/print_preview.h) or the printer (print/printer_export.h).
class ExportPrinterObject final : public ExporterClass<ExportPrinterObject, _ExportPrinter> {
public:
    ExportPrinterObject();
    HRESULT STDMETHODCALLTYPE get_Preview(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Preview(VARIANT_BOOL* value) override;

protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportChart(IDispatch* chart) override;
    bool DoExportPicture(IPictureDisp* picture) override;
    bool DoExportEMFFile(const std::wstring& path) override;
    bool DoExportImageFile(const std::wstring& path) override;
    bool DoExportRTF(const std::wstring& rtf) override;
    bool DoExportText(const std::wstring& text) override;

private:
    bool preview_ = false;
};

// PDF files (print/pdf_export.h); a metafile is laid out as an image file.
class ExportPDFObject final : public ExporterClass<ExportPDFObject, _ExportPDF> {
public:
    ExportPDFObject();

protected:
    bool DoExportTable(IDispatch* table) override;
    bool DoExportChart(IDispatch* chart) override;
    bool DoExportPicture(IPictureDisp* picture) override;
    bool DoExportEMFFile(const std::wstring& path) override;
    bool DoExportImageFile(const std::wstring& path) override;
    bool DoExportRTF(const std::wstring& rtf) override;
    bool DoExportText(const std::wstring& text) override;
};

// Creates the exporter a method-table entry names, with the entry's creation setting made
// (ShowInExcel for workbooks, Preview for the printer).
ComPtr<_ExportMEthod> CreateExporter(const MethodEntry& entry);

}  // namespace tarn
