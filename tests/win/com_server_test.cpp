// The server as COM and its clients see it: registry entries written and removed, one
// identity per object, DllCanUnloadNow's lifetime rules, the fixed vtable order of the
// exporter contract with its by-reference parameters, and failures reported through IErrorInfo and EXCEPINFO with bad
// late-bound calls refused.
#include "com/class_table.h"
#include "com/errors.h"
#include "com/module.h"
#include "engine/exporter_classes.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using ComServerTest = ComTest;

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    StringFromGUID2(g, text, 40);
    return text;
}

// The string value under HKEY_CLASSES_ROOT, or "<missing>".
std::wstring Value(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024];
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

TEST_F(ComServerTest, RegistrationWritesEveryClassAndUnregistrationRemovesAllOfIt) {
    const Component& c = TheComponent();
    const std::wstring library = GuidText(ComponentLibraryId());
    ASSERT_EQ(c.unregisterServer(), S_OK);
    for (const ClassEntry& entry : ComponentClasses()) {
        EXPECT_EQ(Value(L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32"), L"<missing>");
        EXPECT_EQ(Value(std::wstring(L"TarnwickExports7.") + entry.name + L"\\CLSID"), L"<missing>");
    }
    EXPECT_EQ(Value(L"Interface\\" + GuidText(__uuidof(_ExportMEthod))), L"<missing>");

    ASSERT_EQ(c.registerServer(), S_OK);
    for (const ClassEntry& entry : ComponentClasses()) {
        const std::wstring progId = std::wstring(L"TarnwickExports7.") + entry.name;
        const std::wstring clsidKey = L"CLSID\\" + GuidText(*entry.clsid);
        SCOPED_TRACE(Narrow(progId));
        EXPECT_EQ(Value(clsidKey + L"\\InprocServer32"), c.path);
        EXPECT_EQ(Value(clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(Value(clsidKey + L"\\ProgID"), progId);
        EXPECT_EQ(Value(clsidKey + L"\\TypeLib"), library);
        EXPECT_EQ(Value(progId + L"\\CLSID"), GuidText(*entry.clsid));
    }
    EXPECT_EQ(Value(L"Interface\\" + GuidText(__uuidof(_ExportMEthod))), L"_ExportMEthod");
    ComPtr<IDispatch> engine;
    EXPECT_EQ(CoCreateInstance(__uuidof(::Engine), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&engine)), S_OK);
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(ComponentLibraryId(), 1, 0, 0x409, &lib), S_OK);
}

TEST_F(ComServerTest, InterfacesShareOneIdentityAndObjectsAndLocksKeepTheServerLoaded) {
    const Component& c = TheComponent();
    ASSERT_EQ(c.canUnloadNow(), S_OK);
    {
        auto csv = Create<_ExportCSV>(__uuidof(::ExportCSV));
        ComPtr<_ExportMEthod> contract;
        ComPtr<IUnknown> viaOwn, viaContract;
        ComPtr<_ExportXLS> wrongClass;
        ASSERT_EQ(csv.As(&contract), S_OK);
        csv.As(&viaOwn);
        contract.As(&viaContract);
        EXPECT_EQ(viaOwn.Get(), viaContract.Get());
        EXPECT_EQ(csv.As(&wrongClass), E_NOINTERFACE);
        EXPECT_EQ(c.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(c.canUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(c.getClassObject(GUID_NULL, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(c.getClassObject(__uuidof(::ExportHTML), IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(c.canUnloadNow(), S_FALSE) << "a server lock outlives the factory";
    ASSERT_EQ(c.getClassObject(__uuidof(::ExportHTML), IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    {
        // An engine that makes (and releases) an exporter during an export leaves nothing behind.
        auto engine = Create<_Engine>(__uuidof(::Engine));
        VARIANT_BOOL quiet = VARIANT_TRUE;
        unique_bstr printer(L"No Such Printer");  // prints nothing, asks nothing
        BSTR printerName = printer.get();
        EXPECT_EQ(engine->put_Quiet(&quiet), S_OK);
        EXPECT_EQ(engine->put_DefaultPrinter(&printerName), S_OK);
        unique_bstr method(L"PRINTER");
        BSTR raw = method.get();
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(engine->ExportText(unique_bstr(L"x").get(), &raw, &result), S_OK);
    }
    EXPECT_EQ(c.canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, TheExporterContractHasItsFixedSlotOrderAndPassing) {
    std::vector<std::string> expected{"ExportTable func inout", "ExportChart func inout",  "ExportPicture func inout",
                                      "ExportEMFFile func in",  "ExportImageFile func in", "ExportMap func inout",
                                      "ExportRTF func in",      "ExportText func in"};
    for (const std::string option :
         {"ProgramName", "ProgramVersion", "Title", "SubTitle", "Paragraph", "Footer", "Orientation", "ImageHeight",
          "ImageWidth", "TargetFilename", "InitDir", "ImageFormat", "ColumnList", "SkipFilenameSelection", "FileFormat",
          "Quiet", "DefaultPrinter"}) {
        const bool byReference = option == "SkipFilenameSelection" || option == "FileFormat" || option == "Quiet" ||
                                 option == "DefaultPrinter";
        expected.push_back(option + " get");
        expected.push_back(option + (byReference ? " put inout" : " put in"));
    }
    EXPECT_EQ(VtableMembers(__uuidof(_ExportMEthod)), expected);
}

// An exporter whose text export fails the way a real one does when its file is locked.
class LockedFileExporter final : public ExporterClass<LockedFileExporter, _ExportCSV> {
protected:
    bool DoExportText(const std::wstring&) override { throw ComError(E_ACCESSDENIED, L"The file is locked"); }
};

TEST_F(ComServerTest, FailingMembersReportThroughVtableAndDispatch) {
    EXPECT_EQ(ComBoundary([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(ComBoundary([] { throw std::runtime_error("Disk full"); }), E_UNEXPECTED);
    EXPECT_EQ(LastErrorDescription(), L"Disk full") << "a standard exception keeps its text";
    SetModuleHandle(TheComponent().module);  // the dispatch reads the component's type library
    ComPtr<_ExportMEthod> exporter;
    ASSERT_EQ(
        LockedFileExporter::CreateInstance(__uuidof(_ExportMEthod), reinterpret_cast<void**>(exporter.GetAddressOf())),
        S_OK);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(exporter.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(_ExportMEthod)), S_OK);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(exporter->ExportText(unique_bstr(L"x").get(), &result), E_ACCESSDENIED);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(LastErrorDescription(), L"The file is locked");

    // Late-bound callers get DISP_E_EXCEPTION with the same text in EXCEPINFO.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"exporttext");
    ASSERT_EQ(exporter->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << "names are matched without case";
    const unique_bstr text(L"x");
    VARIANT argument = TextArg(text);
    DISPPARAMS params{&argument, nullptr, 1, 0};
    unique_variant returned;
    EXCEPINFO excep{};
    EXPECT_EQ(exporter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, returned.put(), &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    EXPECT_EQ(Text(excep.bstrDescription), L"The file is locked");
    EXPECT_EQ(Text(excep.bstrSource), L"TarnwickExports7");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    exporter.Reset();
    support.Reset();
    ReleaseModuleCaches();
    SetModuleHandle(nullptr);
}

TEST_F(ComServerTest, BadLateBoundCallsAreRefusedWithTheUsualCodes) {
    auto engine = Create<_Engine>(__uuidof(::Engine));
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ExportText");
    ASSERT_EQ(engine->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    unique_variant result;
    const unique_bstr method(L"TXT");
    VARIANT args[3] = {TextArg(method), TextArg(method), TextArg(method)};
    auto call = [&](UINT count, UINT* argErr = nullptr) {
        DISPPARAMS params{args, nullptr, count, 0};
        return engine->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.put(), nullptr, argErr);
    };
    EXPECT_EQ(call(1), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call(3), DISP_E_BADPARAMCOUNT);
    V_VT(&args[1]) = VT_UNKNOWN;  // the text argument: arguments come last-first
    V_UNKNOWN(&args[1]) = engine.Get();
    UINT argErr = 99;
    EXPECT_EQ(call(2, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);

    LPOLESTR version = const_cast<LPOLESTR>(L"Version");
    ASSERT_EQ(engine->GetIDsOfNames(IID_NULL, &version, 1, 0, &id), S_OK);
    VARIANT value = LongArg(1);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    EXPECT_EQ(engine->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND)
        << "a read-only property is refused, not crashed on";
}

}  // namespace
}  // namespace tarn::test
