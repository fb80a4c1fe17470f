// Engine: options, method dispatch, and the component's own description.
#include "engine/engine.h"

#include "com/handles.h"
#include "engine/catalogue.h"
#include "engine/component_info.h"
#include "engine/exporter_classes.h"
#include "engine/method_table.h"
#include "engine/select_fields.h"
#include "engine/send_to.h"
#include "engine/send_to_methods.h"
#include "tables/grid_table.h"

namespace tarn {

namespace {
HRESULT GetText(const std::wstring& field, BSTR* out) noexcept { return CopyToBstr(field, out); }
HRESULT PutText(std::wstring& field, BSTR value) noexcept {
    return ComBoundary([&] { field = FromBstr(value); });
}
HRESULT GetBool(bool field, VARIANT_BOOL* out) noexcept {
    if (!out) return E_POINTER;
    *out = ToVariantBool(field);
    return S_OK;
}
HRESULT PutBoolRef(bool& field, const VARIANT_BOOL* value) noexcept {
    if (!value) return E_POINTER;
    field = *value != VARIANT_FALSE;
    return S_OK;
}
std::wstring TextOf(const BSTR* ref) { return ref ? FromBstr(*ref) : std::wstring(); }

// Rethrows an exporter's failed call with the description it left in IErrorInfo.
void ThrowExporterFailure(HRESULT hr) {
    if (SUCCEEDED(hr)) return;
    ComPtr<IErrorInfo> info;
    std::wstring description;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        unique_bstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = text.str();
    }
    if (description.empty()) ThrowIfFailed(hr, L"The export");
    throw ComError(hr, description);
}

void Put(_ExportMEthod* e, HRESULT (STDMETHODCALLTYPE _ExportMEthod::*put)(BSTR), const std::wstring& value) {
    unique_bstr text(value);
    ThrowIfFailed((e->*put)(text.get()), L"Setting an export option");
}
void PutRef(_ExportMEthod* e, HRESULT (STDMETHODCALLTYPE _ExportMEthod::*put)(BSTR*), const std::wstring& value) {
    unique_bstr text(value);
    BSTR raw = text.get();
    ThrowIfFailed((e->*put)(&raw), L"Setting an export option");
}
void PutRef(_ExportMEthod* e, HRESULT (STDMETHODCALLTYPE _ExportMEthod::*put)(VARIANT_BOOL*), bool value) {
    VARIANT_BOOL flag = ToVariantBool(value);
    ThrowIfFailed((e->*put)(&flag), L"Setting an export option");
}
}  // namespace

void* Engine::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_Engine)) return static_cast<_Engine*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
}

ComPtr<_ExportMEthod> Engine::ExporterFor(const std::wstring& method) {
    auto entry = LookUpMethod(method);
    if (!entry) return {};
    if (entry->namesImageFormat) options_.imageFormat = method;
    return CreateExporter(*entry);
}

void Engine::CopyOptionsTo(_ExportMEthod* e) {
    const ExportOptions& o = options_;
    Put(e, &_ExportMEthod::put_ProgramName, o.programName);
    Put(e, &_ExportMEthod::put_ProgramVersion, o.programVersion);
    Put(e, &_ExportMEthod::put_Title, o.title);
    Put(e, &_ExportMEthod::put_SubTitle, o.subTitle);
    Put(e, &_ExportMEthod::put_Paragraph, o.paragraph);
    Put(e, &_ExportMEthod::put_Footer, o.footer);
    ThrowIfFailed(e->put_Orientation(static_cast<PrintOrientation>(o.orientation)), L"Setting Orientation");
    Put(e, &_ExportMEthod::put_TargetFilename, o.targetFilename);
    Put(e, &_ExportMEthod::put_ColumnList, o.columnList);
    ThrowIfFailed(e->put_ImageHeight(o.imageHeight), L"Setting ImageHeight");
    ThrowIfFailed(e->put_ImageWidth(o.imageWidth), L"Setting ImageWidth");
    Put(e, &_ExportMEthod::put_ImageFormat, o.imageFormat);
    PutRef(e, &_ExportMEthod::put_FileFormat, o.fileFormat);
    PutRef(e, &_ExportMEthod::put_SkipFilenameSelection, o.skipFilenameSelection);
    Put(e, &_ExportMEthod::put_InitDir, o.initDir);
    PutRef(e, &_ExportMEthod::put_Quiet, o.quiet);
    PutRef(e, &_ExportMEthod::put_DefaultPrinter, o.defaultPrinter);
}

