// The e-mail composer window: header rows of remembered addresses and the subject, a rich
// edit body over the page model, and Send through SMTP delivery.
#include "mail/html_email_form.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/message_pump.h"
#include "common/registry_support.h"
#include "common/screen_metrics.h"
#include "mail/body_pictures.h"
#include "mail/smtp_delivery.h"
#include "mail/smtp_settings_form.h"
#include "ui/form_placement.h"
#include "ui/message_box.h"

#include <richedit.h>

#include <algorithm>
#include <cctype>
#include <cwctype>

namespace tarn::mail {

namespace {

// Sizes at 96 DPI, scaled to the screen's.
constexpr int kMargin = 8;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 24;
constexpr int kRowHeight = 27;
constexpr int kEditHeight = 22;
constexpr int kLabelWidth = 44;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 560;
// In twips, as the window's rules give them.
constexpr int kMinimumWidthTwips = 6045;
constexpr int kMinimumHeightTwips = 5805;
constexpr int kLabelColumnTwips = 960;
constexpr int kHeaderRows = 5;

constexpr wchar_t kSendFailed[] = L"Send Failed.  Check your SMTP settings and try again.";

// What each address row is called, in window order, and the list it remembers.
struct AddressRow {
    int id;
    const wchar_t* label;
    const wchar_t* list;
};
constexpr AddressRow kAddressRows[] = {
    {HtmlEmailForm::kTxtTo, L"To", L"To"},
    {HtmlEmailForm::kTxtCC, L"Cc", L"CC"},
    {HtmlEmailForm::kTxtBcc, L"Bcc", L"Bcc"},
    {HtmlEmailForm::kTxtFrom, L"From", L"Recipient"},
};
enum AddressIndex { kTo, kCc, kBcc, kFrom };

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

const wchar_t* RichEditClass() {
    static const wchar_t* const name = [] {
        if (LoadLibraryW(L"msftedit.dll")) return L"RICHEDIT50W";
        if (LoadLibraryW(L"riched20.dll")) return L"RichEdit20W";
        return L"EDIT";
    }();
    return name;
}

std::string ReadFileBytes(const std::wstring& path) {
    unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ThrowLastError((L"Opening " + path).c_str());
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ThrowLastError((L"Creating " + path).c_str());
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        ThrowLastError((L"Writing " + path).c_str());
}

std::wstring Decode(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int chars = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), chars);
    return text;
}

std::string Encode(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int bytes =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The keyboard of every composer on this thread: Tab, Enter (Send) and Escape (Cancel)
// work as in a dialog although the host's message loop knows nothing of these windows.
thread_local HHOOK t_keyboardHook = nullptr;
thread_local int t_openForms = 0;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* message = reinterpret_cast<MSG*>(lParam);
        if (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST && message->hwnd) {
            HWND root = GetAncestor(message->hwnd, GA_ROOT);
            wchar_t className[64] = {};
            if (root && GetClassNameW(root, className, 64) &&
                std::wstring_view(className) == HtmlEmailForm::kClassName && IsDialogMessageW(root, message))
                message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hourglass while a send blocks the thread.
class WaitCursor {
public:
    WaitCursor() noexcept : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

}  // namespace

HWND HtmlEmailForm::SendMessageFor(std::wstring_view filename, std::wstring_view subject, std::wstring_view) {
    auto* form = new HtmlEmailForm();  // deleted when its window goes (OnDetach)
    if (!form->hwnd()) {
        delete form;
        return nullptr;
    }
    HWND window = form->hwnd();
    form->filePath_ = filename;
    if (!form->filePath_.empty()) TryStep([&] { form->LoadBody(form->filePath_); });
    const std::wstring name = FileNameOf(form->filePath_, true);
    SetWindowTextW(form->subject_, subject.empty() ? (L"EMailing: " + name).c_str() : std::wstring(subject).c_str());
    form->UpdateCaption();
    ProcessPendingMessages();
    // The body opens at its top.
    SendMessageW(form->body_, EM_SETSEL, 0, 0);
    SendMessageW(form->body_, EM_SCROLLCARET, 0, 0);
    const int show = RestoreFormPlacement(window, kFormName, kPlacementKey, true);
    ShowWindow(window, show);
    SetForegroundWindow(window);
    SetFocus(form->addresses_[kTo].hwnd());
    return window;
}

HtmlEmailForm::HtmlEmailForm() : dpi_(ScreenDpiY()) {
    RegisterModuleWindowClass(kClassName, &HtmlEmailForm::WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    const HWND window = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kClassName, L"Untitled - Message (HTML)",
                                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                        ScaleTo(kDefaultWidth, dpi_), ScaleTo(kDefaultHeight, dpi_), nullptr, nullptr,
                                        ModuleHandle(), this);
    if (!window) return;
    created_ = true;
    CentreWindow(window, nullptr);
    if (t_openForms++ == 0)
        t_keyboardHook = SetWindowsHookExW(WH_GETMESSAGE, &KeyboardHook, nullptr, GetCurrentThreadId());
}

HtmlEmailForm::~HtmlEmailForm() {
    if (hwnd()) DestroyWindow(hwnd());
}

void HtmlEmailForm::OnDetach() noexcept {
    // A window that failed half-way through its creation: SendMessageFor deletes the form.
    if (!created_) return;
    if (--t_openForms == 0 && t_keyboardHook) {
        UnhookWindowsHookEx(t_keyboardHook);
        t_keyboardHook = nullptr;
    }
    delete this;
}

LRESULT HtmlEmailForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = kMinimumWidthTwips / TwipsPerPixelX();
            info->ptMinTrackSize.y = kMinimumHeightTwips / TwipsPerPixelY();
            return 0;
        }
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case DM_GETDEFID: return MAKELRESULT(kCmdSend, DC_HASDEFID);
        case WM_CLOSE: OnClose(); return 0;
        default: return DefaultHandling(message, wParam, lParam);
    }
}

