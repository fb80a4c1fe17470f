// The one place the component's message boxes come from: its captions and icons, and the
// rule that Quiet silences progress and completion messages but never error messages.
#pragma once

#include <windows.h>

#include <string_view>

namespace tarn {

inline constexpr wchar_t kExportCaption[] = L"Export";
inline constexpr wchar_t kExportImageCaption[] = L"Export Image";
inline constexpr wchar_t kErrorCaption[] = L"Quillon";

enum class MessageIcon : UINT {
    None = 0,
    Information = MB_ICONINFORMATION,
    Exclamation = MB_ICONEXCLAMATION,
    Critical = MB_ICONERROR,
};

// A message box with an OK button, modal to the host's active window (to the whole thread
// when it has none). Returns when the user has closed it.
void ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) noexcept;
// The same, modal to `owner` (one of the component's own windows).
void ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon, HWND owner) noexcept;

// A failure the user must hear about: "Quillon", exclamation icon. Quiet does not apply.
void ShowErrorMessage(std::wstring_view text) noexcept;

// What one export tells the user while it runs and when it ends. With `quiet`, progress
// and the completion message are left out; errors are always shown. The progress window
// is unloaded at the latest when this object goes, so error paths leave none behind.
class ExportMessages {
public:
    enum class Kind { File, Image };

    explicit ExportMessages(bool quiet, Kind kind = Kind::File) noexcept : quiet_(quiet), kind_(kind) {}
    ExportMessages(const ExportMessages&) = delete;
    ExportMessages& operator=(const ExportMessages&) = delete;
    ~ExportMessages() { CloseProgress(); }

    [[nodiscard]] bool quiet() const noexcept { return quiet_; }

    // The progress window's title, e.g. "Exporting to " and the file's name.
    void SetProgressTitle(std::wstring_view title);
    // Shows `text` in the progress window.
    void ShowProgress(std::wstring_view text);
    // Unloads the progress window (also when it was never shown).
    void CloseProgress() noexcept;
    // "Export" ("Export Image" for image exports) with the information icon.
    void ShowCompleted(std::wstring_view text) const noexcept;
    void ShowError(std::wstring_view text) const noexcept { ShowErrorMessage(text); }

private:
    bool quiet_;
    Kind kind_;
};

}  // namespace tarn
