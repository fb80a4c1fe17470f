// The grid text format: the sample grid the demo and the exporter tests use, the format's
// rules, errors with their line numbers, and pictures loaded relative to the file.
#include "com/errors.h"
#include "host.h"
#include "tables/grid_table.h"

#include <fstream>
#include <set>

namespace testhost::test {
namespace {

using tarn::CellSetting;

class GridLoader : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        object_ = NewGrid();
        ASSERT_TRUE(object_);
        grid_.emplace(object_.Get());
    }
    void TearDown() override {
        grid_.reset();
        object_.Reset();
        HostTest::TearDown();
    }
    // The error text of loading `text`, or "" when it loads.
    std::wstring Load(const std::wstring& text) {
        Outcome out = Invoke(object_.Get(), L"LoadFromText", DISPATCH_METHOD, {Str(text.c_str())});
        if (out.hr == DISP_E_EXCEPTION) return out.error;
        EXPECT_EQ(out.hr, S_OK);
        return L"";
    }
    std::wstring LoadFile(const std::wstring& path) {
        Outcome out = Invoke(object_.Get(), L"LoadFromFile", DISPATCH_METHOD, {Str(path.c_str())});
        if (out.hr == DISP_E_EXCEPTION) return out.error;
        EXPECT_EQ(out.hr, S_OK);
        return L"";
    }

    ComPtr<IDispatch> object_;
    std::optional<tarn::GridTable> grid_;
};

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << bytes;
}

TEST_F(GridLoader, SampleGridHasEverythingTheExportersMeet) {
    ASSERT_EQ(LoadFile(ExamplesFolder() + L"sample-grid.txt"), L"");
    tarn::GridTable& g = *grid_;
    EXPECT_EQ(g.Rows(), 10);
    EXPECT_EQ(g.Cols(), 10);
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.FixedCols(), 1);
    EXPECT_EQ(g.CellText(0, 4), L"Amount");
    EXPECT_EQ(g.CellText(9, 1), L"Note | misc");

    tarn::CellRange merged = g.MergedRange(3, 3);
    EXPECT_EQ(merged.row1, 2);
    EXPECT_EQ(merged.col1, 2);
    EXPECT_EQ(merged.row2 - merged.row1, 1);
    EXPECT_EQ(merged.col2 - merged.col1, 1);

    EXPECT_EQ(g.BackColorFixed(), 0xF0E4D8) << "#D8E4F0 as an OLE colour";
    EXPECT_NE(g.CellLong(CellSetting::BackColor, 1, 1), 0);
    EXPECT_NE(g.CellLong(CellSetting::ForeColor, 7, 4), 0);
    std::set<std::wstring> fonts;
    for (long r = 0; r < g.Rows(); ++r) fonts.insert(VariantToText(g.Cell(CellSetting::FontName, r, 1)));
    EXPECT_EQ(fonts.size(), 2u);
    EXPECT_TRUE(g.CellBool(CellSetting::FontBold, 0, 1));
    EXPECT_TRUE(g.CellBool(CellSetting::FontItalic, 3, 1));
    EXPECT_TRUE(g.CellBool(CellSetting::FontUnderline, 6, 1));

    EXPECT_EQ(g.CellLong(CellSetting::Checkbox, 2, 7), 1);
    EXPECT_EQ(g.CellLong(CellSetting::Checkbox, 3, 7), 2);
    EXPECT_EQ(g.ColDataType(4), 5);
    EXPECT_EQ(g.ColDataType(5), tarn::kGridTypeBoolean);
    EXPECT_EQ(g.ColDataType(6), tarn::kGridTypeDate);
    EXPECT_EQ(VariantToText(g.Cell(CellSetting::DisplayText, 1, 4)), L"2,150.50");
    unique_variant date = g.Cell(CellSetting::Data, 2, 6);
    EXPECT_EQ(V_VT(&date), VT_DATE);

    ComPtr<IDispatch> flag = g.CellPicture(2, 8);
    ASSERT_TRUE(flag);
    EXPECT_EQ(g.CellPicture(6, 8).Get(), flag.Get()) << "cells naming one file share one picture";

    EXPECT_TRUE(g.RowHidden(4));
    EXPECT_EQ(g.ColWidth(9), 0);
    EXPECT_GT(g.OutlineBar(), 0);
    EXPECT_TRUE(g.IsSubtotal(1));
    EXPECT_EQ(g.RowOutlineLevel(1), 1);
    EXPECT_EQ(g.RowOutlineLevel(2), 2);
}

