// The rules that turn a host's grid into worksheet cells: which texts become numbers and
// dates (in the user's conventions), the sheet names, where a grid row lands when a grid
// outgrows one sheet, alignments and units. Portable: the caller reads the conventions
// from the system.
#pragma once

#include "tables/xls_workbook.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarn::xls {

// The user's number conventions.
struct NumberConventions {
    wchar_t decimal = L'.';
    wchar_t thousands = L',';
};

// A text recognised as a value: the number to store and the format that shows it the
// way the text did (empty: General).
struct RecognisedValue {
    double value = 0;
    std::wstring numberFormat;
};

// A text that reads unambiguously as a number: an optional "-", digits (grouped by
// threes with the thousands separator, or not at all), an optional decimal separator
// with digits, then an optional exponent or "%". Texts that would lose something as a
// number stay texts: a leading zero ("007"), blanks, a "+", more than 15 significant
// digits, a separator in the wrong place ("1,5" where "," groups thousands).
[[nodiscard]] std::optional<RecognisedValue> RecogniseNumber(std::wstring_view text, const NumberConventions& c);

// The user's short date: the order of day, month and year, and the format cells get.
struct DateConventions {
    enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };
    Order order = Order::MonthDayYear;
    std::wstring numberFormat = L"m/d/yyyy";
};

// Conventions from a Windows short-date pattern ("M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd").
[[nodiscard]] DateConventions DateConventionsFromPattern(std::wstring_view pattern);

// A date in the user's order, with any of "/", "-" or "." between its three parts and an
// optional 24-hour time "H:mm" or "H:mm:ss" after a blank; two-digit years fall in
// 1930 to 2029. The value is the workbook's day serial (1900 date system); dates before
// 1 March 1900 stay texts.
[[nodiscard]] std::optional<RecognisedValue> RecogniseDate(std::wstring_view text, const DateConventions& c);

// The first sheet's name from the export's title: longer than 30 characters, its first 26
// and " ..."; then every character but letters, digits, "_", "-", "." and "@" replaced by
// "_". "Sheet1" when the title is empty.
[[nodiscard]] std::wstring SheetNameFromTitle(std::wstring_view title);

// The name of continuation sheet `number` (2, 3, ...): "<name> (2)", the name shortened
// so that the whole fits the 31 characters of a sheet name.
[[nodiscard]] std::wstring ContinuationSheetName(std::wstring_view name, unsigned number);

// Where grid row `row` goes: the first sheet holds grid rows 0 to 65535 at their own
// index (worksheet row = grid row + 1 as the user counts); every further sheet repeats
// the `repeated` header rows at its top and continues below them.
struct RowPlace {
    unsigned sheet = 0;  // 0 is the first
    unsigned row = 0;    // 0-based row of that sheet
};
[[nodiscard]] RowPlace PlaceRow(unsigned long row, unsigned repeated);
// The header rows a grid with `fixedRows` fixed rows repeats on continuation sheets:
// all of them, unless they would fill half a sheet.
[[nodiscard]] unsigned RepeatedRows(long fixedRows);

// The alignment of a grid alignment code (general ones read as left); none for codes
// outside 0 to 12.
struct Alignment {
    HorizontalAlignment horizontal;
    VerticalAlignment vertical;
};
[[nodiscard]] std::optional<Alignment> AlignmentOfCode(long code);

// Column width in characters from twips (90 twips a character), row height in points
// from twips (screen pixels at `twipsPerPixel`, three quarters of a point each).
[[nodiscard]] double ColumnWidthCharacters(long twips);
[[nodiscard]] double RowHeightPoints(long twips, int twipsPerPixel);

// The pixels a spreadsheet program shows for a column of `characters` (digits of 7 pixels
// plus padding, in 1/256 characters as stored) and a row of `points`: what a picture is
// centred in.
[[nodiscard]] unsigned ColumnPixels(double characters);
[[nodiscard]] unsigned RowPixels(double points);

// A system colour (an OLE colour above RGB(255,255,255) in magnitude) gives its index:
// the hexadecimal digits after the first one (0x8000000F gives 15); other colours none.
[[nodiscard]] std::optional<unsigned> SystemColourIndex(long oleColour);

}  // namespace tarn::xls
