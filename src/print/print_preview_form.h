// The print preview window: the composed pages of one document with a toolbar to page,
// zoom, set up the page, print and close, a status bar with the page and the zoom, and for
// a table of several pages the "Scale To Fit One Page" check box. Modeless and owned by no
// window: the host's thread keeps running while it is open. The window owns itself and
// goes when it is closed; it holds the component and the host's objects until then.
#pragma once

#include "com/handles.h"
#include "com/module.h"
#include "common/export_options.h"
#include "print/preview_page_view.h"
#include "print/print_document.h"
#include "print/toolbar_images.h"
#include "ui/base_window.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace tarn {

class PrintPreviewForm : public BaseWindow<PrintPreviewForm> {
public:
    static constexpr wchar_t kClassName[] = L"TarnwickExports7.PrintPreviewForm";
    // Control ids.
    static constexpr int kToolbarId = 100;
    static constexpr int kStatusBarId = 101;
    static constexpr int kPagesId = 102;
    static constexpr int kScaleToFitId = 103;

    // Composes `content` with the options `o`, and shows the window with the first page at
    // 100 % (the Preview operations). Returns at once. Throws ComError when the window
    // cannot be made; a document that cannot be composed is reported in a message box.
    static void Show(const ExportOptions& o, PrintContent content);

    PrintPreviewForm(const PrintPreviewForm&) = delete;
    PrintPreviewForm& operator=(const PrintPreviewForm&) = delete;

private:
    friend class BaseWindow<PrintPreviewForm>;
    enum Command : int {
        kPrevious = 200,
        kNext,
        kPrint,
        kPageSetup,
        kZoomIn,
        kZoomOut,
        kClose,
        kZoomThumbnail = 300,
        kZoomTwoPage,
        kZoom50,
        kZoom75,
        kZoom100,
        kZoom150,
        kZoom200,
    };

    PrintPreviewForm(const ExportOptions& o, PrintContent content);
    ~PrintPreviewForm() = default;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnCreate() noexcept;
    void OnSize() noexcept;
    void OnCommand(int id) noexcept;
    void RunCommand(int id) noexcept;
    // Runs `step`; a close asked for meanwhile destroys the window (and this form) after
    // the outermost step, so no step ever runs on a deleted form.
    template <class Step>
    void Guarded(Step&& step) noexcept {
        ++busy_;
        step();
        if (--busy_ == 0 && closePending_) DestroyWindow(hwnd());
    }
    LRESULT OnNotify(const NMHDR& header) noexcept;
    bool OnKeyDown(WPARAM key) noexcept;
    void OnDetach() noexcept;

    void Compose() noexcept;
    void RefreshStatus() noexcept;
    void ShowPages(int page, PreviewLayout layout, double zoom) noexcept;
    void Zoom(double zoom) noexcept;
    void ShowZoomMenu(int button) noexcept;
    void PageSetup() noexcept;
    void Print() noexcept;
    void ScaleToFitClicked() noexcept;
    std::wstring Caption() const;

    ModuleReference moduleReference_;  // the window procedure lives in this module
    ExportOptions options_;
    PrintContent content_;
    std::vector<pages::Page> pages_;
    int page_ = 1;  // the preview page, from 1
    PreviewLayout layout_ = PreviewLayout::Zoom;
    double zoom_ = 100;
    bool scaleToFit_ = false;
    bool building_ = false;
    int busy_ = 0;  // commands running on the stack
    bool closePending_ = false;

    int dpi_ = 96;
    unique_hfont font_;
    unique_himagelist images_;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND scaleToFitBox_ = nullptr;
    PreviewPageView view_;
};

}  // namespace tarn
