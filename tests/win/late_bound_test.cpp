// Reaching host objects by member name: DISPIDs looked up once, the fallbacks for objects
// that answer only some call kinds or only IDispatchEx, object writes falling back from
// PUTREF to PUT, errors with the host's text, and the hand-made value conversions.
#include "com/errors.h"
#include "fake_host.h"
#include "tables/grid_table.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using LateBoundTest = ComTest;

TEST_F(LateBoundTest, LooksEachMemberUpOnceFallsBackBetweenCallKindsAndCarriesTheHostsErrors) {
    for (bool onlyEx : {false, true}) {
        SCOPED_TRACE(onlyEx ? "object answering only IDispatchEx::GetDispID" : "plain IDispatch object");
        FakeHost host(onlyEx);
        GridTable grid(&host);
        for (long c = 0; c < 5; ++c) {
            EXPECT_EQ(grid.Cols(), 4);
            EXPECT_EQ(grid.ColWidth(c), 100 * c);
        }
        EXPECT_EQ(grid.RowHeight(3), -1);
        EXPECT_EQ(host.lookups, 3) << "one name lookup per member, not per call";

        auto picture = EmptyPicture();
        grid.SetWallPaper(picture.Get());
        EXPECT_EQ(grid.WallPaper().Get(), picture.Get()) << "PUTREF refused, PUT taken";
        grid.SetWallPaper(nullptr);
        EXPECT_FALSE(grid.WallPaper());

        LateBound object(&host);
        for (const wchar_t* member : {L"Broken", L"NoSuchMember"}) {
            try {
                object.Get(member);
                ADD_FAILURE() << "no error raised";
            } catch (const ComError& e) {
                EXPECT_NE(e.description().find(member), std::wstring::npos) << Narrow(e.description());
                EXPECT_EQ(e.description().find(L"Subscript out of range") != std::wstring::npos,
                          member == std::wstring(L"Broken"));
            }
        }
    }
}

TEST_F(LateBoundTest, CommonTypesConvertAsAutomationDoes) {
    VARIANT real;
    V_VT(&real) = VT_R8;
    for (const auto& [value, rounded] : {std::pair{2.5, 2L}, {3.5, 4L}, {-2.5, -2L}}) {
        V_R8(&real) = value;
        EXPECT_EQ(VariantToLong(real), rounded) << value << ": half-way values round to even";
    }
    V_R8(&real) = 3e10;
    EXPECT_THROW(VariantToLong(real), ComError);
    EXPECT_EQ(VariantToText(BoolArg(true)), L"True");
    // Values handed over by reference, directly or through a variant, as scripts pass them.
    const unique_bstr digits(L"42");
    VARIANT text = TextArg(digits), outer;
    V_VT(&outer) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&outer) = &text;
    EXPECT_EQ(VariantToLong(outer), 42);
}

}  // namespace
}  // namespace tarn::test
