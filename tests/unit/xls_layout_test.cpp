// Which grid texts become numbers and dates, sheet names, row placement over sheets,
// alignments and units of the workbook export.
#include "tables/xls_layout.h"

#include <gtest/gtest.h>

namespace tarn::xls {
namespace {

struct NumberCase {
    const wchar_t* text;
    double value;
    const wchar_t* format;  // null: stays a text
};

void ExpectNumbers(const NumberConventions& conventions, std::initializer_list<NumberCase> cases) {
    for (const NumberCase& c : cases) {
        const std::optional<RecognisedValue> got = RecogniseNumber(c.text, conventions);
        if (!c.format) {
            EXPECT_FALSE(got) << "\"" << testing::PrintToString(std::wstring(c.text)) << "\" should stay a text";
            continue;
        }
        ASSERT_TRUE(got) << testing::PrintToString(std::wstring(c.text));
        EXPECT_DOUBLE_EQ(got->value, c.value) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(got->numberFormat, c.format) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(XlsNumbers, EnglishConventionsKeepTheShownDigitsAndRefuseWhatWouldChange) {
    ExpectNumbers({L'.', L','}, {
                                    {L"0", 0, L""},
                                    {L"42", 42, L""},
                                    {L"-17", -17, L""},
                                    {L"1234.50", 1234.5, L"0.00"},
                                    {L"1,234.50", 1234.5, L"#,##0.00"},
                                    {L"1,234,567", 1234567, L"#,##0"},
                                    {L"0.25", 0.25, L"0.00"},
                                    {L"12%", 0.12, L"0%"},
                                    {L"-2.5%", -0.025, L"0.0%"},
                                    {L"1.5E+03", 1500, L"0.0E+00"},
                                    {L"2e-2", 0.02, L"0E+00"},
                                    {L"123456789012345", 123456789012345.0, L""},
                                    {L"007", 0, nullptr},
                                    {L"1,5", 0, nullptr},
                                    {L"12,34,567", 0, nullptr},
                                    {L"1234,567", 0, nullptr},
                                    {L",123", 0, nullptr},
                                    {L"1,234.", 0, nullptr},
                                    {L" 12", 0, nullptr},
                                    {L"12 ", 0, nullptr},
                                    {L"+5", 0, nullptr},
                                    {L"-", 0, nullptr},
                                    {L"", 0, nullptr},
                                    {L".5", 0, nullptr},
                                    {L"1234567890123456", 0, nullptr},
                                    {L"1,234E5", 0, nullptr},
                                    {L"1e9999", 0, nullptr},
                                    {L"12abc", 0, nullptr},
                                    {L"\u0661\u0662", 0, nullptr},
                                });
}

TEST(XlsNumbers, CommaDecimalConventionsReadTheCommaAsTheDecimalSeparator) {
    ExpectNumbers({L',', L'.'}, {
                                    {L"1,5", 1.5, L"0.0"},
                                    {L"1.234,50", 1234.5, L"#,##0.00"},
                                    {L"1.5", 0, nullptr},
                                    {L"12,5%", 0.125, L"0.0%"},
                                });
    // A non-breaking space groups thousands in French conventions.
    ExpectNumbers({L',', L'\u00A0'}, {{L"1\u00A0234,5", 1234.5, L"#,##0.0"}, {L"1 234", 0, nullptr}});
}

TEST(XlsDates, ShortDatePatternsGiveTheOrderAndTheCellFormat) {
    const DateConventions us = DateConventionsFromPattern(L"M/d/yyyy");
    EXPECT_EQ(us.order, DateConventions::Order::MonthDayYear);
    EXPECT_EQ(us.numberFormat, L"m/d/yyyy");
    const DateConventions de = DateConventionsFromPattern(L"dd.MM.yyyy");
    EXPECT_EQ(de.order, DateConventions::Order::DayMonthYear);
    EXPECT_EQ(de.numberFormat, L"dd.mm.yyyy");
    const DateConventions iso = DateConventionsFromPattern(L"yyyy-MM-dd");
    EXPECT_EQ(iso.order, DateConventions::Order::YearMonthDay);
    EXPECT_EQ(iso.numberFormat, L"yyyy-mm-dd");
}

TEST(XlsDates, DatesInTheUsersOrderBecomeDaySerials) {
    const DateConventions us = DateConventionsFromPattern(L"M/d/yyyy");
    const DateConventions de = DateConventionsFromPattern(L"dd.MM.yyyy");
    // Serials as the workbook's 1900 date system counts them (checked against xlrd's).
    struct Case {
        const wchar_t* text;
        const DateConventions& conventions;
        double serial;  // 0: stays a text
        const wchar_t* format;
    };
    const Case cases[] = {
        {L"3/1/1900", us, 61, L"m/d/yyyy"},
        {L"12/31/1999", us, 36525, L"m/d/yyyy"},
        {L"2/29/2024", us, 45351, L"m/d/yyyy"},
        {L"31.12.1999", de, 36525, L"dd.mm.yyyy"},
        {L"1.2.03", de, 37653, L"dd.mm.yyyy"},
        {L"1.2.45", de, 16469, L"dd.mm.yyyy"},
        {L"12/31/1999 18:30", us, 36525.0 + 18.5 / 24, L"m/d/yyyy h:mm"},
        {L"12/31/1999 6:00:36", us, 36525.0 + 0.25 + 36 / 86400.0, L"m/d/yyyy h:mm:ss"},
        {L"2/29/2023", us, 0, nullptr},
        {L"13/1/2020", us, 0, nullptr},
        {L"2/28/1900", us, 0, nullptr},
        {L"1/2/345", us, 0, nullptr},
        {L"1/2-2020", us, 0, nullptr},
        {L"1/2/2020 24:00", us, 0, nullptr},
        {L"1/2/2020x", us, 0, nullptr},
        {L"2020", us, 0, nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<RecognisedValue> got = RecogniseDate(c.text, c.conventions);
        if (!c.format) {
            EXPECT_FALSE(got) << testing::PrintToString(std::wstring(c.text));
            continue;
        }
        ASSERT_TRUE(got) << testing::PrintToString(std::wstring(c.text));
        EXPECT_NEAR(got->value, c.serial, 1e-9) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(got->numberFormat, c.format);
    }
}

TEST(XlsSheets, NamesComeFromTheTitleAndContinuationSheetsFitTheNameLimit) {
    EXPECT_EQ(SheetNameFromTitle(L""), L"Sheet1");
    EXPECT_EQ(SheetNameFromTitle(L"Stock list"), L"Stock_list");
    EXPECT_EQ(SheetNameFromTitle(std::wstring(30, L'a')), std::wstring(30, L'a'));
    EXPECT_EQ(SheetNameFromTitle(L"Quarterly figures of the north"), L"Quarterly_figures_of_the_north");
    EXPECT_EQ(SheetNameFromTitle(L"Quarterly figures of the north!"), L"Quarterly_figures_of_the_n_...");
    EXPECT_EQ(SheetNameFromTitle(L"[:*?/\\]"), L"_______");
    EXPECT_EQ(SheetNameFromTitle(L"caf\u00E9"), L"caf_");

    EXPECT_EQ(ContinuationSheetName(L"Stock", 2), L"Stock (2)");
    EXPECT_EQ(ContinuationSheetName(std::wstring(30, L'a'), 12), std::wstring(26, L'a') + L" (12)");
}

TEST(XlsSheets, RowsBeyondTheFirstSheetContinueBelowTheRepeatedHeaderRows) {
    const struct {
        unsigned long gridRow;
        unsigned repeated;
        RowPlace place;
    } cases[] = {
        {0, 1, {0, 0}},      {65535, 1, {0, 65535}}, {65536, 1, {1, 1}}, {131070, 1, {1, 65535}},
        {131071, 1, {2, 1}}, {65536, 0, {1, 0}},     {65536, 3, {1, 3}}, {65536 + 65533, 3, {2, 3}},
    };
    for (const auto& c : cases) {
        const RowPlace got = PlaceRow(c.gridRow, c.repeated);
        EXPECT_EQ(got.sheet, c.place.sheet) << c.gridRow << " with " << c.repeated;
        EXPECT_EQ(got.row, c.place.row) << c.gridRow << " with " << c.repeated;
    }
    EXPECT_EQ(RepeatedRows(0), 0u);
    EXPECT_EQ(RepeatedRows(2), 2u);
    EXPECT_EQ(RepeatedRows(40000), 0u) << "header rows that fill half a sheet are not repeated";
}

TEST(XlsCells, AlignmentCodesUnitsAndSystemColours) {
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    const std::pair<H, V> expected[] = {
        {H::Left, V::Top},      {H::Left, V::Centre},   {H::Left, V::Bottom}, {H::Centre, V::Top},
        {H::Centre, V::Centre}, {H::Centre, V::Bottom}, {H::Right, V::Top},   {H::Right, V::Centre},
        {H::Right, V::Bottom},  {H::Left, V::Centre},   {H::Left, V::Top},    {H::Left, V::Centre},
        {H::Left, V::Bottom},
    };
    for (long code = 0; code < 13; ++code) {
        const std::optional<Alignment> got = AlignmentOfCode(code);
        ASSERT_TRUE(got) << code;
        EXPECT_EQ(got->horizontal, expected[code].first) << code;
        EXPECT_EQ(got->vertical, expected[code].second) << code;
    }
    EXPECT_FALSE(AlignmentOfCode(13));
    EXPECT_FALSE(AlignmentOfCode(-1));

    EXPECT_DOUBLE_EQ(ColumnWidthCharacters(1200), 13.333333333333334);
    EXPECT_DOUBLE_EQ(RowHeightPoints(240, 15), 12);
    EXPECT_DOUBLE_EQ(RowHeightPoints(300, 12), 18.75);

    EXPECT_EQ(SystemColourIndex(static_cast<long>(0x8000000FL - 0x100000000LL)), 15u);
    EXPECT_EQ(SystemColourIndex(static_cast<long>(0x80000005L - 0x100000000LL)), 5u);
    EXPECT_FALSE(SystemColourIndex(0xFFFFFF));
    EXPECT_FALSE(SystemColourIndex(0x123456));
}

}  // namespace
}  // namespace tarn::xls
