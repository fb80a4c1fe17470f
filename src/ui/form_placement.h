// Where a window was left: its rectangle (twips) and state, kept per user under
// HKEY_CURRENT_USER\Software\Quillonsoft\<application>\Settings as "FormSize_<name><key>"
// ("left,top,width,height") and "WindowState_<name><key>" (0 normal, 1 minimised,
// 2 maximised), and brought back only where enough of it is on the screen.
#pragma once

#include <windows.h>

#include <string_view>

namespace tarn {

// Moves `window` to its stored place. A stored rectangle with more than 400 twips of it
// on the screen both ways is used as it is; one with less is moved to 400, 400 with its
// size; without a usable rectangle the window goes to 400, 400 filling the screen less
// 800 by 1500 twips, unless `keepDefaultPlace`. Returns the command to show the window
// with: SW_SHOWMAXIMIZED when it was left maximised, else SW_SHOWNORMAL.
int RestoreFormPlacement(HWND window, std::wstring_view name, std::wstring_view key, bool keepDefaultPlace) noexcept;

// Stores the window's rectangle (only while it is neither minimised nor maximised) and state.
void SaveFormPlacement(HWND window, std::wstring_view name, std::wstring_view key) noexcept;

}  // namespace tarn
