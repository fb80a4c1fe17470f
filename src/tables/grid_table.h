// Typed access to the host's grid. This is the one place that knows the grid's member
// names and cell setting numbers; exporters talk to it, never to the raw IDispatch.
#pragma once

#include "com/late_bound.h"

#include <ocidl.h>

#include <string>

namespace tarn {

// Settings of the grid's Cell property.
enum class CellSetting : long {
    Text = 0,
    Alignment = 2,
    Picture = 3,
    Checkbox = 5,
    BackColor = 6,
    ForeColor = 7,
    FontName = 11,
    FontSize = 12,
    FontBold = 13,
    FontItalic = 14,
    FontUnderline = 15,
    DisplayText = 19,
    Data = 20,
};

// Alignment codes of the grid (column and cell alignment).
enum class GridAlignment : long {
    LeftTop = 0,
    LeftCenter,
    LeftBottom,
    CenterTop,
    CenterCenter,
    CenterBottom,
    RightTop,
    RightCenter,
    RightBottom,
    General,
    GeneralTop,
    GeneralCenter,
    GeneralBottom,
};

// Grid data type codes the exporters act on.
constexpr long kGridTypeDate = 7;
constexpr long kGridTypeBoolean = 11;

struct CellRange {
    long row1, col1, row2, col2;
};

class GridTable {
public:
    explicit GridTable(IDispatch* grid) : grid_(grid) {}

    IDispatch* object() const noexcept { return grid_.object(); }

    long Rows() { return Long(L"Rows"); }
    long Cols() { return Long(L"Cols"); }
    long FixedRows() { return Long(L"FixedRows"); }
    long FixedCols() { return Long(L"FixedCols"); }
    void SetRow(long row) { grid_.Put(L"Row", LongArg(row)); }
    void SetCol(long col) { grid_.Put(L"Col", LongArg(col)); }

    long RowHeight(long row) { return VariantToLong(grid_.Get(L"RowHeight", {LongArg(row)})); }
    bool RowHidden(long row) { return VariantToBool(grid_.Get(L"RowHidden", {LongArg(row)})); }
    void SetRowHidden(long row, bool hidden) { grid_.Put(L"RowHidden", BoolArg(hidden), {LongArg(row)}); }
    long ColWidth(long col) { return VariantToLong(grid_.Get(L"ColWidth", {LongArg(col)})); }
    bool ColHidden(long col) { return VariantToBool(grid_.Get(L"ColHidden", {LongArg(col)})); }
    void SetColHidden(long col, bool hidden) { grid_.Put(L"ColHidden", BoolArg(hidden), {LongArg(col)}); }
    long ColAlignment(long col) { return VariantToLong(grid_.Get(L"ColAlignment", {LongArg(col)})); }
    long ColDataType(long col) { return VariantToLong(grid_.Get(L"ColDataType", {LongArg(col)})); }

    // One property of one cell, as the host returned it.
    unique_variant Cell(CellSetting setting, long row, long col) {
        return grid_.Get(L"Cell", {LongArg(static_cast<long>(setting)), LongArg(row), LongArg(col)});
    }
    std::wstring CellText(long row, long col) { return VariantToText(Cell(CellSetting::Text, row, col)); }
    long CellLong(CellSetting setting, long row, long col) { return VariantToLong(Cell(setting, row, col)); }
    bool CellBool(CellSetting setting, long row, long col) { return VariantToBool(Cell(setting, row, col)); }
    ComPtr<IDispatch> CellPicture(long row, long col) { return VariantToObject(Cell(CellSetting::Picture, row, col)); }

    long CellTop() { return Long(L"CellTop"); }
    long CellLeft() { return Long(L"CellLeft"); }

    // The merged block holding a cell. The outputs start as the cell itself, so a grid that
    // does not write them back reads as unmerged.
    CellRange MergedRange(long row, long col);

    long BackColor() { return Long(L"BackColor"); }
    long BackColorFixed() { return Long(L"BackColorFixed"); }
    long ForeColorFixed() { return Long(L"ForeColorFixed"); }
    long GridColor() { return Long(L"GridColor"); }
    long GridColorFixed() { return Long(L"GridColorFixed"); }
    long GridLines() { return Long(L"GridLines"); }
    std::wstring FontName() { return VariantToText(grid_.GetValue(L"FontName")); }
    long Width() { return Long(L"Width"); }

    long OutlineBar() { return Long(L"OutlineBar"); }
    long OutlineCol() { return Long(L"OutlineCol"); }
    bool IsSubtotal(long row) { return VariantToBool(grid_.Get(L"IsSubtotal", {LongArg(row)})); }
    long RowOutlineLevel(long row) { return VariantToLong(grid_.Get(L"RowOutlineLevel", {LongArg(row)})); }

    bool Redraw() { return VariantToBool(grid_.GetValue(L"Redraw")); }
    void SetRedraw(bool on) { grid_.Put(L"Redraw", BoolArg(on)); }

    ComPtr<IDispatch> Picture() { return VariantToObject(grid_.Get(L"Picture")); }
    long PictureType() { return Long(L"PictureType"); }
    void SetPictureType(long type) { grid_.Put(L"PictureType", LongArg(type)); }
    ComPtr<IDispatch> WallPaper() { return VariantToObject(grid_.Get(L"WallPaper")); }
    void SetWallPaper(IDispatch* picture) { grid_.PutRef(L"WallPaper", picture); }
    long Hwnd() { return Long(L"hWnd"); }

    // Asks the grid to write itself to `path` (kind 6: a workbook).
    void SaveGrid(const std::wstring& path, long kind, bool withFixedCells);

private:
    long Long(const wchar_t* member) { return VariantToLong(grid_.GetValue(member)); }

    LateBound grid_;
};

// An empty picture object, what a host gets when it loads a picture from no file.
ComPtr<IDispatch> EmptyPicture();

}  // namespace tarn
