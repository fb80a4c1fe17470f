// Failures inside the component reach callers as HRESULTs with a readable description,
// through vtable calls and through IDispatch alike, and never as a crash.
#include "com/errors.h"
#include "component.h"
#include "engine/exporter_classes.h"

#include <stdexcept>

namespace tarn::test {
namespace {

std::wstring LastErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return L"<no error info>";
    unique_bstr text;
    info->GetDescription(text.put());
    return text.str();
}

using ErrorsTest = ComTest;

TEST_F(ErrorsTest, BoundaryTurnsEveryExceptionIntoAnHresultWithText) {
    EXPECT_EQ(ComBoundary([] { throw ComError(E_ACCESSDENIED, L"The file is locked"); }), E_ACCESSDENIED);
    EXPECT_EQ(LastErrorDescription(), L"The file is locked");
    EXPECT_EQ(ComBoundary([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(ComBoundary([] { throw std::runtime_error("U+20AC is not in the ANSI code page"); }), E_UNEXPECTED);
    EXPECT_EQ(LastErrorDescription(), L"U+20AC is not in the ANSI code page");
    EXPECT_EQ(ComBoundary([] {}), S_OK);
    try {
        ThrowIfFailed(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"Opening the target");
        ADD_FAILURE();
    } catch (const ComError& e) {
        EXPECT_EQ(e.description().rfind(L"Opening the target failed (0x80070002)", 0), 0u)
            << Narrow(e.description());
    }
    EXPECT_TRUE(TryStep([] {}));
    EXPECT_FALSE(TryStep([] { throw ComError(E_FAIL, L"skipped"); }));
}

// An exporter whose text export fails the way a real one does when its file is locked.
class LockedFileExporter final : public ExporterClass<LockedFileExporter, _ExportCSV> {
protected:
    bool DoExportText(const std::wstring&) override { throw ComError(E_ACCESSDENIED, L"The file is locked"); }
};

TEST_F(ErrorsTest, FailingMembersReportThroughVtableAndDispatch) {
    // The exporter's dispatch reads the type library of the component's file.
    SetModuleHandle(TheComponent().module);
    ComPtr<_ExportMEthod> exporter;
    ASSERT_EQ(LockedFileExporter::CreateInstance(__uuidof(_ExportMEthod), reinterpret_cast<void**>(exporter.GetAddressOf())),
              S_OK);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(exporter.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(_ExportMEthod)), S_OK);

    // A member that fails sets error info for vtable callers...
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(exporter->ExportText(unique_bstr(L"x").get(), &result), E_ACCESSDENIED);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(LastErrorDescription(), L"The file is locked");

    // ...and late-bound callers get DISP_E_EXCEPTION with the same text in EXCEPINFO.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"exporttext");
    ASSERT_EQ(exporter->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << "names are matched without case";
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"x");
    DISPPARAMS params{&text, nullptr, 1, 0};
    VARIANT returned;
    VariantInit(&returned);
    EXCEPINFO excep{};
    EXPECT_EQ(exporter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &returned, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    EXPECT_EQ(Text(excep.bstrDescription), L"The file is locked");
    EXPECT_EQ(Text(excep.bstrSource), L"TarnwickExports7");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    VariantClear(&text);
    exporter.Reset();
    support.Reset();
    ReleaseModuleCaches();
    SetModuleHandle(nullptr);
}

TEST_F(ErrorsTest, BadLateBoundCallsAreRefusedCleanly) {
    auto engine = Create<_Engine>(__uuidof(::Engine));
    ASSERT_TRUE(engine);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ExportText");
    ASSERT_EQ(engine->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    VARIANT result;
    VariantInit(&result);

    // Too few arguments, too many, and one that cannot become text.
    VARIANT one[1];
    V_VT(&one[0]) = VT_BSTR;
    V_BSTR(&one[0]) = SysAllocString(L"TXT");
    DISPPARAMS params{one, nullptr, 1, 0};
    EXPECT_EQ(engine->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              DISP_E_PARAMNOTOPTIONAL);
    VARIANT three[3] = {one[0], one[0], one[0]};
    params = {three, nullptr, 3, 0};
    EXPECT_EQ(engine->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    VARIANT two[2];
    two[0] = one[0];
    V_VT(&two[1]) = VT_UNKNOWN;  // the text argument, last-first
    V_UNKNOWN(&two[1]) = engine.Get();
    params = {two, nullptr, 2, 0};
    UINT argErr = 99;
    EXPECT_EQ(engine->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    VariantClear(&one[0]);

    // Assigning a read-only property is refused, not crashed on.
    LPOLESTR version = const_cast<LPOLESTR>(L"Version");
    ASSERT_EQ(engine->GetIDsOfNames(IID_NULL, &version, 1, 0, &id), S_OK);
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 1;
    DISPID put = DISPID_PROPERTYPUT;
    params = {&value, &put, 1, 1};
    EXPECT_EQ(engine->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace tarn::test
