// A combo box that remembers what was typed in it: entries per application and list name,
// most recent first, at most kMaxEntries, kept per user (under the current user's
// Software\Quillonsoft\<application>\History <list>), offered in its list and completed
// while typing.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class HistoryCombo {
public:
    static constexpr size_t kMaxEntries = 20;

    // The combo box (CBS_DROPDOWN) and where its entries are kept.
    void Attach(HWND combo, std::wstring_view application, std::wstring_view list);
    // Reads the remembered entries and puts them in the list.
    void Load();
    // Writes the entries back.
    void Save() const noexcept;
    // Puts `text` first (once, whatever its case), dropping the oldest past the limit.
    void Remember(std::wstring_view text);
    [[nodiscard]] std::wstring Text() const;
    // For the owner's CBN_EDITUPDATE: when characters were added at the end, completes
    // the text from the first entry that begins with it and selects the added part.
    void CompleteTyping();

    HWND hwnd() const noexcept { return combo_; }

private:
    void FillList();

    HWND combo_ = nullptr;
    std::wstring application_;
    std::wstring list_;
    std::vector<std::wstring> entries_;
    size_t typedLength_ = 0;
    bool completing_ = false;
};

}  // namespace tarn
