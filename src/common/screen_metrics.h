// The screen's resolution, in the units the component works in: twips per pixel (hosts give
// sizes in twips, 1440 an inch) and dots per inch (window sizes are 96-DPI constants scaled
// to the screen), and where a window goes on it.
#pragma once

#include <windows.h>

namespace tarn {

// The screen's dots per inch across and down (96 when it cannot be read).
int ScreenDpiX() noexcept;
int ScreenDpiY() noexcept;

// A size given at 96 DPI, scaled to `dpi`.
inline int ScaleTo(int pixelsAt96, int dpi) noexcept { return MulDiv(pixelsAt96, dpi, 96); }

// Whole twips per screen pixel across and down (15 at 96 DPI), as hosts compute them.
int TwipsPerPixelX() noexcept;
int TwipsPerPixelY() noexcept;

// Moves `window` so it is centred on `owner`, or on the work area when the owner is absent
// or hidden.
void CentreWindow(HWND window, HWND owner) noexcept;

}  // namespace tarn
