// Pagination of tables and the drawing of their cells.
#include "print/table_layout.h"

#include "common/export_options.h"

#include <algorithm>
#include <cmath>

namespace tarn::pages {
namespace {

constexpr int kCellPaddingX = 60;
constexpr int kCellPaddingY = 30;
constexpr int kCheckSize = 195;
constexpr int kMinCheckSize = 90;
constexpr int kTwipsPerPixel = 15;  // cell pictures are drawn at their size on a 96 DPI screen
constexpr int kGridLineWidth = 15;

int Round(double value) { return static_cast<int>(std::lround(value)); }

// A visible row or column on a page: its index and where it starts.
struct Track {
    int index;
    int start;
    int size;
};

std::vector<Track> PlaceTracks(const std::vector<int>& fixed, const std::vector<int>& moving,
                               const std::vector<int>& sizes, int start) {
    std::vector<Track> tracks;
    for (const std::vector<int>* part : {&fixed, &moving}) {
        for (int index : *part) {
            tracks.push_back({index, start, sizes[index]});
            start += sizes[index];
        }
    }
    return tracks;
}

// Groups `indexes` so that each group, after `fixedSize`, fits in `room` (the first group in
// `firstRoom`); a track larger than the room gets a group of its own.
std::vector<std::vector<int>> Group(const std::vector<int>& indexes, const std::vector<int>& sizes, int fixedSize,
                                    int firstRoom, int room) {
    std::vector<std::vector<int>> groups(1);
    int used = fixedSize;
    for (int index : indexes) {
        int limit = groups.size() == 1 ? firstRoom : room;
        if (!groups.back().empty() && used + sizes[index] > limit) {
            groups.emplace_back();
            used = fixedSize;
        }
        groups.back().push_back(index);
        used += sizes[index];
    }
    return groups;
}

// The text of a cell cut to the characters that fit in `width`: the longest prefix that
// fits, found by halving, so a long text costs few measurements. `measured` is its width.
std::wstring_view FitText(FontMetrics& metrics, const FontSpec& font, std::wstring_view text, int width,
                          double& measured) {
    measured = metrics.TextWidth(font, text);
    if (measured <= width) return text;
    std::size_t fits = 0, tooLong = text.size();
    double fitWidth = 0;
    while (tooLong - fits > 1) {
        std::size_t middle = fits + (tooLong - fits) / 2;
        if (double w = metrics.TextWidth(font, text.substr(0, middle)); w <= width) {
            fits = middle;
            fitWidth = w;
        } else {
            tooLong = middle;
        }
    }
    measured = fitWidth;
    return text.substr(0, fits);
}

int AlignIn(int start, int room, int size, HorizontalAlignment alignment) {
    switch (alignment) {
        case HorizontalAlignment::Left: return start;
        case HorizontalAlignment::Centre: return start + (room - size) / 2;
        case HorizontalAlignment::Right: return start + room - size;
    }
    return start;
}

int AlignIn(int start, int room, int size, VerticalAlignment alignment) {
    switch (alignment) {
        case VerticalAlignment::Top: return start;
        case VerticalAlignment::Centre: return start + (room - size) / 2;
        case VerticalAlignment::Bottom: return start + room - size;
    }
    return start;
}

class TablePrinter {
public:
    TablePrinter(PageComposer& composer, TableSource& table) : composer_(composer), table_(table) {}

