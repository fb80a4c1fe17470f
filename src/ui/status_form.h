// The progress window: a small modeless window with a one-line message that tells the
// user what a running export is doing ("Exporting to report.csv" / "120 records ...").
// One shared instance per thread, created hidden on first use and destroyed by the export
// that unloads it; it is shown by the first message.
#pragma once

#include "com/handles.h"
#include "com/module.h"
#include "ui/base_window.h"

#include <windows.h>

#include <string_view>

namespace tarn {

class StatusForm : public BaseWindow<StatusForm> {
public:
    // The window class, for whoever needs to find the window (the test driver does).
    static constexpr wchar_t kClassName[] = L"TarnwickExports7.StatusForm";
    static constexpr wchar_t kDefaultTitle[] = L"Export";
    // Control id of the message panel, named "Message".
    static constexpr int kMessageId = 100;

    // This thread's window, created hidden (titled "Export") when there is none. Throws
    // ComError when the window cannot be created.
    static StatusForm& Current();
    [[nodiscard]] static bool IsLoaded() noexcept;
    // Destroys this thread's window; the next use starts afresh.
    static void Unload() noexcept;

    StatusForm(const StatusForm&) = delete;
    StatusForm& operator=(const StatusForm&) = delete;
    ~StatusForm();

    void SetTitle(std::wstring_view title);
    // Puts `text` on the message panel, shows the window without taking the focus from the
    // host, and lets pending messages through once so the text is painted at once.
    void ShowMessage(std::wstring_view text);

private:
    friend class BaseWindow<StatusForm>;
    StatusForm();
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnCreate() noexcept;
    void OnSize(int width, int height) noexcept;
    void OnDetach() noexcept;

    ModuleReference moduleReference_;  // the window procedure lives in this module
    unique_hfont font_;
    unique_hwnd window_;      // owns hwnd(); let go when the window goes with its owner
    HWND message_ = nullptr;  // child of window_, destroyed with it
    int dpi_ = 96;
};

}  // namespace tarn
