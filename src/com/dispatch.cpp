// IDispatch::Invoke for the component's dual interfaces, driven by the type library.
// The arguments are converted here to the exact type each parameter declares (by value or
// by reference, optional parameters given their defaults) and the vtable member is called
// through DispCallFunc. Doing the conversion ourselves means every client behaves the same:
// script engines pass variables by reference as VT_VARIANT|VT_BYREF and literals by value,
// and not every platform's ITypeInfo::Invoke accepts both for typed by-reference parameters.
#include "com/com_object.h"
#include "com/handles.h"

#include <cstring>
#include <memory>
#include <vector>

namespace tarn {

namespace {
VARTYPE ScalarType(const TYPEDESC& t, ITypeInfo* info) {
    switch (t.vt) {
        case VT_INT: return VT_I4;
        case VT_USERDEFINED: {
            ComPtr<ITypeInfo> ref;
            TYPEATTR* attr = nullptr;
            VARTYPE vt = VT_EMPTY;
            if (SUCCEEDED(info->GetRefTypeInfo(t.hreftype, &ref)) && SUCCEEDED(ref->GetTypeAttr(&attr))) {
                if (attr->typekind == TKIND_ENUM) vt = VT_I4;
                if (attr->typekind == TKIND_ALIAS) vt = ScalarType(attr->tdescAlias, ref.Get());
                ref->ReleaseTypeAttr(attr);
            }
            return vt;
        }
        case VT_PTR: {
            // A pointer to an interface is an object reference.
            VARTYPE inner = t.lptdesc->vt;
            return (inner == VT_USERDEFINED || inner == VT_DISPATCH || inner == VT_UNKNOWN) ? VT_DISPATCH : VT_EMPTY;
        }
        default: return t.vt;
    }
}

// The declared type of a parameter, with VT_BYREF for pointers to scalars and objects.
VARTYPE DeclaredType(const TYPEDESC& t, ITypeInfo* info) {
    if (t.vt == VT_PTR) {
        VARTYPE inner = ScalarType(*t.lptdesc, info);
        if (inner == VT_EMPTY) return VT_EMPTY;
        return static_cast<VARTYPE>(inner | VT_BYREF);
    }
    return ScalarType(t, info);
}

void* StorageOf(VARIANT& v) {
    if (V_VT(&v) == VT_VARIANT) return &v;
    return &V_BYREF(&v);  // every scalar of the union starts at the same address
}

HRESULT Convert(VARIANT& out, const VARIANT& in, VARTYPE base) {
    if (base == VT_VARIANT) return VariantCopyInd(&out, const_cast<VARIANT*>(&in));
    if (base == VT_DISPATCH) {
        VARTYPE vt = V_VT(&in) & ~VT_BYREF;
        if (vt == VT_EMPTY || vt == VT_NULL || (vt == VT_ERROR && V_ERROR(&in) == DISP_E_PARAMNOTFOUND)) {
            V_VT(&out) = VT_DISPATCH;
            V_DISPATCH(&out) = nullptr;
            return S_OK;
        }
    }
    return VariantChangeType(&out, const_cast<VARIANT*>(&in), 0, base);
}

void FillException(EXCEPINFO* excep, HRESULT hr) {
    if (!excep) return;
    *excep = EXCEPINFO{};
    excep->scode = hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&excep->bstrSource);
        error->GetDescription(&excep->bstrDescription);
        error->GetHelpFile(&excep->bstrHelpFile);
        error->GetHelpContext(&excep->dwHelpContext);
    }
}

struct FuncDescOwner {
    ITypeInfo* info;
    FUNCDESC* desc;
    ~FuncDescOwner() {
        if (desc) info->ReleaseFuncDesc(desc);
    }
};
}  // namespace

HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* instance, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    try {
        ComPtr<ITypeInfo2> info2;
        if (FAILED(info->QueryInterface(IID_PPV_ARGS(&info2)))) return E_UNEXPECTED;
        const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        UINT index = 0;
        HRESULT found = DISP_E_MEMBERNOTFOUND;
        if (isPut) {
            if (flags & DISPATCH_PROPERTYPUT) found = info2->GetFuncIndexOfMemId(id, INVOKE_PROPERTYPUT, &index);
            if (FAILED(found) && (flags & DISPATCH_PROPERTYPUTREF))
                found = info2->GetFuncIndexOfMemId(id, INVOKE_PROPERTYPUTREF, &index);
        } else {
            if (flags & DISPATCH_METHOD) found = info2->GetFuncIndexOfMemId(id, INVOKE_FUNC, &index);
            if (FAILED(found) && (flags & DISPATCH_PROPERTYGET))
                found = info2->GetFuncIndexOfMemId(id, INVOKE_PROPERTYGET, &index);
        }
        if (FAILED(found)) return DISP_E_MEMBERNOTFOUND;
        FuncDescOwner func{info, nullptr};
        if (FAILED(info->GetFuncDesc(index, &func.desc))) return DISP_E_MEMBERNOTFOUND;
        const FUNCDESC& f = *func.desc;

        const UINT given = params ? params->cArgs : 0;
        const UINT named = params ? params->cNamedArgs : 0;
        if (named > (isPut ? 1u : 0u) || (named == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
            return DISP_E_NONAMEDARGS;
        if (isPut && given == 0) return DISP_E_PARAMNOTOPTIONAL;
        const UINT positional = given - named - (isPut && named == 0 ? 1 : 0);

        const int count = f.cParams;
        auto values = std::make_unique<VARIANT[]>(count);
        auto passed = std::make_unique<VARIANT[]>(count);
        std::memset(values.get(), 0, sizeof(VARIANT) * count);
        std::vector<VARTYPE> types(count);
        std::vector<VARIANT*> pointers(count);
        struct Cleanup {
            VARIANT* v;
            int n;
            ~Cleanup() {
                for (int i = 0; i < n; ++i) VariantClear(&v[i]);
            }
        } cleanup{values.get(), count};

        int retval = -1;
        int lastInput = -1;
        for (int i = 0; i < count; ++i)
            if (!(f.lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) lastInput = i;
        UINT inputs = 0;
        for (int i = 0; i < count; ++i)
            if (!(f.lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++inputs;
        if (positional + (isPut ? 1u : 0u) > inputs) return DISP_E_BADPARAMCOUNT;

        for (int i = 0; i < count; ++i) {
            const ELEMDESC& element = f.lprgelemdescParam[i];
            const USHORT paramFlags = element.paramdesc.wParamFlags;
            VARTYPE declared = DeclaredType(element.tdesc, info);
            if (declared == VT_EMPTY) return DISP_E_TYPEMISMATCH;
            VARTYPE base = declared & ~VT_BYREF;
            if (paramFlags & PARAMFLAG_FRETVAL) {
                retval = i;
                V_VT(&values[i]) = base;
            } else {
                const VARIANT* source = nullptr;
                UINT slot = 0;
                if (isPut && i == lastInput) {
                    slot = 0;
                    source = &params->rgvarg[0];
                } else if (static_cast<UINT>(i) < positional) {
                    slot = given - 1 - i;
                    source = &params->rgvarg[slot];
                }
                if (source && V_VT(source) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(source))
                    source = V_VARIANTREF(source);
                bool missing = !source || (V_VT(source) == VT_ERROR && V_ERROR(source) == DISP_E_PARAMNOTFOUND);
                if (missing) {
                    if (paramFlags & PARAMFLAG_FHASDEFAULT)
                        source = &element.paramdesc.pparamdescex->varDefaultValue;
                    else if (!(paramFlags & PARAMFLAG_FOPT))
                        return DISP_E_PARAMNOTOPTIONAL;
                }
                if (source) {
                    if (FAILED(Convert(values[i], *source, base))) {
                        if (argErr) *argErr = slot;
                        return DISP_E_TYPEMISMATCH;
                    }
                } else {
                    V_VT(&values[i]) = VT_ERROR;
                    V_ERROR(&values[i]) = DISP_E_PARAMNOTFOUND;
                }
            }
            if (declared & VT_BYREF) {
                V_VT(&passed[i]) = declared;
                V_BYREF(&passed[i]) = StorageOf(values[i]);
            } else {
                passed[i] = values[i];
            }
            types[i] = V_VT(&passed[i]);
            pointers[i] = &passed[i];
        }

        VARIANT returned;
        VariantInit(&returned);
        HRESULT hr = DispCallFunc(instance, f.oVft, f.callconv, VT_ERROR, static_cast<UINT>(count), types.data(),
                                  pointers.data(), &returned);
        if (FAILED(hr)) return hr;
        HRESULT callResult = V_ERROR(&returned);
        if (FAILED(callResult)) {
            if (!excep) return callResult;
            FillException(excep, callResult);
            return DISP_E_EXCEPTION;
        }
        if (retval >= 0 && result) {
            VariantClear(result);
            *result = values[retval];
            VariantInit(&values[retval]);
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tarn
