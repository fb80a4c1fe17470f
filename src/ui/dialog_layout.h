// Placing a dialog's controls at their design sizes in twips for the screen's resolution.
#pragma once

#include <windows.h>

namespace tarn {

// Widens a label to its text where the dialog's font needs more than its design width (made
// for a narrower font); the space to a label's right is free in the component's dialogs.
void FitLabel(HWND label, int left, int top, int width, int height) noexcept;

}  // namespace tarn
