// The grid as script engines call it: literals, variables by reference, values where
// outputs cannot go back, names in any case, refused call shapes, error texts; and the
// call counters and the write log the engine's tests read.
#include "host.h"

namespace testhost::test {
namespace {

class GridCalls : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        grid_ = NewGrid();
        ASSERT_TRUE(grid_);
        Call(L"LoadFromText", {Str(L"rows = 4\ncols = 4\n---\nh|a|b|c\n1|x|y|z\n@merge 1,2:2,3")});
    }
    void TearDown() override {
        grid_.Reset();
        HostTest::TearDown();
    }
    Outcome Call(const wchar_t* member, std::vector<VARIANT> args = {}) {
        return Invoke(grid_.Get(), member, DISPATCH_METHOD, std::move(args));
    }
    Outcome Get(const wchar_t* member, std::vector<VARIANT> args = {}) {
        return Invoke(grid_.Get(), member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args));
    }
    Outcome Put(const wchar_t* member, VARIANT value, std::vector<VARIANT> args = {}) {
        return Invoke(grid_.Get(), member, DISPATCH_PROPERTYPUT, std::move(args), &value);
    }
    long Count(const wchar_t* member) { return VariantToLong(Call(L"CallCount", {Str(member)}).result); }
    std::wstring WriteLog() { return VariantToText(Get(L"WriteLog").result); }

    ComPtr<IDispatch> grid_;
};

TEST_F(GridCalls, ScriptLiteralsAndVariablesAreAcceptedAlike) {
    // VBScript passes small literals as VT_I2 and variables as VT_VARIANT|VT_BYREF.
    VARIANT setting = I4(0), row = I2(1), col = Str(L"2");
    Outcome byValue = Get(L"Cell", {I2(0), I2(1), I2(2)});
    Outcome byRef = Get(L"Cell", {VarRef(&setting), VarRef(&row), VarRef(&col)});
    ASSERT_EQ(byValue.hr, S_OK);
    ASSERT_EQ(byRef.hr, S_OK);
    EXPECT_EQ(VariantToText(byValue.result), L"y");
    EXPECT_EQ(VariantToText(byRef.result), L"y");

    VARIANT text = Str(L"new");
    EXPECT_EQ(Put(L"Cell", VarRef(&text), {I2(0), VarRef(&row), I2(3)}).hr, S_OK);
    EXPECT_EQ(VariantToText(Get(L"cell", {I2(0), I2(1), I2(3)}).result), L"new");
    // A typed by-reference Long, as compiled callers pass it.
    LONG three = 3;
    VARIANT refLong;
    V_VT(&refLong) = VT_I4 | VT_BYREF;
    V_I4REF(&refLong) = &three;
    EXPECT_EQ(VariantToText(Get(L"Cell", {I4(0), I4(0), refLong}).result), L"c");
}

TEST_F(GridCalls, GetMergedRangeWritesScriptVariablesAndIgnoresValues) {
    VARIANT out[4];
    for (VARIANT& v : out) VariantInit(&v);
    VARIANT row = I2(2);
    ASSERT_EQ(Call(L"GetMergedRange", {VarRef(&row), I2(3), VarRef(&out[0]), VarRef(&out[1]), VarRef(&out[2]),
                                       VarRef(&out[3])})
                  .hr,
              S_OK);
    const long expected[] = {1, 2, 2, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(V_VT(&out[i]), VT_I4) << "output " << i;
        EXPECT_EQ(V_I4(&out[i]), expected[i]) << "output " << i;
    }
    // JScript passes everything by value: the call succeeds and nothing comes back.
    Outcome byValue = Call(L"GetMergedRange", {I4(1), I4(1), I4(0), I4(0), I4(0), I4(0)});
    EXPECT_EQ(byValue.hr, S_OK);
    // A by-reference output of a type that cannot hold a number is refused, not ignored.
    BSTR text = nullptr;
    VARIANT wrong;
    V_VT(&wrong) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&wrong) = &text;
    EXPECT_EQ(Call(L"GetMergedRange", {I4(1), I4(1), wrong, wrong, wrong, wrong}).hr, DISP_E_TYPEMISMATCH);
}

