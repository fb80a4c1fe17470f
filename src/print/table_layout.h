// Tables printed over pages: the table as a source of column widths, row heights, colours and
// cells, and its layout on a PageComposer. Rows break over pages; a table wider than the page
// continues with its remaining columns on the following pages (every row with the first
// columns, then every row again with the next ones). The fixed rows repeat at the top of
// every page and the fixed columns at the left of every continuation. Portable.
#pragma once

#include "print/page_composer.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::pages {

enum class HorizontalAlignment { Left, Centre, Right };
enum class VerticalAlignment { Top, Centre, Bottom };

struct CellAlignment {
    HorizontalAlignment horizontal = HorizontalAlignment::Left;
    VerticalAlignment vertical = VerticalAlignment::Centre;

    friend bool operator==(const CellAlignment&, const CellAlignment&) = default;
};

// The grid's alignment codes 0 to 12; general alignments are left; other codes left centre.
CellAlignment CellAlignmentFromCode(long code);

enum class CheckState { None, Checked, Unchecked };

struct TableCell {
    std::wstring text;
    FontSpec font;
    std::optional<Colour> foreColour;  // the table's colours when not set
    std::optional<Colour> backColour;
    CellAlignment alignment;
    CheckState check = CheckState::None;
    std::shared_ptr<const PictureData> picture;
};

// Rows and columns of a merged block, inclusive.
struct CellBlock {
    int row1 = 0, col1 = 0, row2 = 0, col2 = 0;
};

// Colours are plain 0x00BBGGRR values: system colours are resolved by the source.
struct TableLook {
    Colour backColour = 0xFFFFFF;
    Colour foreColour = 0;
    Colour backColourFixed = 0xC0C0C0;
    Colour foreColourFixed = 0;
    Colour gridColour = 0xC0C0C0;
    Colour gridColourFixed = 0;
    bool gridLines = true;
};

// A table to print. Widths and heights are in twips; a hidden column or row has size 0.
class TableSource {
public:
    virtual ~TableSource() = default;
    virtual int Rows() = 0;
    virtual int Cols() = 0;
    virtual int FixedRows() = 0;
    virtual int FixedCols() = 0;
    virtual int ColumnWidth(int col) = 0;
    virtual int RowHeight(int row) = 0;
    virtual TableLook Look() = 0;
    virtual TableCell Cell(int row, int col) = 0;
    // The merged block holding a cell; an unmerged cell is a block of its own.
    virtual CellBlock MergedBlock(int row, int col) { return {row, col, row, col}; }
};

// A table held in memory, row by row.
class TableData : public TableSource {
public:
    std::vector<int> columnWidths;
    std::vector<int> rowHeights;
    int fixedRows = 0;
    int fixedCols = 0;
    TableLook look;
    std::vector<std::vector<TableCell>> cells;  // [row][col]; missing cells are empty
    std::vector<CellBlock> merged;

    int Rows() override { return static_cast<int>(rowHeights.size()); }
    int Cols() override { return static_cast<int>(columnWidths.size()); }
    int FixedRows() override { return fixedRows; }
    int FixedCols() override { return fixedCols; }
    int ColumnWidth(int col) override { return columnWidths[col]; }
    int RowHeight(int row) override { return rowHeights[row]; }
    TableLook Look() override { return look; }
    TableCell Cell(int row, int col) override;
    CellBlock MergedBlock(int row, int col) override;
};

// Prints the table from the composer's cursor: `paragraph` (when not empty) above it in the
// body font, and only the columns `columnList` names (",0,,2," style; empty: every column).
void ComposeTable(PageComposer& composer, TableSource& table, std::wstring_view paragraph,
                  std::wstring_view columnList);

}  // namespace tarn::pages
