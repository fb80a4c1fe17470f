// The e-mail composer: a window of its own that mails an exported file. An HTML page is
// the message body, any other file becomes a preformatted page; the user fills in the
// addresses (remembered per list) and the subject, may edit the body's text, and presses
// Send, which saves the page and hands it to SMTP delivery. Modeless; it lives until Send
// succeeds or the user closes it.
#pragma once

#include "com/handles.h"
#include "com/module.h"
#include "mail/editable_page.h"
#include "ui/base_window.h"
#include "ui/history_combo.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tarn::mail {

class HtmlEmailForm : public BaseWindow<HtmlEmailForm> {
public:
    static constexpr wchar_t kClassName[] = L"TarnwickExports7.HTMLEmailForm";
    // The window's name and placement key in the stored placement's value names.
    static constexpr wchar_t kFormName[] = L"HTMLEmailForm";
    static constexpr wchar_t kPlacementKey[] = L"Send Message";

    // Control ids, named after the controls.
    enum ControlId : int {
        kTxtTo = 101,
        kTxtCC = 102,
        kTxtBcc = 103,
        kTxtFrom = 104,
        kTxtSubject = 105,
        kBody = 106,
        kHeaderFrame = 107,
        kCmdSend = IDOK,
        kCmdCancel = IDCANCEL,
        kCmdConfig = 110,
    };

    // Opens a composer for `filename` (the composer's SendMessage): the body loaded from the
    // file, the subject given or "EMailing: <name>", the caption "<subject> - Message
    // (<format>)". `recipient` is accepted and not used. Returns the shown window, or null
    // when none could be made.
    static HWND SendMessageFor(std::wstring_view filename, std::wstring_view subject, std::wstring_view recipient);

    HtmlEmailForm(const HtmlEmailForm&) = delete;
    HtmlEmailForm& operator=(const HtmlEmailForm&) = delete;

private:
    friend class BaseWindow<HtmlEmailForm>;
    HtmlEmailForm();
    ~HtmlEmailForm();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnCreate() noexcept;
    void OnSize(int width, int height) noexcept;
    void OnCommand(int id, int code) noexcept;
    void OnClose() noexcept;
    void OnDetach() noexcept;

    void LoadBody(const std::wstring& path);
    void ShowBody();
    void SaveBody(const std::wstring& path) const;
    void UpdateCaption();
    void Send() noexcept;
    [[nodiscard]] bool Deliver() noexcept;
    [[nodiscard]] std::wstring Subject() const;

    ModuleReference moduleReference_;
    int dpi_ = 96;
    unique_hfont font_;
    std::array<HistoryCombo, 4> addresses_;  // To, Cc, Bcc, From
    HWND subject_ = nullptr;
    HWND body_ = nullptr;
    HWND frame_ = nullptr;

    std::wstring filePath_;
    std::wstring bodyFormat_;
    std::wstring lastError_;
    std::unique_ptr<EditablePage> page_;
    bool utf8Page_ = false;
    bool utf8Mark_ = false;
    bool created_ = false;  // the window exists and owns this object
};

}  // namespace tarn::mail
