// GDI drawing of a grid: the visible rows and columns at their sizes, colours, fonts,
// merged blocks, check boxes, cell pictures and grid lines.
#pragma once

#include "grid_model.h"

namespace testhost {

// Pictures of the grid are cut off beyond this many pixels either way.
constexpr int kMaxPicturePixels = 4096;

// Pixel size of the drawing (visible columns and rows, 15 twips a pixel, capped).
SIZE GridPixelSize(const GridModel& grid);
// Draws the grid with its top-left corner at (0, 0) of `dc`.
void PaintGrid(HDC dc, const GridModel& grid);
// A new 24-bit DIB section holding the drawing.
HBITMAP GridBitmap(const GridModel& grid);

}  // namespace testhost