// Every step is attempted; a failing step is skipped and the next one runs.
bool Engine::RunTableExport(IDispatch* grid, const std::wstring& method) {
    std::wstring working = method;
    if (working.empty()) selectMethod_ = true;
    if (options_.targetFilename.empty()) options_.skipFilenameSelection = false;

    if (!skipFieldSelection_ || selectMethod_) {
        TryStep([&] { options_.columnList = SelectFields(grid, working, this); });
    } else if (options_.columnList.empty()) {
        TryStep([&] { options_.columnList = AllColumnsList(GridTable(grid).Cols()); });
    }
    if (options_.columnList.empty()) return false;

    ComPtr<_ExportMEthod> exporter;
    TryStep([&] { exporter = ExporterFor(working); });
    if (!exporter) return false;
    TryStep([&] { CopyOptionsTo(exporter.Get()); });

    GridTable table(grid);
    ComPtr<IDispatch> wallPaper;
    TryStep([&] { wallPaper = table.WallPaper(); });
    TryStep([&] { table.SetWallPaper(EmptyPicture().Get()); });

    VARIANT_BOOL exported = VARIANT_FALSE;
    TryStep([&] {
        IDispatch* argument = grid;
        if (FAILED(exporter->ExportTable(&argument, &exported))) exported = VARIANT_FALSE;
    });
    TryStep([&] {
        unique_bstr target;
        ThrowIfFailed(exporter->get_TargetFilename(target.put()), L"Reading TargetFilename");
        options_.targetFilename = target.str();
    });
    TryStep([&] { table.SetWallPaper(wallPaper.Get()); });
    return exported != VARIANT_FALSE;
}

template <class Call>
bool Engine::Dispatch(const std::wstring& method, FileFormatRule rule, Call&& call) {
    if (options_.targetFilename.empty()) options_.skipFilenameSelection = false;
    ComPtr<_ExportMEthod> exporter = ExporterFor(method);
    if (!exporter) return false;
    if (rule == FileFormatRule::AlwaysSet || options_.fileFormat.empty()) options_.fileFormat = method;
    CopyOptionsTo(exporter.Get());
    VARIANT_BOOL exported = VARIANT_FALSE;
    ThrowExporterFailure(call(exporter.Get(), &exported));
    unique_bstr target;
    ThrowIfFailed(exporter->get_TargetFilename(target.put()), L"Reading TargetFilename");
    options_.targetFilename = target.str();
    return exported != VARIANT_FALSE;
}

HRESULT Engine::ExportTable(IDispatch** table, BSTR method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] { return RunTableExport(table ? *table : nullptr, FromBstr(method)); });
}

HRESULT Engine::ExportChart(IDispatch** chart, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::SetIfEmpty, [&](_ExportMEthod* e, VARIANT_BOOL* r) {
            IDispatch* argument = chart ? *chart : nullptr;
            return e->ExportChart(&argument, r);
        });
    });
}

HRESULT Engine::ExportMap(IDispatch** map, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::SetIfEmpty, [&](_ExportMEthod* e, VARIANT_BOOL* r) {
            IDispatch* argument = map ? *map : nullptr;
            return e->ExportMap(&argument, r);
        });
    });
}

HRESULT Engine::ExportPicture(IPictureDisp** picture, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::SetIfEmpty, [&](_ExportMEthod* e, VARIANT_BOOL* r) {
            IPictureDisp* argument = picture ? *picture : nullptr;
            return e->ExportPicture(&argument, r);
        });
    });
}

HRESULT Engine::ExportEMFFile(BSTR* emfFilename, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::SetIfEmpty, [&](_ExportMEthod* e, VARIANT_BOOL* r) {
            return e->ExportEMFFile(emfFilename ? *emfFilename : nullptr, r);
        });
    });
}

HRESULT Engine::ExportImageFile(BSTR* filename, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::SetIfEmpty, [&](_ExportMEthod* e, VARIANT_BOOL* r) {
            return e->ExportImageFile(filename ? *filename : nullptr, r);
        });
    });
}

HRESULT Engine::ExportRTF(BSTR rtfText, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::AlwaysSet,
                        [&](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportRTF(rtfText, r); });
    });
}

HRESULT Engine::ExportText(BSTR text, BSTR* method, VARIANT_BOOL* result) {
    return ExportResult(result, [&] {
        return Dispatch(TextOf(method), FileFormatRule::AlwaysSet,
                        [&](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportText(text, r); });
    });
}

HRESULT Engine::ExportMethods(ObjectType* objectType, IDispatch** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return ComBoundary([&] { *result = NewExportMethods(objectType ? *objectType : ObjectTypeTable).Detach(); });
}

HRESULT Engine::get_SendToMethods(IDispatch** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return ComBoundary([&] { *result = NewSendToMethods().Detach(); });
}

// Every delivery is attempted silently; none reports success to the caller.
HRESULT Engine::SendTo(BSTR* filename, BSTR* method, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    TryStep([&] { SendFileTo(TextOf(filename), TextOf(method), options_.title); });
    return S_OK;
}

