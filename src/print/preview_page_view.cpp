// The page area. Pages are painted into a bitmap first and copied to the screen at once, so
// paging and zooming never flicker; each page is drawn by the renderer printers use.
#include "print/preview_page_view.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"
#include "common/screen_metrics.h"
#include "print/gdi_renderer.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

using unique_hbrush = unique_any<HBRUSH, &DeleteObject>;

// Sizes at 96 DPI.
constexpr int kGap = 16;       // around and between pages
constexpr int kShadow = 4;     // the page's shadow on the desk
constexpr int kThumbRows = 2;  // thumbnails: two rows of pages
constexpr int kLineStep = 40;  // an arrow key or a wheel notch scrolls this far
constexpr COLORREF kDesk = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kShadowColour = RGB(0x40, 0x40, 0x40);

}  // namespace

void PreviewPageView::Create(HWND parent, int id) {
    RegisterModuleWindowClass(kClassName, &PreviewPageView::WindowProc, nullptr);
    dpiX_ = ScreenDpiX();
    dpiY_ = ScreenDpiY();
    const HWND window =
        CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleHandle(), this);
    ThrowLastErrorIf(!window, L"Creating the preview's page area");
}

void PreviewPageView::Show(const std::vector<pages::Page>* pages, int first, PreviewLayout layout, double zoom) {
    pages_ = pages;
    first_ = first;
    layout_ = layout;
    zoom_ = zoom;
    scrollX_ = scrollY_ = 0;
    UpdateScrollBars();
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

SIZE PreviewPageView::PagePixels(const pages::Page& page, double zoom) const noexcept {
    return {static_cast<LONG>(std::lround(page.width * dpiX_ * zoom / 100.0 / pages::kTwipsPerInch)),
            static_cast<LONG>(std::lround(page.height * dpiY_ * zoom / 100.0 / pages::kTwipsPerInch))};
}

int PreviewPageView::PagesShown() const noexcept {
    if (!pages_ || pages_->empty()) return 0;
    const int left = static_cast<int>(pages_->size()) - first_;
    switch (layout_) {
        case PreviewLayout::Zoom: return std::min(left, 1);
        case PreviewLayout::TwoPage: return std::min(left, 2);
        case PreviewLayout::Thumbnail: {
            // As many columns of two rows as fit at the thumbnail zoom.
            const pages::Page& page = (*pages_)[first_];
            RECT area{};
            GetClientRect(hwnd(), &area);
            const int gap = ScaleTo(kGap, dpiX_);
            const SIZE size = PagePixels(page, FittedZoom());
            const int columns = std::max(1, static_cast<int>((area.right - gap) / std::max(1L, size.cx + gap)));
            return std::min(left, columns * kThumbRows);
        }
    }
    return 0;
}

double PreviewPageView::FittedZoom() const noexcept {
    if (layout_ == PreviewLayout::Zoom || !pages_ || pages_->empty()) return zoom_;
    RECT area{};
    GetClientRect(hwnd(), &area);
    const int gap = ScaleTo(kGap, dpiX_);
    const pages::Page& page = (*pages_)[first_];
    const SIZE full = PagePixels(page, 100);
    const int across = layout_ == PreviewLayout::TwoPage ? 2 : 1;
    const int down = layout_ == PreviewLayout::TwoPage ? 1 : kThumbRows;
    const double byWidth = 100.0 * (area.right - gap * (across + 1)) / across / std::max(1L, full.cx);
    const double byHeight = 100.0 * (area.bottom - gap * (down + 1)) / down / std::max(1L, full.cy);
    return std::max(5.0, std::min(byWidth, byHeight));
}

double PreviewPageView::ShownZoom() const noexcept { return FittedZoom(); }

SIZE PreviewPageView::ContentSize() const noexcept {
    if (layout_ != PreviewLayout::Zoom || !pages_ || pages_->empty()) return {0, 0};
    const int gap = ScaleTo(kGap, dpiX_);
    const SIZE size = PagePixels((*pages_)[first_], zoom_);
    return {size.cx + 2 * gap, size.cy + 2 * gap};
}

void PreviewPageView::UpdateScrollBars() noexcept {
    if (!hwnd()) return;
    RECT area{};
    GetClientRect(hwnd(), &area);
    const SIZE content = ContentSize();
    scrollX_ = std::clamp(scrollX_, 0, std::max(0, static_cast<int>(content.cx - area.right)));
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, static_cast<int>(content.cy - area.bottom)));
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    info.nMax = std::max(0, static_cast<int>(content.cx) - 1);
    info.nPage = static_cast<UINT>(area.right);
    info.nPos = scrollX_;
    SetScrollInfo(hwnd(), SB_HORZ, &info, TRUE);
    info.nMax = std::max(0, static_cast<int>(content.cy) - 1);
    info.nPage = static_cast<UINT>(area.bottom);
    info.nPos = scrollY_;
    SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
}

void PreviewPageView::ScrollTo(int x, int y) noexcept {
    const int oldX = scrollX_, oldY = scrollY_;
    scrollX_ = x;
    scrollY_ = y;
    UpdateScrollBars();
    if (scrollX_ != oldX || scrollY_ != oldY) InvalidateRect(hwnd(), nullptr, FALSE);
}

