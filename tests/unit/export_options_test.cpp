// Column lists and the component's own description: the forms hosts and exporters rely on.
#include "engine/component_info.h"
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

TEST(ComponentInfo, VersionTextSkipsTheBuildPart) {
    EXPECT_EQ(ShortVersionText(7, 0, 0, 95), L"7.0.95");
    EXPECT_EQ(ShortVersionText(7, 1, 4, 0), L"7.1.0");
    EXPECT_EQ(ShortVersionText(65535, 65535, 1, 65535), L"65535.65535.65535");
}

TEST(ComponentInfo, PathLosesOnlyTheFileExtension) {
    EXPECT_EQ(PathWithoutExtension(L"C:\\Program Files\\Q\\TarnwickExports7.dll"),
              L"C:\\Program Files\\Q\\TarnwickExports7");
    EXPECT_EQ(PathWithoutExtension(L"C:\\a.b\\Engine"), L"C:\\a.b\\Engine");
    EXPECT_EQ(PathWithoutExtension(L"C:\\dir\\name.tar.gz"), L"C:\\dir\\name.tar");
    EXPECT_EQ(PathWithoutExtension(L"Z:/mixed\\x.y/file"), L"Z:/mixed\\x.y/file");
}

}  // namespace
}  // namespace tarn