TEST_F(GridLoader, WithoutAHeaderTheRowsGiveTheSize) {
    ASSERT_EQ(Load(L"a | b\n\n# a comment\nc\r\nd|e|f   \n"), L"");
    EXPECT_EQ(grid_->Rows(), 3);
    EXPECT_EQ(grid_->Cols(), 3);
    EXPECT_EQ(grid_->FixedRows(), 1);
    EXPECT_EQ(grid_->FixedCols(), 1);
    EXPECT_EQ(grid_->CellText(0, 1), L"b");
    EXPECT_EQ(grid_->CellText(1, 0), L"c");
    EXPECT_EQ(grid_->CellText(1, 2), L"");
    EXPECT_EQ(grid_->CellText(2, 2), L"f");
}

TEST_F(GridLoader, CellTextsUnescapeAndAttributesTakeRangesAndNamedValues) {
    ASSERT_EQ(Load(L"rows = 3\ncols = 3\nfixedrows = 0\nfixedcols = 0\n---\n"
                   L"a\\|b | c\\\\d | \\#e\n"
                   L"two\\nlines | |\n"
                   L"@cell 1,1:2,2 back=#102030 fore=&H80000012 bold align=right check\n"
                   L"@cell 2,2 back=255 bold=no check=unchecked text=\"said \\\"hi\\\"\"\n"
                   L"@col 0:1 align=generaltop type=currency"),
              L"");
    EXPECT_EQ(grid_->FixedRows(), 0);
    EXPECT_EQ(grid_->CellText(0, 0), L"a|b");
    EXPECT_EQ(grid_->CellText(0, 1), L"c\\d");
    EXPECT_EQ(grid_->CellText(0, 2), L"#e");
    EXPECT_EQ(grid_->CellText(1, 0), L"two\nlines");
    EXPECT_EQ(grid_->CellLong(CellSetting::BackColor, 1, 2), 0x302010);
    EXPECT_EQ(grid_->CellLong(CellSetting::ForeColor, 2, 1), static_cast<long>(0x80000012));
    EXPECT_EQ(grid_->CellLong(CellSetting::Alignment, 1, 1), 7);
    EXPECT_EQ(grid_->CellLong(CellSetting::Checkbox, 1, 1), 1);
    EXPECT_EQ(grid_->CellLong(CellSetting::BackColor, 2, 2), 255);
    EXPECT_FALSE(grid_->CellBool(CellSetting::FontBold, 2, 2));
    EXPECT_EQ(grid_->CellLong(CellSetting::Checkbox, 2, 2), 2);
    EXPECT_EQ(grid_->CellText(2, 2), L"said \"hi\"");
    EXPECT_EQ(grid_->CellLong(CellSetting::BackColor, 0, 0), 0);
    EXPECT_EQ(grid_->ColAlignment(1), 10);
    EXPECT_EQ(grid_->ColDataType(0), 6);
    EXPECT_EQ(grid_->ColAlignment(2), 9);
}

TEST_F(GridLoader, DataValuesAreTypedByTheirForm) {
    ASSERT_EQ(Load(L"---\nh|h|h|h|h|h|h\nr\n"
                   L"@cell 1,0 data=42\n@cell 1,1 data=-2.5\n@cell 1,2 data=TRUE\n@cell 1,3 data=2024-02-29\n"
                   L"@cell 1,4 data=abc\n@cell 1,5 data=\"42\"\n@cell 1,6 data=\"\""),
              L"");
    const VARTYPE types[] = {VT_I4, VT_R8, VT_BOOL, VT_DATE, VT_BSTR, VT_BSTR, VT_BSTR};
    for (long c = 0; c < 7; ++c) {
        unique_variant v = grid_->Cell(CellSetting::Data, 1, c);
        EXPECT_EQ(V_VT(&v), types[c]) << "column " << c;
    }
    unique_variant date = grid_->Cell(CellSetting::Data, 1, 3);
    SYSTEMTIME st{};
    VariantTimeToSystemTime(V_DATE(&date), &st);
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(VariantToDouble(grid_->Cell(CellSetting::Data, 1, 1)), -2.5);
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::Data, 1, 5)), L"42");
}

