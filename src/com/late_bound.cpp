// Late-bound invocation with cached DISPIDs, and hand-made variant conversions.
#include "com/late_bound.h"

#include "com/errors.h"

#include <dispex.h>

#include <cmath>
#include <cwchar>
#include <iterator>
#include <vector>

namespace tarn {

namespace {
HRESULT ExcepResult(const EXCEPINFO& e) {
    if (FAILED(e.scode)) return e.scode;
    if (e.wCode) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, e.wCode);
    return DISP_E_EXCEPTION;
}

bool NotServedThisWay(HRESULT hr) {
    return hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTOPTIONAL ||
           hr == DISP_E_TYPEMISMATCH || hr == E_NOTIMPL;
}
}  // namespace

DISPID LateBound::IdOf(const wchar_t* member) {
    if (!object_) throw ComError(E_POINTER, std::wstring(L"No object to read '") + member + L"' from");
    auto found = ids_.find(std::wstring_view(member));
    if (found != ids_.end()) return found->second;
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        ComPtr<IDispatchEx> ex;
        if (SUCCEEDED(object_.As(&ex))) {
            unique_bstr bname(member);
            HRESULT hrEx = ex->GetDispID(bname.get(), fdexNameCaseInsensitive, &id);
            if (SUCCEEDED(hrEx)) hr = hrEx;
        }
    }
    if (FAILED(hr)) Fail(member, hr, L"the object has no such member");
    ids_.emplace(member, id);
    return id;
}

HRESULT LateBound::Invoke(DISPID id, WORD flags, std::initializer_list<VARIANT> args, const VARIANT* putValue,
                          VARIANT* result, std::wstring* error) {
    // DISPPARAMS take arguments last-first; a put's value goes first with the named id. The
    // few arguments of a property read fit on the stack.
    VARIANT local[8];
    std::vector<VARIANT> more;
    const std::size_t count = args.size() + (putValue ? 1 : 0);
    VARIANT* reversed = local;
    if (count > std::size(local)) {
        more.resize(count);
        reversed = more.data();
    }
    std::size_t used = 0;
    if (putValue) reversed[used++] = *putValue;
    for (auto it = args.end(); it != args.begin();) reversed[used++] = *--it;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{count ? reversed : nullptr, putValue ? &putId : nullptr, static_cast<UINT>(count),
                      putValue ? 1u : 0u};
    EXCEPINFO excep{};
    UINT argErr = 0;
    HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        std::wstring text = TakeExcepInfoDescription(excep);
        if (error) *error = text;
        hr = ExcepResult(excep);
    }
    return hr;
}

void LateBound::Fail(const wchar_t* member, HRESULT hr, const std::wstring& detail) {
    wchar_t code[16];
    wsprintfW(code, L"0x%08X", static_cast<unsigned>(hr));
    std::wstring text = std::wstring(L"Host object member '") + member + L"' failed (" + code + L")";
    if (!detail.empty()) text += L": " + detail;
    throw ComError(hr, text);
}

unique_variant LateBound::Get(const wchar_t* member, std::initializer_list<VARIANT> args) {
    DISPID id = IdOf(member);
    unique_variant result;
    std::wstring error;
    HRESULT hr;
    if (args.size() == 0) {
        hr = Invoke(id, DISPATCH_PROPERTYGET, args, nullptr, result.put(), &error);
        if (NotServedThisWay(hr))
            hr = Invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr, result.put(), &error);
    } else {
        hr = Invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr, result.put(), &error);
        if (NotServedThisWay(hr)) hr = Invoke(id, DISPATCH_PROPERTYGET, args, nullptr, result.put(), &error);
        if (NotServedThisWay(hr)) hr = Invoke(id, DISPATCH_METHOD, args, nullptr, result.put(), &error);
    }
    if (FAILED(hr)) Fail(member, hr, error);
    return result;
}

unique_variant LateBound::GetValue(const wchar_t* member, std::initializer_list<VARIANT> args) {
    unique_variant value = Get(member, args);
    if (V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value)) value = Call(member, args);
    return value;
}

void LateBound::Put(const wchar_t* member, const VARIANT& value, std::initializer_list<VARIANT> args) {
    DISPID id = IdOf(member);
    std::wstring error;
    HRESULT hr = Invoke(id, DISPATCH_PROPERTYPUT, args, &value, nullptr, &error);
    if (FAILED(hr)) Fail(member, hr, error);
}

void LateBound::PutRef(const wchar_t* member, IDispatch* value) {
    DISPID id = IdOf(member);
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = value;
    std::wstring error;
    HRESULT hr = Invoke(id, DISPATCH_PROPERTYPUTREF, {}, &v, nullptr, &error);
    if (NotServedThisWay(hr)) hr = Invoke(id, DISPATCH_PROPERTYPUT, {}, &v, nullptr, &error);
    if (FAILED(hr)) Fail(member, hr, error);
}

unique_variant LateBound::Call(const wchar_t* member, std::initializer_list<VARIANT> args) {
    DISPID id = IdOf(member);
    unique_variant result;
    std::wstring error;
    HRESULT hr = Invoke(id, DISPATCH_METHOD, args, nullptr, result.put(), &error);
    if (FAILED(hr)) Fail(member, hr, error);
    return result;
}

