// Screen resolution in twips per pixel.
#include "common/screen_metrics.h"

#include <windows.h>

namespace tarn {

namespace {
int TwipsPerPixel(int capability) noexcept {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, capability) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? 1440 / dpi : 15;
}
}  // namespace

int TwipsPerPixelX() noexcept { return TwipsPerPixel(LOGPIXELSX); }
int TwipsPerPixelY() noexcept { return TwipsPerPixel(LOGPIXELSY); }

}  // namespace tarn
