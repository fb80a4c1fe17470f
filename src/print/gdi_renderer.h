// Draws pages of the page model with GDI: one routine for the preview window, its
// thumbnails and printers. Windows only.
#pragma once

#include "print/page_model.h"

#include <windows.h>

namespace tarn::pages {

// Where a page lands on a device context: a point (x, y) in twips is drawn at
// (originX + x * scaleX, originY + y * scaleY) device units. Separate scales serve printers
// whose dots are not square.
struct DeviceMapping {
    double originX = 0;
    double originY = 0;
    double scaleX = 1;  // device units per twip
    double scaleY = 1;
};

// The mapping that puts a page's twips on a printer's physical page: the printer's own
// resolution, shifted by the unprintable offset so that a twip position means the same
// distance from the paper's edge on every printer.
DeviceMapping PrinterMapping(HDC printerDc);

// A page drawn `zoomPercent` large on a screen of the DC's resolution, its corner at (x, y).
DeviceMapping ScreenMapping(HDC screenDc, int x, int y, double zoomPercent);

// Draws every operation of `page` in order. The DC's state is restored afterwards.
void RenderPage(HDC dc, const Page& page, const DeviceMapping& mapping);

}  // namespace tarn::pages
