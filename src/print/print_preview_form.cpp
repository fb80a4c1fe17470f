// The preview window: one object per window, a handler per message, the layout in OnSize,
// sizes as 96-DPI constants scaled to the screen. Composition runs on this thread, guarded
// by the building flag so a click cannot start a second one inside the first.
#include "print/print_preview_form.h"

#include "com/errors.h"
#include "common/screen_metrics.h"
#include "print/gdi_print.h"
#include "print/toolbar_images.h"
#include "tables/grid_table.h"
#include "ui/message_box.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace tarn {

namespace {

// Sizes at 96 DPI.
constexpr int kWindowWidth = 900;
constexpr int kWindowHeight = 760;
constexpr int kImageSide = 24;
constexpr int kToolbarPadding = 2;
constexpr int kCheckBoxWidth = 170;
constexpr int kCheckBoxHeight = 20;
constexpr int kPagePanelWidth = 110;

constexpr double kZoomStep = 5;
constexpr double kZoomOutLimit = 55;  // Zoom Out is offered from here up
constexpr double kZoomInLimit = 300;  // Zoom In is offered up to here

constexpr wchar_t kTooLarge[] = L"Document is too large to fit on a single page.";

struct ButtonSpec {
    int command;
    const wchar_t* text;
    const wchar_t* toolTip;  // none: null
    ToolbarImage image;
    bool zoomMenu;
};

constexpr std::array kButtons{
    ButtonSpec{200, L"Previous", L"Previous Page", ToolbarImage::Previous, false},
    ButtonSpec{201, L"Next", L"Next Page", ToolbarImage::Next, false},
    ButtonSpec{202, L"Print", L"Print Report", ToolbarImage::Print, false},
    ButtonSpec{203, L"Page Setup", nullptr, ToolbarImage::Setup, false},
    ButtonSpec{204, L"Zoom In", L"Zoom In", ToolbarImage::ZoomIn, true},
    ButtonSpec{205, L"Zoom Out", L"Zoom Out", ToolbarImage::ZoomOut, true},
    ButtonSpec{206, L"Close", L"Close Window", ToolbarImage::Close, false},
};

struct ZoomItem {
    int command;
    const wchar_t* caption;
};
constexpr std::array kZoomItems{
    ZoomItem{300, L"Thumbnail"}, ZoomItem{301, L"Two Page"}, ZoomItem{302, L"50%"},  ZoomItem{303, L"75%"},
    ZoomItem{304, L"100%"},      ZoomItem{305, L"150%"},     ZoomItem{306, L"200%"},
};

// The hourglass while a command runs.
class WaitCursor {
public:
    WaitCursor() noexcept : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }

private:
    HCURSOR previous_;
};

