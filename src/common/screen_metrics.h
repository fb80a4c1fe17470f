// The screen's twips per pixel, the unit in which hosts give sizes (1440 twips an inch).
#pragma once

namespace tarn {

// Whole twips per screen pixel across and down (15 at 96 DPI), as hosts compute them.
int TwipsPerPixelX() noexcept;
int TwipsPerPixelY() noexcept;

}  // namespace tarn