void HtmlEmailForm::OnCreate() noexcept {
    const HINSTANCE instance = ModuleHandle();
    auto make = [&](DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int id) {
        HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd(),
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (control && font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return control;
    };
    // Created in tab order: the addresses, the subject, the body, then the buttons.
    frame_ = make(0, L"BUTTON", L"", BS_GROUPBOX, kHeaderFrame);
    for (size_t i = 0; i < std::size(kAddressRows); ++i) {
        make(0, L"STATIC", kAddressRows[i].label, SS_LEFT | SS_CENTERIMAGE, -1);
        HWND combo =
            make(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, kAddressRows[i].id);
        addresses_[i].Attach(combo, kSettingsApplication, kAddressRows[i].list);
        TryStep([&] { addresses_[i].Load(); });
    }
    make(0, L"STATIC", L"Subject", SS_LEFT | SS_CENTERIMAGE, -1);
    subject_ = make(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kTxtSubject);
    body_ = make(WS_EX_CLIENTEDGE, RichEditClass(), L"",
                 WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL, kBody);
    make(0, L"BUTTON", L"Send", WS_TABSTOP | BS_DEFPUSHBUTTON, kCmdSend);
    make(0, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, kCmdCancel);
    make(0, L"BUTTON", L"SMTP", WS_TABSTOP | BS_PUSHBUTTON, kCmdConfig);
}

// Buttons along the top, the header frame under them, the body filling the rest; the
// address and subject boxes are the frame's width less the label column.
void HtmlEmailForm::OnSize(int width, int height) noexcept {
    const int margin = ScaleTo(kMargin, dpi_);
    const int buttons[] = {kCmdSend, kCmdCancel, kCmdConfig};
    for (int index = 0; index < 3; ++index) {
        MoveWindow(GetDlgItem(hwnd(), buttons[index]), margin + index * (ScaleTo(kButtonWidth, dpi_) + margin), margin,
                   ScaleTo(kButtonWidth, dpi_), ScaleTo(kButtonHeight, dpi_), TRUE);
    }
    const int frameTop = 2 * margin + ScaleTo(kButtonHeight, dpi_);
    const int frameWidth = std::max(0, width - 2 * margin);
    const int frameHeight = kHeaderRows * ScaleTo(kRowHeight, dpi_) + 2 * margin;
    MoveWindow(frame_, margin, frameTop, frameWidth, frameHeight, TRUE);
    const int boxWidth = std::max(0, frameWidth - MulDiv(kLabelColumnTwips, ScreenDpiX(), 1440));
    const int boxLeft = margin + frameWidth - boxWidth - margin;
    // The rows in window order: each label is the control before its box.
    HWND rowBoxes[kHeaderRows] = {addresses_[kTo].hwnd(), addresses_[kCc].hwnd(), addresses_[kBcc].hwnd(),
                                  addresses_[kFrom].hwnd(), subject_};
    for (int row = 0; row < kHeaderRows; ++row) {
        const int top = frameTop + margin + row * ScaleTo(kRowHeight, dpi_);
        HWND label = GetWindow(rowBoxes[row], GW_HWNDPREV);
        MoveWindow(label, 2 * margin, top, ScaleTo(kLabelWidth, dpi_), ScaleTo(kEditHeight, dpi_), TRUE);
        // A combo box's height includes its drop-down list.
        const int boxHeight = row < 4 ? ScaleTo(kEditHeight + 160, dpi_) : ScaleTo(kEditHeight, dpi_);
        MoveWindow(rowBoxes[row], boxLeft, top, boxWidth, boxHeight, TRUE);
    }
    const int bodyTop = frameTop + frameHeight + margin;
    MoveWindow(body_, margin, bodyTop, frameWidth, std::max(0, height - bodyTop - margin), TRUE);
}

void HtmlEmailForm::OnCommand(int id, int code) noexcept {
    switch (id) {
        case kCmdSend:
            if (code == BN_CLICKED) Send();
            return;
        case kCmdCancel:
            if (code == BN_CLICKED) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
            return;
        case kCmdConfig:
            if (code == BN_CLICKED) TryStep([&] { static_cast<void>(ShowSmtpSettingsDialog(hwnd())); });
            return;
        case kTxtSubject:
            if (code == EN_SETFOCUS) PostMessageW(subject_, EM_SETSEL, 0, -1);
            if (code == EN_KILLFOCUS) TryStep([&] { UpdateCaption(); });
            return;
        default:
            for (HistoryCombo& combo : addresses_)
                if (code == CBN_EDITUPDATE && GetDlgCtrlID(combo.hwnd()) == id)
                    TryStep([&] { combo.CompleteTyping(); });
    }
}

void HtmlEmailForm::OnClose() noexcept {
    SaveFormPlacement(hwnd(), kFormName, kPlacementKey);
    for (AddressIndex index : {kTo, kFrom, kCc, kBcc}) addresses_[index].Save();
    DestroyWindow(hwnd());
}

std::wstring HtmlEmailForm::Subject() const { return WindowText(subject_); }

void HtmlEmailForm::UpdateCaption() {
    const std::wstring subject = Subject();
    const std::wstring caption = (subject.empty() ? L"Untitled" : subject) + L" - Message (" + bodyFormat_ + L")";
    SetWindowTextW(hwnd(), caption.c_str());
}

void HtmlEmailForm::LoadBody(const std::wstring& path) {
    std::wstring extension;
    if (const size_t dot = path.find_last_of(L'.'); dot != std::wstring::npos) extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(), std::towupper);
    const std::string bytes = ReadFileBytes(path);
    if (extension == L".HTM" || extension == L".HTML" || extension == L".MHTML") {
        // A page is read in its own charset: UTF-8 when it says so, else the system's.
        std::string head = bytes.substr(0, 2048);
        std::transform(head.begin(), head.end(), head.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        utf8Mark_ = bytes.starts_with("\xEF\xBB\xBF");
        utf8Page_ = utf8Mark_ || head.find("charset=utf-8") != std::string::npos ||
                    head.find("charset=\"utf-8\"") != std::string::npos;
        const std::wstring html =
            Decode(std::string_view(bytes).substr(utf8Mark_ ? 3 : 0), utf8Page_ ? CP_UTF8 : CP_ACP);
        page_ = std::make_unique<EditablePage>(html);
        bodyFormat_ = L"HTML";
    } else {
        page_ = std::make_unique<EditablePage>(PreformattedPage(FileNameOf(path, true), Decode(bytes, CP_ACP)));
        bodyFormat_ = L"Plain Text";
    }
    ShowBody();
}

void HtmlEmailForm::ShowBody() {
    SetWindowTextW(body_, ReplaceAll(page_->ShownText(), L"\n", L"\r\n").c_str());
    // Table cells line up at wide tab stops.
    PARAFORMAT2 paragraph{};
    paragraph.cbSize = sizeof paragraph;
    paragraph.dwMask = PFM_TABSTOPS;
    paragraph.cTabCount = MAX_TAB_STOPS;
    for (int i = 0; i < MAX_TAB_STOPS; ++i) paragraph.rgxTabs[i] = (i + 1) * 1800;
    SendMessageW(body_, EM_SETSEL, 0, -1);
    SendMessageW(body_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    for (const LookSpan& span : page_->Looks()) {
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        switch (span.look) {
            case TextLook::Heading:
                format.dwMask = CFM_BOLD | CFM_SIZE;
                format.dwEffects = CFE_BOLD;
                format.yHeight = 14 * 20;
                break;
            case TextLook::Bold:
                format.dwMask = CFM_BOLD;
                format.dwEffects = CFE_BOLD;
                break;
            case TextLook::Preformatted:
                // Columns of spaces line up as the recipient's reader shows them.
                format.dwMask = CFM_FACE | CFM_CHARSET;
                format.bCharSet = DEFAULT_CHARSET;
                format.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
                lstrcpynW(format.szFaceName, L"Courier New", LF_FACESIZE);
                break;
            case TextLook::Picture:
                format.dwMask = CFM_ITALIC | CFM_COLOR;
                format.dwEffects = CFE_ITALIC;
                format.crTextColor = RGB(0x60, 0x60, 0x60);
                break;
            case TextLook::Plain: continue;
        }
        SendMessageW(body_, EM_SETSEL, span.start, span.start + span.length);
        SendMessageW(body_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    InsertBodyPictures(body_, page_->Looks(), FolderOf(filePath_));
    SendMessageW(body_, EM_SETSEL, 0, 0);
    SendMessageW(body_, EM_EMPTYUNDOBUFFER, 0, 0);
    SendMessageW(body_, EM_SETMODIFY, FALSE, 0);
}

void HtmlEmailForm::SaveBody(const std::wstring& path) const {
    if (!page_) return;
    GETTEXTLENGTHEX lengthRequest{GTL_DEFAULT, 1200};
    const auto length = SendMessageW(body_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0);
    std::wstring shown(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    GETTEXTEX request{};
    request.cb = static_cast<DWORD>(shown.size() * sizeof(wchar_t));
    request.flags = GT_DEFAULT;
    request.codepage = 1200;
    shown.resize(static_cast<size_t>(
        SendMessageW(body_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(shown.data()))));
    // The rich edit ends paragraphs with CR alone; the drawn pictures are not page text.
    shown = WithoutObjects(body_, std::move(shown));
    shown = ReplaceAll(ReplaceAll(shown, L"\r\n", L"\n"), L"\r", L"\n");
    const std::wstring html = page_->WithShownText(shown);
    std::string bytes = utf8Mark_ ? "\xEF\xBB\xBF" : "";
    bytes += Encode(html, utf8Page_ ? CP_UTF8 : CP_ACP);
    WriteFileBytes(path, bytes);
}

void HtmlEmailForm::Send() noexcept {
    const std::wstring caption = WindowText(hwnd());
    if (addresses_[kTo].Text().empty()) {
        ShowMessageBox(L"Please enter a Recipient in the 'To' box.", caption, MessageIcon::Exclamation, hwnd());
        SetFocus(addresses_[kTo].hwnd());
        return;
    }
    if (addresses_[kFrom].Text().empty()) {
        ShowMessageBox(L"Please enter a From address.", caption, MessageIcon::Exclamation, hwnd());
        SetFocus(addresses_[kFrom].hwnd());
        return;
    }
    for (AddressIndex index : {kFrom, kTo, kCc, kBcc})
        TryStep([&] { addresses_[index].Remember(addresses_[index].Text()); });
    bool noServer = false;
    TryStep([&] { noServer = LoadSmtpSettings().server.empty(); });
    if (noServer) {
        ShowMessageBox(L"Please enter the SMTP server information.", caption, MessageIcon::Exclamation, hwnd());
        TryStep([&] { static_cast<void>(ShowSmtpSettingsDialog(hwnd())); });
    }
    bool sent = false;
    {
        WaitCursor hourglass;
        TryStep([&] {
            filePath_ = EnsureExtension(filePath_, L"htm;html");
            SaveBody(filePath_);
        });
        sent = Deliver();
    }
    if (sent) {
        PostMessageW(hwnd(), WM_CLOSE, 0, 0);
        return;
    }
    try {
        ShowMessageBox(std::wstring(kSendFailed) + L"\r\n\r\n" + lastError_, L"Send Failed", MessageIcon::Exclamation,
                       hwnd());
    } catch (...) {
        ShowMessageBox(kSendFailed, L"Send Failed", MessageIcon::Exclamation, hwnd());
    }
}

bool HtmlEmailForm::Deliver() noexcept {
    try {
        const SmtpSettings settings = LoadSmtpSettings();
        MailMessage message;
        message.to = addresses_[kTo].Text();
        message.cc = addresses_[kCc].Text();
        message.bcc = addresses_[kBcc].Text();
        message.from = addresses_[kFrom].Text();
        message.subject = Subject();
        wchar_t absolute[MAX_PATH * 4] = {};
        const DWORD length =
            GetFullPathNameW(filePath_.c_str(), static_cast<DWORD>(std::size(absolute)), absolute, nullptr);
        message.htmlPath = length > 0 && length < std::size(absolute) ? std::wstring(absolute) : filePath_;
        lastError_.clear();
        const DeliveryResult result = SendHtmlMail(message, settings);
        if (result.sent) return true;
        lastError_ = L"Error " + std::to_wstring(result.errorNumber) + L"\r\n" + result.description;
    } catch (const ComError& error) {
        lastError_ = L"Error " + std::to_wstring(static_cast<long>(error.hr())) + L"\r\n" + error.description();
    } catch (...) {
        lastError_ = L"Error " + std::to_wstring(static_cast<long>(E_FAIL)) + L"\r\n" + SystemMessage(E_FAIL);
    }
    return false;
}

}  // namespace tarn::mail