bool CtrlDown() noexcept { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

void PrintPreviewForm::Show(const ExportOptions& o, PrintContent content) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    RegisterModuleWindowClass(kClassName, &PrintPreviewForm::WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    auto* form = new PrintPreviewForm(o, std::move(content));
    const int dpi = form->dpi_;
    const HWND window = CreateWindowExW(0, kClassName, form->Caption().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                        CW_USEDEFAULT, CW_USEDEFAULT, ScaleTo(kWindowWidth, dpi),
                                        ScaleTo(kWindowHeight, dpi), nullptr, nullptr, ModuleHandle(), form);
    if (!window) {
        const DWORD error = GetLastError();
        delete form;
        SetLastError(error);
        ThrowLastError(L"Creating the print preview window");
    }
    // From here the window owns the form: it is deleted when the window is destroyed.
    form->Guarded([form] { form->Compose(); });
    if (!IsWindow(window)) return;
    if (form->content_.kind == PrintContentKind::Table && form->pages_.size() > 1)
        ShowWindow(form->scaleToFitBox_, SW_SHOW);
    CentreWindow(window, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

PrintPreviewForm::PrintPreviewForm(const ExportOptions& o, PrintContent content)
    : options_(o), content_(std::move(content)), dpi_(ScreenDpiY()) {
    if (content_.kind == PrintContentKind::Table && content_.table) {
        GridTable grid(content_.table.Get());
        content_.recordedRows = RecordRowStates(grid);
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
}

std::wstring PrintPreviewForm::Caption() const { return options_.programName + L" Print Preview"; }

LRESULT PrintPreviewForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_SIZE: OnSize(); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wParam)); return 0;
        case WM_CLOSE:
            // Closed from inside a command (a dialog or the composition is still running
            // on the stack): the window goes once that command has ended.
            closePending_ = true;
            Guarded([] {});
            return 0;
        case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_KEYDOWN:
            if (OnKeyDown(wParam)) return 0;
            break;
        case WM_MOUSEWHEEL:
            if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
                OnCommand(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? kZoomIn : kZoomOut);
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && view_.hwnd()) SetFocus(view_.hwnd());
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {ScaleTo(480, dpi_), ScaleTo(300, dpi_)};
            return 0;
        }
        default: break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void PrintPreviewForm::OnCreate() noexcept {
    const HINSTANCE instance = ModuleHandle();
    toolbar_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
        0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)), instance, nullptr);
    if (toolbar_) {
        SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
        images_ = CreateToolbarImages(ScaleTo(kImageSide, dpi_));
        SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
        std::array<TBBUTTON, kButtons.size()> buttons{};
        for (std::size_t i = 0; i < kButtons.size(); ++i) {
            buttons[i].iBitmap = static_cast<int>(kButtons[i].image);
            buttons[i].idCommand = kButtons[i].command;
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = static_cast<BYTE>(BTNS_BUTTON | (kButtons[i].zoomMenu ? BTNS_DROPDOWN : 0));
            buttons[i].iString = reinterpret_cast<INT_PTR>(kButtons[i].text);
        }
        SendMessageW(toolbar_, TB_ADDBUTTONS, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
        if (font_) SendMessageW(toolbar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    }
    scaleToFitBox_ =
        CreateWindowExW(0, L"BUTTON", L"Scale To Fit One Page", WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
                        hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kScaleToFitId)), instance, nullptr);
    if (scaleToFitBox_ && font_) SendMessageW(scaleToFitBox_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance, nullptr);
    if (statusBar_) {
        if (font_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        // "Page" of a fixed width, "Zoom" to the end.
        const std::array<int, 2> edges{ScaleTo(kPagePanelWidth, dpi_), -1};
        SendMessageW(statusBar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    }
    TryStep([&] { view_.Create(hwnd(), kPagesId); });
}

// The one place the window's parts are placed: the toolbar across the top with the check
// box at its end, the status bar along the bottom, the pages in between.
void PrintPreviewForm::OnSize() noexcept {
    RECT client{};
    GetClientRect(hwnd(), &client);
    int toolbarHeight = 0;
    int buttonsRight = 0;
    if (toolbar_) {
        const DWORD size = static_cast<DWORD>(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0));
        toolbarHeight = HIWORD(size) + 2 * ScaleTo(kToolbarPadding, dpi_);
        RECT last{};
        SendMessageW(toolbar_, TB_GETITEMRECT, kButtons.size() - 1, reinterpret_cast<LPARAM>(&last));
        buttonsRight = last.right + ScaleTo(kToolbarPadding, dpi_);
        MoveWindow(toolbar_, 0, 0, client.right, toolbarHeight, TRUE);
    }
    if (scaleToFitBox_) {
        const int height = ScaleTo(kCheckBoxHeight, dpi_);
        MoveWindow(scaleToFitBox_, buttonsRight + ScaleTo(12, dpi_), (toolbarHeight - height) / 2,
                   ScaleTo(kCheckBoxWidth, dpi_), height, TRUE);
    }
    int statusHeight = 0;
    if (statusBar_) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        RECT bar{};
        GetWindowRect(statusBar_, &bar);
        statusHeight = bar.bottom - bar.top;
    }
    // A minimised window has no room: the move fails and is passed over.
    if (view_.hwnd())
        MoveWindow(view_.hwnd(), 0, toolbarHeight, client.right,
                   std::max(0L, client.bottom - toolbarHeight - statusHeight), TRUE);
    if (layout_ != PreviewLayout::Zoom) RefreshStatus();  // a fitted zoom follows the area
}