void PreviewPageView::Paint(HDC dc, int width, int height) const {
    const unique_hbrush desk(CreateSolidBrush(kDesk));
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, desk.get());
    const int shown = PagesShown();
    if (shown == 0) return;
    const double zoom = FittedZoom();
    const int gap = ScaleTo(kGap, dpiX_), shadow = ScaleTo(kShadow, dpiX_);
    const SIZE first = PagePixels((*pages_)[first_], zoom);
    int columns = 1;
    if (layout_ == PreviewLayout::TwoPage) columns = 2;
    if (layout_ == PreviewLayout::Thumbnail) columns = (shown + kThumbRows - 1) / kThumbRows;
    const int rows = (shown + columns - 1) / columns;
    // The pages are centred on the area when they are smaller than it.
    const int blockWidth = columns * first.cx + (columns - 1) * gap;
    const int blockHeight = rows * first.cy + (rows - 1) * gap;
    const int left = std::max(gap, (width - blockWidth) / 2) - scrollX_;
    const int top = std::max(gap, (height - blockHeight) / 2) - scrollY_;
    const unique_hbrush shadowBrush(CreateSolidBrush(kShadowColour));
    for (int i = 0; i < shown; ++i) {
        const pages::Page& page = (*pages_)[static_cast<std::size_t>(first_ + i)];
        const SIZE size = PagePixels(page, zoom);
        const int x = left + (i % columns) * (first.cx + gap), y = top + (i / columns) * (first.cy + gap);
        const RECT shadowRect{x + shadow, y + shadow, x + size.cx + shadow, y + size.cy + shadow};
        FillRect(dc, &shadowRect, shadowBrush.get());
        const RECT sheet{x, y, x + size.cx, y + size.cy};
        FillRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // Nothing of a page is drawn beside the sheet, even an operation that runs over it.
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, sheet.left, sheet.top, sheet.right, sheet.bottom);
        pages::RenderPage(dc, page, pages::ScreenMapping(dc, x, y, zoom));
        RestoreDC(dc, saved);
    }
}

LRESULT PreviewPageView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;  // the paint covers everything
        case WM_SIZE:
            UpdateScrollBars();
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wParam)); return 0;
        case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wParam)); return 0;
        case WM_MOUSEWHEEL: OnMouseWheel(wParam, lParam); return 0;
        case WM_LBUTTONDOWN: SetFocus(hwnd()); return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_KEYDOWN:
            if (OnKeyDown(wParam)) return 0;
            return SendMessageW(GetParent(hwnd()), message, wParam, lParam);
        default: return DefaultHandling(message, wParam, lParam);
    }
}

void PreviewPageView::OnPaint() noexcept {
    const unique_paint paint(hwnd());
    if (!paint.get()) return;
    RECT area{};
    GetClientRect(hwnd(), &area);
    if (area.right <= 0 || area.bottom <= 0) return;
    const unique_hdc memory(CreateCompatibleDC(paint.get()));
    const unique_hbitmap bitmap(CreateCompatibleBitmap(paint.get(), area.right, area.bottom));
    if (!memory || !bitmap) return;
    const unique_select_object selected(memory.get(), bitmap.get());
    Paint(memory.get(), area.right, area.bottom);
    BitBlt(paint.get(), 0, 0, area.right, area.bottom, memory.get(), 0, 0, SRCCOPY);
}

void PreviewPageView::OnScroll(int bar, int request) noexcept {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(hwnd(), bar, &info);
    int position = info.nPos;
    const int line = ScaleTo(kLineStep, dpiY_);
    switch (request) {
        case SB_LINEUP: position -= line; break;
        case SB_LINEDOWN: position += line; break;
        case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
        case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = info.nTrackPos; break;
        case SB_TOP: position = 0; break;
        case SB_BOTTOM: position = info.nMax; break;
        default: return;
    }
    if (bar == SB_HORZ)
        ScrollTo(position, scrollY_);
    else
        ScrollTo(scrollX_, position);
}

void PreviewPageView::OnMouseWheel(WPARAM wParam, LPARAM lParam) noexcept {
    if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
        SendMessageW(GetParent(hwnd()), WM_MOUSEWHEEL, wParam, lParam);
        return;
    }
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    ScrollTo(scrollX_, scrollY_ - notches * 3 * ScaleTo(kLineStep, dpiY_));
}

bool PreviewPageView::OnKeyDown(WPARAM key) noexcept {
    const int line = ScaleTo(kLineStep, dpiY_);
    switch (key) {
        case VK_UP: ScrollTo(scrollX_, scrollY_ - line); return true;
        case VK_DOWN: ScrollTo(scrollX_, scrollY_ + line); return true;
        case VK_LEFT: ScrollTo(scrollX_ - line, scrollY_); return true;
        case VK_RIGHT: ScrollTo(scrollX_ + line, scrollY_); return true;
        default: return false;
    }
}

}  // namespace tarn
