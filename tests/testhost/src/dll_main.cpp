// Entry points of ExportTestHost.dll: the class objects of Grid, Chart and DropTarget, and per-machine
// registration of their CLSIDs and ProgIDs.
#include "chart_object.h"
#include "drop_target.h"
#include "grid_object.h"
#include "script_object.h"

#include <new>
#include <string>

namespace testhost {

namespace {
HMODULE g_module = nullptr;

using CreateFunction = HRESULT (*)(REFIID, void**) noexcept;

struct HostClass {
    CLSID clsid;
    const wchar_t* progId;
    CreateFunction create;
};

// {8D4A8EC2-0329-4870-B7E2-81EBC8973E98} and {D4BBDA03-D0B8-469E-AA56-644E1C254EB9}
const HostClass kClasses[] = {
    {{0x8d4a8ec2, 0x0329, 0x4870, {0xb7, 0xe2, 0x81, 0xeb, 0xc8, 0x97, 0x3e, 0x98}},
     L"ExportTestHost.Grid",
     &GridObject::Create},
    {{0xd4bbda03, 0xd0b8, 0x469e, {0xaa, 0x56, 0x64, 0x4e, 0x1c, 0x25, 0x4e, 0xb9}},
     L"ExportTestHost.Chart",
     &ChartObject::Create},
    // {203DB4D3-61C3-48D4-917B-89969151EA0C}
    {{0x203db4d3, 0x61c3, 0x48d4, {0x91, 0x7b, 0x89, 0x96, 0x91, 0x51, 0xea, 0x0c}},
     L"ExportTestHost.DropTarget",
     &CreateDropTarget},
};

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) { ModuleAddRef(); }
    ~ClassFactory() { ModuleRelease(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }

private:
    CreateFunction create_;
    LONG refs_ = 1;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

// HKEY_LOCAL_MACHINE\Software\Classes, as the component itself registers.
HKEY OpenClassesRoot() {
    HKEY root = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE | DELETE, nullptr,
                        &root, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return root;
}

LONG Unregister(HKEY root) {
    for (const HostClass& c : kClasses) {
        for (const std::wstring& key : {L"CLSID\\" + GuidText(c.clsid), std::wstring(c.progId)}) {
            LONG status = RegDeleteTreeW(root, key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
            RegDeleteKeyW(root, key.c_str());
        }
    }
    return ERROR_SUCCESS;
}
}  // namespace

HMODULE ModuleHandle() noexcept { return g_module; }

}  // namespace testhost

using namespace testhost;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterGridWindowClass();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const HostClass& c : kClasses) {
        if (c.clsid != clsid) continue;
        auto* factory = new (std::nothrow) ClassFactory(c.create);
        if (!factory) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
    HKEY root = OpenClassesRoot();
    if (!root) return E_ACCESSDENIED;
    LONG status = ERROR_SUCCESS;
    for (const HostClass& c : kClasses) {
        const std::wstring clsidKey = L"CLSID\\" + GuidText(c.clsid);
        for (LONG s :
             {SetValue(root, clsidKey, nullptr, c.progId),
              SetValue(root, clsidKey + L"\\InprocServer32", nullptr, path),
              SetValue(root, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
              SetValue(root, clsidKey + L"\\ProgID", nullptr, c.progId), SetValue(root, c.progId, nullptr, c.progId),
              SetValue(root, std::wstring(c.progId) + L"\\CLSID", nullptr, GuidText(c.clsid))})
            if (s != ERROR_SUCCESS) status = s;
    }
    RegCloseKey(root);
    return HRESULT_FROM_WIN32(status);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    HKEY root = OpenClassesRoot();
    if (!root) return E_ACCESSDENIED;
    LONG status = Unregister(root);
    RegCloseKey(root);
    return HRESULT_FROM_WIN32(status);
}
