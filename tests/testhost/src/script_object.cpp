// Our own IDispatch: name lookup, argument conversion, outputs, results and errors.
#include "script_object.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <new>

namespace testhost {

namespace {
LONG g_moduleCount = 0;
constexpr LCID kUsEnglish = 0x0409;

const VARIANT& Deref(const VARIANT& v) {
    if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v)) return *V_VARIANTREF(&v);
    return v;
}

bool IsMissing(const VARIANT& v) { return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND; }

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

// Coerces through the platform, for the rare types the hand-made paths do not cover.
unique_variant Coerce(const VARIANT& v, VARTYPE to, UINT slot) {
    unique_variant out;
    if (FAILED(VariantChangeTypeEx(&out, const_cast<VARIANT*>(&v), kUsEnglish, 0, to)))
        throw CallRefused{DISP_E_TYPEMISMATCH, slot};
    return out;
}

std::wstring NumberText(double d) {
    if (d == std::floor(d) && std::fabs(d) < 1e15) return std::to_wstring(static_cast<long long>(d));
    wchar_t buffer[40];
    std::swprintf(buffer, 40, L"%.15g", d);
    return buffer;
}
}  // namespace

void ModuleAddRef() noexcept { InterlockedIncrement(&g_moduleCount); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_moduleCount); }
long ModuleCount() noexcept { return g_moduleCount; }

std::wstring VariantText(const VARIANT& in) {
    const VARIANT& v = Deref(in);
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return {};
        case VT_BSTR: return tarn::FromBstr(V_BSTR(&v));
        case VT_BOOL: return V_BOOL(&v) ? L"True" : L"False";
        case VT_I2: return std::to_wstring(V_I2(&v));
        case VT_I4: return std::to_wstring(V_I4(&v));
        case VT_UI1: return std::to_wstring(V_UI1(&v));
        case VT_R4: return NumberText(V_R4(&v));
        case VT_R8: return NumberText(V_R8(&v));
        default: {
            unique_variant out;
            if (FAILED(VariantChangeTypeEx(&out, const_cast<VARIANT*>(&v), kUsEnglish, 0, VT_BSTR))) return {};
            return tarn::FromBstr(V_BSTR(&out));
        }
    }
}

// ---- Invocation

Invocation::Invocation(WORD flags, DISPPARAMS* params, VARIANT* result)
    : flags_(flags), params_(params), result_(result) {
    UINT given = params ? params->cArgs : 0;
    if (IsPut() && given == 0) throw CallRefused{DISP_E_PARAMNOTOPTIONAL};
    positional_ = given - (IsPut() ? 1 : 0);
    if (result_) VariantInit(result_);
}

void Invocation::Expect(size_t min, size_t max) const {
    if (positional_ < min || positional_ > max) throw CallRefused{DISP_E_BADPARAMCOUNT};
}

void Invocation::NoPut() const {
    if (IsPut()) throw CallRefused{DISP_E_MEMBERNOTFOUND};
}

UINT Invocation::Slot(size_t i) const { return params_->cArgs - 1 - static_cast<UINT>(i); }

bool Invocation::Missing(size_t i) const { return i >= positional_ || IsMissing(Arg(i)); }

const VARIANT& Invocation::Arg(size_t i) const {
    if (i >= positional_) throw CallRefused{DISP_E_PARAMNOTOPTIONAL};
    return Deref(params_->rgvarg[Slot(i)]);
}

long Invocation::Long(size_t i) const { return ToLong(Arg(i), Slot(i)); }
bool Invocation::Bool(size_t i) const { return ToBool(Arg(i), Slot(i)); }
double Invocation::Double(size_t i) const { return ToDouble(Arg(i), Slot(i)); }
std::wstring Invocation::Text(size_t i) const { return ToText(Arg(i), Slot(i)); }
ComPtr<IDispatch> Invocation::Object(size_t i) const { return ToObject(Arg(i), Slot(i)); }

void Invocation::SetOutput(size_t i, long value) const {
    if (i >= positional_) return;
    VARIANT& v = params_->rgvarg[Slot(i)];
    switch (V_VT(&v)) {
        case VT_I4 | VT_BYREF: *V_I4REF(&v) = value; break;
        case VT_I2 | VT_BYREF: *V_I2REF(&v) = static_cast<SHORT>(value); break;
        case VT_R8 | VT_BYREF: *V_R8REF(&v) = value; break;
        case VT_R4 | VT_BYREF: *V_R4REF(&v) = static_cast<float>(value); break;
        case VT_VARIANT | VT_BYREF: {
            VARIANT* target = V_VARIANTREF(&v);
            if (!target) break;
            VariantClear(target);
            V_VT(target) = VT_I4;
            V_I4(target) = value;
            break;
        }
        default:
            if (V_VT(&v) & VT_BYREF) throw CallRefused{DISP_E_TYPEMISMATCH, Slot(i)};
            break;  // by value: the caller cannot receive outputs
    }
}

