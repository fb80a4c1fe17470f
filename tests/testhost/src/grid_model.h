// The grid's content: cells with text and attributes, row and column properties, merged
// blocks, grid-wide colours and fonts, and the geometry derived from them. Plain data with
// range checks; the COM object (grid_object) and the painter work on it.
#pragma once

#include "script_object.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

namespace testhost {

// Twips per pixel at 96 DPI.
constexpr long kTwipsPerPixel = 15;

constexpr long kDefaultRowHeight = 240;   // twips: 16 pixels
constexpr long kDefaultColWidth = 1200;   // twips: 80 pixels
constexpr long kAlignGeneral = 9;

// Column data type codes (the VARTYPE numbers).
constexpr long kTypeBoolean = 11;
constexpr long kTypeDate = 7;

// Check box states of Cell setting 5.
constexpr long kCheckNone = 0;
constexpr long kChecked = 1;
constexpr long kUnchecked = 2;

// Attributes of a cell beyond its text, allocated only for the cells that have any.
struct CellStyle {
    long alignment = -1;  // -1: the column's
    ComPtr<IPictureDisp> picture;
    long check = kCheckNone;
    long backColor = 0;  // 0: not set
    long foreColor = 0;  // 0: not set
    std::wstring fontName;  // empty: the grid's
    double fontSize = 0;    // 0: the grid's
    bool bold = false, italic = false, underline = false;
    unique_variant data;
};

struct Cell {
    std::wstring text;
    std::unique_ptr<CellStyle> style;
};

struct RowInfo {
    long height = kDefaultRowHeight;
    bool hidden = false;
    long level = 0;
    bool subtotal = false;
};

struct ColInfo {
    long width = kDefaultColWidth;
    bool hidden = false;
    long alignment = kAlignGeneral;
    long dataType = 0;
};

struct CellRange {
    long row1, col1, row2, col2;
    bool Contains(long r, long c) const { return r >= row1 && r <= row2 && c >= col1 && c <= col2; }
};

class GridModel {
public:
    GridModel();

    long Rows() const { return static_cast<long>(rows_.size()); }
    long Cols() const { return static_cast<long>(cols_.size()); }
    // Keeps the cells that still fit; merged blocks that no longer fit are dropped.
    void Resize(long rows, long cols);

    long fixedRows = 1, fixedCols = 1;
    void SetFixedRows(long n);
    void SetFixedCols(long n);

    // Grid-wide appearance (OLE colours).
    long backColor = static_cast<long>(0x80000005);       // window
    long foreColor = static_cast<long>(0x80000008);       // window text
    long backColorFixed = static_cast<long>(0x8000000F);  // button face
    long foreColorFixed = static_cast<long>(0x80000012);  // button text
    long gridColor = 0x00C0C0C0;
    long gridColorFixed = 0x00808080;
    long gridLines = 1;
    std::wstring fontName = L"Tahoma";
    double fontSize = 8;
    long width = 0;  // twips; 0: as wide as the visible columns
    long outlineBar = 0, outlineCol = 0;

    const RowInfo& Row(long r) const { return rows_[CheckRow(r)]; }
    const ColInfo& Col(long c) const { return cols_[CheckCol(c)]; }
    // Write access; the cached geometry is recomputed on the next read.
    RowInfo& EditRow(long r) {
        rowTops_.clear();
        return rows_[CheckRow(r)];
    }
    ColInfo& EditCol(long c) {
        colLefts_.clear();
        return cols_[CheckCol(c)];
    }
    Cell& At(long r, long c) { return cells_[Index(r, c)]; }
    const Cell& At(long r, long c) const { return cells_[Index(r, c)]; }
    // The style of a cell, created on first use.
    CellStyle& Style(long r, long c);
    const CellStyle* StyleIf(long r, long c) const { return At(r, c).style.get(); }

    bool IsFixed(long r, long c) const { return r < fixedRows || c < fixedCols; }
    bool RowVisible(long r) const { return !rows_[r].hidden && rows_[r].height > 0; }
    bool ColVisible(long c) const { return !cols_[c].hidden && cols_[c].width > 0; }

    // Merged blocks. A new block may not overlap an existing one.
    void Merge(const CellRange& range);
    const std::vector<CellRange>& Merges() const { return merges_; }
    CellRange MergedRange(long r, long c) const;

    // Effective attributes: the cell's own, else the column's or the grid's.
    long Alignment(long r, long c) const;
    std::wstring FontName(long r, long c) const;
    double FontSize(long r, long c) const;
    // What the grid shows for a cell: see README.md (Cell setting 19).
    std::wstring DisplayText(long r, long c) const;

    // Twips before a row or column, counting visible ones only; Rows()/Cols() give the total.
    long TopOf(long r) const;
    long LeftOf(long c) const;
    long VisibleWidth() const { return LeftOf(Cols()); }
    long VisibleHeight() const { return TopOf(Rows()); }

    size_t CheckRow(long r) const;
    size_t CheckCol(long c) const;

private:
    size_t Index(long r, long c) const { return CheckRow(r) * cols_.size() + CheckCol(c); }

    std::vector<RowInfo> rows_;
    std::vector<ColInfo> cols_;
    std::vector<Cell> cells_;  // row-major
    std::vector<CellRange> merges_;
    mutable std::vector<long> rowTops_;   // Rows()+1 entries once computed
    mutable std::vector<long> colLefts_;  // Cols()+1 entries once computed
};

// Numeric column types: their display text is formatted.
bool IsNumericType(long dataType);
// Parses a whole text as a number (invariant form, optional sign and exponent).
bool ParseNumber(const std::wstring& text, double& value);
// Booleans as cells hold them: True/False, Yes/No, On/Off, -1/1/0 (case-insensitive).
bool ParseBoolean(const std::wstring& text, bool& value);

// Writes the grid as an XML spreadsheet (SaveGrid kind 6).
void SaveWorkbook(const GridModel& grid, const std::wstring& path, bool withFixed);

}  // namespace testhost
