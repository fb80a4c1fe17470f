// A host's grid as an HTML page: spans, colours, fonts, alignment, outline indentation and
// cell pictures (as GIF files in the side folder).
#include "html/html_table_export.h"

#include "com/errors.h"
#include "com/module.h"
#include "ui/export_file.h"
#include "common/file_names.h"
#include "common/general_date.h"
#include "ui/message_box.h"
#include "common/scratch_file.h"
#include "common/screen_metrics.h"
#include "html/html_output.h"
#include "html/html_table.h"
#include "imaging/image_converter.h"
#include "imaging/picture_file.h"
#include "tables/grid_table.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace tarn {

namespace {
constexpr wchar_t kHtmlErrorCaption[] = L"Export HTML";

// Writes a cell picture once per handle as a GIF with magenta transparent, through a
// scratch file in the component's folder (or the temporary folder when that is read-only).
// Failures leave the page with a broken image rather than stopping it.
class CellPictures {
public:
    void Save(IDispatch* picture, long handle, const std::wstring& gifPath) noexcept {
        if (!saved_.insert(handle).second) return;
        TryStep([&] {
            ScratchFile temp(L"ExportImage" + std::to_wstring(handle) + PictureExtensionOf(picture));
            SavePictureFile(picture, temp.path());
            ImageConverter converter;
            if (converter.Load(temp.path())) (void)converter.SaveGif(gifPath, Rgb{255, 0, 255});
        });
    }

private:
    std::set<long> saved_;
};

// Values read once per export.
struct GridLook {
    std::wstring fontName;
    std::wstring backColorFixed;
    std::wstring foreColorFixed;
    std::wstring gridColorFixed;
    bool gridLines = false;
    long outlineBar = 0;
    long outlineCol = -1;
    long fixedRows = 0;
    long fixedCols = 0;
};

class TableWriter {
public:
    TableWriter(ExportOptions& o, GridTable& grid, const HtmlTarget& target, AnsiTextStream& out)
        : o_(o), grid_(grid), target_(target), out_(out) {}

    long Write(ExportMessages& messages) {
        const long cols = grid_.Cols();
        widths_.resize(cols);
        dataTypes_.assign(cols, -1);
        alignments_.assign(cols, -1);
        double twips = 0;
        for (long c = 0; c < cols; ++c) twips += widths_[c] = grid_.ColWidth(c);
        twips = std::max(twips, static_cast<double>(grid_.Width()));
        const int tppX = TwipsPerPixelX();
        tablePixels_ = HtmlPixels(twips, tppX);

        out_.WriteLine(TableOpening(grid_.FontName(), HtmlColorOf(grid_.BackColor()), HtmlColorOf(grid_.GridColor()),
                                    tablePixels_));
        if (!o_.quiet) {
            messages.SetProgressTitle(L"Exporting to " + target_.fileTitle);
            messages.ShowProgress(L"0 records ...");
        }

        look_.fontName = grid_.FontName();
        look_.backColorFixed = HtmlColorOf(grid_.BackColorFixed());
        look_.foreColorFixed = HtmlColorOf(grid_.ForeColorFixed());
        look_.gridColorFixed = HtmlColorOf(grid_.GridColorFixed());
        look_.gridLines = grid_.GridLines() != 0;
        look_.outlineBar = grid_.OutlineBar();
        if (look_.outlineBar > 0) look_.outlineCol = grid_.OutlineCol();
        look_.fixedRows = grid_.FixedRows();
        look_.fixedCols = grid_.FixedCols();

        std::vector<long> columns;
        for (long c = 0; c < cols; ++c)
            if (!grid_.ColHidden(c) && widths_[c] > 0 && IsColumnSelected(o_.columnList, c)) columns.push_back(c);

        const long rows = grid_.Rows();
        const int tppY = TwipsPerPixelY();
        long counter = -1;
        for (long r = 0; r < rows; ++r) {
            if (grid_.RowHidden(r)) continue;
            long height = grid_.RowHeight(r);
            if (height <= 0) continue;
            out_.WriteLine(RowOpenTag(r < look_.fixedRows, static_cast<double>(height) / tppY));
            for (long c : columns) WriteCell(r, c, tppX);
            out_.WriteLine(L"</tr>");
            if (!o_.quiet && ++counter % 10 == 0) messages.ShowProgress(std::to_wstring(counter) + L" records ...");
        }
        return counter;
    }

private:
    long DataType(long c) {
        if (dataTypes_[c] < 0) dataTypes_[c] = grid_.ColDataType(c);
        return dataTypes_[c];
    }
    long ColumnAlignment(long c) {
        if (alignments_[c] < 0) alignments_[c] = grid_.ColAlignment(c);
        return alignments_[c];
    }