const VARIANT& Invocation::Value() const {
    if (!IsPut()) throw CallRefused{DISP_E_PARAMNOTOPTIONAL};
    return Deref(params_->rgvarg[0]);
}
long Invocation::ValueLong() const { return ToLong(Value(), 0); }
bool Invocation::ValueBool() const { return ToBool(Value(), 0); }
double Invocation::ValueDouble() const { return ToDouble(Value(), 0); }
std::wstring Invocation::ValueText() const { return ToText(Value(), 0); }
ComPtr<IDispatch> Invocation::ValueObject() const { return ToObject(Value(), 0); }

long Invocation::ToLong(const VARIANT& in, UINT slot) const {
    const VARIANT& v = Deref(in);
    switch (V_VT(&v)) {
        case VT_I4: return V_I4(&v);
        case VT_I2: return V_I2(&v);
        case VT_UI1: return V_UI1(&v);
        case VT_BOOL: return V_BOOL(&v) ? -1 : 0;
        case VT_I4 | VT_BYREF: return *V_I4REF(&v);
        case VT_I2 | VT_BYREF: return *V_I2REF(&v);
        case VT_R8:
            if (std::fabs(V_R8(&v)) > 2147483647.0) throw CallRefused{DISP_E_OVERFLOW, slot};
            return static_cast<long>(std::nearbyint(V_R8(&v)));
        default: {
            if (IsMissing(v)) throw CallRefused{DISP_E_PARAMNOTOPTIONAL, slot};
            unique_variant out = Coerce(v, VT_I4, slot);
            return V_I4(&out);
        }
    }
}

bool Invocation::ToBool(const VARIANT& in, UINT slot) const {
    const VARIANT& v = Deref(in);
    switch (V_VT(&v)) {
        case VT_BOOL: return V_BOOL(&v) != VARIANT_FALSE;
        case VT_BOOL | VT_BYREF: return *V_BOOLREF(&v) != VARIANT_FALSE;
        case VT_I4: return V_I4(&v) != 0;
        case VT_I2: return V_I2(&v) != 0;
        case VT_EMPTY: return false;
        default: {
            if (IsMissing(v)) throw CallRefused{DISP_E_PARAMNOTOPTIONAL, slot};
            unique_variant out = Coerce(v, VT_BOOL, slot);
            return V_BOOL(&out) != VARIANT_FALSE;
        }
    }
}

double Invocation::ToDouble(const VARIANT& in, UINT slot) const {
    const VARIANT& v = Deref(in);
    switch (V_VT(&v)) {
        case VT_R8: return V_R8(&v);
        case VT_R4: return V_R4(&v);
        case VT_I4: return V_I4(&v);
        case VT_I2: return V_I2(&v);
        case VT_UI1: return V_UI1(&v);
        default: {
            if (IsMissing(v)) throw CallRefused{DISP_E_PARAMNOTOPTIONAL, slot};
            unique_variant out = Coerce(v, VT_R8, slot);
            return V_R8(&out);
        }
    }
}

std::wstring Invocation::ToText(const VARIANT& in, UINT slot) const {
    const VARIANT& v = Deref(in);
    if (V_VT(&v) == (VT_BSTR | VT_BYREF)) return tarn::FromBstr(*V_BSTRREF(&v));
    if (IsMissing(v)) throw CallRefused{DISP_E_PARAMNOTOPTIONAL, slot};
    if (V_VT(&v) == VT_DISPATCH || V_VT(&v) == VT_UNKNOWN) throw CallRefused{DISP_E_TYPEMISMATCH, slot};
    return VariantText(v);
}

ComPtr<IDispatch> Invocation::ToObject(const VARIANT& in, UINT slot) const {
    const VARIANT& v = Deref(in);
    ComPtr<IDispatch> object;
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return object;
        case VT_DISPATCH: object = V_DISPATCH(&v); return object;
        case VT_DISPATCH | VT_BYREF: object = *V_DISPATCHREF(&v); return object;
        case VT_UNKNOWN:
            if (!V_UNKNOWN(&v)) return object;
            if (FAILED(V_UNKNOWN(&v)->QueryInterface(IID_PPV_ARGS(&object)))) break;
            return object;
        default: break;
    }
    throw CallRefused{DISP_E_TYPEMISMATCH, slot};
}

