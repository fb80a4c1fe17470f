// Loading the component DLL for the tests.
#include "component.h"

#include <stdexcept>

namespace tarn::test {

const Component& TheComponent() {
    static Component component = [] {
        Component c;
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring folder(exe);
        folder.resize(folder.find_last_of(L'\\') + 1);
        c.path = folder + L"TarnwickExports7.dll";
        c.module = LoadLibraryW(c.path.c_str());
        if (!c.module) throw std::runtime_error("TarnwickExports7.dll not found beside the test program");
        auto get = [&](const char* name) {
            FARPROC f = GetProcAddress(c.module, name);
            if (!f) throw std::runtime_error(std::string("missing export ") + name);
            return reinterpret_cast<void*>(f);
        };
        c.getClassObject = reinterpret_cast<decltype(c.getClassObject)>(get("DllGetClassObject"));
        c.canUnloadNow = reinterpret_cast<decltype(c.canUnloadNow)>(get("DllCanUnloadNow"));
        c.registerServer = reinterpret_cast<decltype(c.registerServer)>(get("DllRegisterServer"));
        c.unregisterServer = reinterpret_cast<decltype(c.unregisterServer)>(get("DllUnregisterServer"));
        return c;
    }();
    return component;
}

std::wstring Text(BSTR b) { return FromBstr(b); }

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace tarn::test
