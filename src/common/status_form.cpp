// The progress window: class registration with the module's own instance, DPI-scaled
// layout from 96-DPI sizes, and the object reached through GWLP_USERDATA.
#include "common/status_form.h"

#include "com/errors.h"
#include "common/message_pump.h"

#include <string>

namespace tarn {

namespace {

// Sizes at 96 DPI, scaled to the screen's.
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 44;
constexpr int kMargin = 10;

// Deliberately a plain pointer: the window must be destroyed by its export on this
// thread, never by thread-exit code running under the loader lock.
thread_local StatusForm* t_form = nullptr;

int ScreenDpi() noexcept {
    const unique_window_dc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ModuleHandle();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = StatusForm::kClassName;
    ThrowLastErrorIf(!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS,
                     L"Registering the progress window class");
}

// Centred on the owner, or on the work area when there is none.
POINT CentredPosition(HWND owner, int width, int height) noexcept {
    RECT area{};
    if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
}

}  // namespace

StatusForm& StatusForm::Current() {
    // A window destroyed together with its owner is made again.
    if (t_form && !t_form->window_) Unload();
    if (!t_form) t_form = new StatusForm();
    return *t_form;
}

bool StatusForm::IsLoaded() noexcept { return t_form != nullptr; }

void StatusForm::Unload() noexcept {
    delete t_form;
    t_form = nullptr;
}

StatusForm::StatusForm() : dpi_(ScreenDpi()) {
    RegisterWindowClass(&StatusForm::WindowProc);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));

    const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, MulDiv(kClientWidth, dpi_, 96), MulDiv(kClientHeight, dpi_, 96)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Owned by the host's active window, so it stays above the host and goes with it.
    HWND owner = GetActiveWindow();
    const POINT at = CentredPosition(owner, width, height);
    HWND window = CreateWindowExW(exStyle, kClassName, kDefaultTitle, style, at.x, at.y, width, height, owner, nullptr,
                                  ModuleHandle(), this);
    ThrowLastErrorIf(!window, L"Creating the progress window");
    window_.reset(window);
}

StatusForm::~StatusForm() {
    window_.reset();
    // Fails while another thread still has its own window; the last one out succeeds.
    UnregisterClassW(kClassName, ModuleHandle());
}

void StatusForm::SetTitle(std::wstring_view title) {
    if (window_) SetWindowTextW(window_.get(), std::wstring(title).c_str());
}

void StatusForm::ShowMessage(std::wstring_view text) {
    if (!window_) return;
    SetWindowTextW(message_, std::wstring(text).c_str());
    if (!IsWindowVisible(window_.get())) ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    // Painted now: the export goes straight back to work and may not pump for a while.
    UpdateWindow(window_.get());
    UpdateWindow(message_);
    ProcessPendingMessages();
}

LRESULT CALLBACK StatusForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<StatusForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<StatusForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_CREATE && form) form->OnCreate(window);
    if (!form) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        // Destroyed with its owner: nothing left to destroy later.
        if (form->window_.get() == window) static_cast<void>(form->window_.release());
        form->message_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->OnMessage(window, message, wParam, lParam);
}

LRESULT StatusForm::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
        // The export that opened the window closes it; the user cannot.
        case WM_CLOSE: return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

void StatusForm::OnCreate(HWND window) noexcept {
    // A sunken one-line panel; file names may contain "&", so no prefix underlining.
    message_ =
        CreateWindowExW(WS_EX_STATICEDGE, L"STATIC", L"",
                        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0, 0, 0, 0,
                        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMessageId)), ModuleHandle(), nullptr);
    if (message_ && font_) SendMessageW(message_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void StatusForm::OnSize(int width, int height) noexcept {
    if (!message_) return;
    const int margin = MulDiv(kMargin, dpi_, 96);
    MoveWindow(message_, margin, margin, width - 2 * margin, height - 2 * margin, TRUE);
}

}  // namespace tarn
