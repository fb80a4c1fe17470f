// Late-bound objects without a type library: a member name table, our own Invoke that takes
// arguments by value, by reference (VT_I4|VT_BYREF) and as script variables
// (VT_VARIANT|VT_BYREF), a call count per member, and errors reported through EXCEPINFO.
#pragma once

#include "com/handles.h"

#include <ole2.h>

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testhost {

using tarn::ComPtr;
using tarn::unique_bstr;
using tarn::unique_variant;

// A failing member: Invoke answers DISP_E_EXCEPTION with this text and `hr` as the scode.
class HostError : public std::exception {
public:
    HostError(HRESULT hr, std::wstring text) : hr_(hr), text_(std::move(text)) {}
    HRESULT hr() const noexcept { return hr_; }
    const std::wstring& text() const noexcept { return text_; }
    const char* what() const noexcept override { return "test host error"; }

private:
    HRESULT hr_;
    std::wstring text_;
};

// A call the member cannot take in this shape (wrong kind, count or type): Invoke returns
// `hr` itself, the way automation objects refuse calls, so callers can try another form.
struct CallRefused {
    HRESULT hr;
    UINT argErr = 0;
};

// The DLL's module count, behind DllCanUnloadNow.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
long ModuleCount() noexcept;
HMODULE ModuleHandle() noexcept;

// One call as Invoke received it. Positional arguments are numbered in natural order
// (the first one the caller wrote is 0); a put's value is separate.
class Invocation {
public:
    Invocation(WORD flags, DISPPARAMS* params, VARIANT* result);

    bool IsPut() const noexcept { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    bool IsPutRef() const noexcept { return (flags_ & DISPATCH_PROPERTYPUTREF) != 0; }
    size_t Count() const noexcept { return positional_; }

    // Refuses the call unless it has between `min` and `max` positional arguments.
    void Expect(size_t min, size_t max) const;
    void Expect(size_t n) const { Expect(n, n); }
    // Refuses a put (the member is read-only or a method).
    void NoPut() const;

    bool Missing(size_t i) const;
    const VARIANT& Arg(size_t i) const;  // dereferenced
    long Long(size_t i) const;
    bool Bool(size_t i) const;
    double Double(size_t i) const;
    std::wstring Text(size_t i) const;
    // The object passed, null for Nothing/Empty; refuses other values.
    ComPtr<IDispatch> Object(size_t i) const;
    // Writes a by-reference output. Values passed by value (JScript) are left alone.
    void SetOutput(size_t i, long value) const;

    const VARIANT& Value() const;  // the value of a put, dereferenced
    long ValueLong() const;
    bool ValueBool() const;
    double ValueDouble() const;
    std::wstring ValueText() const;
    ComPtr<IDispatch> ValueObject() const;

    void Return(long value) const;
    void ReturnBool(bool value) const;
    void ReturnDouble(double value) const;
    void ReturnText(std::wstring_view text) const;
    void ReturnObject(IUnknown* object) const;  // null returns Nothing
    void ReturnCopy(const VARIANT& value) const;

private:
    UINT Slot(size_t i) const;
    long ToLong(const VARIANT& v, UINT slot) const;
    bool ToBool(const VARIANT& v, UINT slot) const;
    double ToDouble(const VARIANT& v, UINT slot) const;
    std::wstring ToText(const VARIANT& v, UINT slot) const;
    ComPtr<IDispatch> ToObject(const VARIANT& v, UINT slot) const;

    WORD flags_;
    DISPPARAMS* params_;
    VARIANT* result_;
    size_t positional_;
};

// Text of a value the way a script shows it: Booleans as True/False, numbers in the
// invariant form, dates and others through the US English conversion.
std::wstring VariantText(const VARIANT& v);

struct MemberName {
    const wchar_t* name;
    DISPID id;
    bool counted = true;  // false for the members that report the counts
};

// IDispatch over a member table. Member DISPIDs are small positive numbers.
class ScriptObject : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override;

protected:
    ScriptObject(std::span<const MemberName> members, const wchar_t* source);
    virtual ~ScriptObject();
    ScriptObject(const ScriptObject&) = delete;
    ScriptObject& operator=(const ScriptObject&) = delete;

    virtual void Dispatch(DISPID id, Invocation& call) = 0;

    // Counting: calls per member since the last reset.
    uint64_t CountOf(std::wstring_view name) const;  // throws for an unknown name
    uint64_t TotalCount() const noexcept;
    void ResetCounts() noexcept;
    const MemberName* Find(std::wstring_view name) const noexcept;

private:
    std::span<const MemberName> members_;
    const wchar_t* source_;
    std::vector<const MemberName*> byId_;
    std::vector<uint64_t> counts_;
    LONG refs_ = 1;
};

}  // namespace testhost
