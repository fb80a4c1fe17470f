// RAII owners for the GDI resources the image code draws with, on the pattern of
// com/handles.h: one owner per resource kind, named after what it closes.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

namespace tarn {

namespace detail {
struct DcDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};
struct EnhMetafileDeleter {
    void operator()(HENHMETAFILE emf) const noexcept { DeleteEnhMetaFile(emf); }
};
}  // namespace detail

// A memory DC from CreateCompatibleDC.
using unique_hdc = std::unique_ptr<HDC__, detail::DcDeleter>;
using unique_hbitmap = std::unique_ptr<HBITMAP__, detail::BitmapDeleter>;
using unique_henhmetafile = std::unique_ptr<HENHMETAFILE__, detail::EnhMetafileDeleter>;

// An object selected into a DC; the DC's previous object is selected back on destruction,
// so the object can then be deleted.
class unique_select_object {
public:
    unique_select_object(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;
    ~unique_select_object() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    bool ok() const noexcept { return previous_ && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace tarn
