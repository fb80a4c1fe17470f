// The workbook stream: the globals (formatting, sheet list, shared strings), then each
// sheet. A sheet's cells are buffered 32 rows at a time, the rows Excel groups into one
// block, and each block goes to the scratch stream as ROW records followed by its cell
// records. Save computes every size first, so the sheet positions in the sheet list and
// the compound file's layout are known before the first byte is written.
#include "tables/xls_workbook.h"

#include "tables/biff_records.h"
#include "tables/compound_file.h"
#include "tables/scratch_stream.h"
#include "tables/shared_strings.h"
#include "tables/xls_drawing.h"
#include "tables/xls_styles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tarn::xls {
namespace {

constexpr unsigned kBlockRows = 32;
constexpr std::uint64_t kNoRecord = ~std::uint64_t{0};

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The first `limit` code units, without half of a surrogate pair at the end.
std::u16string_view Cut(std::u16string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    if (IsHighSurrogate(text[limit - 1])) --limit;
    return text.substr(0, limit);
}

char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

std::u16string Number(std::size_t n) {
    std::u16string digits;
    for (const char c : std::to_string(n)) digits += static_cast<char16_t>(c);
    return digits;
}

struct Cell {
    enum class Kind : std::uint8_t { Number, Text, Blank };
    std::uint16_t row;
    std::uint16_t column;
    std::uint16_t xf;
    Kind kind;
    double number;
    std::uint32_t text;
};

struct Placement {
    unsigned row, column, dx, dy, width, height;
    std::uint32_t blip;  // 1-based
};

struct Sheet {
    std::u16string name;
    std::map<std::uint16_t, std::uint16_t> widths;  // column: 1/256 of a character
    unsigned frozenRows = 0;
    unsigned frozenColumns = 0;
    std::uint32_t firstRow = kMaxRows, endRow = 0;
    std::uint16_t firstColumn = kMaxColumns, endColumn = 0;
    // The cell table: parts of the scratch stream (pictures come between them), and where
    // in it each block's DBCELL record is.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> cells;
    std::uint64_t cellBytes = 0;
    std::vector<std::uint64_t> dbCells;
    std::vector<Placement> placements;
    std::vector<drawing::Shape> shapes;  // the placements anchored, once the sheet is complete
};

// Pixels at 96 dots per inch, for a default font whose digits are 7 pixels wide.
unsigned ColumnPixels(std::uint16_t width256ths) { return (width256ths + 18u) * 7 / 256; }
unsigned RowPixels(std::uint16_t twips) { return (twips + 7u) / 15; }
constexpr std::uint16_t kDefaultColumnWidth = 2340;
constexpr std::uint16_t kDefaultRowHeight = 255;

}  // namespace

struct Workbook::State {
    std::optional<ScratchStream> scratch;
    StyleTable styles;
    SharedStrings strings;
    std::u16string text;  // the text being written
    std::vector<Sheet> sheets;
    std::vector<drawing::Blip> blips;
    std::vector<std::uint64_t> blipAt;  // where each picture's bytes are in the scratch stream
    std::map<drawing::Digest, std::uint32_t> blipIndex;
    bool saved = false;

    // The current sheet's block of rows being gathered.
    unsigned blockStart = 0;
    std::vector<Cell> block;
    std::map<unsigned, std::uint16_t> heights;  // row: twips, rows of this block and later
    std::vector<std::uint64_t> rowRecordAt;     // scratch offset of each written ROW record, or kNoRecord
    std::vector<std::uint16_t> rowTwips;        // every row's height, once one is set: for placing pictures

    Sheet& Current() {
        if (saved) throw std::logic_error("the workbook has been saved");
        if (sheets.empty()) throw std::logic_error("no sheet has been added");
        return sheets.back();
    }

