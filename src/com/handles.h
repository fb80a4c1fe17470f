// RAII owners for every Win32 and OLE resource the component touches, one header for all.
// Each kind is one alias naming its close function (unique_any<Handle, &Close>), so no
// naked Release/SysFreeString/RegCloseKey/DeleteObject/ReleaseDC appears outside this
// header; the few owners that need more than a handle (BSTR, VARIANT, a window's DC, a
// paint cycle, a selected object) are small classes below, with ScopeExit for the rest.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tarn {

using Microsoft::WRL::ComPtr;

namespace detail {
template <class Handle, auto Close>
struct HandleCloser {
    using pointer = Handle;
    void operator()(Handle handle) const noexcept { static_cast<void>(Close(handle)); }
};
// Handles whose "none" is INVALID_HANDLE_VALUE rather than null.
inline BOOL CloseFileHandle(HANDLE file) noexcept { return file == INVALID_HANDLE_VALUE || CloseHandle(file); }
inline BOOL CloseFindHandle(HANDLE find) noexcept { return find == INVALID_HANDLE_VALUE || FindClose(find); }
}  // namespace detail

// An owned handle closed by `Close`, on the pattern of the Windows Implementation Libraries.
template <class Handle, auto Close>
using unique_any = std::unique_ptr<std::remove_pointer_t<Handle>, detail::HandleCloser<Handle, Close>>;

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_hlocal = unique_any<HLOCAL, &LocalFree>;
using unique_cotaskmem = unique_any<void*, &CoTaskMemFree>;
// A file from CreateFile; INVALID_HANDLE_VALUE counts as empty.
using unique_hfile = unique_any<HANDLE, &detail::CloseFileHandle>;
// A search from FindFirstFile; INVALID_HANDLE_VALUE counts as empty.
using unique_hfind = unique_any<HANDLE, &detail::CloseFindHandle>;
using unique_hwnd = unique_any<HWND, &DestroyWindow>;
using unique_hfont = unique_any<HFONT, &DeleteObject>;
using unique_hbitmap = unique_any<HBITMAP, &DeleteObject>;
// A memory DC from CreateCompatibleDC (a window's DC is unique_window_dc).
using unique_hdc = unique_any<HDC, &DeleteDC>;
using unique_henhmetafile = unique_any<HENHMETAFILE, &DeleteEnhMetaFile>;

// Runs `onExit` when the scope ends, however it ends.
template <class OnExit>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(OnExit onExit) noexcept : onExit_(std::move(onExit)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { onExit_(); }

private:
    OnExit onExit_;
};

// A window's device context from GetDC (the screen's for a null window), released with it.
class unique_window_dc {
public:
    explicit unique_window_dc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    ~unique_window_dc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// One WM_PAINT cycle: BeginPaint on construction, EndPaint on destruction.
class unique_paint {
public:
    explicit unique_paint(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
    unique_paint(const unique_paint&) = delete;
    unique_paint& operator=(const unique_paint&) = delete;
    ~unique_paint() {
        if (dc_) EndPaint(window_, &paint_);
    }
    HDC get() const noexcept { return dc_; }
    const RECT& dirty() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a DC; the DC's previous object is selected back on destruction,
// so the object can then be deleted.
class unique_select_object {
public:
    unique_select_object(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;
    ~unique_select_object() {
        if (ok()) SelectObject(dc_, previous_);
    }
    bool ok() const noexcept { return previous_ && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An owned BSTR. Null and empty are the same text, as in OLE automation.
class unique_bstr {
public:
    unique_bstr() noexcept = default;
    explicit unique_bstr(std::wstring_view text) : p_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!p_) throw std::bad_alloc();
    }
    unique_bstr(const unique_bstr&) = delete;
    unique_bstr& operator=(const unique_bstr&) = delete;
    unique_bstr(unique_bstr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    unique_bstr& operator=(unique_bstr&& o) noexcept {
        if (this != &o) reset(std::exchange(o.p_, nullptr));
        return *this;
    }
    ~unique_bstr() { SysFreeString(p_); }
    BSTR get() const noexcept { return p_; }
    BSTR release() noexcept { return std::exchange(p_, nullptr); }
    void reset(BSTR b = nullptr) noexcept {
        SysFreeString(p_);
        p_ = b;
    }
    BSTR* put() noexcept {
        reset();
        return &p_;
    }
    std::wstring str() const { return p_ ? std::wstring(p_, SysStringLen(p_)) : std::wstring(); }

private:
    BSTR p_ = nullptr;
};

// Copies text into a fresh BSTR for an [out] parameter.
inline HRESULT CopyToBstr(std::wstring_view text, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

inline std::wstring FromBstr(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

// An owned VARIANT, cleared on destruction.
class unique_variant : public VARIANT {
public:
    unique_variant() noexcept { VariantInit(this); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    unique_variant(unique_variant&& o) noexcept {
        VariantInit(this);
        *static_cast<VARIANT*>(this) = o;
        VariantInit(&o);
    }
    unique_variant& operator=(unique_variant&& o) noexcept {
        if (this != &o) {
            VariantClear(this);
            *static_cast<VARIANT*>(this) = o;
            VariantInit(&o);
        }
        return *this;
    }
    ~unique_variant() { VariantClear(this); }
    void reset() noexcept { VariantClear(this); }
    VARIANT* put() noexcept {
        VariantClear(this);
        return this;
    }
};

inline VARIANT_BOOL ToVariantBool(bool b) noexcept { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// A FUNCDESC or TYPEATTR a type info handed out, given back to it.
template <class Desc>
class unique_type_desc {
public:
    explicit unique_type_desc(ITypeInfo* info) noexcept : info_(info) {}
    unique_type_desc(const unique_type_desc&) = delete;
    unique_type_desc& operator=(const unique_type_desc&) = delete;
    ~unique_type_desc() {
        if (desc_) Release(desc_);
    }
    Desc** put() noexcept { return &desc_; }
    const Desc& operator*() const noexcept { return *desc_; }
    const Desc* operator->() const noexcept { return desc_; }

private:
    void Release(FUNCDESC* desc) noexcept { info_->ReleaseFuncDesc(desc); }
    void Release(TYPEATTR* attr) noexcept { info_->ReleaseTypeAttr(attr); }
    ITypeInfo* info_;
    Desc* desc_ = nullptr;
};
using unique_funcdesc = unique_type_desc<FUNCDESC>;
using unique_typeattr = unique_type_desc<TYPEATTR>;

}  // namespace tarn
