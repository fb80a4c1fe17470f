// Window placement in the current user's settings, in twips as hosts keep sizes.
#include "ui/form_placement.h"

#include "common/registry_support.h"
#include "common/screen_metrics.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace tarn {

namespace {

std::wstring SettingsKey() {
    return std::wstring(L"Software\\Quillonsoft\\") + kSettingsApplication + L"\\" + kSettingsSection;
}

struct TwipsRect {
    long left = 0, top = 0, width = 0, height = 0;
};

bool ParseRect(const std::wstring& text, TwipsRect& rect) {
    long values[4] = {};
    const wchar_t* at = text.c_str();
    for (int i = 0; i < 4; ++i) {
        wchar_t* end = nullptr;
        values[i] = std::wcstol(at, &end, 10);
        if (end == at || (i < 3 && *end != L',') || (i == 3 && *end != L'\0')) return false;
        at = end + 1;
    }
    rect = {values[0], values[1], values[2], values[3]};
    return true;
}

void MoveToTwips(HWND window, const TwipsRect& rect) {
    const int x = TwipsPerPixelX(), y = TwipsPerPixelY();
    MoveWindow(window, rect.left / x, rect.top / y, rect.width / x, rect.height / y, TRUE);
}

}  // namespace

int RestoreFormPlacement(HWND window, std::wstring_view name, std::wstring_view key, bool keepDefaultPlace) noexcept {
    try {
        const std::wstring suffix = std::wstring(name) + std::wstring(key);
        const std::wstring size =
            ReadRegistryValue(HKEY_CURRENT_USER, SettingsKey(), L"FormSize_" + suffix, L"0,0,0,0");
        const std::wstring state = ReadRegistryValue(HKEY_CURRENT_USER, SettingsKey(), L"WindowState_" + suffix, L"0");
        const long screenWidth = GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX();
        const long screenHeight = GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY();

        TwipsRect stored;
        bool placed = false, tooFarOff = false;
        if (size != L"0,0,0,0" && ParseRect(size, stored)) {
            const long visibleWidth = std::min(stored.left + stored.width, screenWidth) - std::max(stored.left, 0L);
            const long visibleHeight = std::min(stored.top + stored.height, screenHeight) - std::max(stored.top, 0L);
            if (visibleWidth > 400 && visibleHeight > 400) {
                MoveToTwips(window, stored);
                placed = true;
            } else if (visibleWidth > 0 && visibleHeight > 0) {
                tooFarOff = true;
            }
        }
        if (std::wcstol(state.c_str(), nullptr, 10) == 2) return SW_SHOWMAXIMIZED;
        if (!placed) {
            if (tooFarOff)
                MoveToTwips(window, {400, 400, stored.width, stored.height});
            else if (!keepDefaultPlace)
                MoveToTwips(window, {400, 400, screenWidth - 800, screenHeight - 1500});
        }
    } catch (...) {
        // Out of memory for a name: the window stays where it is.
    }
    return SW_SHOWNORMAL;
}

void SaveFormPlacement(HWND window, std::wstring_view name, std::wstring_view key) noexcept {
    try {
        const std::wstring suffix = std::wstring(name) + std::wstring(key);
        const bool minimised = IsIconic(window), maximised = IsZoomed(window);
        RECT frame{};
        if (!minimised && !maximised && GetWindowRect(window, &frame)) {
            const int x = TwipsPerPixelX(), y = TwipsPerPixelY();
            const std::wstring rect = std::to_wstring(frame.left * x) + L"," + std::to_wstring(frame.top * y) + L"," +
                                      std::to_wstring((frame.right - frame.left) * x) + L"," +
                                      std::to_wstring((frame.bottom - frame.top) * y);
            WriteRegistryValue(HKEY_CURRENT_USER, SettingsKey(), L"FormSize_" + suffix, rect);
        }
        WriteRegistryValue(HKEY_CURRENT_USER, SettingsKey(), L"WindowState_" + suffix,
                           std::to_wstring(minimised   ? 1
                                           : maximised ? 2
                                                       : 0));
    } catch (...) {
        // Nothing stored: the next window opens at its default place.
    }
}

}  // namespace tarn
