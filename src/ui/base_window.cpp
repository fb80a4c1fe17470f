// Window classes of this module.
#include "ui/base_window.h"

#include "com/errors.h"
#include "com/module.h"

#include <mutex>
#include <set>
#include <string>

namespace tarn {

namespace {
struct ClassNames {
    std::mutex lock;
    std::set<std::wstring> names;
};
// Never destroyed: the DLL may be asked about its classes while it is being unloaded.
ClassNames& Registered() {
    static auto* names = new ClassNames;
    return *names;
}
}  // namespace

void RegisterModuleWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ModuleHandle();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    ThrowLastErrorIf(!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS,
                     std::wstring(L"Registering the window class ") + className);
    ClassNames& registered = Registered();
    std::lock_guard guard(registered.lock);
    registered.names.insert(className);
}

void UnregisterModuleWindowClasses() noexcept {
    ClassNames& registered = Registered();
    std::lock_guard guard(registered.lock);
    for (auto name = registered.names.begin(); name != registered.names.end();)
        name = UnregisterClassW(name->c_str(), ModuleHandle()) ? registered.names.erase(name) : std::next(name);
}

}  // namespace tarn
