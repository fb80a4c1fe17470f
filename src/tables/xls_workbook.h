// An Excel 97-2003 workbook (BIFF8 records in a compound file), written without Excel.
// The caller adds sheets and, within a sheet, rows in ascending order; cells go to a
// scratch stream as they come, and their texts to the shared string table, which spills to
// a scratch file of its own: memory stays flat in the number of rows and of texts. Save
// assembles the compound file. Portable.
#pragma once

#include "common/byte_sink.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tarn::xls {

constexpr unsigned kMaxRows = 65536;           // rows a sheet holds
constexpr unsigned kMaxColumns = 256;          // columns a sheet holds
constexpr std::size_t kMaxTextLength = 32767;  // characters a cell holds
constexpr std::size_t kMaxSheetNameLength = 31;

// Colours are Windows COLORREF values: 0x00BBGGRR.
using Colour = std::uint32_t;

enum class HorizontalAlignment : std::uint8_t { General, Left, Centre, Right };
enum class VerticalAlignment : std::uint8_t { Top, Centre, Bottom };

// How one cell looks. Equal styles share one font and one cell format record.
// (A field added here is compared in the style table's SameStyle too.)
struct CellStyle {
    std::wstring fontName = L"Arial";
    double fontSize = 10;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;  // single
    Colour fontColour = 0;
    bool filled = false;
    Colour fill = 0xFFFFFF;
    HorizontalAlignment horizontal = HorizontalAlignment::General;
    VerticalAlignment vertical = VerticalAlignment::Bottom;
    std::wstring numberFormat;  // empty: General
    bool quotePrefix = false;   // "keep as text": set on texts that would read as numbers

    friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

// A picture placed over a cell: PNG or JPEG bytes as they are to be stored.
struct Picture {
    enum class Format : std::uint8_t { Png, Jpeg };
    Format format = Format::Png;
    std::string bytes;
    unsigned widthPixels = 0;
    unsigned heightPixels = 0;
};

class Workbook {
public:
    // The cells wait in a scratch file of the workbook's own in the temporary folder.
    Workbook();
    // The cells wait in `scratchFile`, which is emptied first; the caller deletes it. (The
    // shared strings still wait in a file of their own in the temporary folder.)
    explicit Workbook(const std::filesystem::path& scratchFile);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Starts the next sheet. `name` is cut to 31 characters; a name Excel forbids
    // (empty, or holding one of : \ / ? * [ ]) or one already used is made valid and unique.
    // Returns the name the sheet got.
    std::wstring AddSheet(std::wstring_view name);

    // Sheet layout: column widths in characters of the default font, row heights in points,
    // the frozen rows at the top and columns at the left. A row's height is best set before
    // its cells; set after rows 32 or more further down were written, it is kept only when
    // the row has cells. Sizes that are not numbers are ignored; others are kept within
    // what Excel takes (columns up to 255 characters, rows from 0.1 to 409.5 points).
    void SetColumnWidth(unsigned column, double characters);
    void SetRowHeight(unsigned row, double points);
    void FreezePanes(unsigned rows, unsigned columns);

    // Cells of the current sheet. Rows come in ascending order; cells of a row in any order.
    // A row index of kMaxRows or more, or a column of kMaxColumns or more, throws
    // std::out_of_range; a row above the block of 32 rows being gathered throws
    // std::invalid_argument. A later write to the same cell replaces the earlier one.
    // Numbers that are not finite become the error value #NUM!.
    void WriteNumber(unsigned row, unsigned column, double value, const CellStyle& style);
    // Texts longer than kMaxTextLength are cut to it. Any UTF-16 text is kept.
    void WriteText(unsigned row, unsigned column, std::wstring_view text, const CellStyle& style);
    void WriteBlank(unsigned row, unsigned column, const CellStyle& style);
    // The picture's top left corner sits `dx`, `dy` pixels from the cell's top left corner;
    // it keeps its pixel size (at 96 DPI, columns and rows measured as Excel does for the
    // default font). Equal pictures are stored once.
    void InsertPicture(unsigned row, unsigned column, const Picture& picture, unsigned dx, unsigned dy);

    // Writes the whole compound file (a workbook without sheets gets an empty "Sheet1").
    // The workbook takes no more calls afterwards: they throw std::logic_error, as do
    // calls before the first AddSheet.
    void Save(ByteSink& out);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tarn::xls
