// Which grid texts become numbers and dates, sheet names, row placement over sheets,
// alignments and units of the workbook export.
#include "tables/xls_layout.h"

#include <gtest/gtest.h>

namespace tarn::xls {
namespace {

struct Recognised {
    const wchar_t* text;
    double value;
    const wchar_t* format;
};

std::string Show(const wchar_t* text) { return testing::PrintToString(std::wstring(text)); }

TEST(XlsNumbers, TextsBecomeNumbersOnlyWhenNothingShownIsLost) {
    const NumberConventions english{L'.', L','};
    for (const Recognised& c : {Recognised{L"42", 42, L""},
                                {L"-17", -17, L""},
                                {L"0.25", 0.25, L"0.00"},
                                {L"1234.50", 1234.5, L"0.00"},
                                {L"1,234.50", 1234.5, L"#,##0.00"},
                                {L"1,234,567", 1234567, L"#,##0"},
                                {L"12%", 0.12, L"0%"},
                                {L"-2.5%", -0.025, L"0.0%"},
                                {L"1.5E+03", 1500, L"0.0E+00"},
                                {L"123456789012345", 123456789012345.0, L""},
                                {L"007", 7, L"000"},
                                {L"-0042", -42, L"0000"}}) {
        const std::optional<RecognisedValue> got = RecogniseNumber(c.text, english);
        ASSERT_TRUE(got) << Show(c.text);
        EXPECT_DOUBLE_EQ(got->value, c.value) << Show(c.text);
        EXPECT_EQ(got->numberFormat, c.format) << Show(c.text);
    }
    // Leading zeros beyond whole numbers, misplaced separators, blanks, a "+", 16 digits,
    // overflow, other scripts' digits.
    for (const wchar_t* text :
         {L"1,5", L"007.5", L"0,123", L"12,34,567", L"1234,567", L",123", L"1,234.", L" 12", L"12 ", L"+5", L"-", L"",
          L".5", L"1234567890123456", L"1,234E5", L"1e9999", L"12abc", L"\u0661\u0662"})
        EXPECT_FALSE(RecogniseNumber(text, english)) << Show(text);

    const NumberConventions german{L',', L'.'};
    EXPECT_EQ(RecogniseNumber(L"1,5", german)->value, 1.5);
    EXPECT_EQ(RecogniseNumber(L"1.234,50", german)->numberFormat, L"#,##0.00");
    EXPECT_FALSE(RecogniseNumber(L"1.5", german));
    EXPECT_EQ(RecogniseNumber(L"1\u00A0234,5", {L',', L'\u00A0'})->value, 1234.5) << "French grouping";
}

TEST(XlsDates, DatesInTheUsersOrderBecomeDaySerialsWithTheUsersFormat) {
    const DateConventions us = DateConventionsFromPattern(L"M/d/yyyy");
    const DateConventions de = DateConventionsFromPattern(L"dd.MM.yyyy");
    EXPECT_EQ(DateConventionsFromPattern(L"yyyy-MM-dd").order, DateConventions::Order::YearMonthDay);
    EXPECT_EQ(DateConventionsFromPattern(L"yyyy-MM-dd").numberFormat, L"yyyy-mm-dd");
    // Serials of the workbook's 1900 date system.
    for (const Recognised& c : {Recognised{L"3/1/1900", 61, L"m/d/yyyy"},
                                {L"12/31/1999", 36525, L"m/d/yyyy"},
                                {L"2/29/2024", 45351, L"m/d/yyyy"},
                                {L"12/31/1999 18:30", 36525.0 + 18.5 / 24, L"m/d/yyyy h:mm"},
                                {L"12/31/1999 6:00:36", 36525.25 + 36 / 86400.0, L"m/d/yyyy h:mm:ss"}}) {
        const std::optional<RecognisedValue> got = RecogniseDate(c.text, us);
        ASSERT_TRUE(got) << Show(c.text);
        EXPECT_NEAR(got->value, c.value, 1e-9) << Show(c.text);
        EXPECT_EQ(got->numberFormat, c.format) << Show(c.text);
    }
    EXPECT_EQ(RecogniseDate(L"31.12.1999", de)->value, 36525);
    EXPECT_EQ(RecogniseDate(L"31.12.1999", de)->numberFormat, L"dd.mm.yyyy");
    EXPECT_EQ(RecogniseDate(L"1.2.03", de)->value, 37653) << "two-digit years up to 29 are this century's";
    EXPECT_EQ(RecogniseDate(L"1.2.45", de)->value, 16469);
    for (const wchar_t* text : {L"2/29/2023", L"13/1/2020", L"2/28/1900", L"1/2/345", L"1/2-2020", L"1/2/2020 24:00",
                                L"1/2/2020x", L"2020", L"31.12.1999"})
        EXPECT_FALSE(RecogniseDate(text, us)) << Show(text);
}

TEST(XlsSheets, NamesAndRowPlacesOverSheets) {
    EXPECT_EQ(SheetNameFromTitle(L""), L"Sheet1");
    EXPECT_EQ(SheetNameFromTitle(L"Quarterly figures of the north"), L"Quarterly_figures_of_the_north");
    EXPECT_EQ(SheetNameFromTitle(L"Quarterly figures of the north!"), L"Quarterly_figures_of_the_n_...");
    EXPECT_EQ(SheetNameFromTitle(L"[:*?/\\]"), L"_______");
    EXPECT_EQ(SheetNameFromTitle(L"caf\u00E9"), L"caf_");
    EXPECT_EQ(ContinuationSheetName(L"Stock", 2), L"Stock (2)");
    EXPECT_EQ(ContinuationSheetName(std::wstring(30, L'a'), 12), std::wstring(26, L'a') + L" (12)");

    const struct {
        unsigned long gridRow;
        unsigned repeated;
        unsigned sheet, row;
    } places[] = {{65535, 1, 0, 65535}, {65536, 1, 1, 1}, {131070, 1, 1, 65535},
                  {131071, 1, 2, 1},    {65536, 0, 1, 0}, {65536 + 65533, 3, 2, 3}};
    for (const auto& c : places) {
        EXPECT_EQ(PlaceRow(c.gridRow, c.repeated).sheet, c.sheet) << c.gridRow << " with " << c.repeated;
        EXPECT_EQ(PlaceRow(c.gridRow, c.repeated).row, c.row) << c.gridRow << " with " << c.repeated;
    }
    EXPECT_EQ(RepeatedRows(2), 2u);
    EXPECT_EQ(RepeatedRows(40000), 0u) << "header rows that fill half a sheet are not repeated";
}

TEST(XlsCells, AlignmentCodesUnitsAndSystemColours) {
    EXPECT_EQ(AlignmentOfCode(5)->horizontal, HorizontalAlignment::Centre);
    EXPECT_EQ(AlignmentOfCode(5)->vertical, VerticalAlignment::Bottom);
    EXPECT_EQ(AlignmentOfCode(10)->horizontal, HorizontalAlignment::Left) << "general reads as left";
    EXPECT_EQ(AlignmentOfCode(10)->vertical, VerticalAlignment::Top);
    EXPECT_FALSE(AlignmentOfCode(13));
    EXPECT_FALSE(AlignmentOfCode(-1));
    EXPECT_DOUBLE_EQ(ColumnWidthCharacters(1200), 13.333333333333334);
    EXPECT_DOUBLE_EQ(RowHeightPoints(300, 12), 18.75);
    EXPECT_EQ(ColumnPixels(20), 140u);
    EXPECT_EQ(RowPixels(22.5), 30u);
    EXPECT_EQ(SystemColourIndex(static_cast<long>(0x8000000FLL - 0x100000000LL)), 15u);
    EXPECT_FALSE(SystemColourIndex(0xFFFFFF));
}

}  // namespace
}  // namespace tarn::xls
