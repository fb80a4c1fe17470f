// ExportTestHost.dll as a server: registration of both classes and their ProgIDs, and the
// module count behind DllCanUnloadNow.
#include "host.h"

namespace testhost::test {
namespace {

std::wstring RegistryText(const std::wstring& key, const wchar_t* value) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), value, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

using HostServer = HostTest;

// Ends registered, as the test runner left it.
TEST_F(HostServer, RegistrationWritesBothClassesAndUnregistrationRemovesThem) {
    const HostDll& host = TheHost();
    ASSERT_EQ(host.unregisterServer(), S_OK);
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"ExportTestHost.Grid", &clsid)));
    EXPECT_EQ(RegistryText(L"CLSID\\" + GuidText(kChartClsid), nullptr), L"<missing>");
    EXPECT_EQ(host.unregisterServer(), S_OK) << "unregistering twice is harmless";

    ASSERT_EQ(host.registerServer(), S_OK);
    for (auto [progId, expected] : {std::pair{L"ExportTestHost.Grid", kGridClsid}, {L"ExportTestHost.Chart", kChartClsid}}) {
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << Narrow(progId);
        EXPECT_EQ(clsid, expected);
        const std::wstring key = L"CLSID\\" + GuidText(expected);
        EXPECT_EQ(RegistryText(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(_wcsicmp(RegistryText(key + L"\\InprocServer32", nullptr).c_str(),
                           (host.folder + L"ExportTestHost.dll").c_str()),
                  0);
        EXPECT_EQ(RegistryText(key + L"\\ProgID", nullptr), progId);
    }
    ComPtr<IDispatch> grid;
    EXPECT_EQ(CoCreateInstance(kGridClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grid)), S_OK);
    EXPECT_TRUE(grid);
}

TEST_F(HostServer, CanUnloadOnlyWhenNoObjectOrLockIsLeft) {
    const HostDll& host = TheHost();
    ASSERT_EQ(host.canUnloadNow(), S_OK);
    ComPtr<IDispatch> grid = NewGrid();
    ComPtr<IDispatch> chart = NewChart();
    EXPECT_EQ(host.canUnloadNow(), S_FALSE);
    grid.Reset();
    EXPECT_EQ(host.canUnloadNow(), S_FALSE);
    chart.Reset();
    EXPECT_EQ(host.canUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(host.getClassObject(kChartClsid, IID_PPV_ARGS(&factory)), S_OK);
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(host.canUnloadNow(), S_FALSE);
    ASSERT_EQ(host.getClassObject(kChartClsid, IID_PPV_ARGS(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(host.canUnloadNow(), S_OK);

    IUnknown* unknown = nullptr;
    EXPECT_EQ(host.getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&unknown)),
              CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace testhost::test
