// The exporter contract: the option properties and the eight export operations every
// exporter class serves through _ExportMEthod. An exporter overrides the operations it
// implements; the others return False. Some exporters have no field for some options:
// their Let discards the value and their Get returns the type's empty value.
#pragma once

#include "com/com_object.h"
#include "common/export_options.h"

#include "TarnwickExports7.h"

namespace tarn {

// Options an exporter may lack (bit flags).
enum OptionMask : unsigned {
    kOptTargetFilename = 1u << 0,
    kOptInitDir = 1u << 1,
    kOptImageFormat = 1u << 2,
    kOptImageHeight = 1u << 3,
    kOptImageWidth = 1u << 4,
    kOptFileFormat = 1u << 5,
    kOptSkipFilenameSelection = 1u << 6,
};

class ExporterBase : public DualDispatch<_ExportMEthod> {
public:
    ExporterBase() = default;
    virtual ~ExporterBase() = default;

    // Export operations. Table, chart, picture and map arrive as the host passed them.
    HRESULT STDMETHODCALLTYPE ExportTable(IDispatch** table, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportChart(IDispatch** chart, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportPicture(IPictureDisp** picture, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportEMFFile(BSTR emfFilename, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportImageFile(BSTR filename, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportMap(IDispatch** map, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportRTF(BSTR rtfText, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportText(BSTR text, VARIANT_BOOL* result) override;

    HRESULT STDMETHODCALLTYPE get_ProgramName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ProgramName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_ProgramVersion(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ProgramVersion(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Title(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Title(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_SubTitle(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_SubTitle(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Paragraph(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Paragraph(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Footer(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Footer(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Orientation(PrintOrientation* value) override;
    HRESULT STDMETHODCALLTYPE put_Orientation(PrintOrientation value) override;
    HRESULT STDMETHODCALLTYPE get_ImageHeight(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_ImageHeight(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_ImageWidth(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_TargetFilename(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_TargetFilename(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_InitDir(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_InitDir(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_ImageFormat(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ImageFormat(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_ColumnList(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ColumnList(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_SkipFilenameSelection(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SkipFilenameSelection(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_FileFormat(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_FileFormat(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Quiet(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Quiet(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_DefaultPrinter(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_DefaultPrinter(BSTR* value) override;

protected:
    // What an exporter implements. Each returns whether its output was produced; an error
    // it throws reaches the caller as a COM error.
    virtual bool DoExportTable(IDispatch* /*table*/) { return false; }
    virtual bool DoExportChart(IDispatch* /*chart*/) { return false; }
    virtual bool DoExportPicture(IPictureDisp* /*picture*/) { return false; }
    virtual bool DoExportEMFFile(const std::wstring& /*path*/) { return false; }
    virtual bool DoExportImageFile(const std::wstring& /*path*/) { return false; }
    virtual bool DoExportRTF(const std::wstring& /*rtf*/) { return false; }
    virtual bool DoExportText(const std::wstring& /*text*/) { return false; }

    ExportOptions& options() noexcept { return options_; }
    // Declares the options this exporter has no field for (OptionMask bits).
    void DiscardOptions(unsigned mask) noexcept { discarded_ = mask; }

private:
    HRESULT GetText(const std::wstring& field, unsigned option, BSTR* out) noexcept;
    HRESULT PutText(std::wstring& field, unsigned option, BSTR value) noexcept;
    bool Keeps(unsigned option) const noexcept { return (discarded_ & option) == 0; }

    ExportOptions options_;
    unsigned discarded_ = 0;
};

// Runs an export operation body under the COM boundary and stores its Boolean result.
template <class Body>
HRESULT ExportResult(VARIANT_BOOL* result, Body&& body) noexcept {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return ComBoundary([&] { *result = body() ? VARIANT_TRUE : VARIANT_FALSE; });
}

}  // namespace tarn