    void Add(unsigned row, unsigned column, Cell cell) {
        Sheet& sheet = Current();
        if (row >= kMaxRows || column >= kMaxColumns) throw std::out_of_range("cell outside a sheet");
        if (row < blockStart) throw std::invalid_argument("rows must be written in ascending order");
        while (row >= blockStart + kBlockRows) FlushBlock();
        cell.row = static_cast<std::uint16_t>(row);
        cell.column = static_cast<std::uint16_t>(column);
        block.push_back(cell);
        sheet.firstRow = std::min<std::uint32_t>(sheet.firstRow, row);
        sheet.endRow = std::max<std::uint32_t>(sheet.endRow, row + 1);
        sheet.firstColumn = std::min<std::uint16_t>(sheet.firstColumn, cell.column);
        sheet.endColumn = std::max<std::uint16_t>(sheet.endColumn, static_cast<std::uint16_t>(column + 1));
    }

    // Writes the ROW records and cells of the block and moves on to the next block.
    void FlushBlock() {
        // Cells in row and column order; of two cells in one place the later one counts.
        // They mostly come in that order already.
        const auto before = [](const Cell& a, const Cell& b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        };
        const bool ordered = std::adjacent_find(block.begin(), block.end(), [&](const Cell& a, const Cell& b) {
                                 return !before(a, b);
                             }) == block.end();
        std::vector<Cell> sorted;
        if (!ordered) {
            std::stable_sort(block.begin(), block.end(), before);
            sorted.reserve(block.size());
            for (const Cell& c : block) {
                if (!sorted.empty() && sorted.back().row == c.row && sorted.back().column == c.column) {
                    sorted.back() = c;
                } else {
                    sorted.push_back(c);
                }
            }
        }
        const std::vector<Cell>& cells = ordered ? block : sorted;
        std::string out;
        out.reserve(cells.size() * 20 + kBlockRows * 20 + 256);
        const unsigned blockEnd = blockStart + kBlockRows;
        std::vector<unsigned> rows;  // those with a ROW record
        auto cell = cells.begin();
        for (unsigned row = blockStart; row < blockEnd; ++row) {
            const auto height = heights.find(row);
            const auto rowEnd = std::find_if(cell, cells.end(), [row](const Cell& c) { return c.row != row; });
            if (cell != rowEnd || height != heights.end()) {
                if (rowRecordAt.size() <= row) rowRecordAt.resize(kMaxRows, kNoRecord);
                rowRecordAt[row] = scratch->size() + out.size();
                const std::uint16_t first = cell != rowEnd ? cell->column : 0;
                const std::uint16_t end = cell != rowEnd ? static_cast<std::uint16_t>((rowEnd - 1)->column + 1) : 0;
                biff::WriteRow(out, static_cast<std::uint16_t>(row), first, end,
                               height != heights.end() ? height->second : 0);
                rows.push_back(row);
            }
            cell = rowEnd;
        }
        if (!rows.empty()) {
            // Each row's first cell, or for a row without cells where they would be.
            constexpr std::size_t kRowRecordSize = 20;
            std::vector<std::uint16_t> offsets;
            std::size_t previous = kRowRecordSize;  // the end of the first ROW record
            auto next = rows.begin();
            const auto reach = [&](unsigned row) {
                for (; next != rows.end() && *next <= row; ++next) {
                    offsets.push_back(static_cast<std::uint16_t>(out.size() - previous));
                    previous = out.size();
                }
            };
            for (const Cell& c : cells) {
                reach(c.row);
                switch (c.kind) {
                    case Cell::Kind::Number: biff::WriteNumber(out, c.row, c.column, c.xf, c.number); break;
                    case Cell::Kind::Text: biff::WriteLabelSst(out, c.row, c.column, c.xf, c.text); break;
                    case Cell::Kind::Blank: biff::WriteBlank(out, c.row, c.column, c.xf); break;
                }
            }
            reach(kMaxRows);
            sheets.back().dbCells.push_back(sheets.back().cellBytes + out.size());
            biff::WriteDbCell(out, static_cast<std::uint32_t>(out.size()), offsets);
            AppendCells(out);
        }
        block.clear();
        heights.erase(heights.begin(), heights.lower_bound(blockEnd));
        blockStart = blockEnd;
    }

