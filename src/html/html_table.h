// The markup of an exported grid table: table width and cell width shares, row and cell
// lines, alignment, outline indentation. Portable; the exporter reads the grid and hands the
// values over.
#pragma once

#include "common/ansi_text_stream.h"
#include "html/page_frame.h"

#include <string>
#include <string_view>

namespace tarn {

// The pieces of a table page around its rows. Each is written with one WriteLine, which
// adds a CR LF to a piece that already ends in one, so the page shows an empty line after
// each of them.

// The page up to its table: head, banner, the centred title block (always, also without
// titles) and the preformatted paragraph when there is one. No value is escaped.
struct TablePageTop {
    PageInfo info;        // its title heads the title block too
    std::wstring header;  // ResourceSource of the banner images
    std::wstring spacer;
    std::wstring subTitle;
    std::wstring paragraph;
};
void WriteTablePageTop(AnsiTextStream& out, const TablePageTop& top);

// The grid's font and the table tag with its colours ("#RRGGBB") and both widths, the
// share first.
std::wstring TableOpening(std::wstring_view fontName, std::wstring_view backColor, std::wstring_view gridColor,
                          long tablePixels);

// The end of the table, the footer with `dateTime` and the page's closing tags.
void WriteTablePageBottom(AnsiTextStream& out, const PageInfo& info, std::wstring_view dateTime);

// Twips to page pixels as the table is laid out: 1.3 times the twips over the twips per
// pixel, rounded to the nearest whole number, halves to even.
long HtmlPixels(double twips, double twipsPerPixel);

// The width share of a cell in the "#%" pattern: "50%", or just "%" when it rounds to 0.
std::wstring WidthShare(long cellPixels, long tablePixels);

// A number in the system's general format: no exponent for everyday values, up to 15
// significant digits, no trailing zeros ("17", "16.6666666666667").
std::wstring GeneralNumber(double value);

// The opening tag of a row; fixed rows carry their height in pixels.
std::wstring RowOpenTag(bool fixedRow, double heightPixels);

// The alignment attribute of a cell. `code` is the cell's alignment code after an
// alignment of 9 was replaced by the column's; codes outside 0..8 take the column default.
std::wstring AlignmentAttribute(long code, long columnDataType, bool numericText);

// A Boolean column's data cell: "Y" when the text's leading number is not 0, else "".
std::wstring BooleanCellText(std::wstring_view text);

// The indentation of an outline level.
std::wstring OutlineIndent(long level);

struct HtmlCell {
    std::wstring widthShare;     // WidthShare(...)
    std::wstring backColor;      // "#RRGGBB" or empty
    std::wstring alignment;      // AlignmentAttribute(...)
    std::wstring borderColor;    // "#RRGGBB" or empty
    long colSpan = 1;
    long rowSpan = 1;
    long fontSizePoints = 0;     // rounded; 0 or less: none
    bool bottomBorder = false;   // data cell of a grid with grid lines
    std::wstring fontFace;       // set when the cell's font differs from the grid's
    std::wstring foreColor;      // "#RRGGBB" or empty
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::wstring content;        // already escaped, picture and indentation included
};

// The whole "<td ...>...</td>" line of one cell.
std::wstring CellLine(const HtmlCell& cell);

}  // namespace tarn
