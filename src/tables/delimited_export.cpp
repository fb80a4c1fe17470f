// Comma- and tab-separated table export.
#include "tables/delimited_export.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/general_date.h"
#include "common/save_dialog.h"
#include "tables/delimited_text.h"
#include "tables/grid_table.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <algorithm>
#include <vector>

namespace tarn {

const DelimitedFlavor kCommaSeparated{L',', L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*", L"csv",
                                      L"csv;cdf", L"Export to ..."};
const DelimitedFlavor kTabSeparated{L'\t', L"Text Files (*.txt)|*.txt|All (*.*)|*.*", L"txt", L"txt;text", L""};

namespace {
// Reads only what the field depends on: the check box, then the picture, then the text,
// and the data value only for a picture cell without text.
DelimitedCell ReadCell(GridTable& grid, long row, long col) {
    DelimitedCell cell;
    cell.checkBox = grid.CellLong(CellSetting::Checkbox, row, col);
    if (cell.checkBox != 0) return cell;
    cell.hasPicture = grid.CellPicture(row, col) != nullptr;
    cell.text = grid.CellText(row, col);
    if (cell.hasPicture && cell.text.empty()) cell.dataValue = VariantToText(grid.Cell(CellSetting::Data, row, col));
    return cell;
}

// The header lines and every written row; returns the row counter (-1 when none was written).
long WriteRows(const ExportOptions& o, GridTable& grid, AnsiTextStream& out, const DelimitedFlavor& flavor,
               const std::wstring& fileTitle, ExportMessages& messages) {
    for (const std::wstring& line :
         DelimitedHeaderLines({o.programName, o.programVersion, GeneralDateTimeNow(), o.title, o.subTitle}))
        out.WriteLine(line);

    if (!o.quiet) {
        messages.SetProgressTitle(L"Exporting to " + fileTitle);
        messages.ShowProgress(L"0 records ...");
    }

    const long rows = grid.Rows();
    const long cols = grid.Cols();
    std::vector<long> columns;
    for (long c = 0; c < cols; ++c)
        if (IsColumnSelected(o.columnList, c)) columns.push_back(c);

    long counter = -1;
    std::wstring line;
    for (long r = 0; r < rows; ++r) {
        if (grid.RowHeight(r) <= 0 || grid.RowHidden(r)) continue;
        line.clear();
        bool first = true;
        for (long c : columns) {
            AppendDelimitedField(line, first, flavor.separator, ReadCell(grid, r, c));
            first = false;
        }
        out.WriteLine(line);
        if (!o.quiet && ++counter % 10 == 0) messages.ShowProgress(std::to_wstring(counter) + L" records ...");
    }
    return counter;
}
}  // namespace

bool ExportDelimitedTable(ExportOptions& o, IDispatch* table, const DelimitedFlavor& flavor) {
    std::wstring fileTitle;
    if (!ChooseExportFile(o, {flavor.defaultExt, flavor.filter, o.initDir, flavor.dialogTitle}, flavor.extensions,
                          fileTitle))
        return false;
    std::unique_ptr<AnsiTextStream> out = OpenExportFile(o.targetFilename);
    if (!out) return false;

    GridTable grid(table);
    grid.SetRedraw(false);
    ExportMessages messages(o.quiet);
    long counter = -1;
    try {
        counter = WriteRows(o, grid, *out, flavor, fileTitle, messages);
        messages.CloseProgress();
        out->Close();
    } catch (...) {
        // The export ends with its error, but the host's grid must paint again.
        TryStep([&] { grid.SetRedraw(true); });
        throw;
    }
    grid.SetRedraw(true);
    messages.ShowCompleted(std::to_wstring(std::max(counter, 0L)) + L" records exported to " +
                           FileNameOf(o.targetFilename, false));
    return true;
}

}  // namespace tarn