HRESULT Engine::get_ProgramName(BSTR* v) { return GetText(options_.programName, v); }
HRESULT Engine::put_ProgramName(BSTR v) { return PutText(options_.programName, v); }
HRESULT Engine::get_ProgramVersion(BSTR* v) { return GetText(options_.programVersion, v); }
HRESULT Engine::put_ProgramVersion(BSTR v) { return PutText(options_.programVersion, v); }
HRESULT Engine::get_Title(BSTR* v) { return GetText(options_.title, v); }
HRESULT Engine::put_Title(BSTR v) { return PutText(options_.title, v); }
HRESULT Engine::get_SubTitle(BSTR* v) { return GetText(options_.subTitle, v); }
HRESULT Engine::put_SubTitle(BSTR v) { return PutText(options_.subTitle, v); }
HRESULT Engine::get_Paragraph(BSTR* v) { return GetText(options_.paragraph, v); }
HRESULT Engine::put_Paragraph(BSTR v) { return PutText(options_.paragraph, v); }
HRESULT Engine::get_Footer(BSTR* v) { return GetText(options_.footer, v); }
HRESULT Engine::put_Footer(BSTR v) { return PutText(options_.footer, v); }
HRESULT Engine::get_Orientation(PrintOrientation* v) {
    if (!v) return E_POINTER;
    *v = static_cast<PrintOrientation>(options_.orientation);
    return S_OK;
}
HRESULT Engine::put_Orientation(PrintOrientation v) {
    options_.orientation = v;
    return S_OK;
}
HRESULT Engine::get_ImageHeight(LONG* v) {
    if (!v) return E_POINTER;
    *v = options_.imageHeight;
    return S_OK;
}
HRESULT Engine::put_ImageHeight(LONG v) {
    options_.imageHeight = v;
    return S_OK;
}
HRESULT Engine::get_ImageWidth(LONG* v) {
    if (!v) return E_POINTER;
    *v = options_.imageWidth;
    return S_OK;
}
HRESULT Engine::put_ImageWidth(LONG v) {
    options_.imageWidth = v;
    return S_OK;
}
HRESULT Engine::get_TargetFilename(BSTR* v) { return GetText(options_.targetFilename, v); }
HRESULT Engine::put_TargetFilename(BSTR v) { return PutText(options_.targetFilename, v); }
HRESULT Engine::get_InitDir(BSTR* v) { return GetText(options_.initDir, v); }
HRESULT Engine::put_InitDir(BSTR v) { return PutText(options_.initDir, v); }
HRESULT Engine::get_ImageFormat(BSTR* v) { return GetText(options_.imageFormat, v); }
HRESULT Engine::put_ImageFormat(BSTR v) { return PutText(options_.imageFormat, v); }
HRESULT Engine::get_SelectMethod(VARIANT_BOOL* v) { return GetBool(selectMethod_, v); }
HRESULT Engine::put_SelectMethod(VARIANT_BOOL v) { return PutBoolRef(selectMethod_, &v); }
HRESULT Engine::get_SkipFilenameSelection(VARIANT_BOOL* v) { return GetBool(options_.skipFilenameSelection, v); }
HRESULT Engine::put_SkipFilenameSelection(VARIANT_BOOL v) { return PutBoolRef(options_.skipFilenameSelection, &v); }
HRESULT Engine::get_SkipFieldSelection(VARIANT_BOOL* v) { return GetBool(skipFieldSelection_, v); }
HRESULT Engine::put_SkipFieldSelection(VARIANT_BOOL v) { return PutBoolRef(skipFieldSelection_, &v); }
HRESULT Engine::get_ColumnList(BSTR* v) { return GetText(options_.columnList, v); }
HRESULT Engine::put_ColumnList(BSTR v) {
    return ComBoundary([&] { options_.columnList = EncloseColumnList(FromBstr(v)); });
}
HRESULT Engine::get_FileFormat(BSTR* v) { return GetText(options_.fileFormat, v); }
HRESULT Engine::put_FileFormat(BSTR* v) {
    if (!v) return E_POINTER;
    return PutText(options_.fileFormat, *v);
}
HRESULT Engine::get_Quiet(VARIANT_BOOL* v) { return GetBool(options_.quiet, v); }
HRESULT Engine::put_Quiet(VARIANT_BOOL* v) { return PutBoolRef(options_.quiet, v); }
HRESULT Engine::get_DefaultPrinter(BSTR* v) { return GetText(options_.defaultPrinter, v); }
HRESULT Engine::put_DefaultPrinter(BSTR* v) {
    if (!v) return E_POINTER;
    return PutText(options_.defaultPrinter, *v);
}

HRESULT Engine::get_Name(BSTR* v) {
    if (!v) return E_POINTER;
    *v = nullptr;
    return ComBoundary([&] { ThrowIfFailed(CopyToBstr(ComponentDescription(), v), L"Name"); });
}
HRESULT Engine::get_DLL(BSTR* v) {
    if (!v) return E_POINTER;
    *v = nullptr;
    return ComBoundary([&] { ThrowIfFailed(CopyToBstr(ComponentDllText(), v), L"DLL"); });
}
HRESULT Engine::get_Version(BSTR* v) {
    if (!v) return E_POINTER;
    *v = nullptr;
    return ComBoundary([&] { ThrowIfFailed(CopyToBstr(ComponentVersionText(), v), L"Version"); });
}

}  // namespace tarn
