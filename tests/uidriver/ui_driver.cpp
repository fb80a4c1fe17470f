// Finding, reading and acting on windows for the test driver. Every message sent to a
// window of another thread has a timeout: that thread may be busy with an export.
#include "ui_driver.h"

#include <algorithm>

namespace tarn::ui {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
// Control ids of the system's save dialog: the file name box (explorer style and old
// style) and the list of file types.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;
constexpr int kFileTypeCombo = 0x470;
// The message text of a system message box.
constexpr int kMessageBoxText = 0xFFFF;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs,
                               result ? result : &ignored) != 0;
}

DWORD_PTR SendOrThrow(const Window& window, UINT message, WPARAM wParam, LPARAM lParam, const wchar_t* what) {
    DWORD_PTR result = 0;
    if (!Send(window.hwnd(), message, wParam, lParam, &result))
        throw DriverError(std::wstring(what) + L": the window did not answer");
    return result;
}

std::wstring WithoutAccelerators(std::wstring_view text) {
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    return plain;
}

bool SameClass(const std::wstring& a, std::wstring_view b) {
    return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Text the system keeps for the window itself; reading it never waits for its thread.
std::wstring StoredText(HWND window) {
    std::wstring text(256, L'\0');
    for (;;) {
        const int n = InternalGetWindowText(window, text.data(), static_cast<int>(text.size()));
        if (n < static_cast<int>(text.size()) - 1) {
            text.resize(static_cast<size_t>(std::max(n, 0)));
            return text;
        }
        text.resize(text.size() * 4);
    }
}

std::wstring DescribeQuery(const WindowQuery& q) {
    std::wstring d = L"a window";
    if (!q.className.empty()) d += L" of class \"" + q.className + L"\"";
    if (!q.caption.empty())
        d += (q.captionPrefix ? L" with a caption starting \"" : L" captioned \"") + q.caption + L"\"";
    return d;
}

bool Matches(const Window& w, const WindowQuery& q) {
    if (q.visibleOnly && !w.IsVisible()) return false;
    if (!q.className.empty() && !SameClass(w.ClassName(), q.className)) return false;
    if (q.owner && w.Owner() != q.owner) return false;
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(w.hwnd(), &process);
    if (q.processId && process != q.processId) return false;
    if (q.threadId && thread != q.threadId) return false;
    if (!q.caption.empty()) {
        const std::wstring caption = w.Text();
        if (q.captionPrefix ? caption.rfind(q.caption, 0) != 0 : caption != q.caption) return false;
    }
    return true;
}

}  // namespace

DriverError::DriverError(const std::wstring& message) : std::runtime_error(Utf8(message)), message_(message) {}

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        // Wakes early for this thread's own messages (it may own windows too).
        const DWORD wait = static_cast<DWORD>(std::min<long long>(left.count(), 15));
        if (MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
}

std::wstring IconName(Icon icon) {
    switch (icon) {
        case Icon::None: return L"none";
        case Icon::Information: return L"information";
        case Icon::Exclamation: return L"exclamation";
        case Icon::Error: return L"error";
        case Icon::Question: return L"question";
        case Icon::Other: return L"other";
    }
    return L"other";
}

bool Window::Exists() const noexcept { return hwnd_ && IsWindow(hwnd_); }
bool Window::IsVisible() const noexcept { return Exists() && IsWindowVisible(hwnd_); }
bool Window::IsEnabled() const noexcept { return Exists() && IsWindowEnabled(hwnd_); }
int Window::Id() const noexcept { return GetDlgCtrlID(hwnd_); }
HWND Window::Owner() const noexcept { return GetWindow(hwnd_, GW_OWNER); }
DWORD Window::ThreadId() const noexcept { return GetWindowThreadProcessId(hwnd_, nullptr); }

std::wstring Window::ClassName() const {
    wchar_t name[256] = {};
    GetClassNameW(hwnd_, name, 256);
    return name;
}

std::wstring Window::Text() const {
    if (!Exists()) return {};
    const std::wstring cls = ClassName();
    // Captions, labels and buttons keep their text with the system; boxes the user types
    // into keep it themselves and must be asked.
    const bool topLevel = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD) == 0;
    const bool stored = topLevel || SameClass(cls, L"Static") || SameClass(cls, L"Button");
    if (stored) return StoredText(hwnd_);
    DWORD_PTR length = 0;
    if (!Send(hwnd_, WM_GETTEXTLENGTH, 0, 0, &length)) return StoredText(hwnd_);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(hwnd_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) return StoredText(hwnd_);
    text.resize(std::min<size_t>(copied, length));
    return text;
}

