// The base of the component's windows and dialogs: a window procedure that finds the object
// (in GWLP_USERDATA for a window, DWLP_USER for a dialog), hands each message to the
// object's HandleMessage, and detaches the object on WM_NCDESTROY so no message after
// that reaches it. A class registers with the DLL's own instance, never the host's.
#pragma once

#include <windows.h>

namespace tarn {

// Registers a window class of this module (an existing one is fine). Throws ComError.
void RegisterModuleWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background);
// Unregisters every class RegisterModuleWindowClass registered that has no window left, so
// none outlives the module's code when the DLL is unloaded.
void UnregisterModuleWindowClasses() noexcept;

// A window whose messages go to `Derived` (which befriends its base):
//   LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
//   void OnDetach() noexcept;  // optional: the window is being destroyed
// Create the window with `this` as the creation parameter and WindowProc as the class's
// procedure; hwnd() is set from WM_NCCREATE on and null again after WM_NCDESTROY.
template <class Derived>
class BaseWindow {
public:
    HWND hwnd() const noexcept { return window_; }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            if (self) static_cast<BaseWindow*>(self)->window_ = window;
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            static_cast<BaseWindow*>(self)->window_ = nullptr;
            self->OnDetach();
            return DefWindowProcW(window, message, wParam, lParam);
        }
        return self->HandleMessage(message, wParam, lParam);
    }

protected:
    BaseWindow() = default;
    ~BaseWindow() = default;
    void OnDetach() noexcept {}
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return DefWindowProcW(window_, message, wParam, lParam);
    }

private:
    HWND window_ = nullptr;
};

// A dialog from a resource template whose messages go to `Derived` (which befriends its base):
//   INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
//   (FALSE lets the dialog manager handle the message.)
// Show it with DialogBoxParam(..., &DialogProc, reinterpret_cast<LPARAM>(this)); hwnd() is
// set from WM_INITDIALOG on (which then reaches HandleMessage) and null after WM_NCDESTROY.
template <class Derived>
class BaseDialog {
public:
    HWND hwnd() const noexcept { return window_; }

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        Derived* self = nullptr;
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<Derived*>(lParam);
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            if (self) static_cast<BaseDialog*>(self)->window_ = window;
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(window, DWLP_USER));
        }
        if (!self) return FALSE;
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            static_cast<BaseDialog*>(self)->window_ = nullptr;
            return FALSE;
        }
        return self->HandleMessage(message, wParam, lParam);
    }

protected:
    BaseDialog() = default;
    ~BaseDialog() = default;

private:
    HWND window_ = nullptr;
};

}  // namespace tarn
