// Screen resolution and window placement.
#include "common/screen_metrics.h"

#include "com/handles.h"

namespace tarn {

namespace {
int ScreenDpi(int capability) noexcept {
    const unique_window_dc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), capability) : 96;
    return dpi > 0 ? dpi : 96;
}
}  // namespace

int ScreenDpiX() noexcept { return ScreenDpi(LOGPIXELSX); }
int ScreenDpiY() noexcept { return ScreenDpi(LOGPIXELSY); }

int TwipsPerPixelX() noexcept { return 1440 / ScreenDpiX(); }
int TwipsPerPixelY() noexcept { return 1440 / ScreenDpiY(); }

void CentreWindow(HWND window, HWND owner) noexcept {
    RECT area{}, frame{};
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tarn