    void AppendCells(std::string_view bytes) {
        auto& cells = sheets.back().cells;
        if (cells.empty() || cells.back().second != scratch->size())
            cells.emplace_back(scratch->size(), scratch->size());
        scratch->Append(bytes);
        cells.back().second = scratch->size();
        sheets.back().cellBytes += bytes.size();
    }

    void FinishSheet() {
        if (sheets.empty()) return;
        while (!block.empty() || !heights.empty()) FlushBlock();
        Sheet& sheet = sheets.back();
        const auto columnPixels = [&sheet](unsigned c) {
            const auto w = sheet.widths.find(static_cast<std::uint16_t>(c));
            return ColumnPixels(w != sheet.widths.end() ? w->second : kDefaultColumnWidth);
        };
        const auto rowPixels = [this](unsigned r) {
            return RowPixels(r < rowTwips.size() ? rowTwips[r] : kDefaultRowHeight);
        };
        for (const Placement& p : sheet.placements) {
            sheet.shapes.push_back(
                {drawing::Place(p.row, p.column, p.dx, p.dy, p.width, p.height, columnPixels, rowPixels), p.blip});
        }
        sheet.placements = {};
        blockStart = 0;
        rowRecordAt = {};
        rowTwips = {};
    }

    std::u16string UniqueName(std::u16string_view requested) const {
        std::u16string name(Cut(requested, kMaxSheetNameLength));
        for (char16_t& c : name) {
            if (std::u16string_view(u":\\/?*[]").find(c) != std::u16string_view::npos) c = u'_';
        }
        // Excel takes no name that starts or ends with an apostrophe.
        if (!name.empty() && name.front() == u'\'') name.front() = u'_';
        if (!name.empty() && name.back() == u'\'') name.back() = u'_';
        if (name.empty()) name = u"Sheet" + Number(sheets.size() + 1);
        const auto taken = [this](std::u16string_view n) {
            return std::any_of(sheets.begin(), sheets.end(), [n](const Sheet& s) { return SameName(s.name, n); });
        };
        std::u16string candidate = name;
        for (std::size_t n = 2; taken(candidate); ++n) {
            const std::u16string suffix = u" (" + Number(n) + u")";
            std::u16string base(Cut(name, kMaxSheetNameLength - suffix.size()));
            while (base.size() > 1 && base.back() == u' ') base.pop_back();
            candidate = base + suffix;
        }
        return candidate;
    }

    // BOF, INDEX (pointing at the DBCELL records in the cell table that follows), column
    // widths and DIMENSIONS; `at` is the sheet's position in the workbook stream.
    std::string SheetHead(const Sheet& sheet, std::uint64_t at) const {
        std::string out;
        biff::WriteBof(out, biff::Substream::Worksheet);
        const std::size_t indexSize = 4 + 16 + 4 * sheet.dbCells.size();
        const std::uint64_t defColWidthAt = at + out.size() + indexSize;
        std::string widths;
        biff::WriteDefColWidth(widths, 8);
        for (auto w = sheet.widths.begin(); w != sheet.widths.end();) {
            // One record for a run of adjacent columns of one width.
            auto last = w;
            for (auto next = std::next(w);
                 next != sheet.widths.end() && next->first == last->first + 1 && next->second == w->second; ++next) {
                last = next;
            }
            biff::WriteColInfo(widths, w->first, last->first, w->second);
            w = std::next(last);
        }
        if (sheet.endRow == 0) {
            biff::WriteDimensions(widths, 0, 0, 0, 0);
        } else {
            biff::WriteDimensions(widths, sheet.firstRow, sheet.endRow, sheet.firstColumn, sheet.endColumn);
        }
        const std::uint64_t cellsAt = defColWidthAt + widths.size();
        std::vector<std::uint32_t> dbCellsAt;
        for (const std::uint64_t d : sheet.dbCells) dbCellsAt.push_back(static_cast<std::uint32_t>(cellsAt + d));
        biff::WriteIndex(out, sheet.endRow ? sheet.firstRow : 0, sheet.endRow,
                         static_cast<std::uint32_t>(defColWidthAt), dbCellsAt);
        return out + widths;
    }

