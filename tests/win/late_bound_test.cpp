// Reaching host objects by member name: DISPIDs looked up once, the fallbacks for objects
// that answer only some call kinds, by-reference outputs, errors with the host's text, and
// the hand-made value conversions.
#include "com/errors.h"
#include "com/late_bound.h"
#include "component.h"
#include "tables/grid_table.h"

#include <dispex.h>

#include <cmath>
#include <map>
#include <vector>

namespace tarn::test {
namespace {

// A host object whose members behave in the awkward ways real hosts do.
class FakeHost final : public IDispatchEx {
public:
    explicit FakeHost(bool onlyDispatchEx = false) : onlyDispatchEx_(onlyDispatchEx) {}

    int lookups = 0;
    std::vector<std::pair<std::wstring, WORD>> calls;
    bool mergedWritesBack = false;
    ComPtr<IDispatch> wallPaper;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || (iid == __uuidof(IDispatchEx) && onlyDispatchEx_)) {
            *out = static_cast<IDispatchEx*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
        if (onlyDispatchEx_) return E_NOTIMPL;
        return Lookup(names[0], id);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        std::wstring name = kNames[id];
        calls.emplace_back(name, flags);
        auto ret = [&](VARIANT v) {
            if (result) *result = v;
            return S_OK;
        };
        if (name == L"Cols" && flags & DISPATCH_PROPERTYGET) return ret(LongArg(4));
        // Answers a strict property get only, refusing the combined get-or-call form.
        if (name == L"ColWidth") {
            if (flags != DISPATCH_PROPERTYGET) return DISP_E_MEMBERNOTFOUND;
            return ret(LongArg(100 * V_I4(&p->rgvarg[0])));
        }
        // A method that refuses to be read as a property.
        if (name == L"RowHeight") {
            if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
            return ret(LongArg(-1));
        }
        if (name == L"Cell") {  // args last-first: col, row, setting
            long setting = V_I4(&p->rgvarg[2]), row = V_I4(&p->rgvarg[1]), col = V_I4(&p->rgvarg[0]);
            VARIANT v;
            VariantInit(&v);
            if (setting == 0) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = SysAllocString((L"r" + std::to_wstring(row) + L"c" + std::to_wstring(col)).c_str());
            } else if (setting == 13) {
                V_VT(&v) = VT_BOOL;
                V_BOOL(&v) = VARIANT_TRUE;
            } else if (setting == 12) {
                V_VT(&v) = VT_R8;
                V_R8(&v) = 10.5;
            }
            return ret(v);
        }
        if (name == L"GetMergedRange") {
            if (p->cArgs != 6) return DISP_E_BADPARAMCOUNT;
            for (UINT i = 0; i < 4; ++i)
                if (V_VT(&p->rgvarg[i]) != (VT_I4 | VT_BYREF)) return DISP_E_TYPEMISMATCH;
            if (mergedWritesBack) {  // r1, c1, r2, c2 are rgvarg[3..0]
                *V_I4REF(&p->rgvarg[3]) = 1;
                *V_I4REF(&p->rgvarg[2]) = 0;
                *V_I4REF(&p->rgvarg[1]) = 2;
                *V_I4REF(&p->rgvarg[0]) = 3;
            }
            return S_OK;
        }
        if (name == L"WallPaper") {
            if (flags == DISPATCH_PROPERTYPUTREF) return DISP_E_MEMBERNOTFOUND;  // takes plain puts only
            if (flags == DISPATCH_PROPERTYPUT) {
                wallPaper = V_DISPATCH(&p->rgvarg[0]);
                return S_OK;
            }
            VARIANT v;
            V_VT(&v) = VT_DISPATCH;
            V_DISPATCH(&v) = wallPaper.Get();
            if (wallPaper) wallPaper->AddRef();
            return ret(v);
        }
        if (name == L"Redraw") {
            EXPECT_EQ(p->cNamedArgs, 1u);
            EXPECT_EQ(p->rgdispidNamedArgs[0], DISPID_PROPERTYPUT);
            return S_OK;
        }
        if (name == L"Broken") {
            *excep = EXCEPINFO{};
            excep->scode = E_FAIL;
            excep->bstrDescription = SysAllocString(L"Subscript out of range");
            return DISP_E_EXCEPTION;
        }
        return DISP_E_MEMBERNOTFOUND;
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
        for (size_t i = 0; i < std::size(kNames); ++i)
            if (_wcsicmp(kNames[i], name) == 0) {
                *id = static_cast<DISPID>(i);
                return S_OK;
            }
        *id = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    static constexpr const wchar_t* kNames[] = {L"Cols", L"ColWidth", L"RowHeight", L"Cell", L"GetMergedRange",
                                                L"WallPaper", L"Redraw", L"Broken"};
    bool onlyDispatchEx_;
    ULONG refs_ = 1;
};

TEST(LateBound, LooksEachMemberUpOnceAndFallsBackBetweenCallKinds) {
    for (bool onlyEx : {false, true}) {
        SCOPED_TRACE(onlyEx ? "object answering only IDispatchEx::GetDispID" : "plain IDispatch object");
        FakeHost host(onlyEx);
        GridTable grid(&host);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(grid.Cols(), 4);
        for (long c = 0; c < 5; ++c) EXPECT_EQ(grid.ColWidth(c), 100 * c);
        EXPECT_EQ(grid.RowHeight(3), -1);
        EXPECT_EQ(host.lookups, 3) << "one name lookup per member, not per call";
        EXPECT_EQ(grid.CellText(2, 3), L"r2c3");
        EXPECT_TRUE(grid.CellBool(CellSetting::FontBold, 0, 0));
        EXPECT_EQ(grid.CellLong(CellSetting::FontSize, 0, 0), 10) << "10.5 rounds half to even";
        grid.SetRedraw(false);
    }
}

TEST(LateBound, MergedRangeOutputsStartAtTheCellItself) {
    FakeHost host;
    GridTable grid(&host);
    CellRange own = grid.MergedRange(5, 7);
    EXPECT_EQ(own.row1, 5);
    EXPECT_EQ(own.col1, 7);
    EXPECT_EQ(own.row2, 5);
    EXPECT_EQ(own.col2, 7);
    host.mergedWritesBack = true;
    CellRange block = grid.MergedRange(1, 1);
    EXPECT_EQ(block.row1, 1);
    EXPECT_EQ(block.col1, 0);
    EXPECT_EQ(block.row2, 2);
    EXPECT_EQ(block.col2, 3);
}

TEST(LateBound, ObjectReferencesFallBackToPlainPutAndFailuresCarryTheHostText) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        FakeHost host;
        GridTable grid(&host);
        auto picture = EmptyPicture();
        ASSERT_TRUE(picture);
        grid.SetWallPaper(picture.Get());
        EXPECT_EQ(host.wallPaper.Get(), picture.Get());
        EXPECT_EQ(grid.WallPaper().Get(), picture.Get());
        grid.SetWallPaper(nullptr);
        EXPECT_FALSE(grid.WallPaper());

