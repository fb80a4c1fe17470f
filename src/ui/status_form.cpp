// The progress window: a BaseWindow of this module's class, laid out from 96-DPI sizes.
#include "ui/status_form.h"

#include "com/errors.h"
#include "common/message_pump.h"
#include "common/screen_metrics.h"

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

StatusForm::StatusForm() : dpi_(ScreenDpiY()) {
    RegisterModuleWindowClass(kClassName, &StatusForm::WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));

    const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, ScaleTo(kClientWidth, dpi_), ScaleTo(kClientHeight, dpi_)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Owned by the host's active window, so it stays above the host and goes with it.
    HWND owner = GetActiveWindow();
    HWND window = CreateWindowExW(exStyle, kClassName, kDefaultTitle, style, 0, 0, width, height, owner, nullptr,
                                  ModuleHandle(), this);
    if (!window) {
        // No destructor runs for a form that was never made: the class goes now, or it
        // would outlive this module (the form's reference is all that keeps it loaded) and
        // a later load would find it registered with a procedure that is gone. Another
        // thread's window keeps it registered.
        const DWORD error = GetLastError();
        UnregisterClassW(kClassName, ModuleHandle());
        SetLastError(error);
        ThrowLastError(L"Creating the progress window");
    }
    window_.reset(window);
    CentreWindow(window, owner);
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

LRESULT StatusForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
        // The export that opened the window closes it; the user cannot.
        case WM_CLOSE: return 0;
        default: return DefaultHandling(message, wParam, lParam);
    }
}

// Destroyed with its owner, or by the reset in the destructor: nothing left to destroy.
void StatusForm::OnDetach() noexcept {
    static_cast<void>(window_.release());
    message_ = nullptr;
}

void StatusForm::OnCreate() noexcept {
    // A sunken one-line panel; file names may contain "&", so no prefix underlining.
    message_ =
        CreateWindowExW(WS_EX_STATICEDGE, L"STATIC", L"",
                        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0, 0, 0, 0,
                        hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMessageId)), ModuleHandle(), nullptr);
    if (message_ && font_) SendMessageW(message_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void StatusForm::OnSize(int width, int height) noexcept {
    if (!message_) return;
    const int margin = ScaleTo(kMargin, dpi_);
    MoveWindow(message_, margin, margin, width - 2 * margin, height - 2 * margin, TRUE);
}

}  // namespace tarn
