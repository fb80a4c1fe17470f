// The preview window's page area: the composed pages drawn on a grey desk at a zoom, two
// pages side by side, or as thumbnails, scrolled when a page is larger than the area. Keys
// and Ctrl+wheel it does not use itself go to its parent, which owns the commands.
#pragma once

#include "print/page_model.h"
#include "ui/base_window.h"

#include <windows.h>

#include <vector>

namespace tarn {

enum class PreviewLayout { Zoom, TwoPage, Thumbnail };

class PreviewPageView : public BaseWindow<PreviewPageView> {
public:
    static constexpr wchar_t kClassName[] = L"TarnwickExports7.PreviewPages";

    PreviewPageView() = default;
    PreviewPageView(const PreviewPageView&) = delete;
    PreviewPageView& operator=(const PreviewPageView&) = delete;

    // The child window, with control id `id`. Throws ComError when it cannot be made.
    void Create(HWND parent, int id);

    // What to show: `pages` (kept by the caller while shown) from `first` (0-based), in
    // `layout`; `zoomPercent` applies to PreviewLayout::Zoom. Scrolls back to the top.
    void Show(const std::vector<pages::Page>* pages, int first, PreviewLayout layout, double zoomPercent);
    // The zoom the pages are drawn at: the one asked for, or the one a layout fitted.
    [[nodiscard]] double ShownZoom() const noexcept;

    // Paints the pages shown on `dc`, whose area is `width` x `height` with the view's
    // scroll offsets applied. The preview's paint routine; used by the benchmark alike.
    void Paint(HDC dc, int width, int height) const;

private:
    friend class BaseWindow<PreviewPageView>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnPaint() noexcept;
    void OnScroll(int bar, int request) noexcept;
    void OnMouseWheel(WPARAM wParam, LPARAM lParam) noexcept;
    bool OnKeyDown(WPARAM key) noexcept;
    void UpdateScrollBars() noexcept;
    void ScrollTo(int x, int y) noexcept;
    // Page size in pixels at `zoom`.
    SIZE PagePixels(const pages::Page& page, double zoom) const noexcept;
    // How many pages the layout shows at once, and the zoom it fits them at.
    int PagesShown() const noexcept;
    double FittedZoom() const noexcept;
    // The whole drawing's size: larger than the area only in PreviewLayout::Zoom.
    SIZE ContentSize() const noexcept;

    const std::vector<pages::Page>* pages_ = nullptr;
    int first_ = 0;
    PreviewLayout layout_ = PreviewLayout::Zoom;
    double zoom_ = 100;
    int scrollX_ = 0, scrollY_ = 0;
    int dpiX_ = 96, dpiY_ = 96;
};

}  // namespace tarn
