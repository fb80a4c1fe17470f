// Measuring a label's text in its own font.
#include "ui/dialog_layout.h"

#include "com/handles.h"

namespace tarn {

void FitLabel(HWND label, int left, int top, int width, int height) noexcept {
    const unique_window_dc dc(label);
    if (!dc) return;
    wchar_t text[128] = {};
    const int length = GetWindowTextW(label, text, 128);
    SIZE extent{};
    {
        const unique_select_object font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), text, length, &extent);
    }
    if (extent.cx > width) MoveWindow(label, left, top, extent.cx, height, FALSE);
}

}  // namespace tarn
