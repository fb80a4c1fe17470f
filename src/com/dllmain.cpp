// The four in-process server entry points.
#include "com/class_factory.h"
#include "com/class_table.h"
#include "com/module.h"
#include "com/registration.h"
#include "ui/base_window.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tarn::SetModuleHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const tarn::ClassEntry& entry : tarn::ComponentClasses())
        if (*entry.clsid == clsid) return tarn::CreateClassFactory(entry.create, iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (tarn::ModuleCount() != 0) return S_FALSE;
    tarn::ReleaseModuleCaches();
    // The composer leaves its class registered when its window closes (a window cannot
    // unregister its own class); no class may outlive the code of its window procedure.
    tarn::UnregisterModuleWindowClasses();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return tarn::RegisterComponent(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return tarn::UnregisterComponent(); }
