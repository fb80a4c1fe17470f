// Drawing a grid with GDI.
#include "grid_painter.h"

#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace testhost {

namespace {
constexpr int kPadding = 2;
constexpr int kCheckSize = 13;
constexpr int kOutlineIndent = 12;

int Pixels(long twips) { return static_cast<int>((twips + kTwipsPerPixel / 2) / kTwipsPerPixel); }

COLORREF Rgb(long oleColor) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(oleColor), nullptr, &rgb))) rgb = 0;
    return rgb;
}

// Fonts used while drawing, made once per kind and deleted afterwards.
class FontSet {
public:
    ~FontSet() {
        for (auto& entry : fonts_) DeleteObject(entry.second);
    }
    HFONT Get(const std::wstring& name, double points, bool bold, bool italic, bool underline) {
        std::wstring key = name + L"|" + std::to_wstring(points) + (bold ? L"b" : L"") + (italic ? L"i" : L"") +
                           (underline ? L"u" : L"");
        auto found = fonts_.find(key);
        if (found != fonts_.end()) return found->second;
        LOGFONTW lf{};
        lf.lfHeight = -static_cast<LONG>(std::lround(points * 96.0 / 72.0));
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = italic;
        lf.lfUnderline = underline;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = NONANTIALIASED_QUALITY;
        lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
        HFONT font = CreateFontIndirectW(&lf);
        fonts_.emplace(key, font);
        return font;
    }

private:
    std::map<std::wstring, HFONT> fonts_;
};

void Fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void CheckBox(HDC dc, int x, int y, bool checked) {
    RECT box{x, y, x + kCheckSize, y + kCheckSize};
    Fill(dc, box, RGB(64, 64, 64));
    RECT inside{x + 1, y + 1, x + kCheckSize - 1, y + kCheckSize - 1};
    Fill(dc, inside, RGB(255, 255, 255));
    if (!checked) return;
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x + 3, y + 6, nullptr);
    LineTo(dc, x + 5, y + 9);
    LineTo(dc, x + 10, y + 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

UINT TextFlags(long alignment, bool numeric) {
    long horizontal, vertical;
    if (alignment >= 0 && alignment <= 8) {
        horizontal = alignment / 3;
        vertical = alignment % 3;
    } else {  // general: numbers right, text left
        horizontal = numeric ? 2 : 0;
        vertical = alignment == 10 ? 0 : alignment == 12 ? 2 : 1;
    }
    UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    flags |= horizontal == 1 ? DT_CENTER : horizontal == 2 ? DT_RIGHT : DT_LEFT;
    flags |= vertical == 0 ? DT_TOP : vertical == 2 ? DT_BOTTOM : DT_VCENTER;
    return flags;
}

void HLine(HDC dc, int x1, int x2, int y, COLORREF color) {
    RECT r{x1, y, x2, y + 1};
    Fill(dc, r, color);
}

void VLine(HDC dc, int x, int y1, int y2, COLORREF color) {
    RECT r{x, y1, x + 1, y2};
    Fill(dc, r, color);
}
}  // namespace

SIZE GridPixelSize(const GridModel& grid) {
    SIZE size;
    size.cx = std::clamp(Pixels(grid.VisibleWidth()), 1, kMaxPicturePixels);
    size.cy = std::clamp(Pixels(grid.VisibleHeight()), 1, kMaxPicturePixels);
    return size;
}

void PaintGrid(HDC dc, const GridModel& grid) {
    const SIZE size = GridPixelSize(grid);
    RECT all{0, 0, size.cx, size.cy};
    Fill(dc, all, Rgb(grid.backColor));
    SetBkMode(dc, TRANSPARENT);
    FontSet fonts;
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);

    for (long r = 0; r < grid.Rows() && Pixels(grid.TopOf(r)) < size.cy; ++r) {
        if (!grid.RowVisible(r)) continue;
        for (long c = 0; c < grid.Cols() && Pixels(grid.LeftOf(c)) < size.cx; ++c) {
            if (!grid.ColVisible(c)) continue;
            // A merged block is drawn once, from its first visible cell, with the top-left
            // cell's content over the whole block.
            const CellRange block = grid.MergedRange(r, c);
            if (grid.TopOf(block.row1) != grid.TopOf(r) || grid.LeftOf(block.col1) != grid.LeftOf(c)) continue;
            const long ar = block.row1, ac = block.col1;
            RECT cell{Pixels(grid.LeftOf(block.col1)), Pixels(grid.TopOf(block.row1)), Pixels(grid.LeftOf(block.col2 + 1)),
                      Pixels(grid.TopOf(block.row2 + 1))};
            const bool fixed = grid.IsFixed(ar, ac);
            const CellStyle* style = grid.StyleIf(ar, ac);

            long back = style && style->backColor ? style->backColor : fixed ? grid.backColorFixed : grid.backColor;
            Fill(dc, cell, Rgb(back));

            HRGN clip = CreateRectRgnIndirect(&cell);
            SelectClipRgn(dc, clip);
            RECT text{cell.left + kPadding, cell.top + kPadding, cell.right - kPadding, cell.bottom - kPadding};
            if (grid.outlineBar > 0 && ac == grid.outlineCol) text.left += kOutlineIndent * grid.Row(ar).level;

            long check = style ? style->check : kCheckNone;
            std::wstring shown = grid.DisplayText(ar, ac);
            bool flag = false;
            if (!fixed && grid.Col(ac).dataType == kTypeBoolean && ParseBoolean(grid.At(ar, ac).text, flag)) {
                check = flag ? kChecked : kUnchecked;  // a Boolean column shows a check box, not text
                shown.clear();
            }
            if (check != kCheckNone) {
                CheckBox(dc, text.left, (cell.top + cell.bottom - kCheckSize) / 2, check == kChecked);
                text.left += kCheckSize + kPadding;
            }
            if (style && style->picture) {
                DrawPicture(dc, style->picture.Get(), text.left, cell.top + kPadding);
                text.left += PicturePixels(style->picture.Get()).cx + kPadding;
            }
            if (!shown.empty()) {
                bool bold = style && style->bold, italic = style && style->italic, underline = style && style->underline;
                SelectObject(dc, fonts.Get(grid.FontName(ar, ac), grid.FontSize(ar, ac), bold, italic, underline));
                long fore = style && style->foreColor ? style->foreColor : fixed ? grid.foreColorFixed : grid.foreColor;
                SetTextColor(dc, Rgb(fore));
                double number = 0;
                DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text,
                          TextFlags(grid.Alignment(ar, ac), ParseNumber(grid.At(ar, ac).text, number)));
            }
            SelectClipRgn(dc, nullptr);
            DeleteObject(clip);

            if (grid.gridLines != 0) {
                COLORREF line = Rgb(fixed ? grid.gridColorFixed : grid.gridColor);
                HLine(dc, cell.left, cell.right, cell.bottom - 1, line);
                VLine(dc, cell.right - 1, cell.top, cell.bottom, line);
            }
        }
    }
    SelectObject(dc, oldFont);
}

HBITMAP GridBitmap(const GridModel& grid) {
    const SIZE size = GridPixelSize(grid);
    HBITMAP bitmap = CreateDib24(size.cx, size.cy);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PaintGrid(dc, grid);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

}  // namespace testhost
