// Screen resolution in twips per pixel.
#include "common/screen_metrics.h"

#include "com/handles.h"

#include <windows.h>

namespace tarn {

namespace {
int TwipsPerPixel(int capability) noexcept {
    const unique_window_dc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), capability) : 96;
    return dpi > 0 ? 1440 / dpi : 15;
}
}  // namespace

int TwipsPerPixelX() noexcept { return TwipsPerPixel(LOGPIXELSX); }
int TwipsPerPixelY() noexcept { return TwipsPerPixel(LOGPIXELSY); }

}  // namespace tarn