        LateBound object(&host);
        try {
            object.Get(L"Broken");
            ADD_FAILURE() << "no error raised";
        } catch (const ComError& e) {
            EXPECT_EQ(e.hr(), E_FAIL);
            EXPECT_NE(e.description().find(L"Broken"), std::wstring::npos);
            EXPECT_NE(e.description().find(L"Subscript out of range"), std::wstring::npos);
        }
        try {
            object.Get(L"NoSuchMember");
            ADD_FAILURE() << "no error raised";
        } catch (const ComError& e) {
            EXPECT_EQ(e.hr(), DISP_E_UNKNOWNNAME);
            EXPECT_NE(e.description().find(L"NoSuchMember"), std::wstring::npos);
        }
        LateBound nothing;
        EXPECT_THROW(nothing.Get(L"Cols"), ComError);
    }
    CoUninitialize();
}

VARIANT Make(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    return v;
}

TEST(VariantConversion, CommonTypesConvertAsAutomationDoes) {
    VARIANT r8 = Make(VT_R8);
    V_R8(&r8) = 2.5;
    EXPECT_EQ(VariantToLong(r8), 2);
    V_R8(&r8) = 3.5;
    EXPECT_EQ(VariantToLong(r8), 4);
    V_R8(&r8) = -2.5;
    EXPECT_EQ(VariantToLong(r8), -2);
    V_R8(&r8) = 3e10;
    EXPECT_THROW(VariantToLong(r8), ComError);

    VARIANT b = Make(VT_BOOL);
    V_BOOL(&b) = VARIANT_TRUE;
    EXPECT_EQ(VariantToLong(b), -1);
    EXPECT_EQ(VariantToText(b), L"True");
    EXPECT_EQ(VariantToText(Make(VT_EMPTY)), L"");
    EXPECT_EQ(VariantToText(Make(VT_NULL)), L"");
    EXPECT_FALSE(VariantToBool(Make(VT_EMPTY)));

    VARIANT i2 = Make(VT_I2);
    V_I2(&i2) = -32768;
    EXPECT_EQ(VariantToText(i2), L"-32768");
    VARIANT text = Make(VT_BSTR);
    V_BSTR(&text) = SysAllocString(L"42");
    EXPECT_EQ(VariantToLong(text), 42) << "uncommon routes still convert";
    EXPECT_TRUE(VariantToBool(text));

    // Values handed over by reference, directly or through a variant.
    LONG target = 7;
    VARIANT ref = Make(VT_I4 | VT_BYREF);
    V_I4REF(&ref) = &target;
    EXPECT_EQ(VariantToText(ref), L"7");
    VARIANT outer = Make(VT_VARIANT | VT_BYREF);
    V_VARIANTREF(&outer) = &text;
    EXPECT_EQ(VariantToText(outer), L"42");
    VariantClear(&text);

    VARIANT d = Make(VT_R8);
    V_R8(&d) = 0.1;
    EXPECT_DOUBLE_EQ(VariantToDouble(d), 0.1);
    EXPECT_FALSE(VariantToObject(d));
}

}  // namespace
}  // namespace tarn::test
