// RAII owners for the Win32 and OLE resources the component touches. One owner per
// resource kind, each named after what it closes, so no naked Release/SysFreeString/
// RegCloseKey appears outside this header.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

using Microsoft::WRL::ComPtr;

namespace detail {
struct HkeyDeleter {
    using pointer = HKEY;
    void operator()(HKEY k) const noexcept { RegCloseKey(k); }
};
struct LocalDeleter {
    void operator()(void* p) const noexcept { LocalFree(p); }
};
}  // namespace detail

using unique_hkey = std::unique_ptr<HKEY, detail::HkeyDeleter>;

// An owned BSTR. Null and empty are the same text, as in OLE automation.
class unique_bstr {
public:
    unique_bstr() noexcept = default;
    explicit unique_bstr(std::wstring_view text)
        : p_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
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

}  // namespace tarn
