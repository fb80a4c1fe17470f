// The workbook export: the save dialog, the progress window, then the grid written cell by
// cell through xls::Workbook (or handed to the grid's own SaveGrid), and the closing step.
#include "tables/xls_export.h"

#include "com/errors.h"
#include "com/handles.h"
#include "common/file_names.h"
#include "common/registry_support.h"
#include "common/save_dialog.h"
#include "common/scratch_file.h"
#include "common/screen_metrics.h"
#include "imaging/image_converter.h"
#include "imaging/picture_file.h"
#include "imaging/replacing_file.h"
#include "tables/grid_table.h"
#include "tables/xls_layout.h"
#include "tables/xls_workbook.h"
#include "ui/message_box.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

namespace tarn {

namespace {

constexpr wchar_t kFilter[] = L"Excel Spreadsheets (*.xls)|*.xls|All (*.*)|*.*";

// Writes to a file the caller has created (the temporary file of a ReplacingFile).
class HandleSink final : public ByteSink {
public:
    explicit HandleSink(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)),
          path_(path) {
        if (file_.get() == INVALID_HANDLE_VALUE) ThrowLastError(L"Cannot write " + path_);
    }

protected:
    void Put(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr))
                ThrowLastError(L"Cannot write " + path_);
            bytes.remove_prefix(written);
        }
    }
    void Finish() override {
        if (closed_) return;
        closed_ = true;
        if (!CloseHandle(file_.release())) ThrowLastError(L"Cannot close " + path_);
    }

private:
    unique_hfile file_;
    std::wstring path_;
    bool closed_ = false;
};

// The setting as the registry holds it: "True" (any case) or a number other than 0.
bool SettingIsTrue(const std::wstring& value) {
    if (CompareStringOrdinal(value.c_str(), -1, L"True", -1, TRUE) == CSTR_EQUAL) return true;
    wchar_t* end = nullptr;
    const long number = std::wcstol(value.c_str(), &end, 10);
    return !value.empty() && end && *end == 0 && number != 0;
}

// The progress window, shown whatever Quiet says. It is a courtesy: a session without a
// desktop (a service, a build agent) cannot show one, and the workbook is written all the
// same; after the first failure the export stops trying.
class Progress {
public:
    void Show(std::wstring_view text, std::wstring_view title = {}) noexcept {
        if (failed_) return;
        failed_ = !TryStep([&] {
            if (!title.empty()) messages_.SetProgressTitle(title);
            messages_.ShowProgress(text);
        });
    }
    // The running count, every tenth record; painted at most ten times a second, which is
    // as often as anyone reads it (each painting costs more than writing a row).
    void Count(long counter) noexcept {
        if (counter % 10 != 0) return;
        const ULONGLONG now = GetTickCount64();
        if (now - shownAt_ < 100) return;
        shownAt_ = now;
        Show(std::to_wstring(counter) + L" records ...");
    }
    void Close() noexcept { messages_.CloseProgress(); }
    void ShowCompleted(std::wstring_view text) const noexcept { messages_.ShowCompleted(text); }

private:
    ExportMessages messages_{false};
    bool failed_ = false;
    ULONGLONG shownAt_ = GetTickCount64();
};

std::wstring ReadLocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t buffer[80];
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, static_cast<int>(std::size(buffer)));
    return n > 1 ? std::wstring(buffer, static_cast<std::size_t>(n - 1)) : std::wstring(fallback);
}

// A text setting into `out`, in the buffer `out` already has: the export reads two
// texts a cell, and a heap allocation costs more than the rest of writing it.
void AssignText(const VARIANT& value, std::wstring& out) {
    if (V_VT(&value) == VT_BSTR) {
        const BSTR text = V_BSTR(&value);
        out.assign(text ? text : L"", text ? SysStringLen(text) : 0);
    } else {
        out = VariantToText(value);
    }
}

