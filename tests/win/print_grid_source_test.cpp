// The test host's grid read as a table to print: sizes with hidden columns and rows as 0, the
// grid's colours (a system colour resolved), each cell's font, colours, alignment (a general
// one from its column), check box and picture, merged blocks.
#include "print/grid_table_source.h"
#include "win_support.h"

namespace tarn::test {
namespace {

using pages::CheckState;
using pages::HorizontalAlignment;
using pages::VerticalAlignment;

using PrintGridSourceTest = ComTest;

TEST_F(PrintGridSourceTest, ReadsSizesColoursAndCells) {
    ComPtr<IDispatch> grid = HostGrid(
        L"backcolor = #FFFFF0\nbackcolorfixed = &H8000000F\ngridcolor = #C8C8C8\n---\n"
        L"Name | Qty | Hidden | Note\n"
        L"apple | 3 | x | ripe\n"
        L"pear | 5 | y |\n"
        L"gone | 0 | z |\n"
        L"@col 2 hidden\n"
        L"@col 1 width=900 align=right\n"
        L"@row 3 hidden\n"
        L"@cell 1,3 bold italic size=12 font=Arial fore=#FF0000 back=#00FF00 align=centerbottom\n"
        L"@cell 1,1 check=unchecked\n"
        L"@cell 2,3 check=checked\n"
        L"@merge 2,1:2,2\n");
    LateBound host(grid.Get());
    ComPtr<IDispatch> red = VariantToObject(host.Call(L"MakePicture", {LongArg(4), LongArg(3), LongArg(0x0000FF)}));
    VARIANT picture;
    V_VT(&picture) = VT_DISPATCH;
    V_DISPATCH(&picture) = red.Get();
    host.Put(L"Cell", picture, {LongArg(3), LongArg(1), LongArg(0)});

    GridTable table(grid.Get());
    GridTableSource source(table);
    EXPECT_EQ(source.Rows(), 4);
    EXPECT_EQ(source.Cols(), 4);
    EXPECT_EQ(source.FixedRows(), 1);
    EXPECT_EQ(source.FixedCols(), 1);
    EXPECT_EQ(
        (std::vector<int>{source.ColumnWidth(0), source.ColumnWidth(1), source.ColumnWidth(2), source.ColumnWidth(3)}),
        (std::vector<int>{1200, 900, 0, 1200}));
    EXPECT_EQ(source.RowHeight(3), 0);
    pages::TableLook look = source.Look();
    EXPECT_EQ(look.backColour, 0xF0FFFFu);
    EXPECT_EQ(look.backColourFixed, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(look.gridColour, 0xC8C8C8u);
    EXPECT_TRUE(look.gridLines);

    pages::TableCell styled = source.Cell(1, 3);
    EXPECT_EQ(styled.text, L"ripe");
    EXPECT_EQ(styled.font, (pages::FontSpec{L"Arial", 12, true, true, false}));
    EXPECT_EQ(styled.foreColour, 0x0000FFu);
    EXPECT_EQ(styled.backColour, 0x00FF00u);
    EXPECT_EQ(styled.alignment, (pages::CellAlignment{HorizontalAlignment::Centre, VerticalAlignment::Bottom}));
    pages::TableCell quantity = source.Cell(1, 1);
    EXPECT_EQ(quantity.alignment, (pages::CellAlignment{HorizontalAlignment::Right, VerticalAlignment::Centre}))
        << "a general cell takes its column's alignment";
    EXPECT_EQ(quantity.check, CheckState::Unchecked);
    EXPECT_EQ(source.Cell(2, 3).check, CheckState::Checked);
    pages::TableCell plain = source.Cell(2, 0);
    EXPECT_EQ(plain.check, CheckState::None);
    EXPECT_FALSE(plain.foreColour.has_value());
    EXPECT_FALSE(plain.backColour.has_value());
    EXPECT_EQ(plain.picture, nullptr);
    pages::CellBlock block = source.MergedBlock(2, 2);
    EXPECT_EQ((std::vector<int>{block.row1, block.col1, block.row2, block.col2}), (std::vector<int>{2, 1, 2, 2}));

    pages::TableCell pictured = source.Cell(1, 0);
    ASSERT_NE(pictured.picture, nullptr);
    EXPECT_EQ(pictured.picture->width, 4u);
    EXPECT_EQ(pictured.picture->height, 3u);
    ASSERT_EQ(pictured.picture->bgra.size(), 48u);
    EXPECT_EQ((std::vector<int>(pictured.picture->bgra.begin(), pictured.picture->bgra.begin() + 4)),
              (std::vector<int>{0, 0, 255, 255}));
}

}  // namespace
}  // namespace tarn::test