TEST_F(GridCalls, NamesAreFoundInAnyCase) {
    for (auto [first, second] : {std::pair{L"Cell", L"CELL"}, std::pair{L"hWnd", L"HWND"},
                                 std::pair{L"getmergedrange", L"GetMergedRange"}}) {
        DISPID a = 0, b = 0;
        auto* na = const_cast<LPOLESTR>(first);
        auto* nb = const_cast<LPOLESTR>(second);
        ASSERT_EQ(grid_->GetIDsOfNames(IID_NULL, &na, 1, 0, &a), S_OK);
        ASSERT_EQ(grid_->GetIDsOfNames(IID_NULL, &nb, 1, 0, &b), S_OK);
        EXPECT_EQ(a, b);
    }
    auto* unknown = const_cast<LPOLESTR>(L"Cells");
    DISPID id = 0;
    EXPECT_EQ(grid_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(GridCalls, CallShapesAMemberDoesNotTakeAreRefusedWithTheUsualCodes) {
    EXPECT_EQ(Put(L"Picture", I4(1)).hr, DISP_E_MEMBERNOTFOUND) << "read-only";
    EXPECT_EQ(Put(L"CellTop", I4(1)).hr, DISP_E_MEMBERNOTFOUND);
    VARIANT three = I4(3);
    EXPECT_EQ(Invoke(grid_.Get(), L"Rows", DISPATCH_PROPERTYPUTREF, {}, &three).hr, DISP_E_MEMBERNOTFOUND)
        << "Set on a plain value";
    EXPECT_EQ(Get(L"Cell", {I4(0), I4(1)}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Get(L"RowHeight").hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Put(L"Rows", Str(L"many")).hr, DISP_E_TYPEMISMATCH);

    // Named arguments other than the value of a put.
    VARIANT arg = I4(1);
    DISPID named = 7, id = 0;
    auto* name = const_cast<LPOLESTR>(L"RowHeight");
    grid_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    DISPPARAMS params{&arg, &named, 1, 1};
    unique_variant result;
    EXPECT_EQ(grid_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr), DISP_E_NONAMEDARGS);
    EXPECT_EQ(grid_->Invoke(9999, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(GridCalls, FailuresComeBackAsExceptionsWithAReadableText) {
    Outcome badRow = Put(L"Row", I4(9));
    ASSERT_EQ(badRow.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(badRow.scode, DISP_E_BADINDEX);
    EXPECT_NE(badRow.error.find(L"Row 9 is out of range"), std::wstring::npos) << Narrow(badRow.error);

    Outcome badKind = Call(L"SaveGrid", {Str(L"Z:\\nowhere.xml"), I4(3), Bool(true)});
    ASSERT_EQ(badKind.hr, DISP_E_EXCEPTION);
    EXPECT_NE(badKind.error.find(L"kind 6"), std::wstring::npos);
}

TEST_F(GridCalls, CallCountCountsEveryCallByNameInAnyCase) {
    Call(L"ResetCounters");
    Get(L"Cell", {I4(0), I4(1), I4(1)});
    Get(L"CELL", {I4(0), I4(1), I4(2)});
    Get(L"Cell", {I4(0), I4(99), I4(1)});  // failing calls count too
    Put(L"Cell", Str(L"v"), {I4(0), I4(1), I4(1)});
    Get(L"Rows");
    EXPECT_EQ(Count(L"Cell"), 4);
    EXPECT_EQ(Count(L"cell"), 4);
    EXPECT_EQ(Count(L"Rows"), 1);
    EXPECT_EQ(Count(L"Cols"), 0);
    // The counting members themselves are not counted.
    Count(L"Cell");
    WriteLog();
    EXPECT_EQ(VariantToLong(Get(L"TotalCalls").result), 5);
    EXPECT_EQ(Count(L"CallCount"), 0);

    Outcome unknown = Call(L"CallCount", {Str(L"Cells")});
    EXPECT_EQ(unknown.hr, DISP_E_EXCEPTION);
    EXPECT_NE(unknown.error.find(L"Cells"), std::wstring::npos);

    Call(L"ResetCounters");
    EXPECT_EQ(Count(L"Cell"), 0);
    EXPECT_EQ(VariantToLong(Get(L"TotalCalls").result), 0);
}

TEST_F(GridCalls, WriteLogListsTheWatchedWritesInOrder) {
    Call(L"ResetCounters");
    EXPECT_EQ(WriteLog(), L"");
    ComPtr<IDispatch> picture = VariantToObject(Call(L"MakePicture", {I4(2), I4(2), I4(0)}).result);
    ComPtr<IDispatch> other = NewChart();

    Put(L"Redraw", Bool(false));
    Put(L"Row", I4(2));
    Put(L"Col", I2(3));
    Put(L"ColHidden", Bool(true), {I4(2)});
    Put(L"RowHidden", I4(0), {I4(1)});
    VARIANT pictureValue = Obj(picture.Get());
    Invoke(grid_.Get(), L"WallPaper", DISPATCH_PROPERTYPUTREF, {}, &pictureValue);
    Put(L"WallPaper", Obj(other.Get()));
    VARIANT nothing = Obj(nullptr);
    Invoke(grid_.Get(), L"WallPaper", DISPATCH_PROPERTYPUTREF, {}, &nothing);
    Put(L"Row", I4(99));                       // refused: not logged
    Put(L"Rows", I4(4));                        // not a watched member
    Put(L"Cell", Str(L"x"), {I4(0), I4(1), I4(1)});
    Put(L"Redraw", Bool(true));

    EXPECT_EQ(WriteLog(),
              L"Redraw=False\r\nRow=2\r\nCol=3\r\nColHidden(2)=True\r\nRowHidden(1)=False\r\n"
              L"WallPaper=<picture>\r\nWallPaper=<object>\r\nWallPaper=Nothing\r\nRedraw=True");
    Call(L"ResetCounters");
    EXPECT_EQ(WriteLog(), L"") << "ResetCounters empties the log too";
}

}  // namespace
}  // namespace testhost::test