// Cell pictures as PNG bytes, converted once per picture handle.
class CellPictures {
public:
    // Null when the picture could not be converted: the cell then stays empty.
    const xls::Picture* Get(IDispatch* picture) {
        const long handle = PictureHandleOf(picture);
        auto [slot, added] = cache_.try_emplace(handle);
        if (added) {
            const bool converted = TryStep([&] {
                ScratchFile source(TemporaryFolder(), L"temp_export_xls_bitmap" + PictureExtensionOf(picture));
                SavePictureFile(picture, source.path());
                ImageConverter converter;
                if (!converter.Load(source.path())) return;
                ScratchFile png(TemporaryFolder(), L"temp_export_xls_bitmap.png");
                if (!converter.SavePng(png.path())) return;
                std::ifstream in(std::filesystem::path(png.path()), std::ios::binary);
                slot->second.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                slot->second.widthPixels = static_cast<unsigned>(converter.image().width());
                slot->second.heightPixels = static_cast<unsigned>(converter.image().height());
            });
            if (!converted) slot->second.bytes.clear();
        }
        return slot->second.bytes.empty() ? nullptr : &slot->second;
    }

private:
    static std::wstring TemporaryFolder() {
        wchar_t folder[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
        return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(folder, n);
    }

    std::map<long, xls::Picture> cache_;
};

// One prepared cell, kept for the header rows that continuation sheets repeat.
struct SheetCell {
    enum class Kind { Blank, Text, Number, Picture } kind = Kind::Blank;
    unsigned column = 0;
    double number = 0;
    std::wstring text;
    const xls::Picture* picture = nullptr;
    unsigned dx = 0, dy = 0;
    xls::CellStyle style;
};

struct SheetRow {
    unsigned row = 0;
    double height = 0;
    std::vector<SheetCell> cells;
};

// Reads the grid and writes the workbook, one grid row at a time.
class GridWorkbookWriter {
public:
    GridWorkbookWriter(GridTable& grid, const ExportOptions& o, std::vector<long> columns)
        : grid_(grid), options_(o), columns_(std::move(columns)) {
        numbers_.decimal = ReadLocaleText(LOCALE_SDECIMAL, L".").front();
        numbers_.thousands = ReadLocaleText(LOCALE_STHOUSAND, L",").front();
        dates_ = xls::DateConventionsFromPattern(ReadLocaleText(LOCALE_SSHORTDATE, L"M/d/yyyy"));
        twipsPerPixelY_ = TwipsPerPixelY();
    }

    // Returns the record counter (-1 when no row was written).
    long Write(Progress& progress) {
        const long rows = grid_.Rows();
        const long fixedRows = grid_.FixedRows();
        const long fixedCols = grid_.FixedCols();
        backColorFixed_ = OleColorToRgb(grid_.BackColorFixed());
        for (long c : columns_) {
            const long width = grid_.ColWidth(c);
            widths_.push_back(xls::ColumnWidthCharacters(width));
            pixelWidths_.push_back(static_cast<long>(xls::ColumnPixels(widths_.back())));
            alignments_.push_back(xls::AlignmentOfCode(grid_.ColAlignment(c)));
            dateColumns_.push_back(grid_.ColDataType(c) == kGridTypeDate);
        }
        frozenRows_ = static_cast<unsigned>(std::clamp<long>(fixedRows, 0, xls::kMaxRows - 1));
        frozenCols_ = static_cast<unsigned>(
            std::count_if(columns_.begin(), columns_.end(), [&](long c) { return c < fixedCols; }));
        repeated_ = xls::RepeatedRows(fixedRows);
        sheetName_ = workbook_.AddSheet(xls::SheetNameFromTitle(options_.title));
        StartSheet();

        long counter = -1;
        for (long r = 0; r < rows; ++r) {
            const long height = grid_.RowHeight(r);
            if (height <= 0 || grid_.RowHidden(r)) continue;
            const xls::RowPlace place = xls::PlaceRow(static_cast<unsigned long>(r), repeated_);
            while (place.sheet > sheet_) NextSheet();
            ReadRow(r, height, fixedRows, row_);
            row_.row = place.row;
            WriteRow(row_);
            if (static_cast<unsigned>(r) < repeated_) header_.push_back(row_);
            progress.Count(++counter);
        }
        return counter;
    }

    void Save(ByteSink& out) { workbook_.Save(out); }

private:
    void StartSheet() {
        for (unsigned i = 0; i < widths_.size(); ++i) workbook_.SetColumnWidth(i, widths_[i]);
        if (frozenRows_ > 0 || frozenCols_ > 0) workbook_.FreezePanes(frozenRows_, frozenCols_);
    }

    void NextSheet() {
        ++sheet_;
        workbook_.AddSheet(xls::ContinuationSheetName(sheetName_, sheet_ + 1));
        StartSheet();
        for (const SheetRow& row : header_) WriteRow(row);
    }

    // Into `row`, whose cells' buffers are reused from row to row.
    void ReadRow(long r, long heightTwips, long fixedRows, SheetRow& row) {
        row.height = xls::RowHeightPoints(heightTwips, twipsPerPixelY_);
        row.cells.resize(columns_.size());
        for (unsigned i = 0; i < columns_.size(); ++i) {
            const long c = columns_[i];
            SheetCell& cell = row.cells[i];
            cell.column = i;
            ReadStyle(r, c, i, fixedRows, cell.style);
            ReadValue(r, c, i, static_cast<long>(xls::RowPixels(row.height)), cell);
        }
    }

