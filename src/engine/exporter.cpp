// The exporter contract's property storage and operation entry points.
#include "engine/exporter.h"

#include "com/handles.h"

namespace tarn {

namespace {
HRESULT GetBool(bool value, VARIANT_BOOL* out) noexcept {
    if (!out) return E_POINTER;
    *out = ToVariantBool(value);
    return S_OK;
}
HRESULT GetLong(std::int32_t value, LONG* out) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}
}  // namespace

HRESULT ExporterBase::GetText(const std::wstring& field, unsigned option, BSTR* out) noexcept {
    return CopyToBstr(Keeps(option) ? std::wstring_view(field) : std::wstring_view(), out);
}

HRESULT ExporterBase::PutText(std::wstring& field, unsigned option, BSTR value) noexcept {
    return ComBoundary([&] {
        if (Keeps(option)) field = FromBstr(value);
    });
}

HRESULT ExporterBase::ExportTable(IDispatch** table, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportTable(table ? *table : nullptr); });
}
HRESULT ExporterBase::ExportChart(IDispatch** chart, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportChart(chart ? *chart : nullptr); });
}
HRESULT ExporterBase::ExportPicture(IPictureDisp** picture, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportPicture(picture ? *picture : nullptr); });
}
HRESULT ExporterBase::ExportEMFFile(BSTR path, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportEMFFile(FromBstr(path)); });
}
HRESULT ExporterBase::ExportImageFile(BSTR path, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportImageFile(FromBstr(path)); });
}
// No exporter exports maps.
HRESULT ExporterBase::ExportMap(IDispatch**, VARIANT_BOOL* result) {
    return ExportResult(result, [] { return false; });
}
HRESULT ExporterBase::ExportRTF(BSTR rtf, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportRTF(FromBstr(rtf)); });
}
HRESULT ExporterBase::ExportText(BSTR text, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return DoExportText(FromBstr(text)); });
}

HRESULT ExporterBase::get_ProgramName(BSTR* v) { return GetText(options_.programName, 0, v); }
HRESULT ExporterBase::put_ProgramName(BSTR v) { return PutText(options_.programName, 0, v); }
HRESULT ExporterBase::get_ProgramVersion(BSTR* v) { return GetText(options_.programVersion, 0, v); }
HRESULT ExporterBase::put_ProgramVersion(BSTR v) { return PutText(options_.programVersion, 0, v); }
HRESULT ExporterBase::get_Title(BSTR* v) { return GetText(options_.title, 0, v); }
HRESULT ExporterBase::put_Title(BSTR v) { return PutText(options_.title, 0, v); }
HRESULT ExporterBase::get_SubTitle(BSTR* v) { return GetText(options_.subTitle, 0, v); }
HRESULT ExporterBase::put_SubTitle(BSTR v) { return PutText(options_.subTitle, 0, v); }
HRESULT ExporterBase::get_Paragraph(BSTR* v) { return GetText(options_.paragraph, 0, v); }
HRESULT ExporterBase::put_Paragraph(BSTR v) { return PutText(options_.paragraph, 0, v); }
HRESULT ExporterBase::get_Footer(BSTR* v) { return GetText(options_.footer, 0, v); }
HRESULT ExporterBase::put_Footer(BSTR v) { return PutText(options_.footer, 0, v); }

HRESULT ExporterBase::get_Orientation(PrintOrientation* v) {
    if (!v) return E_POINTER;
    *v = static_cast<PrintOrientation>(options_.orientation);
    return S_OK;
}
HRESULT ExporterBase::put_Orientation(PrintOrientation v) {
    options_.orientation = v;
    return S_OK;
}
HRESULT ExporterBase::get_ImageHeight(LONG* v) { return GetLong(Keeps(kOptImageHeight) ? options_.imageHeight : 0, v); }
HRESULT ExporterBase::put_ImageHeight(LONG v) {
    if (Keeps(kOptImageHeight)) options_.imageHeight = v;
    return S_OK;
}
HRESULT ExporterBase::get_ImageWidth(LONG* v) { return GetLong(Keeps(kOptImageWidth) ? options_.imageWidth : 0, v); }
HRESULT ExporterBase::put_ImageWidth(LONG v) {
    if (Keeps(kOptImageWidth)) options_.imageWidth = v;
    return S_OK;
}
HRESULT ExporterBase::get_TargetFilename(BSTR* v) { return GetText(options_.targetFilename, kOptTargetFilename, v); }
HRESULT ExporterBase::put_TargetFilename(BSTR v) { return PutText(options_.targetFilename, kOptTargetFilename, v); }
HRESULT ExporterBase::get_InitDir(BSTR* v) { return GetText(options_.initDir, kOptInitDir, v); }
HRESULT ExporterBase::put_InitDir(BSTR v) { return PutText(options_.initDir, kOptInitDir, v); }
HRESULT ExporterBase::get_ImageFormat(BSTR* v) { return GetText(options_.imageFormat, kOptImageFormat, v); }
HRESULT ExporterBase::put_ImageFormat(BSTR v) { return PutText(options_.imageFormat, kOptImageFormat, v); }
// Stored unchanged: the engine hands over the already enclosed form.
HRESULT ExporterBase::get_ColumnList(BSTR* v) { return GetText(options_.columnList, 0, v); }
HRESULT ExporterBase::put_ColumnList(BSTR v) { return PutText(options_.columnList, 0, v); }
HRESULT ExporterBase::get_SkipFilenameSelection(VARIANT_BOOL* v) {
    return GetBool(Keeps(kOptSkipFilenameSelection) && options_.skipFilenameSelection, v);
}
HRESULT ExporterBase::put_SkipFilenameSelection(VARIANT_BOOL* v) {
    if (!v) return E_POINTER;
    if (Keeps(kOptSkipFilenameSelection)) options_.skipFilenameSelection = *v != VARIANT_FALSE;
    return S_OK;
}
HRESULT ExporterBase::get_FileFormat(BSTR* v) { return GetText(options_.fileFormat, kOptFileFormat, v); }
HRESULT ExporterBase::put_FileFormat(BSTR* v) {
    if (!v) return E_POINTER;
    return PutText(options_.fileFormat, kOptFileFormat, *v);
}
HRESULT ExporterBase::get_Quiet(VARIANT_BOOL* v) { return GetBool(options_.quiet, v); }
HRESULT ExporterBase::put_Quiet(VARIANT_BOOL* v) {
    if (!v) return E_POINTER;
    options_.quiet = *v != VARIANT_FALSE;
    return S_OK;
}
HRESULT ExporterBase::get_DefaultPrinter(BSTR* v) { return GetText(options_.defaultPrinter, 0, v); }
HRESULT ExporterBase::put_DefaultPrinter(BSTR* v) {
    if (!v) return E_POINTER;
    return PutText(options_.defaultPrinter, 0, *v);
}

}  // namespace tarn
