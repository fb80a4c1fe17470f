// Path rules every exporter shares: extension fixing, taking paths apart, safe names and
// the save dialog's filter preselection, with the cases hosts actually hit.
#include "common/file_names.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(FileNames, EnsureExtensionKeepsAcceptedExtensionsAndAppendsTheFirstOtherwise) {
    EXPECT_EQ(EnsureExtension(L"report", L"csv;cdf"), L"report.csv");
    EXPECT_EQ(EnsureExtension(L"report.CDF", L"csv;cdf"), L"report.CDF");
    EXPECT_EQ(EnsureExtension(L"report.txt", L"csv;cdf"), L"report.txt.csv");
    // Only the last path element has an extension; a dot in a folder name does not count.
    EXPECT_EQ(EnsureExtension(L"C:\\out.v2\\report", L"txt;text"), L"C:\\out.v2\\report.txt");
    EXPECT_EQ(EnsureExtension(L"C:\\out\\report.TEXT", L"txt;text"), L"C:\\out\\report.TEXT");
    // A name ending in a dot has an empty extension, which no list accepts.
    EXPECT_EQ(EnsureExtension(L"report.", L"csv"), L"report..csv");
    // Extensions are whole items: "cs" is not "csv".
    EXPECT_EQ(EnsureExtension(L"x.cs", L"csv;cdf"), L"x.cs.csv");
    EXPECT_EQ(EnsureExtension(L"\u00C9T\u00C9.\u00C9", L"\u00E9"), L"\u00C9T\u00C9.\u00C9");
}

TEST(FileNames, FileNameOfTakesTheLastElementAndOptionallyDropsItsExtension) {
    EXPECT_EQ(FileNameOf(L"C:\\a.b\\c.tar.gz", false), L"c.tar.gz");
    EXPECT_EQ(FileNameOf(L"C:\\a.b\\c.tar.gz", true), L"c.tar");
    EXPECT_EQ(FileNameOf(L"dir/sub/x.y", true), L"x");
    EXPECT_EQ(FileNameOf(L"\\\\server\\share\\t.csv", false), L"t.csv");
    EXPECT_EQ(FileNameOf(L"C:\\out\\", false), L"");
    EXPECT_EQ(FileNameOf(L"noext", true), L"noext");
    // The ":" rule also applies after the last "\" (an alternate data stream name).
    EXPECT_EQ(FileNameOf(L"C:\\out\\t.csv:extra", false), L"extra");
}

TEST(FileNames, FolderOfAlwaysEndsInItsSeparator) {
    EXPECT_EQ(FolderOf(L"C:\\out\\t.htm"), L"C:\\out\\");
    EXPECT_EQ(FolderOf(L"C:t.htm"), L"C:");
    EXPECT_EQ(FolderOf(L"t.htm"), L".\\");
    EXPECT_EQ(FolderOf(L"dir/t.htm"), L".\\") << "a forward slash is not a separator here";
    EXPECT_EQ(FolderOf(L"C:\\a:b\\c"), L"C:\\a:b\\") << "the last backslash wins over any colon";
}

TEST(FileNames, SafeFileNameReplacesInPlaceAndFallsBackOnlyWhenEmpty) {
    EXPECT_EQ(SafeFileName(L"Q3 report: draft/2.xls", L"x"), L"Q3_report__draft_2.xls");
    EXPECT_EQ(SafeFileName(L"", L"Sheet1"), L"Sheet1");
    EXPECT_EQ(SafeFileName(L"a@b.c-d_e", L""), L"a@b.c-d_e");
    EXPECT_EQ(SafeFileName(L"C:\\x", L""), L"C__x");
    EXPECT_EQ(SafeFileName(L"   ", L"fallback"), L"___") << "only an empty name falls back";
    // Letters outside A-Z are replaced one for one, whatever their script.
    EXPECT_EQ(SafeFileName(L"Gr\u00FC\u00DFe \u0414\u0430", L""), L"Gr__e___");
    // Characters whose upper case is an ASCII letter are kept as they are.
    EXPECT_EQ(SafeFileName(L"\u0131\u017F", L""), L"\u0131\u017F");
}

TEST(FileNames, FilterPreselectionTakesTheLastMatchingPatternList) {
    const std::wstring csv = L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*";
    EXPECT_EQ(PreselectedFilterIndex(csv, L"csv"), 1u);
    EXPECT_EQ(PreselectedFilterIndex(csv, L"CDF"), 1u);
    EXPECT_EQ(PreselectedFilterIndex(csv, L"xyz"), 0u);
    EXPECT_EQ(PreselectedFilterIndex(csv, L""), 2u);
    // Only pattern lists count, not descriptions ("Values" contains "val").
    EXPECT_EQ(PreselectedFilterIndex(csv, L"val"), 0u);
    const std::wstring images =
        L"All Image Files|*.bmp;*.gif;*.png|Bitmap (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif|PNG (*.png)|*.png";
    EXPECT_EQ(PreselectedFilterIndex(images, L"gif"), 3u);
    EXPECT_EQ(PreselectedFilterIndex(images, L"jpg"), 0u);
    EXPECT_EQ(PreselectedFilterIndex(L"", L"csv"), 0u);
    EXPECT_EQ(PreselectedFilterIndex(L"Only a description", L""), 0u);
}

TEST(FileNames, DialogFilterListEndsEachItemAndTheListInNul) {
    EXPECT_EQ(DialogFilterList(L"Text (*.txt)|*.txt|All|*.*"), std::wstring(L"Text (*.txt)\0*.txt\0All\0*.*\0\0", 28));
    EXPECT_EQ(DialogFilterList(L""), L"");
}

}  // namespace
}  // namespace tarn