    void ReadStyle(long r, long c, unsigned i, long fixedRows, xls::CellStyle& style) {
        AssignText(grid_.Cell(CellSetting::FontName, r, c), style.fontName);
        style.fontSize = VariantToDouble(grid_.Cell(CellSetting::FontSize, r, c));
        style.bold = r == 0 || grid_.CellBool(CellSetting::FontBold, r, c);
        style.underline = grid_.CellBool(CellSetting::FontUnderline, r, c);
        style.italic = grid_.CellBool(CellSetting::FontItalic, r, c);
        style.fontColour = static_cast<xls::Colour>(OleColorToRgb(grid_.CellLong(CellSetting::ForeColor, r, c)));
        style.filled = false;
        style.fill = 0xFFFFFF;  // as a new style has it
        if (r < fixedRows) {
            style.filled = true;
            style.fill = static_cast<xls::Colour>(backColorFixed_);
        }
        if (const long back = grid_.CellLong(CellSetting::BackColor, r, c); back > 0) {
            style.filled = true;
            style.fill = static_cast<xls::Colour>(OleColorToRgb(back));
        }
        style.horizontal = alignments_[i] ? alignments_[i]->horizontal : xls::HorizontalAlignment::General;
        style.vertical = alignments_[i] ? alignments_[i]->vertical : xls::VerticalAlignment::Bottom;
        style.numberFormat.clear();
        style.quotePrefix = false;
    }

    void ReadValue(long r, long c, unsigned i, long rowPixels, SheetCell& cell) {
        cell.kind = SheetCell::Kind::Blank;
        cell.number = 0;
        cell.picture = nullptr;
        cell.dx = cell.dy = 0;
        if (const long check = grid_.CellLong(CellSetting::Checkbox, r, c); check != 0) {
            cell.kind = SheetCell::Kind::Text;
            cell.text = check == 1 ? L"Yes" : L"No";
            return;
        }
        const ComPtr<IDispatch> picture = grid_.CellPicture(r, c);
        AssignText(grid_.Cell(CellSetting::Text, r, c), cell.text);
        if (picture && cell.text.empty()) {
            cell.picture = pictures_.Get(picture.Get());
            if (cell.picture) {
                cell.kind = SheetCell::Kind::Picture;
                cell.dx = static_cast<unsigned>(
                    std::max(0L, (pixelWidths_[i] - static_cast<long>(cell.picture->widthPixels)) / 2));
                cell.dy = static_cast<unsigned>(
                    std::max(0L, (rowPixels - static_cast<long>(cell.picture->heightPixels)) / 2));
            }
            return;
        }
        if (cell.text.empty()) return;
        if (!picture) {
            std::optional<xls::RecognisedValue> value;
            if (dateColumns_[i]) value = xls::RecogniseDate(cell.text, dates_);
            if (!value) value = xls::RecogniseNumber(cell.text, numbers_);
            if (value) {
                cell.kind = SheetCell::Kind::Number;
                cell.number = value->value;
                cell.style.numberFormat = std::move(value->numberFormat);
                return;
            }
        }
        cell.kind = SheetCell::Kind::Text;
        // Kept as typed: a text Excel would read as a number or a formula stays a text when edited.
        cell.style.quotePrefix =
            std::wstring_view(L"0123456789+-.=',").find(cell.text.front()) != std::wstring_view::npos;
    }

    void WriteRow(const SheetRow& row) {
        workbook_.SetRowHeight(row.row, row.height);
        for (const SheetCell& cell : row.cells) {
            switch (cell.kind) {
                case SheetCell::Kind::Blank: workbook_.WriteBlank(row.row, cell.column, cell.style); break;
                case SheetCell::Kind::Text: workbook_.WriteText(row.row, cell.column, cell.text, cell.style); break;
                case SheetCell::Kind::Number:
                    workbook_.WriteNumber(row.row, cell.column, cell.number, cell.style);
                    break;
                case SheetCell::Kind::Picture:
                    workbook_.WriteBlank(row.row, cell.column, cell.style);
                    // A picture the workbook cannot place leaves its cell empty rather than
                    // losing the whole export.
                    (void)TryStep(
                        [&] { workbook_.InsertPicture(row.row, cell.column, *cell.picture, cell.dx, cell.dy); });
                    break;
            }
        }
    }