void PrintPreviewForm::OnCommand(int id) noexcept {
    Guarded([&] { RunCommand(id); });
}

void PrintPreviewForm::RunCommand(int id) noexcept {
    if (id == kScaleToFitId) {
        ScaleToFitClicked();
        return;
    }
    const WaitCursor wait;
    const int count = static_cast<int>(pages_.size());
    switch (id) {
        case kPrevious: ShowPages(std::max(1, page_ - 1), layout_, zoom_); break;
        case kNext: ShowPages(std::min(count, page_ + 1), layout_, zoom_); break;
        case kPrint: Print(); break;
        case kPageSetup: PageSetup(); break;
        case kZoomIn:
            if (view_.ShownZoom() <= kZoomInLimit) Zoom(std::round(view_.ShownZoom()) + kZoomStep);
            break;
        case kZoomOut:
            if (view_.ShownZoom() >= kZoomOutLimit) Zoom(std::round(view_.ShownZoom()) - kZoomStep);
            break;
        case kClose: closePending_ = true; break;
        case kZoomThumbnail: ShowPages(page_, PreviewLayout::Thumbnail, zoom_); break;
        case kZoomTwoPage: ShowPages(page_, PreviewLayout::TwoPage, zoom_); break;
        case kZoom50: Zoom(50); break;
        case kZoom75: Zoom(75); break;
        case kZoom100: Zoom(100); break;
        case kZoom150: Zoom(150); break;
        case kZoom200: Zoom(200); break;
        default: break;
    }
}

LRESULT PrintPreviewForm::OnNotify(const NMHDR& header) noexcept {
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        for (const ButtonSpec& button : kButtons)
            if (static_cast<UINT_PTR>(button.command) == header.idFrom)
                info.lpszText = const_cast<wchar_t*>(button.toolTip ? button.toolTip : L"");
        return 0;
    }
    if (header.hwndFrom == toolbar_ && header.code == TBN_DROPDOWN) {
        const int button = reinterpret_cast<const NMTOOLBARW&>(header).iItem;
        Guarded([&] { ShowZoomMenu(button); });
        return TBDDRET_DEFAULT;
    }
    return 0;
}

bool PrintPreviewForm::OnKeyDown(WPARAM key) noexcept {
    const int count = static_cast<int>(pages_.size());
    switch (key) {
        case VK_PRIOR: OnCommand(kPrevious); return true;
        case VK_NEXT: OnCommand(kNext); return true;
        case VK_HOME: ShowPages(1, layout_, zoom_); return true;
        case VK_END: ShowPages(std::max(1, count), layout_, zoom_); return true;
        case VK_ESCAPE: OnCommand(kClose); return true;
        case 'P':
            if (!CtrlDown()) return false;
            OnCommand(kPrint);
            return true;
        case VK_ADD:
        case VK_OEM_PLUS:
            if (!CtrlDown()) return false;
            OnCommand(kZoomIn);
            return true;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            if (!CtrlDown()) return false;
            OnCommand(kZoomOut);
            return true;
        default: return false;
    }
}

// The window is gone: so is the form, and with it the host's objects and the component.
void PrintPreviewForm::OnDetach() noexcept {
    toolbar_ = statusBar_ = scaleToFitBox_ = nullptr;
    delete this;
}

// Composes the stored content anew and shows its first page at 100 %.
void PrintPreviewForm::Compose() noexcept {
    if (building_) return;
    building_ = true;
    const WaitCursor wait;
    content_.tablePicture = nullptr;
    if (content_.kind == PrintContentKind::Table && scaleToFit_) {
        GridTable grid(content_.table.Get());
        TryStep([&] { content_.tablePicture = WholeGridPicture(grid); });
        if (!content_.tablePicture) {
            ShowMessageBox(kTooLarge, Caption(), MessageIcon::Exclamation);
            scaleToFit_ = false;
            if (scaleToFitBox_) Button_SetCheck(scaleToFitBox_, BST_UNCHECKED);
        } else {
            options_.orientation = content_.tablePicture->width > content_.tablePicture->height ? 1 : 0;
        }
    }
    try {
        pages_ = ComposePages(options_, content_);
    } catch (const ComError& e) {
        ShowErrorMessage(e.description());
    } catch (const std::exception& e) {
        ShowErrorMessage(std::wstring(e.what(), e.what() + std::char_traits<char>::length(e.what())));
    }
    building_ = false;
    ShowPages(1, PreviewLayout::Zoom, 100);
}

