// Toolbars, status bars and pop-up menus for the test driver. Their messages carry
// pointers, so they work on windows of this process only (win_tests.exe).
#include "ui_driver.h"

#include <commctrl.h>

namespace tarn::ui {

namespace {

constexpr UINT kSendTimeoutMs = 15000;
constexpr UINT kMenuGetHandle = 0x01E1;  // MN_GETHMENU

DWORD_PTR SendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, kSendTimeoutMs, &result))
        throw DriverError(L"the window did not answer");
    return result;
}

int IndexOf(const Window& toolbar, std::wstring_view text) {
    const std::vector<ToolbarButtonView> buttons = ToolbarButtons(toolbar);
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].text == text) return static_cast<int>(i);
    throw DriverError(L"no toolbar button \"" + std::wstring(text) + L"\"");
}

}  // namespace

std::vector<ToolbarButtonView> ToolbarButtons(const Window& toolbar) {
    std::vector<ToolbarButtonView> buttons;
    const auto count = static_cast<int>(SendWaiting(toolbar.hwnd(), TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        SendWaiting(toolbar.hwnd(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        wchar_t text[256] = {};
        SendWaiting(toolbar.hwnd(), TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(text));
        buttons.push_back({text, button.idCommand, (button.fsState & TBSTATE_ENABLED) != 0});
    }
    return buttons;
}

bool IsToolbarButtonEnabled(const Window& toolbar, std::wstring_view text) {
    return ToolbarButtons(toolbar)[static_cast<size_t>(IndexOf(toolbar, text))].enabled;
}

std::wstring ToolbarToolTip(const Window& toolbar, std::wstring_view text) {
    const int command = ToolbarButtons(toolbar)[static_cast<size_t>(IndexOf(toolbar, text))].command;
    const auto tips = reinterpret_cast<HWND>(SendWaiting(toolbar.hwnd(), TB_GETTOOLTIPS, 0, 0));
    if (!tips) throw DriverError(L"the toolbar has no tool tips");
    wchar_t tip[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar.hwnd();
    tool.uId = static_cast<UINT_PTR>(command);
    tool.lpszText = tip;
    SendWaiting(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return tool.lpszText && tool.lpszText != LPSTR_TEXTCALLBACKW ? tool.lpszText : L"";
}

void PressToolbarButton(const Window& toolbar, std::wstring_view text, ToolbarPart part, bool wait) {
    const int index = IndexOf(toolbar, text);
    if (!IsToolbarButtonEnabled(toolbar, text))
        throw DriverError(L"the toolbar button \"" + std::wstring(text) + L"\" is disabled");
    RECT place{};
    SendWaiting(toolbar.hwnd(), TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&place));
    const int x = part == ToolbarPart::Arrow ? place.right - 3 : (place.left + place.right) / 2 - 6;
    const LPARAM at = MAKELPARAM(x, (place.top + place.bottom) / 2);
    if (!wait) {
        // The button down opens the window; its modal loop takes the button up.
        PostMessageW(toolbar.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        if (part == ToolbarPart::Button) PostMessageW(toolbar.hwnd(), WM_LBUTTONUP, 0, at);
        return;
    }
    SendWaiting(toolbar.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendWaiting(toolbar.hwnd(), WM_LBUTTONUP, 0, at);
}

std::vector<std::wstring> StatusPanels(const Window& statusBar) {
    std::vector<std::wstring> panels;
    const auto count = static_cast<int>(SendWaiting(statusBar.hwnd(), SB_GETPARTS, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendWaiting(statusBar.hwnd(), SB_GETTEXTW, i, reinterpret_cast<LPARAM>(text));
        panels.emplace_back(text);
    }
    return panels;
}

std::vector<std::wstring> ChooseMenuItem(std::wstring_view item, Milliseconds timeout) {
    WindowQuery menus;
    menus.className = L"#32768";
    const Window menu = WaitForWindow(menus, timeout);
    const auto handle = reinterpret_cast<HMENU>(SendWaiting(menu.hwnd(), kMenuGetHandle, 0, 0));
    std::vector<std::wstring> captions;
    int chosen = -1;
    for (int i = 0; i < GetMenuItemCount(handle); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(handle, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        captions.emplace_back(text);
        if (captions.back() == item) chosen = i;
    }
    if (chosen < 0) {
        PostMessageW(menu.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        throw DriverError(L"the menu has no item \"" + std::wstring(item) + L"\"");
    }
    for (int i = 0; i <= chosen; ++i) PostMessageW(menu.hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu.hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    if (!menu.WaitUntilGone(timeout)) throw DriverError(L"the menu stayed open");
    return captions;
}

}  // namespace tarn::ui
