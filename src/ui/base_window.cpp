// Window classes of this module.
#include "ui/base_window.h"

#include "com/errors.h"
#include "com/module.h"

namespace tarn {

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
}

}  // namespace tarn
