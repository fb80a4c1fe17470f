// A host object for the late-bound tests whose members behave in the awkward ways real
// hosts' do: Cols answers any read, ColWidth only a strict property get, RowHeight only a
// method call, WallPaper only plain puts, Broken fails with the host's own text; and with
// `onlyDispatchEx` its names are found through IDispatchEx::GetDispID alone.
#pragma once

#include "com/handles.h"
#include "com/late_bound.h"

#include <dispex.h>

namespace tarn::test {

class FakeHost final : public IDispatchEx {
public:
    explicit FakeHost(bool onlyDispatchEx) : onlyDispatchEx_(onlyDispatchEx) {}

    int lookups = 0;
    ComPtr<IDispatch> wallPaper;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const bool served =
            iid == IID_IUnknown || iid == IID_IDispatch || (iid == __uuidof(IDispatchEx) && onlyDispatchEx_);
        *out = served ? static_cast<IDispatchEx*>(this) : nullptr;
        return served ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
        return onlyDispatchEx_ ? E_NOTIMPL : Lookup(names[0], id);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        switch (id) {
            case 0:  // Cols: any read
                *result = LongArg(4);
                return S_OK;
            case 1:  // ColWidth: a strict property get only, not the combined get-or-call
                if (flags != DISPATCH_PROPERTYGET) return DISP_E_MEMBERNOTFOUND;
                *result = LongArg(100 * V_I4(&p->rgvarg[0]));
                return S_OK;
            case 2:  // RowHeight: a method that refuses to be read as a property
                if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
                *result = LongArg(-1);
                return S_OK;
            case 3:  // WallPaper: plain puts only
                if (flags == DISPATCH_PROPERTYPUTREF) return DISP_E_MEMBERNOTFOUND;
                if (flags == DISPATCH_PROPERTYPUT) {
                    wallPaper = V_DISPATCH(&p->rgvarg[0]);
                    return S_OK;
                }
                V_VT(result) = VT_DISPATCH;
                V_DISPATCH(result) = wallPaper.Get();
                if (wallPaper) wallPaper->AddRef();
                return S_OK;
            default:  // Broken
                *excep = EXCEPINFO{};
                excep->scode = E_FAIL;
                excep->bstrDescription = SysAllocString(L"Subscript out of range");
                return DISP_E_EXCEPTION;
        }
    }
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD, DISPID* id) override { return Lookup(name, id); }
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                                       IServiceProvider*) override {
        return Invoke(id, IID_NULL, lcid, flags, p, r, e, nullptr);
    }
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

private:
    HRESULT Lookup(const wchar_t* name, DISPID* id) {
        ++lookups;
        const wchar_t* names[] = {L"Cols", L"ColWidth", L"RowHeight", L"WallPaper", L"Broken"};
        for (DISPID i = 0; i < 5; ++i)
            if (_wcsicmp(names[i], name) == 0) return *id = i, S_OK;
        *id = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    bool onlyDispatchEx_;
};

}  // namespace tarn::test