    void Print(std::wstring_view columnList) {
        int rows = std::max(0, table_.Rows()), cols = std::max(0, table_.Cols());
        int fixedRows = std::clamp(table_.FixedRows(), 0, rows), fixedCols = std::clamp(table_.FixedCols(), 0, cols);
        fixedRows_ = fixedRows;
        fixedCols_ = fixedCols;
        look_ = table_.Look();
        widths_.resize(cols);
        heights_.resize(rows);
        std::vector<int> fixedColumnList, movingColumns, fixedRowList, movingRows;
        for (int c = 0; c < cols; ++c) {
            bool listed = columnList.empty() || IsColumnSelected(columnList, c);
            widths_[c] = listed ? std::max(0, table_.ColumnWidth(c)) : 0;
            if (widths_[c] > 0) (c < fixedCols ? fixedColumnList : movingColumns).push_back(c);
        }
        for (int r = 0; r < rows; ++r) {
            heights_[r] = std::max(0, table_.RowHeight(r));
            if (heights_[r] > 0) (r < fixedRows ? fixedRowList : movingRows).push_back(r);
        }
        if (fixedColumnList.empty() && movingColumns.empty()) return;
        if (fixedRowList.empty() && movingRows.empty()) return;

        int fixedWidth = 0, fixedHeight = 0;
        for (int c : fixedColumnList) fixedWidth += widths_[c];
        for (int r : fixedRowList) fixedHeight += heights_[r];
        int pageWidth = composer_.BodyRight() - composer_.BodyLeft();
        int pageHeight = composer_.BodyBottom() - composer_.BodyTop();
        auto bands = Group(movingColumns, widths_, fixedWidth, pageWidth, pageWidth);

        // The first rows go below whatever the page already holds, or on a new page when not
        // even the fixed rows and one row fit there.
        int startY = composer_.CursorY();
        int firstRoom = composer_.BodyBottom() - startY;
        int firstHeight = fixedHeight + (movingRows.empty() ? 0 : heights_[movingRows.front()]);
        bool startOnNewPage = startY > composer_.BodyTop() && firstHeight > firstRoom;
        if (startOnNewPage) firstRoom = pageHeight;
        auto chunks = Group(movingRows, heights_, fixedHeight, firstRoom, pageHeight);

        bool first = true;
        for (const std::vector<int>& band : bands) {
            for (const std::vector<int>& chunk : chunks) {
                if (!first || startOnNewPage) composer_.NewPage();
                int top = first && !startOnNewPage ? startY : composer_.BodyTop();
                first = false;
                PrintPage(PlaceTracks(fixedRowList, chunk, heights_, top),
                          PlaceTracks(fixedColumnList, band, widths_, composer_.BodyLeft()));
            }
        }
    }

private:
    void PrintPage(const std::vector<Track>& rows, const std::vector<Track>& cols) {
        int rowCount = static_cast<int>(rows.size()), colCount = static_cast<int>(cols.size());
        for (int i = 0; i < rowCount; ++i) {
            for (int j = 0; j < colCount; ++j) {
                CellBlock block = table_.MergedBlock(rows[i].index, cols[j].index);
                if (block.row1 > rows[i].index || block.row2 < rows[i].index || block.col1 > cols[j].index ||
                    block.col2 < cols[j].index) {
                    block = {rows[i].index, cols[j].index, rows[i].index, cols[j].index};  // not a block of this cell
                }
                // The tracks are in index order, so those a block covers follow each other.
                auto inRows = [&](int k) { return rows[k].index >= block.row1 && rows[k].index <= block.row2; };
                auto inCols = [&](int k) { return cols[k].index >= block.col1 && cols[k].index <= block.col2; };
                if ((i > 0 && inRows(i - 1)) || (j > 0 && inCols(j - 1))) continue;
                int lastRow = i, lastCol = j;
                while (lastRow + 1 < rowCount && inRows(lastRow + 1)) ++lastRow;
                while (lastCol + 1 < colCount && inCols(lastCol + 1)) ++lastCol;
                int x = cols[j].start, y = rows[i].start;
                int width = cols[lastCol].start + cols[lastCol].size - x;
                int height = rows[lastRow].start + rows[lastRow].size - y;
                bool fixed = block.row1 < fixedRows_ || block.col1 < fixedCols_;
                PrintCell(table_.Cell(block.row1, block.col1), fixed, x, y, width, height);
            }
        }
    }

