// RAII owners for the kernel and window resources of the common support code, on the
// pattern of com/handles.h: one owner per resource kind, named after what it closes.
#pragma once

#include <windows.h>

#include <memory>

namespace tarn {

namespace detail {
struct FileHandleDeleter {
    using pointer = HANDLE;
    void operator()(HANDLE h) const noexcept {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
struct HwndDeleter {
    using pointer = HWND;
    void operator()(HWND w) const noexcept { DestroyWindow(w); }
};
struct GdiObjectDeleter {
    void operator()(HGDIOBJ o) const noexcept { DeleteObject(o); }
};
}  // namespace detail

// A file from CreateFile (INVALID_HANDLE_VALUE counts as empty).
using unique_hfile = std::unique_ptr<void, detail::FileHandleDeleter>;
using unique_hwnd = std::unique_ptr<HWND__, detail::HwndDeleter>;
using unique_hfont = std::unique_ptr<HFONT__, detail::GdiObjectDeleter>;

}  // namespace tarn
