// Reading the host's grid for printing.
#include "print/grid_table_source.h"

#include "com/errors.h"
#include "common/scratch_file.h"
#include "imaging/image_converter.h"
#include "imaging/picture_file.h"

#include <cmath>
#include <cstring>

namespace tarn {
namespace {

constexpr long kSystemColourFlag = static_cast<long>(0x80000000u);

pages::Colour ColourOf(long oleColour) {
    if ((oleColour & kSystemColourFlag) != 0) return GetSysColor(oleColour & 0xFF);
    return static_cast<pages::Colour>(oleColour) & 0xFFFFFFu;
}

}  // namespace

std::shared_ptr<pages::PictureData> PictureDataOf(const Image& image) {
    auto data = std::make_shared<pages::PictureData>();
    data->width = static_cast<unsigned>(image.width());
    data->height = static_cast<unsigned>(image.height());
    data->bgra.resize(image.pixels().size() * 4);
    std::memcpy(data->bgra.data(), image.pixels().data(), data->bgra.size());
    data->hasAlpha = !image.IsOpaque();
    return data;
}

GridTableSource::GridTableSource(GridTable& grid) : grid_(grid) {
    long rows = std::max(0L, grid.Rows()), cols = std::max(0L, grid.Cols());
    fixedRows_ = static_cast<int>(grid.FixedRows());
    fixedCols_ = static_cast<int>(grid.FixedCols());
    for (long c = 0; c < cols; ++c) {
        widths_.push_back(grid.ColHidden(c) ? 0 : static_cast<int>(std::max(0L, grid.ColWidth(c))));
        columnAlignments_.push_back(grid.ColAlignment(c));
    }
    for (long r = 0; r < rows; ++r) {
        heights_.push_back(grid.RowHidden(r) ? 0 : static_cast<int>(std::max(0L, grid.RowHeight(r))));
    }
    look_.backColour = ColourOf(grid.BackColor());
    look_.backColourFixed = ColourOf(grid.BackColorFixed());
    look_.foreColourFixed = ColourOf(grid.ForeColorFixed());
    look_.gridColour = ColourOf(grid.GridColor());
    look_.gridColourFixed = ColourOf(grid.GridColorFixed());
    look_.gridLines = grid.GridLines() != 0;
    fontName_ = grid.FontName();
}

pages::TableCell GridTableSource::Cell(int row, int col) {
    if (!KeepsRead(row)) return ReadCell(row, col);
    auto [kept, added] = fixedCells_.try_emplace({row, col});
    if (added) kept->second = ReadCell(row, col);
    return kept->second;
}

pages::TableCell GridTableSource::ReadCell(int row, int col) {
    pages::TableCell cell;
    cell.text = VariantToText(grid_.Cell(CellSetting::DisplayText, row, col));
    cell.font.name = VariantToText(grid_.Cell(CellSetting::FontName, row, col));
    if (cell.font.name.empty()) cell.font.name = fontName_;
    cell.font.size = VariantToDouble(grid_.Cell(CellSetting::FontSize, row, col));
    cell.font.bold = grid_.CellBool(CellSetting::FontBold, row, col);
    cell.font.italic = grid_.CellBool(CellSetting::FontItalic, row, col);
    cell.font.underline = grid_.CellBool(CellSetting::FontUnderline, row, col);
    if (long fore = grid_.CellLong(CellSetting::ForeColor, row, col); fore != 0) cell.foreColour = ColourOf(fore);
    if (long back = grid_.CellLong(CellSetting::BackColor, row, col); back != 0) cell.backColour = ColourOf(back);
    long code = grid_.CellLong(CellSetting::Alignment, row, col);
    if (code == static_cast<long>(GridAlignment::General)) code = columnAlignments_[col];
    cell.alignment = pages::CellAlignmentFromCode(code);
    long check = grid_.CellLong(CellSetting::Checkbox, row, col);
    cell.check = check == 0   ? pages::CheckState::None
                 : check == 1 ? pages::CheckState::Checked
                              : pages::CheckState::Unchecked;
    cell.picture = CellPicture(row, col);
    return cell;
}

pages::CellBlock GridTableSource::MergedBlock(int row, int col) {
    auto read = [&]() -> pages::CellBlock {
        CellRange range = grid_.MergedRange(row, col);
        return {static_cast<int>(range.row1), static_cast<int>(range.col1), static_cast<int>(range.row2),
                static_cast<int>(range.col2)};
    };
    if (row >= fixedRows_ || fixedBlocks_.size() >= kMaxKeptCells) return read();
    auto [kept, added] = fixedBlocks_.try_emplace({row, col});
    if (added) kept->second = read();
    return kept->second;
}

// A picture that cannot be read leaves its cell without one rather than stopping the print.
std::shared_ptr<const pages::PictureData> GridTableSource::CellPicture(int row, int col) {
    ComPtr<IDispatch> picture = grid_.CellPicture(row, col);
    long handle = PictureHandleOf(picture.Get());
    if (handle == 0) return nullptr;
    auto [known, added] = pictures_.try_emplace(handle);
    if (!added) return known->second;
    TryStep([&] {
        ScratchFile file(L"PrintCell" + std::to_wstring(handle) + PictureExtensionOf(picture.Get()));
        SavePictureFile(picture.Get(), file.path());
        ImageConverter converter;
        if (converter.Load(file.path())) known->second = PictureDataOf(converter.image());
    });
    return known->second;
}

}  // namespace tarn
