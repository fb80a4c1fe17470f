// The host's grid as a table to print: sizes with hidden columns and rows as 0, the grid's
// colours with system colours resolved, and each cell's displayed text, font, colours,
// alignment, check box and picture.
#pragma once

#include "print/table_layout.h"
#include "tables/grid_table.h"

#include <map>
#include <memory>

namespace tarn {

class Image;

// An image's pixels as page picture data, shared by the pages that show it.
std::shared_ptr<pages::PictureData> PictureDataOf(const Image& image);

class GridTableSource : public pages::TableSource {
public:
    // Reads the counts, sizes and colours at once; cells are read as the layout asks for them.
    explicit GridTableSource(GridTable& grid);

    int Rows() override { return static_cast<int>(heights_.size()); }
    int Cols() override { return static_cast<int>(widths_.size()); }
    int FixedRows() override { return fixedRows_; }
    int FixedCols() override { return fixedCols_; }
    int ColumnWidth(int col) override { return widths_[col]; }
    int RowHeight(int row) override { return heights_[row]; }
    pages::TableLook Look() override { return look_; }
    pages::TableCell Cell(int row, int col) override;
    pages::CellBlock MergedBlock(int row, int col) override;

private:
    pages::TableCell ReadCell(int row, int col);
    std::shared_ptr<const pages::PictureData> CellPicture(int row, int col);
    // The fixed rows are drawn on every page: their cells and blocks are read once.
    bool KeepsRead(int row) const { return row < fixedRows_ && fixedCells_.size() < kMaxKeptCells; }
    static constexpr std::size_t kMaxKeptCells = 65536;

    GridTable& grid_;
    int fixedRows_ = 0, fixedCols_ = 0;
    std::wstring fontName_;  // for cells that name no font
    std::vector<int> widths_, heights_;
    std::vector<long> columnAlignments_;
    pages::TableLook look_;
    // Pictures by handle: a grid often shows one picture in many cells.
    std::map<long, std::shared_ptr<const pages::PictureData>> pictures_;
    std::map<std::pair<int, int>, pages::TableCell> fixedCells_;
    std::map<std::pair<int, int>, pages::CellBlock> fixedBlocks_;
};

}  // namespace tarn
