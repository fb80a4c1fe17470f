// The test driver for the component's windows: it finds them the way a user sees them
// (top-level windows by class and caption), reads their text, types, ticks, selects and
// presses buttons, and photographs them. Modal windows run on the thread that opened
// them, so a test drives them from a Watcher thread (this file) or from the uidriver.exe
// program (another process); both share this implementation.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarn::ui {

using Milliseconds = std::chrono::milliseconds;
// How long a step waits for the window it needs before it gives up.
inline constexpr Milliseconds kDefaultWait{15000};

// A step that could not be done: the window never came, a control is missing, ...
class DriverError : public std::runtime_error {
public:
    explicit DriverError(const std::wstring& message);
    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

// Waits for `condition` with short waits in between, until `timeout`; true when it held.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout);

// Which top-level windows a step is after. Empty fields match anything. Only this
// process's windows unless told otherwise: other programs in the same Wine prefix have
// dialogs of their own.
struct WindowQuery {
    std::wstring className;
    std::wstring caption;                     // the whole caption, unless captionPrefix
    bool captionPrefix = false;               // caption is the beginning of the window's caption
    DWORD processId = GetCurrentProcessId();  // 0: any process
    DWORD threadId = 0;
    HWND owner = nullptr;  // only windows owned by this one
    bool visibleOnly = true;
};

enum class Icon { None, Information, Exclamation, Error, Question, Other };
std::wstring IconName(Icon icon);
// The standard icon an icon control shows on screen, recognised by its pixels.
Icon IconOnScreen(HWND iconControl);

class Window {
public:
    Window() = default;
    explicit Window(HWND hwnd) noexcept : hwnd_(hwnd) {}
    HWND hwnd() const noexcept { return hwnd_; }
    explicit operator bool() const noexcept { return hwnd_ != nullptr; }

    bool Exists() const noexcept;
    bool IsVisible() const noexcept;
    bool IsEnabled() const noexcept;
    std::wstring ClassName() const;
    // The caption of a window, or the text of a control (read without blocking on a
    // thread that is busy, so a progress window can be read while its export runs).
    std::wstring Text() const;
    int Id() const noexcept;
    HWND Owner() const noexcept;
    DWORD ThreadId() const noexcept;

    // Every control, children of children included, in window order.
    std::vector<Window> Controls() const;
    // The control with this id, the window's own before those nested in other controls;
    // throws DriverError when there is none.
    Window Control(int id) const;
    // The first control of `className` (any when empty) whose text, without "&", is
    // `caption`; throws when there is none.
    Window ControlByText(std::wstring_view caption, std::wstring_view className = {}) const;

    // Acting as the user would.
    void SetText(std::wstring_view text) const;  // typing into a text box
    void Press() const;                          // clicking a button
    void PressButton(std::wstring_view caption) const;
    void PressButton(int id) const;
    bool IsChecked() const;
    void SetChecked(bool checked) const;  // clicks a check box when its state differs
    // List and combo boxes: the entries, the selected ones, and choosing one (the box's
    // owner is told, as it is for a click).
    std::vector<std::wstring> Entries() const;
    std::vector<std::wstring> SelectedEntries() const;
    void Select(std::wstring_view entry, bool selected = true) const;
    void Close() const;  // the title bar's close button

