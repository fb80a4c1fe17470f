// Column lists: the forms hosts and exporters rely on.
#include "common/export_options.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ColumnList, EnclosingAddsOneCommaEachSideAndNothingElse) {
    EXPECT_EQ(EncloseColumnList(L""), L"");
    EXPECT_EQ(EncloseColumnList(L"0"), L",0,");
    EXPECT_EQ(EncloseColumnList(L"1,3"), L",1,3,");
    EXPECT_EQ(EncloseColumnList(L",1,3,"), L",,1,3,,");
    EXPECT_EQ(EncloseColumnList(L" x "), L", x ,");
}

TEST(ColumnList, GeneratedListsSelectExactlyTheirColumns) {
    EXPECT_EQ(AllColumnsList(3), L",0,1,2,");
    EXPECT_EQ(AllColumnsList(0), L",");
    EXPECT_EQ(EachColumnEnclosed(3), L",0,,1,,2,");
    EXPECT_EQ(EachColumnEnclosed(0), L"");

    const std::wstring all = AllColumnsList(12);
    for (long c = 0; c < 12; ++c) EXPECT_TRUE(IsColumnSelected(all, c)) << c;
    EXPECT_FALSE(IsColumnSelected(all, 12));
    // Column 1 must not match inside 11, nor 2 inside 12.
    EXPECT_FALSE(IsColumnSelected(L",11,12,", 1));
    EXPECT_FALSE(IsColumnSelected(L",11,12,", 2));
    EXPECT_TRUE(IsColumnSelected(L",,1,3,,", 3));
    EXPECT_FALSE(IsColumnSelected(L"1,3", 1));
}

}  // namespace
}  // namespace tarn