    void PrintCell(const TableCell& cell, bool fixed, int x, int y, int width, int height) {
        Page& page = composer_.CurrentPage();
        std::optional<Colour> outline;
        if (look_.gridLines) outline = fixed ? look_.gridColourFixed : look_.gridColour;
        page.ops.push_back(Box{x, y, width, height,
                               cell.backColour.value_or(fixed ? look_.backColourFixed : look_.backColour), outline,
                               kGridLineWidth});

        int innerX = x + kCellPaddingX, innerY = y + kCellPaddingY;
        int innerWidth = width - 2 * kCellPaddingX, innerHeight = height - 2 * kCellPaddingY;
        if (innerWidth <= 0 || innerHeight <= 0) return;
        const CellAlignment& alignment = cell.alignment;

        if (cell.picture && cell.picture->width > 0 && cell.picture->height > 0) {
            double naturalWidth = cell.picture->width * kTwipsPerPixel;
            double naturalHeight = cell.picture->height * kTwipsPerPixel;
            double scale = std::min({1.0, innerWidth / naturalWidth, innerHeight / naturalHeight});
            int w = Round(naturalWidth * scale), h = Round(naturalHeight * scale);
            page.ops.push_back(PictureBox{AlignIn(innerX, innerWidth, w, alignment.horizontal),
                                          AlignIn(innerY, innerHeight, h, alignment.vertical), w, h, cell.picture});
        }

        Colour fore = cell.foreColour.value_or(fixed ? look_.foreColourFixed : look_.foreColour);
        // A low row (the usual 16-pixel one) gets a smaller box rather than none.
        const int s = std::min({kCheckSize, innerWidth, innerHeight});
        if (cell.check != CheckState::None && s >= kMinCheckSize) {
            int boxX = cell.text.empty() ? AlignIn(innerX, innerWidth, s, alignment.horizontal) : innerX;
            int boxY = AlignIn(innerY, innerHeight, s, alignment.vertical);
            page.ops.push_back(Box{boxX, boxY, s, s, 0xFFFFFF, fore, kGridLineWidth});
            if (cell.check == CheckState::Checked) {
                page.ops.push_back(Line{boxX + s / 5, boxY + s / 2, boxX + s * 2 / 5, boxY + s * 3 / 4, fore, 30});
                page.ops.push_back(Line{boxX + s * 2 / 5, boxY + s * 3 / 4, boxX + s * 4 / 5, boxY + s / 4, fore, 30});
            }
            if (!cell.text.empty()) {
                innerX += s + kCellPaddingX;
                innerWidth -= s + kCellPaddingX;
            }
        }
        if (cell.text.empty() || innerWidth <= 0) return;

        FontMetrics& metrics = composer_.Metrics();
        // The text's lines, without their carriage returns; most cells have one.
        std::wstring_view text = cell.text;
        std::vector<std::wstring> split;
        if (text.find_first_of(L"\r\n") != std::wstring_view::npos) {
            split.emplace_back();
            for (wchar_t c : text) {
                if (c == L'\n') {
                    split.emplace_back();
                } else if (c != L'\r') {
                    split.back() += c;
                }
            }
        }
        const double fontAscent = metrics.Ascent(cell.font);
        int ascent = Round(fontAscent);
        int lineHeight = Round(fontAscent + metrics.Descent(cell.font));
        int lineCount = split.empty() ? 1 : static_cast<int>(split.size());
        int textTop = AlignIn(innerY, innerHeight, lineCount * lineHeight, alignment.vertical);
        for (int k = 0; k < lineCount; ++k) {
            int lineTop = textTop + k * lineHeight;
            // Lines outside the cell are left out; a single line too tall for it is kept.
            if (lineCount > 1 && (lineTop < y || lineTop + lineHeight > y + height)) continue;
            double measured = 0;
            std::wstring_view line =
                FitText(metrics, cell.font, split.empty() ? text : std::wstring_view(split[k]), innerWidth, measured);
            if (line.empty()) continue;
            int textWidth = Round(measured);
            page.ops.push_back(TextRun{AlignIn(innerX, innerWidth, textWidth, alignment.horizontal), lineTop + ascent,
                                       cell.font, fore, std::wstring(line)});
        }
    }

    PageComposer& composer_;
    TableSource& table_;
    TableLook look_;
    int fixedRows_ = 0, fixedCols_ = 0;
    std::vector<int> widths_, heights_;
};

}  // namespace

CellAlignment CellAlignmentFromCode(long code) {
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    switch (code) {
        case 0: return {H::Left, V::Top};
        case 1: return {H::Left, V::Centre};
        case 2: return {H::Left, V::Bottom};
        case 3: return {H::Centre, V::Top};
        case 4: return {H::Centre, V::Centre};
        case 5: return {H::Centre, V::Bottom};
        case 6: return {H::Right, V::Top};
        case 7: return {H::Right, V::Centre};
        case 8: return {H::Right, V::Bottom};
        case 10: return {H::Left, V::Top};
        case 12: return {H::Left, V::Bottom};
        default: return {H::Left, V::Centre};
    }
}

TableCell TableData::Cell(int row, int col) {
    if (row < static_cast<int>(cells.size()) && col < static_cast<int>(cells[row].size())) return cells[row][col];
    return {};
}

CellBlock TableData::MergedBlock(int row, int col) {
    for (const CellBlock& block : merged) {
        if (row >= block.row1 && row <= block.row2 && col >= block.col1 && col <= block.col2) return block;
    }
    return {row, col, row, col};
}

void ComposeTable(PageComposer& composer, TableSource& table, std::wstring_view paragraph,
                  std::wstring_view columnList) {
    if (!paragraph.empty()) composer.FlowText(paragraph);
    TablePrinter(composer, table).Print(columnList);
}

}  // namespace tarn::pages