    std::string SheetTail(const Sheet& sheet, bool first, const drawing::DrawingIds* ids) const {
        std::string out;
        if (ids) drawing::WriteSheetDrawing(out, *ids, sheet.shapes);
        const bool frozen = sheet.frozenRows || sheet.frozenColumns;
        biff::WriteWindow2(out, first, frozen);
        if (frozen) {
            biff::WritePane(out, static_cast<std::uint16_t>(sheet.frozenRows),
                            static_cast<std::uint16_t>(sheet.frozenColumns));
        }
        biff::WriteEof(out);
        return out;
    }
};

Workbook::Workbook() : state_(std::make_unique<State>()) { state_->scratch.emplace(); }

Workbook::Workbook(const std::filesystem::path& scratchFile) : state_(std::make_unique<State>()) {
    state_->scratch.emplace(scratchFile);
}

Workbook::~Workbook() = default;

std::wstring Workbook::AddSheet(std::wstring_view name) {
    if (state_->saved) throw std::logic_error("the workbook has been saved");
    state_->FinishSheet();
    Sheet sheet;
    sheet.name = state_->UniqueName(ToUtf16(name));
    state_->sheets.push_back(std::move(sheet));
    return FromUtf16(state_->sheets.back().name);
}

void Workbook::SetColumnWidth(unsigned column, double characters) {
    Sheet& sheet = state_->Current();
    if (column >= kMaxColumns) throw std::out_of_range("column outside a sheet");
    if (!std::isfinite(characters)) return;
    sheet.widths[static_cast<std::uint16_t>(column)] = ScaledUnits(characters, 256, 0, 65535);
}

void Workbook::SetRowHeight(unsigned row, double points) {
    state_->Current();
    if (row >= kMaxRows) throw std::out_of_range("row outside a sheet");
    if (!std::isfinite(points)) return;
    const std::uint16_t twips = ScaledUnits(points, 20, 2, 8190);
    if (state_->rowTwips.empty()) state_->rowTwips.assign(kMaxRows, kDefaultRowHeight);
    state_->rowTwips[row] = twips;
    if (row >= state_->blockStart) {
        state_->heights[row] = twips;
    } else if (row < state_->rowRecordAt.size() && state_->rowRecordAt[row] != kNoRecord) {
        // The row's block is written already: its ROW record takes the height in place.
        std::string fields;
        biff::Le16(fields, twips);
        biff::Le32(fields, 0);
        biff::Le16(fields, 0x0140);
        state_->scratch->Patch(state_->rowRecordAt[row] + 10, fields);
    }
}

void Workbook::FreezePanes(unsigned rows, unsigned columns) {
    Sheet& sheet = state_->Current();
    sheet.frozenRows = std::min(rows, kMaxRows - 1);
    sheet.frozenColumns = std::min(columns, kMaxColumns - 1);
}

void Workbook::WriteNumber(unsigned row, unsigned column, double value, const CellStyle& style) {
    Cell cell{};
    cell.kind = Cell::Kind::Number;
    cell.number = value;
    cell.xf = state_->styles.XfIndex(style);
    state_->Add(row, column, cell);
}

void Workbook::WriteText(unsigned row, unsigned column, std::wstring_view text, const CellStyle& style) {
    state_->Current();
    if (row >= kMaxRows || column >= kMaxColumns) throw std::out_of_range("cell outside a sheet");
    Cell cell{};
    cell.kind = Cell::Kind::Text;
    ToUtf16(text.substr(0, kMaxTextLength * 2), state_->text);
    cell.text = state_->strings.Add(Cut(state_->text, kMaxTextLength));
    cell.xf = state_->styles.XfIndex(style);
    state_->Add(row, column, cell);
}

void Workbook::WriteBlank(unsigned row, unsigned column, const CellStyle& style) {
    Cell cell{};
    cell.kind = Cell::Kind::Blank;
    cell.xf = state_->styles.XfIndex(style);
    state_->Add(row, column, cell);
}

