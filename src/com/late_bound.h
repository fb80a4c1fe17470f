// Late-bound calls on a host object by member name. Each member's DISPID is looked up once
// per object (GetIDsOfNames, or IDispatchEx::GetDispID for script objects that only answer
// that) and then only Invoke runs. Failures throw ComError naming the member.
#pragma once

#include "com/handles.h"

#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarn {

class LateBound {
public:
    LateBound() = default;
    explicit LateBound(IDispatch* object) : object_(object) {}

    IDispatch* object() const noexcept { return object_.Get(); }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    // Reads a property. With arguments it is invoked the way Visual Basic reads an indexed
    // property: as a property get or method call together, then each alone.
    unique_variant Get(const wchar_t* member, std::initializer_list<VARIANT> args = {});
    // Reads a value that is not an object. A script object whose member is a function
    // answers a plain property get with the function itself; that member is then called.
    unique_variant GetValue(const wchar_t* member, std::initializer_list<VARIANT> args = {});
    // Writes a property by value (DISPATCH_PROPERTYPUT).
    void Put(const wchar_t* member, const VARIANT& value, std::initializer_list<VARIANT> args = {});
    // Writes an object reference (DISPATCH_PROPERTYPUTREF, then PUT for objects that only take that).
    void PutRef(const wchar_t* member, IDispatch* value);
    // Calls a method. Arguments are in natural order; by-reference outputs are VT_BYREF variants.
    unique_variant Call(const wchar_t* member, std::initializer_list<VARIANT> args = {});

    DISPID IdOf(const wchar_t* member);

private:
    HRESULT Invoke(DISPID id, WORD flags, std::initializer_list<VARIANT> args, const VARIANT* putValue,
                   VARIANT* result, std::wstring* error);
    [[noreturn]] void Fail(const wchar_t* member, HRESULT hr, const std::wstring& detail);

    // Found by the caller's name without copying it: grids are read member by member, cell by cell.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::wstring_view name) const noexcept { return std::hash<std::wstring_view>{}(name); }
    };
    ComPtr<IDispatch> object_;
    std::unordered_map<std::wstring, DISPID, NameHash, std::equal_to<>> ids_;
};

// VARIANT makers for arguments.
VARIANT LongArg(long value) noexcept;
VARIANT BoolArg(bool value) noexcept;
VARIANT ByRefLong(long* target) noexcept;

// Conversions of host values, done by hand for the common types because the platform's
// general coercion is slow on per-cell paths. Uncommon types fall back to it.
long VariantToLong(const VARIANT& v);
bool VariantToBool(const VARIANT& v);
double VariantToDouble(const VARIANT& v);
std::wstring VariantToText(const VARIANT& v);
// The object held by a VT_DISPATCH/VT_UNKNOWN value (by reference too), or null.
ComPtr<IDispatch> VariantToObject(const VARIANT& v);

}  // namespace tarn