TEST_F(GridLoader, ErrorsNameTheLineAndWhatIsWrong) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;  // part of the message
    } cases[] = {
        {L"rows = 2\nfixed rows = 1\n---", L"text line 2: unknown header key 'fixed rows'"},
        {L"rows = two\n---", L"text line 1: expected a whole number for rows"},
        {L"rows = 2\ncolour\n---", L"text line 2: expected 'key = value'"},
        {L"rows = 1\n---\na\nb", L"text line 4: more row lines than rows = 1"},
        {L"cols = 2\n---\na|b|c", L"text line 3: 3 cells in a row of a grid with cols = 2"},
        {L"a|b\n@cell 0,1 blod", L"text line 2: unknown cell attribute 'blod'"},
        {L"a|b\n@cell 0,5 bold", L"text line 2: Column 5 is out of range"},
        {L"a|b\n@cell 0 bold", L"text line 2: expected 'row,col'"},
        {L"a|b\n\n@cell 0,0 back=#12345", L"text line 3: '#12345' is not a colour"},
        {L"a|b\n@cell 0,0 font=\"Tahoma", L"text line 2: unterminated quoted value"},
        {L"a|b\n@cell 0,0 data=2024-13-01", L"text line 2: '2024-13-01' is not a date"},
        {L"a|b\n@cell 0,0 align=middle", L"text line 2: expected a whole number for an alignment"},
        {L"a|b\n@row 0 tall", L"text line 2: unknown row attribute 'tall'"},
        {L"a|b\n@col 1 type=money", L"text line 2: expected a whole number for a data type"},
        {L"a|b\nc|d\n@merge 0,0:1,1\n@merge 1,1:1,1", L"text line 4: Merged blocks must not overlap"},
        {L"a|b\n@merge 1,1:0,0", L"text line 2: a range must run from its first to its last cell"},
        {L"a|b\n@paint 0,0", L"text line 2: unknown directive '@paint'"},
        {L"a|b\\", L"text line 1: a backslash ends the line"},
        {L"a|b\n@cell 0,0 picture=no-such-file.bmp", L"text line 2: Cannot open picture"},
        {L"rows = 1\nfixedrows = 2\n---", L"text line 2: FixedRows must be between 0 and Rows"},
    };
    for (const Case& c : cases) {
        std::wstring error = Load(c.text);
        EXPECT_NE(error.find(c.expected), std::wstring::npos)
            << "for:\n" << Narrow(c.text) << "\nexpected: " << Narrow(c.expected) << "\ngot: " << Narrow(error);
    }
}

TEST_F(GridLoader, AFailedLoadLeavesTheGridAsItWas) {
    ASSERT_EQ(Load(L"a|b\nc|d"), L"");
    EXPECT_NE(Load(L"x|y|z\n@cell 9,9 bold"), L"");
    EXPECT_EQ(grid_->Cols(), 2);
    EXPECT_EQ(grid_->CellText(1, 1), L"d");
}

TEST_F(GridLoader, FilesMayBeUtf8OrUtf16AndPicturesAreFoundBesideThem) {
    TempFolder folder;
    CreateDirectoryW(folder.File(L"art").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((ExamplesFolder() + L"pictures\\flag.bmp").c_str(), folder.File(L"art\\flag.bmp").c_str(), FALSE));
    WriteFile(folder.File(L"utf8.txt"),
              "\xEF\xBB\xBF---\nGr\xC3\xB6\xC3\x9F" "e|x\n1|y\n@cell 1,1 picture=art/flag.bmp\n@cell 1,0 picture=ART\\FLAG.BMP");
    ASSERT_EQ(LoadFile(folder.File(L"utf8.txt")), L"");
    EXPECT_EQ(grid_->CellText(0, 0), L"Gr\u00f6\u00dfe");
    ComPtr<IDispatch> a = grid_->CellPicture(1, 1), b = grid_->CellPicture(1, 0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a.Get(), b.Get()) << "one picture object per file, whatever the spelling";
    ComPtr<IPicture> picture;
    ASSERT_EQ(a.As(&picture), S_OK);
    OLE_HANDLE h1 = 0, h2 = 0;
    picture->get_Handle(&h1);
    picture->get_Handle(&h2);
    EXPECT_NE(h1, 0u);
    EXPECT_EQ(h1, h2);

    std::wstring wide = L"\xFEFF---\r\nZ\u00fcrich|x\r\n";
    WriteFile(folder.File(L"utf16.txt"), std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
    ASSERT_EQ(LoadFile(folder.File(L"utf16.txt")), L"");
    EXPECT_EQ(grid_->CellText(0, 0), L"Z\u00fcrich");

    WriteFile(folder.File(L"bad.txt"), "a\n@cell 0,0 blink");
    EXPECT_NE(LoadFile(folder.File(L"bad.txt")).find(L"bad.txt line 2: unknown cell attribute 'blink'"), std::wstring::npos);
    EXPECT_NE(LoadFile(folder.File(L"missing.txt")), L"");
}

}  // namespace
}  // namespace testhost::test