    // The icon a message box or static control shows.
    Icon ShownIcon() const;
    bool WaitUntilGone(Milliseconds timeout = kDefaultWait) const;
    // A PNG of the window as it is on screen; throws DriverError on failure.
    void SavePng(const std::wstring& path) const;

private:
    HWND hwnd_ = nullptr;
};

std::vector<Window> FindWindows(const WindowQuery& query);
// The first window that matches, waiting until `timeout`; throws DriverError after.
Window WaitForWindow(const WindowQuery& query, Milliseconds timeout = kDefaultWait);

// A message box as the user sees it.
struct MessageBoxView {
    Window window;
    std::wstring caption;
    std::wstring text;
    Icon icon = Icon::None;
    std::vector<std::wstring> buttons;  // captions without "&", in window order
};
bool IsMessageBox(const Window& window);
MessageBoxView ReadMessageBox(const Window& window);
// Waits for a message box matching `query` (its class is filled in).
MessageBoxView WaitForMessageBox(WindowQuery query = {}, Milliseconds timeout = kDefaultWait);

// The system's save-file dialog.
struct SaveDialogView {
    Window window;
    std::wstring caption;
    std::wstring fileName;              // the file name box
    std::wstring selectedFilter;        // the "Save as type" entry shown
    std::vector<std::wstring> filters;  // every entry of that list
};
bool IsSaveDialog(const Window& window);
SaveDialogView ReadSaveDialog(const Window& window);
SaveDialogView WaitForSaveDialog(WindowQuery query = {}, Milliseconds timeout = kDefaultWait);
// Types `name` into the file name box and presses Save.
void SaveAs(const Window& dialog, std::wstring_view name);

// The component's progress window.
inline constexpr wchar_t kProgressClass[] = L"TarnwickExports7.StatusForm";
inline constexpr int kProgressMessageId = 100;
struct ProgressView {
    Window window;
    std::wstring caption;
    std::wstring text;
};
ProgressView ReadProgress(const Window& window);
ProgressView WaitForProgress(WindowQuery query = {}, Milliseconds timeout = kDefaultWait);

// Toolbars, status bars and pop-up menus (common controls) of this process's windows.
struct ToolbarButtonView {
    std::wstring text;
    int command = 0;
    bool enabled = false;
};
std::vector<ToolbarButtonView> ToolbarButtons(const Window& toolbar);
enum class ToolbarPart { Button, Arrow };
// Clicks the button showing `text` (or its drop-down arrow) with the mouse. The click is
// sent and done when this returns; a click that opens a modal window (a dialog, a menu)
// must be posted instead (`wait` false), or the driver would wait for that window to close.
void PressToolbarButton(const Window& toolbar, std::wstring_view text, ToolbarPart part = ToolbarPart::Button,
                        bool wait = true);
bool IsToolbarButtonEnabled(const Window& toolbar, std::wstring_view text);
// The tool tip the toolbar shows for the button showing `text` (empty when none).
std::wstring ToolbarToolTip(const Window& toolbar, std::wstring_view text);
// The text of each panel of a status bar.
std::vector<std::wstring> StatusPanels(const Window& statusBar);
// Waits for a pop-up menu of this process, chooses `item` with the keyboard and waits for
// the menu to close; returns the captions the menu showed.
std::vector<std::wstring> ChooseMenuItem(std::wstring_view item, Milliseconds timeout = kDefaultWait);

// Closes every dialog and message box `threadId` has open (Cancel, else the close box),
// so a modal call on that thread returns after a failed step.
void CloseThreadDialogs(DWORD threadId);

// Runs `steps` on a thread of its own while the creating thread opens modal windows.
// Get() waits for the steps and returns their result or rethrows their failure. A test
// never hangs in a modal loop: when the steps fail, or the creating thread has not come
// back to Get() within kDefaultWait after they ended, the watcher closes that thread's
// dialogs until it does (and Get() then reports the window that stayed open).
template <class Result>
class Watcher {
public:
    explicit Watcher(std::function<Result()> steps) : uiThread_(GetCurrentThreadId()) {
        std::promise<Result> promise;
        result_ = promise.get_future();
        thread_ = std::thread([this, steps = std::move(steps), promise = std::move(promise)]() mutable {
            bool failed = false;
            try {
                if constexpr (std::is_void_v<Result>) {
                    steps();
                    promise.set_value();
                } else {
                    promise.set_value(steps());
                }
            } catch (...) {
                promise.set_exception(std::current_exception());
                failed = true;
            }
            if (WaitUntil([this] { return collected_.load(); }, failed ? Milliseconds(0) : kDefaultWait)) return;
            stuck_ = !failed;
            WaitUntil(
                [this] {
                    CloseThreadDialogs(uiThread_);
                    return collected_.load();
                },
                std::chrono::minutes(5));
        });
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    ~Watcher() {
        collected_.store(true);
        if (thread_.joinable()) thread_.join();
    }

    Result Get() {
        collected_.store(true);
        thread_.join();
        if (stuck_) throw DriverError(L"the steps ended but the modal window stayed open; the watcher closed it");
        return result_.get();
    }

private:
    DWORD uiThread_;
    std::atomic<bool> collected_{false};
    bool stuck_ = false;  // written by the watcher thread before it ends, read after join
    std::future<Result> result_;
    std::thread thread_;
};

// Text for logs and test messages: UTF-8, with CR, LF, tab and quotes escaped.
std::string Escaped(std::wstring_view text);
std::string Utf8(std::wstring_view text);

}  // namespace tarn::ui
