// The server as COM sees it: registry entries written and removed, object identity, and
// the lifetime rules behind DllCanUnloadNow.
#include "com/class_table.h"
#include "component.h"

#include <vector>

namespace tarn::test {
namespace {

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    StringFromGUID2(g, text, 40);
    return text;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The string value, or "<missing>".
std::wstring Value(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024];
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

const std::vector<std::pair<std::wstring, IID>>& DualInterfaces() {
    static const std::vector<std::pair<std::wstring, IID>> list{
        {L"_Engine", __uuidof(_Engine)},       {L"_ExportMEthod", __uuidof(_ExportMEthod)},
        {L"_ExportCSV", __uuidof(_ExportCSV)}, {L"_ExportXLS", __uuidof(_ExportXLS)},
        {L"_ExportPrinter", __uuidof(_ExportPrinter)}, {L"_ExportPDF", __uuidof(_ExportPDF)},
    };
    return list;
}

using ModuleTest = ComTest;

TEST_F(ModuleTest, RegistrationWritesEveryClassAndUnregistrationRemovesAllOfIt) {
    const Component& c = TheComponent();
    const std::wstring libKey = L"TypeLib\\" + GuidText(ComponentLibraryId());

    ASSERT_EQ(c.unregisterServer(), S_OK);
    for (const ClassEntry& entry : ComponentClasses()) {
        EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(*entry.clsid))) << Narrow(entry.name);
        EXPECT_FALSE(KeyExists(std::wstring(L"TarnwickExports7.") + entry.name)) << Narrow(entry.name);
    }
    EXPECT_FALSE(KeyExists(libKey));
    for (const auto& [name, iid] : DualInterfaces()) EXPECT_FALSE(KeyExists(L"Interface\\" + GuidText(iid)));
    // A second unregistration finds nothing to remove and still succeeds.
    EXPECT_EQ(c.unregisterServer(), S_OK);

    ASSERT_EQ(c.registerServer(), S_OK);
    ASSERT_EQ(ComponentClasses().size(), 10u);
    for (const ClassEntry& entry : ComponentClasses()) {
        const std::wstring progId = std::wstring(L"TarnwickExports7.") + entry.name;
        const std::wstring clsidKey = L"CLSID\\" + GuidText(*entry.clsid);
        SCOPED_TRACE(Narrow(progId));
        EXPECT_EQ(Value(clsidKey + L"\\InprocServer32"), c.path);
        EXPECT_EQ(Value(clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(Value(clsidKey + L"\\ProgID"), progId);
        EXPECT_EQ(Value(clsidKey + L"\\TypeLib"), GuidText(ComponentLibraryId()));
        EXPECT_EQ(Value(progId + L"\\CLSID"), GuidText(*entry.clsid));
        CLSID fromProgId{};
        EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &fromProgId), S_OK);
        EXPECT_EQ(fromProgId, *entry.clsid);
    }
    EXPECT_TRUE(KeyExists(libKey + L"\\1.0"));
    for (const auto& [name, iid] : DualInterfaces()) {
        EXPECT_EQ(Value(L"Interface\\" + GuidText(iid)), name);
        EXPECT_EQ(Value(L"Interface\\" + GuidText(iid) + L"\\TypeLib"), GuidText(ComponentLibraryId()));
    }

    // Registered, the classes are created the way hosts create them.
    ComPtr<IDispatch> engine;
    EXPECT_EQ(CoCreateInstance(__uuidof(::Engine), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&engine)), S_OK);
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(ComponentLibraryId(), 1, 0, 0x409, &lib), S_OK);
}

TEST_F(ModuleTest, InterfacesShareOneIdentityAndRefuseUnknownIids) {
    auto csv = Create<IUnknown>(__uuidof(::ExportCSV));
    ASSERT_TRUE(csv);
    ComPtr<IUnknown> unknown1, unknown2;
    ComPtr<IDispatch> dispatch;
    ComPtr<_ExportCSV> own;
    ComPtr<_ExportMEthod> contract;
    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(csv.As(&own), S_OK);
    ASSERT_EQ(csv.As(&contract), S_OK);
    ASSERT_EQ(csv.As(&dispatch), S_OK);
    ASSERT_EQ(csv.As(&errorInfo), S_OK);
    ASSERT_EQ(own.As(&unknown1), S_OK);
    ASSERT_EQ(contract.As(&unknown2), S_OK);
    EXPECT_EQ(unknown1.Get(), unknown2.Get());
    EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), static_cast<IUnknown*>(own.Get()))
        << "IDispatch is the class's default interface";
    // Round trip from the contract back to the class's own interface.
    ComPtr<_ExportCSV> again;
    ASSERT_EQ(contract.As(&again), S_OK);
    EXPECT_EQ(again.Get(), own.Get());

    ComPtr<_ExportXLS> wrongClass;
    EXPECT_EQ(csv.As(&wrongClass), E_NOINTERFACE);
    EXPECT_FALSE(wrongClass);
    ComPtr<IPersist> notServed;
    EXPECT_EQ(csv.As(&notServed), E_NOINTERFACE);
    EXPECT_EQ(csv->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    ComPtr<IClassFactory> factory;
    EXPECT_EQ(TheComponent().getClassObject(GUID_NULL, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(TheComponent().getClassObject(__uuidof(::Engine), IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(csv.Get(), IID_PPV_ARGS(&aggregated)), CLASS_E_NOAGGREGATION);
}

TEST_F(ModuleTest, ObjectsAndLocksKeepTheServerLoadedUntilReleased) {
    const Component& c = TheComponent();
    ASSERT_EQ(c.canUnloadNow(), S_OK);
    {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        auto exporter = Create<_ExportMEthod>(__uuidof(::ExportPDF));
        EXPECT_EQ(c.canUnloadNow(), S_FALSE);
        ComPtr<_Engine> second = engine;
        engine.Reset();
        EXPECT_EQ(c.canUnloadNow(), S_FALSE) << "a second reference keeps the object";
        EXPECT_EQ(second->AddRef(), 2u);
        EXPECT_EQ(second->Release(), 1u);
    }
    EXPECT_EQ(c.canUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(c.getClassObject(__uuidof(::ExportHTML), IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(c.canUnloadNow(), S_FALSE) << "a server lock outlives the factory";
    ASSERT_EQ(c.getClassObject(__uuidof(::ExportHTML), IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(c.canUnloadNow(), S_OK);

    // An engine that made (and released) exporters during an export leaves nothing behind.
    {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        unique_bstr method(L"PRINTER");
        BSTR raw = method.get();
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(engine->ExportText(unique_bstr(L"x").get(), &raw, &result), S_OK);
        EXPECT_EQ(result, VARIANT_FALSE);
    }
    EXPECT_EQ(c.canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace tarn::test