void Invocation::Return(long value) const {
    if (!result_) return;
    V_VT(result_) = VT_I4;
    V_I4(result_) = value;
}

void Invocation::ReturnBool(bool value) const {
    if (!result_) return;
    V_VT(result_) = VT_BOOL;
    V_BOOL(result_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Invocation::ReturnDouble(double value) const {
    if (!result_) return;
    V_VT(result_) = VT_R8;
    V_R8(result_) = value;
}

void Invocation::ReturnText(std::wstring_view text) const {
    if (!result_) return;
    unique_bstr b(text);
    V_VT(result_) = VT_BSTR;
    V_BSTR(result_) = b.release();
}

void Invocation::ReturnObject(IUnknown* object) const {
    if (!result_) return;
    ComPtr<IDispatch> dispatch;
    if (object && FAILED(object->QueryInterface(IID_PPV_ARGS(&dispatch))))
        throw HostError(E_NOINTERFACE, L"The object has no IDispatch");
    V_VT(result_) = VT_DISPATCH;
    V_DISPATCH(result_) = dispatch.Detach();
}

void Invocation::ReturnCopy(const VARIANT& value) const {
    if (!result_) return;
    HRESULT hr = VariantCopy(result_, const_cast<VARIANT*>(&value));
    if (FAILED(hr)) throw HostError(hr, L"Copying a value failed");
}

// ---- ScriptObject

ScriptObject::ScriptObject(std::span<const MemberName> members, const wchar_t* source)
    : members_(members), source_(source) {
    DISPID highest = 0;
    for (const MemberName& m : members_) highest = std::max(highest, m.id);
    counts_.assign(static_cast<size_t>(highest) + 1, 0);
    byId_.assign(static_cast<size_t>(highest) + 1, nullptr);
    for (const MemberName& m : members_) byId_[static_cast<size_t>(m.id)] = &m;
    ModuleAddRef();
}

ScriptObject::~ScriptObject() { ModuleRelease(); }

HRESULT ScriptObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG ScriptObject::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT ScriptObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ScriptObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

const MemberName* ScriptObject::Find(std::wstring_view name) const noexcept {
    for (const MemberName& m : members_)
        if (EqualNoCase(m.name, name)) return &m;
    return nullptr;
}

HRESULT ScriptObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const MemberName* member = names[0] ? Find(names[0]) : nullptr;
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // the members have no named parameters
}

HRESULT ScriptObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excep, UINT* argErr) {
    if (id <= 0 || static_cast<size_t>(id) >= byId_.size() || !byId_[static_cast<size_t>(id)])
        return DISP_E_MEMBERNOTFOUND;
    const MemberName* member = byId_[static_cast<size_t>(id)];
    if (member->counted) ++counts_[static_cast<size_t>(id)];

    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const UINT named = params ? params->cNamedArgs : 0;
    if (named > (isPut ? 1u : 0u) || (named == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_NONAMEDARGS;

    VARIANT scratch;
    VariantInit(&scratch);
    VARIANT* out = result ? result : &scratch;
    auto fail = [&](HRESULT hr, const std::wstring& text) {
        VariantClear(out);
        if (!excep) return hr;
        *excep = EXCEPINFO{};
        excep->scode = hr;
        excep->bstrSource = SysAllocString(source_);
        excep->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return DISP_E_EXCEPTION;
    };
    try {
        Invocation call(flags, params, out);
        Dispatch(id, call);
        VariantClear(&scratch);
        return S_OK;
    } catch (const CallRefused& refused) {
        VariantClear(out);
        if (argErr) *argErr = refused.argErr;
        return refused.hr;
    } catch (const HostError& error) {
        return fail(error.hr(), error.text());
    } catch (const std::bad_alloc&) {
        return fail(E_OUTOFMEMORY, L"Out of memory");
    } catch (...) {
        return fail(E_UNEXPECTED, L"Unexpected internal error");
    }
}

uint64_t ScriptObject::CountOf(std::wstring_view name) const {
    const MemberName* member = Find(name);
    if (!member) throw HostError(DISP_E_UNKNOWNNAME, L"CallCount: there is no member '" + std::wstring(name) + L"'");
    return counts_[static_cast<size_t>(member->id)];
}

uint64_t ScriptObject::TotalCount() const noexcept {
    uint64_t total = 0;
    for (uint64_t n : counts_) total += n;
    return total;
}

void ScriptObject::ResetCounts() noexcept { std::fill(counts_.begin(), counts_.end(), 0); }

}  // namespace testhost
