// Message boxes with the component's captions, and the Quiet rule for one export.
#include "ui/message_box.h"

#include "ui/status_form.h"

#include <string>

namespace tarn {

void ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) noexcept {
    ShowMessageBox(text, caption, icon, GetActiveWindow());
}

void ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon, HWND owner) noexcept {
    try {
        UINT style = MB_OK | static_cast<UINT>(icon);
        if (!owner) style |= MB_TASKMODAL;
        MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(caption).c_str(), style);
    } catch (...) {
        // Out of memory for the text: there is nothing left to tell the user with.
    }
}

void ShowErrorMessage(std::wstring_view text) noexcept {
    ShowMessageBox(text, kErrorCaption, MessageIcon::Exclamation);
}

void ExportMessages::SetProgressTitle(std::wstring_view title) {
    if (!quiet_) StatusForm::Current().SetTitle(title);
}

void ExportMessages::ShowProgress(std::wstring_view text) {
    if (!quiet_) StatusForm::Current().ShowMessage(text);
}

void ExportMessages::CloseProgress() noexcept { StatusForm::Unload(); }

void ExportMessages::ShowCompleted(std::wstring_view text) const noexcept {
    if (quiet_) return;
    ShowMessageBox(text, kind_ == Kind::Image ? kExportImageCaption : kExportCaption, MessageIcon::Information);
}

}  // namespace tarn