void PrintPreviewForm::ShowPages(int page, PreviewLayout layout, double zoom) noexcept {
    page_ = std::clamp(page, 1, std::max(1, static_cast<int>(pages_.size())));
    layout_ = layout;
    zoom_ = zoom;
    view_.Show(&pages_, page_ - 1, layout_, zoom_);
    RefreshStatus();
}

void PrintPreviewForm::Zoom(double zoom) noexcept { ShowPages(page_, PreviewLayout::Zoom, zoom); }

void PrintPreviewForm::RefreshStatus() noexcept {
    const double zoom = view_.ShownZoom();
    const int count = static_cast<int>(pages_.size());
    if (statusBar_) {
        const std::wstring pageText = L"Page " + std::to_wstring(page_);
        const std::wstring zoomText = L"Zoom " + std::to_wstring(std::lround(zoom)) + L"%";
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(pageText.c_str()));
        SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(zoomText.c_str()));
    }
    if (toolbar_) {
        SendMessageW(toolbar_, TB_ENABLEBUTTON, kPrevious, MAKELPARAM(page_ != 1, 0));
        SendMessageW(toolbar_, TB_ENABLEBUTTON, kNext, MAKELPARAM(page_ < count, 0));
        SendMessageW(toolbar_, TB_ENABLEBUTTON, kZoomOut, MAKELPARAM(zoom >= kZoomOutLimit, 0));
        SendMessageW(toolbar_, TB_ENABLEBUTTON, kZoomIn, MAKELPARAM(zoom <= kZoomInLimit, 0));
    }
}

void PrintPreviewForm::ShowZoomMenu(int button) noexcept {
    const unique_any<HMENU, &DestroyMenu> menu(CreatePopupMenu());
    if (!menu) return;
    for (const ZoomItem& item : kZoomItems) AppendMenuW(menu.get(), MF_STRING, item.command, item.caption);
    RECT place{};
    SendMessageW(toolbar_, TB_GETRECT, button, reinterpret_cast<LPARAM>(&place));
    MapWindowPoints(toolbar_, nullptr, reinterpret_cast<POINT*>(&place), 2);
    const int chosen = TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                      place.left, place.bottom, 0, hwnd(), nullptr);
    if (chosen != 0) RunCommand(chosen);
}

void PrintPreviewForm::PageSetup() noexcept {
    const auto current = options_.orientation == 1 ? pages::Orientation::Landscape : pages::Orientation::Portrait;
    const auto chosen = ShowPageSetupDialog(hwnd(), options_.defaultPrinter, current);
    if (!chosen || !IsWindow(hwnd())) return;
    options_.orientation = *chosen == pages::Orientation::Landscape ? 1 : 0;
    Compose();
}

void PrintPreviewForm::Print() noexcept {
    if (pages_.empty()) return;
    const auto orientation = options_.orientation == 1 ? pages::Orientation::Landscape : pages::Orientation::Portrait;
    static_cast<void>(PrintWithDialog(hwnd(), pages_, options_.title.empty() ? Caption() : options_.title,
                                      options_.defaultPrinter, orientation));
}

void PrintPreviewForm::ScaleToFitClicked() noexcept {
    // A click that arrives while a document is being composed changes nothing.
    if (building_) return;
    scaleToFit_ = Button_GetCheck(scaleToFitBox_) == BST_CHECKED;
    Compose();
    if (view_.hwnd()) SetFocus(view_.hwnd());
}

}  // namespace tarn
