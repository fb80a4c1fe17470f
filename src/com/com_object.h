// Building blocks of the component's COM classes: IDispatch served from the embedded type
// library (so coercion, by-reference and optional arguments behave as automation clients
// expect), reference counting tied to the module count, and ISupportErrorInfo.
#pragma once

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"

#include <windows.h>
#include <oaidl.h>

namespace tarn {

// Invokes member `id` of `instance` (a vtable described by `info`), converting each
// argument to the type its parameter declares (see dispatch.cpp).
HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* instance, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept;

// Implements the IDispatch part of one dual interface `Itf` through its type information.
// A class with several dual interfaces derives from one DualDispatch per interface, so each
// vtable dispatches against its own type information.
template <class Itf>
class DualDispatch : public Itf {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return ComBoundary([&] {
            *info = ModuleTypeInfo(__uuidof(Itf));
            (*info)->AddRef();
        });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = ComBoundary([&] { info = ModuleTypeInfo(__uuidof(Itf)); });
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = ComBoundary([&] { info = ModuleTypeInfo(__uuidof(Itf)); });
        if (FAILED(hr)) return hr;
        return InvokeThroughTypeInfo(info, static_cast<Itf*>(this), id, flags, params, result, excep, argErr);
    }
};

// Tells automation clients that the component's methods set IErrorInfo on failure.
class ErrorInfoSupport : public ISupportErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
};

// Reference counting and QueryInterface for a class deriving from the interface
// implementations `Bases`. `Derived::FindInterface(iid)` maps an IID to an interface
// pointer of the object (IUnknown and IDispatch included), or nullptr.
template <class Derived, class... Bases>
class ComObject : public Bases..., private ModuleReference {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = static_cast<Derived*>(this)->FindInterface(iid);
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // Creates an object and hands out the requested interface.
    static HRESULT CreateInstance(REFIID iid, void** out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        Derived* object = new (std::nothrow) Derived();
        if (!object) return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

private:
    LONG refs_ = 1;
};

}  // namespace tarn
