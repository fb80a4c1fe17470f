// IDispatch::Invoke for the component's dual interfaces, driven by the type library.
// The arguments are converted here to the exact type each parameter declares (by value or
// by reference, optional parameters given their defaults) and the vtable member is called
// through DispCallFunc. Doing the conversion ourselves means every client behaves the same:
// script engines pass variables by reference as VT_VARIANT|VT_BYREF and literals by value,
// and not every platform's ITypeInfo::Invoke accepts both for typed by-reference parameters.
#include "com/com_object.h"
#include "com/handles.h"

#include <vector>

namespace tarn {

namespace {

VARTYPE ScalarType(const TYPEDESC& t, ITypeInfo* info) {
    switch (t.vt) {
        case VT_INT: return VT_I4;
        case VT_USERDEFINED: {
            ComPtr<ITypeInfo> ref;
            if (FAILED(info->GetRefTypeInfo(t.hreftype, &ref))) return VT_EMPTY;
            unique_typeattr attr(ref.Get());
            if (FAILED(ref->GetTypeAttr(attr.put()))) return VT_EMPTY;
            if (attr->typekind == TKIND_ENUM) return VT_I4;
            if (attr->typekind == TKIND_ALIAS) return ScalarType(attr->tdescAlias, ref.Get());
            return VT_EMPTY;
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

// How the caller's arguments map onto the member's parameters.
struct ArgumentPlan {
    bool isPut = false;
    UINT given = 0;       // every argument, a put's value included
    UINT positional = 0;  // the arguments before a put's value
    int lastInput = -1;   // the parameter a put's value goes to
    int retval = -1;      // the parameter that returns the result, if any
};

// Step 1: the member `flags` asks for, a method or property get, or a property put (by
// value or by reference).
HRESULT FindMember(ITypeInfo* info, DISPID id, WORD flags, bool isPut, unique_funcdesc& func) {
    ComPtr<ITypeInfo2> info2;
    if (FAILED(info->QueryInterface(IID_PPV_ARGS(&info2)))) return E_UNEXPECTED;
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
    if (FAILED(found) || FAILED(info->GetFuncDesc(index, func.put()))) return DISP_E_MEMBERNOTFOUND;
    return S_OK;
}

// Step 2: the caller's arguments counted against the member's inputs. Only a put's value
// may be named.
HRESULT CountInputs(const FUNCDESC& f, const DISPPARAMS* params, bool isPut, ArgumentPlan& plan) {
    plan.isPut = isPut;
    plan.given = params ? params->cArgs : 0;
    const UINT named = params ? params->cNamedArgs : 0;
    if (named > (isPut ? 1u : 0u) || (named == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_NONAMEDARGS;
    if (isPut && plan.given == 0) return DISP_E_PARAMNOTOPTIONAL;
    plan.positional = plan.given - named - (isPut && named == 0 ? 1 : 0);
    UINT inputs = 0;
    for (int i = 0; i < f.cParams; ++i) {
        if (f.lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) {
            plan.retval = i;
        } else {
            plan.lastInput = i;
            ++inputs;
        }
    }
    if (plan.positional + (isPut ? 1u : 0u) > inputs) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

// Step 3: parameter `i`'s value, converted to its declared type (a missing optional one
// given its default), into `value`, and what DispCallFunc passes for it (the value, or a
// reference to it) into `passed`.
HRESULT TakeArgument(ITypeInfo* info, const ELEMDESC& element, const DISPPARAMS* params, const ArgumentPlan& plan,
                     int i, unique_variant& value, VARIANT& passed, UINT* argErr) {
    const USHORT paramFlags = element.paramdesc.wParamFlags;
    const VARTYPE declared = DeclaredType(element.tdesc, info);
    if (declared == VT_EMPTY) return DISP_E_TYPEMISMATCH;
    const VARTYPE base = declared & ~VT_BYREF;
    if (paramFlags & PARAMFLAG_FRETVAL) {
        V_VT(&value) = base;
    } else {
        const VARIANT* source = nullptr;
        UINT slot = 0;
        if (plan.isPut && i == plan.lastInput) {
            source = &params->rgvarg[0];
        } else if (static_cast<UINT>(i) < plan.positional) {
            slot = plan.given - 1 - i;
            source = &params->rgvarg[slot];
        }
        if (source && V_VT(source) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(source)) source = V_VARIANTREF(source);
        const bool missing = !source || (V_VT(source) == VT_ERROR && V_ERROR(source) == DISP_E_PARAMNOTFOUND);
        if (missing) {
            if (paramFlags & PARAMFLAG_FHASDEFAULT)
                source = &element.paramdesc.pparamdescex->varDefaultValue;
            else if (!(paramFlags & PARAMFLAG_FOPT))
                return DISP_E_PARAMNOTOPTIONAL;
        }
        if (source) {
            if (FAILED(Convert(value, *source, base))) {
                if (argErr) *argErr = slot;
                return DISP_E_TYPEMISMATCH;
            }
        } else {
            V_VT(&value) = VT_ERROR;
            V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
        }
    }
    if (declared & VT_BYREF) {
        V_VT(&passed) = declared;
        V_BYREF(&passed) = StorageOf(value);
    } else {
        passed = value;
    }
    return S_OK;
}

// Step 4: the vtable member called; a failure it reports goes into EXCEPINFO from the
// thread's error info, and the result parameter's value becomes the caller's.
HRESULT CallAndCollect(void* instance, const FUNCDESC& f, std::vector<VARIANT>& passed,
                       std::vector<unique_variant>& values, int retval, VARIANT* result, EXCEPINFO* excep) {
    std::vector<VARTYPE> types(passed.size());
    std::vector<VARIANT*> pointers(passed.size());
    for (size_t i = 0; i < passed.size(); ++i) {
        types[i] = V_VT(&passed[i]);
        pointers[i] = &passed[i];
    }
    VARIANT returned;
    VariantInit(&returned);
    const HRESULT hr = DispCallFunc(instance, f.oVft, f.callconv, VT_ERROR, static_cast<UINT>(passed.size()),
                                    types.data(), pointers.data(), &returned);
    if (FAILED(hr)) return hr;
    const HRESULT callResult = V_ERROR(&returned);
    if (FAILED(callResult)) {
        if (!excep) return callResult;
        FillException(excep, callResult);
        return DISP_E_EXCEPTION;
    }
    if (retval >= 0 && result) {
        VariantClear(result);
        *result = values[static_cast<size_t>(retval)];
        VariantInit(&values[static_cast<size_t>(retval)]);  // the caller owns it now
    }
    return S_OK;
}
}  // namespace

HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* instance, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    try {
        const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        unique_funcdesc func(info);
        if (const HRESULT hr = FindMember(info, id, flags, isPut, func); FAILED(hr)) return hr;
        const FUNCDESC& f = *func;
        ArgumentPlan plan;
        if (const HRESULT hr = CountInputs(f, params, isPut, plan); FAILED(hr)) return hr;
        const auto count = static_cast<size_t>(f.cParams);
        std::vector<unique_variant> values(count);
        std::vector<VARIANT> passed(count);
        for (size_t i = 0; i < count; ++i) {
            const HRESULT hr = TakeArgument(info, f.lprgelemdescParam[i], params, plan, static_cast<int>(i), values[i],
                                            passed[i], argErr);
            if (FAILED(hr)) return hr;
        }
        return CallAndCollect(instance, f, passed, values, plan.retval, result, excep);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tarn