VARIANT LongArg(long value) noexcept {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT BoolArg(bool value) noexcept {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT ByRefLong(long* target) noexcept {
    VARIANT v;
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = reinterpret_cast<LONG*>(target);
    return v;
}

namespace {
// Strips one level of VT_BYREF / VT_VARIANT indirection.
const VARIANT& Deref(const VARIANT& v, VARIANT& scratch) {
    if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v)) return *V_VARIANTREF(&v);
    if (!(V_VT(&v) & VT_BYREF)) return v;
    VARTYPE base = V_VT(&v) & ~VT_BYREF;
    V_VT(&scratch) = base;
    switch (base) {
        case VT_I2: V_I2(&scratch) = *V_I2REF(&v); break;
        case VT_I4: V_I4(&scratch) = *V_I4REF(&v); break;
        case VT_R4: V_R4(&scratch) = *V_R4REF(&v); break;
        case VT_R8: V_R8(&scratch) = *V_R8REF(&v); break;
        case VT_BOOL: V_BOOL(&scratch) = *V_BOOLREF(&v); break;
        case VT_UI1: V_UI1(&scratch) = *V_UI1REF(&v); break;
        case VT_BSTR: V_BSTR(&scratch) = *V_BSTRREF(&v); break;
        case VT_DISPATCH: V_DISPATCH(&scratch) = *V_DISPATCHREF(&v); break;
        case VT_UNKNOWN: V_UNKNOWN(&scratch) = *V_UNKNOWNREF(&v); break;
        default: return v;
    }
    return scratch;
}

unique_variant Coerce(const VARIANT& v, VARTYPE to) {
    unique_variant out;
    ThrowIfFailed(VariantChangeType(&out, const_cast<VARIANT*>(&v), 0, to), L"Converting a host value");
    return out;
}

std::wstring IntegerText(long long n) { return std::to_wstring(n); }

long RoundToLong(double d) {
    // Banker's rounding, as automation's conversion to Long does.
    double r = std::nearbyint(d);
    if (r > 2147483647.0 || r < -2147483648.0) throw ComError(DISP_E_OVERFLOW, L"Host value out of range for a Long");
    return static_cast<long>(r);
}
}  // namespace

long VariantToLong(const VARIANT& in) {
    VARIANT scratch;
    const VARIANT& v = Deref(in, scratch);
    switch (V_VT(&v)) {
        case VT_EMPTY: return 0;
        case VT_I2: return V_I2(&v);
        case VT_I4: return V_I4(&v);
        case VT_UI1: return V_UI1(&v);
        case VT_BOOL: return V_BOOL(&v) ? -1 : 0;
        case VT_R8: return RoundToLong(V_R8(&v));
        case VT_R4: return RoundToLong(V_R4(&v));
        default: {
            unique_variant c = Coerce(v, VT_I4);
            return V_I4(&c);
        }
    }
}

bool VariantToBool(const VARIANT& in) {
    VARIANT scratch;
    const VARIANT& v = Deref(in, scratch);
    switch (V_VT(&v)) {
        case VT_EMPTY: return false;
        case VT_BOOL: return V_BOOL(&v) != VARIANT_FALSE;
        case VT_I2: return V_I2(&v) != 0;
        case VT_I4: return V_I4(&v) != 0;
        case VT_UI1: return V_UI1(&v) != 0;
        case VT_R8: return V_R8(&v) != 0.0;
        case VT_R4: return V_R4(&v) != 0.0f;
        default: {
            unique_variant c = Coerce(v, VT_BOOL);
            return V_BOOL(&c) != VARIANT_FALSE;
        }
    }
}

double VariantToDouble(const VARIANT& in) {
    VARIANT scratch;
    const VARIANT& v = Deref(in, scratch);
    switch (V_VT(&v)) {
        case VT_EMPTY: return 0.0;
        case VT_I2: return V_I2(&v);
        case VT_I4: return V_I4(&v);
        case VT_UI1: return V_UI1(&v);
        case VT_BOOL: return V_BOOL(&v) ? -1.0 : 0.0;
        case VT_R8: return V_R8(&v);
        case VT_R4: return V_R4(&v);
        default: {
            unique_variant c = Coerce(v, VT_R8);
            return V_R8(&c);
        }
    }
}

std::wstring VariantToText(const VARIANT& in) {
    VARIANT scratch;
    const VARIANT& v = Deref(in, scratch);
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_BSTR: return FromBstr(V_BSTR(&v));
        case VT_I2: return IntegerText(V_I2(&v));
        case VT_I4: return IntegerText(V_I4(&v));
        case VT_UI1: return IntegerText(V_UI1(&v));
        case VT_BOOL: return V_BOOL(&v) ? L"True" : L"False";
        default: {
            unique_variant text = Coerce(v, VT_BSTR);
            return FromBstr(V_BSTR(&text));
        }
    }
}

ComPtr<IDispatch> VariantToObject(const VARIANT& in) {
    VARIANT scratch;
    const VARIANT& v = Deref(in, scratch);
    ComPtr<IDispatch> result;
    if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v)) {
        result = V_DISPATCH(&v);
    } else if (V_VT(&v) == VT_UNKNOWN && V_UNKNOWN(&v)) {
        V_UNKNOWN(&v)->QueryInterface(IID_PPV_ARGS(&result));
    }
    return result;
}

}  // namespace tarn
