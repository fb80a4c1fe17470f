// Markup of exported grid tables.
#include "html/html_table.h"

#include <cmath>
#include <cstdio>

namespace tarn {

void WriteTablePageTop(AnsiTextStream& out, const TablePageTop& top) {
    out.WriteLine(PageHead(top.info));
    out.WriteLine(PageBanner(top.header, top.spacer));
    out.WriteLine(L"<FONT FACE=\"Arial\">\r\n<p align=\"center\"><b>" + top.info.title + L"<br>\r\n<font size=\"2\">" +
                  top.subTitle + L"</font></b></p>\r\n</FONT>\r\n");
    if (!top.paragraph.empty()) out.WriteLine(L"<br><pre>\r\n" + top.paragraph + L"\r\n</pre><br>\r\n");
}

std::wstring TableOpening(std::wstring_view fontName, std::wstring_view backColor, std::wstring_view gridColor,
                          long tablePixels) {
    std::wstring s = L"<FONT FACE=\"";
    s += fontName;
    s += L"\" SIZE=1>\r\n<table border=0 cellspacing=0 cellpadding=1 valign=center bgcolor=";
    s += backColor;
    s += L" width=\"100%\" bordercolor=";
    s += gridColor;
    s += L" width=" + std::to_wstring(tablePixels) + L">\r\n";
    return s;
}

void WriteTablePageBottom(AnsiTextStream& out, const PageInfo& info, std::wstring_view dateTime) {
    out.WriteLine(L"</table>\r\n\r\n</FONT>\r\n");
    out.WriteLine(PageFooter(info, dateTime));
    out.WriteLine(PageEnd());
}

long HtmlPixels(double twips, double twipsPerPixel) {
    if (twipsPerPixel <= 0) return 0;
    return static_cast<long>(std::nearbyint(1.3 * twips / twipsPerPixel));
}

std::wstring WidthShare(long cellPixels, long tablePixels) {
    if (tablePixels == 0) return L"%";
    long percent = static_cast<long>(std::nearbyint(100.0 * cellPixels / tablePixels));
    return percent == 0 ? std::wstring(L"%") : std::to_wstring(percent) + L"%";
}

std::wstring GeneralNumber(double value) {
    wchar_t text[40];
    std::swprintf(text, 40, L"%.15G", value);
    std::wstring s = text;
    if (s.find(L'E') == std::wstring::npos && s.find(L'.') != std::wstring::npos) {
        while (s.back() == L'0') s.pop_back();
        if (s.back() == L'.') s.pop_back();
    }
    return s;
}

std::wstring RowOpenTag(bool fixedRow, double heightPixels) {
    if (!fixedRow) return L"<tr >";
    return L"<tr  height=\"" + GeneralNumber(heightPixels) + L"\">";
}

std::wstring AlignmentAttribute(long code, long columnDataType, bool numericText) {
    static constexpr const wchar_t* kByCode[] = {
        L" VALIGN=TOP",           L"",              L" VALIGN=BOTTOM",
        L" ALIGN=CENTER VALIGN=TOP", L" ALIGN=CENTER", L" ALIGN=CENTER VALIGN=BOTTOM",
        L" ALIGN=RIGHT VALIGN=TOP",  L" ALIGN=RIGHT",  L" ALIGN=RIGHT VALIGN=BOTTOM"};
    if (code >= 0 && code <= 8) return kByCode[code];
    if (columnDataType == 11) return L" ALIGN=CENTER";
    if (columnDataType == 7) return L"";
    return numericText ? L" ALIGN=RIGHT" : L"";
}

std::wstring BooleanCellText(std::wstring_view text) {
    // The leading number of the text, as a host's Val() reads it: blanks skipped, an
    // optional sign, digits and one decimal point.
    size_t i = text.find_first_not_of(L" \t");
    if (i == std::wstring_view::npos) return L"";
    if (text[i] == L'-' || text[i] == L'+') ++i;
    bool period = false;
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'1' && c <= L'9') return L"Y";
        if (c == L'0' || c == L' ') continue;
        if (c == L'.' && !period) {
            period = true;
            continue;
        }
        break;
    }
    return L"";
}

std::wstring OutlineIndent(long level) {
    std::wstring indent;
    for (long i = 0; i < level; ++i) indent += L"&nbsp&nbsp&nbsp&nbsp&nbsp;&nbsp;";
    return indent;
}

std::wstring CellLine(const HtmlCell& cell) {
    std::wstring s = L"<td width=\"" + cell.widthShare + L"\"";
    if (!cell.backColor.empty()) s += L" BGCOLOR=" + cell.backColor;
    s += cell.alignment;
    if (!cell.borderColor.empty()) s += L" BORDERCOLOR=" + cell.borderColor;
    if (cell.colSpan > 1) s += L" COLSPAN=" + std::to_wstring(cell.colSpan);
    if (cell.rowSpan > 1) s += L" ROWSPAN=" + std::to_wstring(cell.rowSpan);
    std::wstring style;
    if (cell.fontSizePoints > 0) style += L" font-size: " + std::to_wstring(cell.fontSizePoints) + L"pt;";
    if (cell.bottomBorder) style += L" border-bottom:1px solid #C0C0C0;";
    if (!style.empty()) s += L" style=\"" + style + L"\"";
    s += L">";
    std::wstring font;
    if (!cell.fontFace.empty()) font += L" FACE=\"" + cell.fontFace + L"\"";
    if (!cell.foreColor.empty()) font += L" COLOR=" + cell.foreColor;
    if (!font.empty()) s += L"<font" + font + L">";
    if (cell.bold) s += L"<B>";
    if (cell.italic) s += L"<I>";
    if (cell.underline) s += L"<U>";
    s += cell.content;
    if (cell.bold) s += L"</B>";
    if (cell.italic) s += L"</I>";
    if (cell.underline) s += L"</U>";
    if (!font.empty()) s += L"</font>";
    s += L"</td>";
    return s;
}

}  // namespace tarn
