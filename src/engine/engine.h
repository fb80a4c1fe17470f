// The public front class: holds the export options, turns each request's method name
// into a fresh exporter, copies the options onto it and calls it.
#pragma once

#include "com/com_object.h"
#include "common/export_options.h"

#include "TarnwickExports7.h"

namespace tarn {

class Engine final : public ComObject<Engine, DualDispatch<_Engine>, ErrorInfoSupport> {
public:
    void* FindInterface(REFIID iid) noexcept;

    HRESULT STDMETHODCALLTYPE ExportMethods(ObjectType* objectType, IDispatch** result) override;
    HRESULT STDMETHODCALLTYPE get_SendToMethods(IDispatch** result) override;
    HRESULT STDMETHODCALLTYPE ExportTable(IDispatch** table, BSTR method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportChart(IDispatch** chart, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportMap(IDispatch** map, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportPicture(IPictureDisp** picture, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportEMFFile(BSTR* emfFilename, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportImageFile(BSTR* filename, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportRTF(BSTR rtfText, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportText(BSTR text, BSTR* method, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SendTo(BSTR* filename, BSTR* method, VARIANT_BOOL* result) override;

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
    HRESULT STDMETHODCALLTYPE get_SelectMethod(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SelectMethod(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SkipFilenameSelection(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SkipFilenameSelection(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SkipFieldSelection(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_SkipFieldSelection(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_ColumnList(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ColumnList(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FileFormat(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_FileFormat(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Quiet(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Quiet(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_DefaultPrinter(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_DefaultPrinter(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_DLL(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override;

private:
    enum class FileFormatRule { SetIfEmpty, AlwaysSet };

    // The common road of the seven non-table operations; `call` invokes the exporter's
    // matching operation. An exporter's failure is thrown on to the caller.
    template <class Call>
    bool Dispatch(const std::wstring& method, FileFormatRule rule, Call&& call);
    bool RunTableExport(IDispatch* grid, const std::wstring& method);
    ComPtr<_ExportMEthod> ExporterFor(const std::wstring& method);
    void CopyOptionsTo(_ExportMEthod* exporter);

    ExportOptions options_;
    bool selectMethod_ = false;
    bool skipFieldSelection_ = false;
};

}  // namespace tarn
