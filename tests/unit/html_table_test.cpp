// Grid table markup: pixel widths, shares, row and cell lines, alignment and outline.
#include "html/html_table.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(HtmlTable, PixelsAndSharesRoundHalvesToEven) {
    EXPECT_EQ(HtmlPixels(1500, 15), 130);
    EXPECT_EQ(HtmlPixels(75, 15), 6) << "6.5 rounds to 6";
    EXPECT_EQ(HtmlPixels(105, 13), 10) << "10.5 rounds to 10";
    EXPECT_EQ(HtmlPixels(0, 15), 0);
    EXPECT_EQ(WidthShare(65, 130), L"50%");
    EXPECT_EQ(WidthShare(1, 300), L"%") << "a share that rounds to 0 keeps only the percent sign";
    EXPECT_EQ(WidthShare(130, 130), L"100%");
    EXPECT_EQ(WidthShare(5, 200), L"2%") << "2.5 rounds to 2";
}

TEST(HtmlTable, RowTagsCarryFixedRowHeightsInTheGeneralFormat) {
    EXPECT_EQ(RowOpenTag(false, 17), L"<tr >");
    EXPECT_EQ(RowOpenTag(true, 255.0 / 15), L"<tr  height=\"17\">");
    EXPECT_EQ(RowOpenTag(true, 250.0 / 15), L"<tr  height=\"16.6666666666667\">");
    EXPECT_EQ(GeneralNumber(0.5), L"0.5");
    EXPECT_EQ(GeneralNumber(-3), L"-3");
}

TEST(HtmlTable, AlignmentByCodeAndByColumnDefault) {
    const wchar_t* expected[] = {L" VALIGN=TOP",           L"",           L" VALIGN=BOTTOM",
                                 L" ALIGN=CENTER VALIGN=TOP", L" ALIGN=CENTER", L" ALIGN=CENTER VALIGN=BOTTOM",
                                 L" ALIGN=RIGHT VALIGN=TOP",  L" ALIGN=RIGHT",  L" ALIGN=RIGHT VALIGN=BOTTOM"};
    for (long code = 0; code <= 8; ++code) EXPECT_EQ(AlignmentAttribute(code, 11, true), expected[code]) << code;
    EXPECT_EQ(AlignmentAttribute(9, 0, true), L" ALIGN=RIGHT");
    EXPECT_EQ(AlignmentAttribute(9, 0, false), L"");
    EXPECT_EQ(AlignmentAttribute(12, 7, true), L"") << "dates take no default";
    EXPECT_EQ(AlignmentAttribute(-1, 11, false), L" ALIGN=CENTER");
}

TEST(HtmlTable, BooleanTextAndOutlineIndent) {
    EXPECT_EQ(BooleanCellText(L"1"), L"Y");
    EXPECT_EQ(BooleanCellText(L"-1"), L"Y");
    EXPECT_EQ(BooleanCellText(L" 0.5x"), L"Y");
    EXPECT_EQ(BooleanCellText(L"True"), L"") << "no leading number reads as 0";
    EXPECT_EQ(BooleanCellText(L"0"), L"");
    EXPECT_EQ(BooleanCellText(L"0.0"), L"");
    EXPECT_EQ(BooleanCellText(L""), L"");
    EXPECT_EQ(OutlineIndent(0), L"");
    EXPECT_EQ(OutlineIndent(2), L"&nbsp&nbsp&nbsp&nbsp&nbsp;&nbsp;&nbsp&nbsp&nbsp&nbsp&nbsp;&nbsp;");
}

TEST(HtmlTable, CellLinePutsAttributesAndTagsInTheirOrder) {
    HtmlCell plain;
    plain.widthShare = L"25%";
    plain.content = L"&nbsp;";
    EXPECT_EQ(CellLine(plain), L"<td width=\"25%\">&nbsp;</td>");

    HtmlCell full;
    full.widthShare = L"50%";
    full.backColor = L"#FFFF00";
    full.alignment = L" ALIGN=RIGHT";
    full.borderColor = L"#808080";
    full.colSpan = 2;
    full.rowSpan = 2;
    full.fontSizePoints = 10;
    full.bottomBorder = true;
    full.fontFace = L"Courier New";
    full.foreColor = L"#FF0000";
    full.bold = full.italic = full.underline = true;
    full.content = L"a&amp;b";
    EXPECT_EQ(CellLine(full),
              L"<td width=\"50%\" BGCOLOR=#FFFF00 ALIGN=RIGHT BORDERCOLOR=#808080 COLSPAN=2 ROWSPAN=2 "
              L"style=\" font-size: 10pt; border-bottom:1px solid #C0C0C0;\"><font FACE=\"Courier New\" "
              L"COLOR=#FF0000><B><I><U>a&amp;b</B></I></U></font></td>");

    HtmlCell colourOnly = plain;
    colourOnly.foreColor = L"#000080";
    colourOnly.italic = true;
    EXPECT_EQ(CellLine(colourOnly), L"<td width=\"25%\"><font COLOR=#000080><I>&nbsp;</I></font></td>");
}

}  // namespace
}  // namespace tarn