namespace {
BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<Window>*>(list)->emplace_back(child);
    return TRUE;
}
}  // namespace

std::vector<Window> Window::Controls() const {
    std::vector<Window> controls;
    EnumChildWindows(hwnd_, &CollectChild, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

Window Window::Control(int id) const {
    // The window's own controls first: ids repeat inside nested controls (a list view
    // inside the save dialog has the id of its Save button).
    if (HWND own = GetDlgItem(hwnd_, id)) return Window(own);
    for (const Window& c : Controls())
        if (c.Id() == id) return c;
    throw DriverError(L"no control with id " + std::to_wstring(id) + L" in \"" + Text() + L"\"");
}

Window Window::ControlByText(std::wstring_view caption, std::wstring_view className) const {
    const std::wstring wanted = WithoutAccelerators(caption);
    for (const Window& c : Controls())
        if ((className.empty() || SameClass(c.ClassName(), className)) && WithoutAccelerators(c.Text()) == wanted)
            return c;
    throw DriverError(L"no control \"" + std::wstring(caption) + L"\" in \"" + Text() + L"\"");
}

void Window::SetText(std::wstring_view text) const {
    const std::wstring value(text);
    SendOrThrow(*this, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), L"typing into a text box");
}

namespace {
bool IsCheckable(const Window& button) {
    switch (GetWindowLongW(button.hwnd(), GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return true;
        default: return false;
    }
}
// What a click makes a button tell its dialog. Posted, not sent: the click may open a
// modal window (a confirmation) that the driver has to answer next.
void NotifyClicked(const Window& button) {
    if (!PostMessageW(GetParent(button.hwnd()), WM_COMMAND, MAKEWPARAM(button.Id(), BN_CLICKED),
                      reinterpret_cast<LPARAM>(button.hwnd())))
        throw DriverError(L"cannot press \"" + button.Text() + L"\"");
}
}  // namespace

void Window::Press() const {
    if (!IsEnabled()) throw DriverError(L"the button \"" + Text() + L"\" is disabled");
    // A posted BM_CLICK is lost on some dialogs (the system's save dialog drops it on its
    // Save button), so push buttons notify their dialog directly, as a click does.
    if (!IsCheckable(*this)) return NotifyClicked(*this);
    const LONG type = GetWindowLongW(hwnd_, GWL_STYLE) & BS_TYPEMASK;
    SetChecked(type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON || !IsChecked());
}

void Window::PressButton(std::wstring_view caption) const { ControlByText(caption, L"Button").Press(); }
void Window::PressButton(int id) const { Control(id).Press(); }

bool Window::IsChecked() const { return SendOrThrow(*this, BM_GETCHECK, 0, 0, L"reading a check box") == BST_CHECKED; }

void Window::SetChecked(bool checked) const {
    if (IsChecked() == checked) return;
    if (!IsEnabled()) throw DriverError(L"the check box \"" + Text() + L"\" is disabled");
    SendOrThrow(*this, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0, L"ticking a check box");
    NotifyClicked(*this);
    if (!WaitUntil([&] { return IsChecked() == checked; }, kDefaultWait))
        throw DriverError(L"the check box \"" + Text() + L"\" did not change");
}

namespace {
struct ListMessages {
    UINT count, textLength, text, find, setSelection, getSelection, notifyCode;
};
ListMessages MessagesFor(const Window& box) {
    const std::wstring cls = box.ClassName();
    if (SameClass(cls, L"ComboBox"))
        return {CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_FINDSTRINGEXACT,
                CB_SETCURSEL, CB_GETCURSEL,    CBN_SELCHANGE};
    if (SameClass(cls, L"ListBox"))
        return {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_FINDSTRINGEXACT, LB_SETCURSEL, LB_GETCURSEL, LBN_SELCHANGE};
    throw DriverError(L"a " + cls + L" is not a list the driver can read");
}
bool IsMultipleSelection(const Window& box) {
    return SameClass(box.ClassName(), L"ListBox") &&
           (GetWindowLongW(box.hwnd(), GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}
}  // namespace

std::vector<std::wstring> Window::Entries() const {
    const ListMessages m = MessagesFor(*this);
    const auto count = static_cast<LONG_PTR>(SendOrThrow(*this, m.count, 0, 0, L"reading a list"));
    std::vector<std::wstring> entries;
    for (LONG_PTR i = 0; i < count; ++i) {
        const auto length = static_cast<LONG_PTR>(SendOrThrow(*this, m.textLength, i, 0, L"reading a list"));
        std::wstring entry(static_cast<size_t>(std::max<LONG_PTR>(length, 0)) + 1, L'\0');
        const auto copied = static_cast<LONG_PTR>(
            SendOrThrow(*this, m.text, i, reinterpret_cast<LPARAM>(entry.data()), L"reading a list"));
        entry.resize(static_cast<size_t>(std::clamp<LONG_PTR>(copied, 0, length)));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::wstring> Window::SelectedEntries() const {
    const ListMessages m = MessagesFor(*this);
    const std::vector<std::wstring> entries = Entries();
    std::vector<std::wstring> selected;
    if (IsMultipleSelection(*this)) {
        for (size_t i = 0; i < entries.size(); ++i)
            if (static_cast<LONG_PTR>(SendOrThrow(*this, LB_GETSEL, i, 0, L"reading a list")) > 0)
                selected.push_back(entries[i]);
    } else {
        const auto current = static_cast<LONG_PTR>(SendOrThrow(*this, m.getSelection, 0, 0, L"reading a list"));
        if (current >= 0 && static_cast<size_t>(current) < entries.size())
            selected.push_back(entries[static_cast<size_t>(current)]);
    }
    return selected;
}

void Window::Select(std::wstring_view entry, bool selected) const {
    const ListMessages m = MessagesFor(*this);
    const std::wstring wanted(entry);
    const auto index = static_cast<LONG_PTR>(
        SendOrThrow(*this, m.find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wanted.c_str()), L"selecting"));
    if (index < 0) throw DriverError(L"no entry \"" + wanted + L"\" in the list");
    if (IsMultipleSelection(*this))
        SendOrThrow(*this, LB_SETSEL, selected ? TRUE : FALSE, index, L"selecting");
    else if (selected)
        SendOrThrow(*this, m.setSelection, static_cast<WPARAM>(index), 0, L"selecting");
    else
        throw DriverError(L"a single-selection list cannot have its entry unselected");
    // What a click would tell the list's owner.
    PostMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(Id(), m.notifyCode), reinterpret_cast<LPARAM>(hwnd_));
}

void Window::Close() const { PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0); }

Icon Window::ShownIcon() const {
    HWND holder = nullptr;
    if ((GetWindowLongW(hwnd_, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && GetParent(hwnd_)) holder = hwnd_;
    for (const Window& c : Controls())
        if (!holder && SameClass(c.ClassName(), L"Static") &&
            (GetWindowLongW(c.hwnd(), GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            holder = c.hwnd();
    if (!holder) return Icon::None;
    DWORD_PTR shown = 0;
    if (!Send(holder, STM_GETICON, 0, 0, &shown) || !shown) return Icon::None;
    const auto icon = reinterpret_cast<HICON>(shown);
    if (icon == LoadIconW(nullptr, IDI_INFORMATION)) return Icon::Information;
    if (icon == LoadIconW(nullptr, IDI_EXCLAMATION)) return Icon::Exclamation;
    if (icon == LoadIconW(nullptr, IDI_ERROR)) return Icon::Error;
    if (icon == LoadIconW(nullptr, IDI_QUESTION)) return Icon::Question;
    // Another process's icon handle means nothing here: recognise the picture instead.
    DWORD process = 0;
    GetWindowThreadProcessId(holder, &process);
    return process == GetCurrentProcessId() ? Icon::Other : IconOnScreen(holder);
}

bool Window::WaitUntilGone(Milliseconds timeout) const {
    return WaitUntil([&] { return !IsVisible(); }, timeout);
}

namespace {
struct Search {
    const WindowQuery* query;
    std::vector<Window> found;
};
BOOL CALLBACK CollectMatching(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (Window w(hwnd); Matches(w, *search->query)) search->found.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<Window> FindWindows(const WindowQuery& query) {
    Search search{&query, {}};
    EnumWindows(&CollectMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Window WaitForWindow(const WindowQuery& query, Milliseconds timeout) {
    Window found;
    if (!WaitUntil(
            [&] {
                std::vector<Window> all = FindWindows(query);
                if (all.empty()) return false;
                found = all.front();
                return true;
            },
            timeout))
        throw DriverError(DescribeQuery(query) + L" did not appear within " + std::to_wstring(timeout.count()) +
                          L" ms");
    return found;
}

bool IsMessageBox(const Window& window) {
    if (!SameClass(window.ClassName(), L"#32770")) return false;
    bool hasText = false;
    for (const Window& c : window.Controls()) {
        const int id = c.Id();
        if (id == kFileNameCombo || id == kFileNameEdit) return false;
        if (id == kMessageBoxText && SameClass(c.ClassName(), L"Static")) hasText = true;
    }
    return hasText;
}

MessageBoxView ReadMessageBox(const Window& window) {
    MessageBoxView view;
    view.window = window;
    view.caption = window.Text();
    for (const Window& c : window.Controls()) {
        if (c.Id() == kMessageBoxText && SameClass(c.ClassName(), L"Static")) view.text = c.Text();
        if (SameClass(c.ClassName(), L"Button") && c.IsVisible()) view.buttons.push_back(WithoutAccelerators(c.Text()));
    }
    view.icon = window.ShownIcon();
    return view;
}

MessageBoxView WaitForMessageBox(WindowQuery query, Milliseconds timeout) {
    query.className = L"#32770";
    Window found;
    if (!WaitUntil(
            [&] {
                for (const Window& w : FindWindows(query))
                    if (IsMessageBox(w)) {
                        found = w;
                        return true;
                    }
                return false;
            },
            timeout))
        throw DriverError(L"no message box" + (query.caption.empty() ? L"" : L" \"" + query.caption + L"\"") +
                          L" appeared within " + std::to_wstring(timeout.count()) + L" ms");
    return ReadMessageBox(found);
}

bool IsSaveDialog(const Window& window) {
    if (!SameClass(window.ClassName(), L"#32770")) return false;
    for (const Window& c : window.Controls())
        if (c.Id() == kFileNameCombo || c.Id() == kFileNameEdit) return true;
    return false;
}

namespace {
Window FileNameBox(const Window& dialog) {
    for (const Window& c : dialog.Controls())
        if ((c.Id() == kFileNameCombo || c.Id() == kFileNameEdit) && SameClass(c.ClassName(), L"Edit")) return c;
    throw DriverError(L"the save dialog has no file name box");
}
}  // namespace

SaveDialogView ReadSaveDialog(const Window& window) {
    SaveDialogView view;
    view.window = window;
    view.caption = window.Text();
    view.fileName = FileNameBox(window).Text();
    const Window types = window.Control(kFileTypeCombo);
    view.filters = types.Entries();
    std::vector<std::wstring> selected = types.SelectedEntries();
    if (!selected.empty()) view.selectedFilter = selected.front();
    return view;
}

SaveDialogView WaitForSaveDialog(WindowQuery query, Milliseconds timeout) {
    query.className = L"#32770";
    Window found;
    if (!WaitUntil(
            [&] {
                for (const Window& w : FindWindows(query))
                    if (IsSaveDialog(w)) {
                        found = w;
                        return true;
                    }
                return false;
            },
            timeout))
        throw DriverError(L"no save dialog appeared within " + std::to_wstring(timeout.count()) + L" ms");
    // The dialog fills its boxes after it is shown, and may be too busy listing a large
    // folder to answer at first; it is ready when its Save button is and its types are listed.
    WaitUntil(
        [&] {
            try {
                return found.Control(IDOK).IsEnabled() && !found.Control(kFileTypeCombo).Entries().empty();
            } catch (const DriverError&) {
                return false;
            }
        },
        timeout);
    return ReadSaveDialog(found);
}

void SaveAs(const Window& dialog, std::wstring_view name) {
    FileNameBox(dialog).SetText(name);
    dialog.PressButton(IDOK);
}

ProgressView ReadProgress(const Window& window) {
    return ProgressView{window, window.Text(), window.Control(kProgressMessageId).Text()};
}

ProgressView WaitForProgress(WindowQuery query, Milliseconds timeout) {
    query.className = kProgressClass;
    return ReadProgress(WaitForWindow(query, timeout));
}

namespace {
BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM) {
    Window w(hwnd);
    if (!w.IsVisible() || !SameClass(w.ClassName(), L"#32770")) return TRUE;
    PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    // A Yes/No question has no Cancel.
    if (IsMessageBox(w)) PostMessageW(hwnd, WM_COMMAND, IDNO, 0);
    return TRUE;
}
}  // namespace

void CloseThreadDialogs(DWORD threadId) { EnumThreadWindows(threadId, &CancelDialog, 0); }

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Escaped(std::wstring_view text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
            case L'\r': escaped += L"\\r"; break;
            case L'\n': escaped += L"\\n"; break;
            case L'\t': escaped += L"\\t"; break;
            case L'"': escaped += L"\\\""; break;
            case L'\\': escaped += L"\\\\"; break;
            default: escaped += c;
        }
    }
    return Utf8(escaped);
}

}  // namespace tarn::ui
