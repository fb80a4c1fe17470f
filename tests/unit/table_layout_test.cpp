// Tables over pages: rows broken over pages with the fixed rows on top of each, columns
// continued on following pages with the fixed columns repeated, hidden and unlisted columns
// left out, and the content of cells placed by their alignment. Positions are worked out by
// hand with the round metrics of page_capture.h (cell text in 8 pt: 80 twips a character,
// lines of 160 with the baseline 128 below their top; cells have 60 twips of padding at the
// sides and 30 at top and bottom); the body runs from y 2000 to 14220 and x 1080 to 11160.
#include "print/table_layout.h"

#include "page_capture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarn::pages {
namespace {

using testing::FakeMetrics;
using testing::PageCollector;
using testing::Placed;

TableCell Text(std::wstring text, CellAlignment alignment = {}) {
    TableCell cell;
    cell.text = std::move(text);
    cell.font = FontSpec{L"Arial", 8};
    cell.alignment = alignment;
    return cell;
}

bool Shows(const Page& page, const std::wstring& placed) {
    std::vector<std::wstring> all = Placed(page);
    return std::find(all.begin(), all.end(), placed) != all.end();
}

std::vector<std::wstring> Cells(const Page& page) {
    std::vector<std::wstring> placed = Placed(page);
    return {placed.begin() + 7, placed.end()};  // after the header and footer
}

bool ShowsText(const Page& page, std::wstring_view text) { return testing::FindRun(page, text).has_value(); }

TEST(TableLayout, RowsBreakOverPagesUnderRepeatedFixedRows) {
    // A fixed row and 100 rows, all 300 high but the hidden row 50: 39 rows fit under the
    // fixed row in 12220.
    TableData table;
    table.columnWidths = {2000, 2000};
    table.rowHeights.assign(101, 300);
    table.rowHeights[50] = 0;  // hidden
    table.fixedRows = 1;
    table.cells.push_back({Text(L"Code"), Text(L"Name")});
    for (int r = 1; r <= 100; ++r) table.cells.push_back({Text(L"r" + std::to_wstring(r)), Text(L"n")});

    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    ComposeTable(composer, table, L"Stock list", L"");
    ASSERT_EQ(composer.Finish(), 3);

    // The paragraph takes one Courier line; the table starts right under it.
    EXPECT_EQ(testing::FindRun(sink.pages[0], L"Stock list")->font, (FontSpec{L"Courier New", 8}));
    const std::vector<std::wstring> shown[] = {
        {L"Stock list@1080,2128", L"Code@1140,2358", L"Name@3140,2358", L"r1@1140,2658", L"r39@1140,14058",
         L"Page 1@10620,14724"},
        {L"Code@1140,2198", L"r40@1140,2498", L"r49@1140,5198", L"r51@1140,5498", L"r79@1140,13898",
         L"Page 2@10620,14724"},
        {L"Code@1140,2198", L"r80@1140,2498", L"r100@1140,8498", L"Page 3@10620,14724"}};
    for (int i = 0; i < 3; ++i) {
        for (const std::wstring& placed : shown[i])
            EXPECT_TRUE(Shows(sink.pages[i], placed)) << i + 1 << ": " << placed;
    }
    EXPECT_FALSE(ShowsText(sink.pages[0], L"r40"));
    for (const Page& page : sink.pages) EXPECT_FALSE(ShowsText(page, L"r50"));
    EXPECT_FALSE(ShowsText(sink.pages[1], L"Stock list") || ShowsText(sink.pages[2], L"Stock list"));
}

TEST(TableLayout, TableThatDoesNotFitUnderTheParagraphStartsOnTheNextPage) {
    TableData table;
    table.columnWidths = {2000};
    table.rowHeights = {300, 300};
    table.fixedRows = 1;
    table.cells = {{Text(L"Code")}, {Text(L"r1")}};
    std::wstring paragraph;
    for (int i = 1; i <= 75; ++i) paragraph += L"p\r\n";
    paragraph += L"last";  // the 76th line ends at 14160, leaving 60 twips

    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    ComposeTable(composer, table, paragraph, L"");
    ASSERT_EQ(composer.Finish(), 2);
    EXPECT_TRUE(Shows(sink.pages[0], L"last@1080,14128"));
    EXPECT_FALSE(ShowsText(sink.pages[0], L"Code"));
    EXPECT_EQ(Cells(sink.pages[1]), (std::vector<std::wstring>{L"Code@1140,2198", L"r1@1140,2498"}));
}

TEST(TableLayout, WideTableContinuesWithRemainingColumnsBehindTheFixedColumn) {
    // Column 0 is fixed (1000); columns 1 to 6 are 3000 wide. Column 2 is hidden and column 5
    // not listed, so the page of 10080 takes 1, 3 and 4 and the next one takes 6.
    TableData table;
    table.columnWidths = {1000, 3000, 0, 3000, 3000, 3000, 3000};
    table.rowHeights = {300, 300};
    table.fixedRows = 1;
    table.fixedCols = 1;
    table.cells.resize(2);
    for (int c = 0; c < 7; ++c) {
        table.cells[0].push_back(Text(L"H" + std::to_wstring(c)));
        table.cells[1].push_back(Text(L"a" + std::to_wstring(c)));
    }
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    ComposeTable(composer, table, L"", L",0,,1,,2,,3,,4,,6,");
    ASSERT_EQ(composer.Finish(), 2);
    EXPECT_EQ(Cells(sink.pages[0]),
              (std::vector<std::wstring>{L"H0@1140,2198", L"H1@2140,2198", L"H3@5140,2198", L"H4@8140,2198",
                                         L"a0@1140,2498", L"a1@2140,2498", L"a3@5140,2498", L"a4@8140,2498"}));
    EXPECT_EQ(Cells(sink.pages[1]),
              (std::vector<std::wstring>{L"H0@1140,2198", L"H6@2140,2198", L"a0@1140,2498", L"a6@2140,2498"}));
}

TEST(TableLayout, CellsAlignClipMergeAndTakeTheirColours) {
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    TableData table;
    table.columnWidths = {2000, 2000, 2000};
    table.rowHeights = {600, 300, 600};
    table.fixedRows = 1;
    table.look.backColourFixed = 0x808080;
    table.look.gridColourFixed = 0x101010;
    TableCell coloured = Text(L"abcdefghijklmnopqrstuvwxyz0123");
    coloured.backColour = 0x00FFFF;
    coloured.foreColour = 0x0000FF;
    table.cells = {{Text(L"right", {H::Right, V::Top}), Text(L"mid", {H::Centre, V::Bottom}), coloured},
                   {Text(L"merged", {H::Centre, V::Centre}), Text(L"covered"), Text(L"x")}};
    TableCell checked;
    checked.check = CheckState::Checked;
    checked.alignment = {H::Centre, V::Centre};
    TableCell small, large;  // 40 x 20 and 200 x 100 pixels: 600 x 300 and 3000 x 1500 twips
    auto smallPicture = std::make_shared<PictureData>(), largePicture = std::make_shared<PictureData>();
    smallPicture->width = 40, smallPicture->height = 20;
    largePicture->width = 200, largePicture->height = 100;
    small.picture = smallPicture;
    large.picture = largePicture;
    table.cells.push_back({checked, small, large});
    table.merged = {{1, 0, 1, 1}};
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    ComposeTable(composer, table, L"", L"");
    composer.Finish();
    const Page& page = sink.pages[0];
    EXPECT_TRUE(Shows(page, L"right@2620,2158"));
    EXPECT_TRUE(Shows(page, L"mid@3960,2538"));
    EXPECT_TRUE(Shows(page, L"abcdefghijklmnopqrstuvw@5140,2348")) << "cut to the 1880 twips inside the cell";
    EXPECT_TRUE(Shows(page, L"merged@2840,2798")) << "centred across both columns";
    EXPECT_FALSE(ShowsText(page, L"covered"));
    EXPECT_EQ(testing::FindRun(page, L"abcdefghijklmnopqrstuvw")->colour, 0x0000FFu);

    std::vector<Box> boxes;
    for (const DrawOp& op : page.ops) {
        if (const auto* box = std::get_if<Box>(&op)) boxes.push_back(*box);
    }
    ASSERT_EQ(boxes.size(), 9u) << "three fixed cells, the merged block, a cell, three cells and a check box";
    auto where = [](const auto& b) { return std::vector<int>{b.x, b.y, b.width, b.height}; };
    EXPECT_EQ(boxes[0].fill, 0x808080u);
    EXPECT_EQ(boxes[0].outline, 0x101010u);
    EXPECT_EQ(boxes[2].fill, 0x00FFFFu);
    EXPECT_EQ(where(boxes[3]), (std::vector<int>{1080, 2600, 4000, 300}));
    EXPECT_EQ(boxes[3].fill, 0xFFFFFFu);
    EXPECT_EQ(boxes[3].outline, 0xC0C0C0u);
    EXPECT_EQ(where(boxes[6]), (std::vector<int>{1982, 3102, 195, 195})) << "the check box centred in its cell";
    EXPECT_EQ(std::count_if(page.ops.begin(), page.ops.end(),
                            [](const DrawOp& op) { return std::holds_alternative<Line>(op); }),
              2)
        << "the tick";
    auto pictures = testing::Pictures(page);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(where(pictures[0]), (std::vector<int>{3140, 3050, 600, 300})) << "at its own size, left and centred";
    EXPECT_EQ(where(pictures[1]), (std::vector<int>{5140, 2930, 1080, 540}))
        << "shrunk into the cell, keeping its proportions";
}

TEST(TableLayout, ACheckBoxShrinksIntoALowRow) {
    TableData table;
    table.columnWidths = {1000};
    table.rowHeights = {240};  // 16 pixels: 180 twips inside the padding
    TableCell unchecked;
    unchecked.check = CheckState::Unchecked;
    table.cells = {{unchecked}};
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    ComposeTable(composer, table, L"", L"");
    composer.Finish();
    std::vector<std::vector<int>> boxes;
    for (const DrawOp& op : sink.pages[0].ops) {
        if (const auto* box = std::get_if<Box>(&op)) boxes.push_back({box->width, box->height});
    }
    EXPECT_EQ(boxes, (std::vector<std::vector<int>>{{1000, 240}, {180, 180}}));
}

}  // namespace
}  // namespace tarn::pages