    void WriteCell(long r, long c, int tppX) {
        CellRange block = grid_.MergedRange(r, c);
        if (block.col1 < c || block.row1 < r) return;  // covered by a block that began earlier
        const bool fixed = r < look_.fixedRows || c < look_.fixedCols;

        HtmlCell cell;
        if (block.col2 > c) cell.colSpan = block.col2 - c + 1;
        if (block.row2 > r) cell.rowSpan = block.row2 - r + 1;
        double twips = 0;
        for (long k = block.col1; k <= block.col2; ++k)
            twips += (k >= 0 && k < static_cast<long>(widths_.size())) ? widths_[k] : grid_.ColWidth(k);
        cell.widthShare = WidthShare(HtmlPixels(twips, tppX), tablePixels_);

        std::wstring content;
        ComPtr<IDispatch> picture = grid_.CellPicture(r, c);
        if (long handle = PictureHandleOf(picture.Get()); handle != 0) {
            std::wstring name = std::to_wstring(handle) + L".gif";
            pictures_.Save(picture.Get(), handle, target_.resourceFolder + L"\\" + name);
            content = L"<img src=" + target_.Source(name) + L">";
        }
        std::wstring shown = VariantToText(grid_.Cell(CellSetting::DisplayText, r, c));
        std::wstring text = (r >= look_.fixedRows && DataType(c) == kGridTypeBoolean) ? BooleanCellText(shown) : shown;
        content += HtmlEscape(text);
        if (look_.outlineBar > 0 && c == look_.outlineCol) {
            if (grid_.IsSubtotal(r)) indent_ = OutlineIndent(grid_.RowOutlineLevel(r));
            content = indent_ + content;
        }
        cell.content = std::move(content);

        long back = grid_.CellLong(CellSetting::BackColor, r, c);
        if (back != 0)
            cell.backColor = HtmlColorOf(back);
        else if (fixed)
            cell.backColor = look_.backColorFixed;
        if (fixed) cell.borderColor = look_.gridColorFixed;

        std::wstring font = VariantToText(grid_.Cell(CellSetting::FontName, r, c));
        if (font != look_.fontName) cell.fontFace = font;
        long fore = grid_.CellLong(CellSetting::ForeColor, r, c);
        if (fore != 0)
            cell.foreColor = HtmlColorOf(fore);
        else if (fixed)
            cell.foreColor = look_.foreColorFixed;

        cell.fontSizePoints = static_cast<long>(std::nearbyint(VariantToDouble(grid_.Cell(CellSetting::FontSize, r, c))));
        cell.bottomBorder = !fixed && look_.gridLines;
        cell.bold = grid_.CellBool(CellSetting::FontBold, r, c);
        cell.italic = grid_.CellBool(CellSetting::FontItalic, r, c);
        cell.underline = grid_.CellBool(CellSetting::FontUnderline, r, c);

        long code = grid_.CellLong(CellSetting::Alignment, r, c);
        if (code == static_cast<long>(GridAlignment::General)) code = ColumnAlignment(c);
        bool numeric = (code < 0 || code > 8) && DataType(c) != kGridTypeBoolean && DataType(c) != kGridTypeDate &&
                       IsNumberText(shown);
        cell.alignment = AlignmentAttribute(code, DataType(c), numeric);
        out_.WriteLine(CellLine(cell));
    }

    ExportOptions& o_;
    GridTable& grid_;
    const HtmlTarget& target_;
    AnsiTextStream& out_;
    CellPictures pictures_;
    GridLook look_;
    std::vector<double> widths_;
    std::vector<long> dataTypes_;
    std::vector<long> alignments_;
    long tablePixels_ = 0;
    std::wstring indent_;
};
}  // namespace

bool ExportHtmlTable(ExportOptions& o, IDispatch* table) {
    HtmlTarget target;
    if (!AskHtmlTarget(o, target)) return false;
    ExportMessages messages(o.quiet);
    try {
        std::unique_ptr<AnsiTextStream> out = OpenExportFile(o.targetFilename);
        if (!out) return false;
        PrepareSideFolder(o, target);
        PageInfo info = PageInfoOf(o);
        WriteTablePageTop(*out,
                          {info, target.Source(L"Header.jpg"), target.Source(L"Spacer.jpg"), o.subTitle, o.paragraph});

        GridTable grid(table);
        TableWriter writer(o, grid, target, *out);
        long counter = writer.Write(messages);

        messages.CloseProgress();
        WriteTablePageBottom(*out, info, GeneralDateTimeNow());
        out->Close();
        messages.ShowCompleted(std::to_wstring(std::max(counter, 0L)) + L" records exported to " +
                               FileNameOf(o.targetFilename, false));
        return true;
    } catch (const ComError& e) {
        messages.CloseProgress();
        ShowMessageBox(L"Cannot export to " + o.targetFilename + L"\r\n" + e.description(), kHtmlErrorCaption,
                       MessageIcon::Exclamation);
        return false;
    } catch (const std::exception&) {
        messages.CloseProgress();
        ShowMessageBox(L"Cannot export to " + o.targetFilename + L"\r\nUnexpected internal error", kHtmlErrorCaption,
                       MessageIcon::Exclamation);
        return false;
    }
}

}  // namespace tarn