void Workbook::InsertPicture(unsigned row, unsigned column, const Picture& picture, unsigned dx, unsigned dy) {
    State& s = *state_;
    Sheet& sheet = s.Current();
    if (row >= kMaxRows || column >= kMaxColumns) throw std::out_of_range("picture outside a sheet");
    if (picture.bytes.size() > 0x7FFFFFFF) throw std::length_error("picture too large for a workbook");
    // One copy of each distinct picture, however often it is placed.
    const drawing::Digest digest = drawing::Md4(picture.bytes);
    auto [found, added] = s.blipIndex.emplace(digest, static_cast<std::uint32_t>(s.blips.size() + 1));
    if (added) {
        s.blips.push_back({picture.format, digest, static_cast<std::uint32_t>(picture.bytes.size()), 0});
        s.blipAt.push_back(s.scratch->size());
        s.scratch->Append(picture.bytes);
    }
    ++s.blips[found->second - 1].uses;
    sheet.placements.push_back({row, column, dx, dy, picture.widthPixels, picture.heightPixels, found->second});
}

void Workbook::Save(ByteSink& out) {
    State& s = *state_;
    if (s.saved) throw std::logic_error("the workbook has been saved");
    if (s.sheets.empty()) AddSheet(L"");
    s.FinishSheet();
    s.saved = true;

    std::string globals;
    biff::WriteBof(globals, biff::Substream::Globals);
    biff::WriteCodepage(globals);
    biff::WriteWindow1(globals);
    s.styles.WriteRecords(globals);
    std::vector<std::size_t> positionFields;
    for (const Sheet& sheet : s.sheets) positionFields.push_back(biff::WriteBoundSheet(globals, sheet.name));

    std::vector<std::size_t> picturesPerDrawing;
    for (const Sheet& sheet : s.sheets) {
        if (!sheet.shapes.empty()) picturesPerDrawing.push_back(sheet.shapes.size());
    }
    const std::vector<drawing::DrawingIds> drawings = drawing::AssignIds(picturesPerDrawing);
    const std::uint64_t drawingGroupSize = drawings.empty() ? 0 : drawing::DrawingGroupSize(s.blips, drawings);
    const std::uint64_t sstOffset = globals.size() + drawingGroupSize;
    std::string globalsEnd;
    biff::WriteEof(globalsEnd);

    std::vector<std::string> heads, tails;
    std::uint64_t offset = sstOffset + s.strings.Size() + globalsEnd.size();
    auto ids = drawings.begin();
    for (std::size_t i = 0; i < s.sheets.size(); ++i) {
        const Sheet& sheet = s.sheets[i];
        heads.push_back(s.SheetHead(sheet, offset));
        tails.push_back(s.SheetTail(sheet, i == 0, sheet.shapes.empty() ? nullptr : &*ids++));
        if (offset > 0xFFFFFFFFu) throw std::length_error("workbook stream too large");
        std::string position;
        biff::Le32(position, static_cast<std::uint32_t>(offset));
        globals.replace(positionFields[i], 4, position);
        offset += heads.back().size() + sheet.cellBytes + tails.back().size();
    }

    cfb::WriteCompoundFile(out, u"Workbook", offset, [&](ByteSink& stream) {
        stream.Write(globals);
        if (!drawings.empty()) {
            drawing::WriteDrawingGroup(stream, s.blips, drawings, [&s](std::size_t i, ByteSink& blip) {
                s.scratch->CopyTo(blip, s.blipAt[i], s.blipAt[i] + s.blips[i].size);
            });
        }
        s.strings.Write(stream, sstOffset);
        stream.Write(globalsEnd);
        for (std::size_t i = 0; i < s.sheets.size(); ++i) {
            stream.Write(heads[i]);
            for (const auto& [begin, end] : s.sheets[i].cells) s.scratch->CopyTo(stream, begin, end);
            stream.Write(tails[i]);
        }
    });
}

}  // namespace tarn::xls