    GridTable& grid_;
    const ExportOptions& options_;
    std::vector<long> columns_;
    xls::Workbook workbook_;
    xls::NumberConventions numbers_;
    xls::DateConventions dates_;
    int twipsPerPixelY_ = 15;
    long backColorFixed_ = 0;
    std::vector<double> widths_;
    std::vector<long> pixelWidths_;
    std::vector<std::optional<xls::Alignment>> alignments_;
    std::vector<bool> dateColumns_;
    unsigned frozenRows_ = 0;
    unsigned frozenCols_ = 0;
    unsigned repeated_ = 0;
    std::wstring sheetName_;
    unsigned sheet_ = 0;
    std::vector<SheetRow> header_;
    SheetRow row_;  // the row being written
    CellPictures pictures_;
};

// The grid writes itself; columns the list leaves out are hidden meanwhile, and every
// column's ColHidden is given back afterwards, whatever happened.
void SaveThroughGrid(GridTable& grid, const ExportOptions& o) {
    const long cols = grid.Cols();
    std::vector<bool> hidden;
    for (long c = 0; c < cols; ++c) hidden.push_back(grid.ColHidden(c));
    auto restore = [&] {
        for (long c = 0; c < cols; ++c) TryStep([&] { grid.SetColHidden(c, hidden[static_cast<std::size_t>(c)]); });
    };
    try {
        for (long c = 0; c < cols; ++c)
            if (!IsColumnSelected(o.columnList, c)) grid.SetColHidden(c, true);
        grid.SaveGrid(o.targetFilename, 6, true);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void OpenInShell(const std::wstring& path) noexcept {
    // Nothing registered for workbooks is not an error: the file is written and stays, and
    // the user is not asked to pick a program.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

std::vector<long> SelectedColumns(GridTable& grid, const ExportOptions& o, long& selectedCount) {
    std::vector<long> columns;
    const long cols = grid.Cols();
    for (long c = 0; c < cols; ++c)
        if (IsColumnSelected(o.columnList, c)) columns.push_back(c);
    selectedCount = static_cast<long>(columns.size());
    if (columns.size() > xls::kMaxColumns) columns.resize(xls::kMaxColumns);
    return columns;
}

}  // namespace

long OleColorToRgb(long oleColour) noexcept {
    const std::optional<unsigned> index = xls::SystemColourIndex(oleColour);
    return index ? static_cast<long>(GetSysColor(static_cast<int>(*index))) : oleColour;
}

bool ExportXlsTable(ExportOptions& o, IDispatch* table, bool showInExcel) {
    std::wstring fileTitle;
    if (!ChooseExportFile(o, {L"xls", kFilter, o.initDir, L""}, L"xls", fileTitle)) return false;

    GridTable grid(table);
    Progress progress;
    progress.Show(L"0 records ...", L"Exporting to " + fileTitle);

    const bool direct =
        SettingIsTrue(ReadSetting(kSettingsApplication, kSettingsSection, L"Direct XLS Output", false, false));
    if (direct) {
        SaveThroughGrid(grid, o);
        progress.Close();
        if (showInExcel)
            OpenInShell(o.targetFilename);
        else
            ShowMessageBox(L"Exported to " + FileNameOf(o.targetFilename, false), kExportCaption,
                           MessageIcon::Information);
        return true;
    }

    long counter = -1;
    try {
        long selected = 0;
        std::vector<long> columns = SelectedColumns(grid, o, selected);
        if (selected > static_cast<long>(columns.size()))
            progress.Show(L"0 records ...", L"Exporting to " + fileTitle + L" (only the first " +
                                                std::to_wstring(columns.size()) + L" of " + std::to_wstring(selected) +
                                                L" columns fit on a worksheet)");
        // The workbook goes to a temporary file that replaces the target only once complete.
        ReplacingFile file(o.targetFilename);
        GridWorkbookWriter writer(grid, o, std::move(columns));
        counter = writer.Write(progress);
        {
            HandleSink sink(file.temporaryPath());
            writer.Save(sink);
            sink.Close();
        }
        file.Commit();
    } catch (const ComError& error) {
        progress.Close();
        TryStep([&] { grid.SetRedraw(true); });
        throw ComError(error.hr(), L"The workbook " + o.targetFilename + L" was not written: " + error.description());
    } catch (const std::exception& error) {
        progress.Close();
        TryStep([&] { grid.SetRedraw(true); });
        throw ComError(E_FAIL, L"The workbook " + o.targetFilename + L" was not written: " +
                                   std::wstring(error.what(), error.what() + std::strlen(error.what())));
    }
    progress.Close();
    grid.SetRedraw(true);
    if (showInExcel) {
        OpenInShell(o.targetFilename);
    } else if (!o.quiet) {
        progress.ShowCompleted(std::to_wstring(std::max(counter, 0L)) + L" records exported to " +
                               FileNameOf(o.targetFilename, false));
    }
    return true;
}

}  // namespace tarn
