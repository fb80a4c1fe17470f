// Remembered combo box entries in the current user's settings, and completion while typing.
#include "ui/history_combo.h"

#include "common/registry_support.h"

#include <algorithm>

namespace tarn {

namespace {

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring EntryName(size_t index) { return L"Entry" + std::to_wstring(index + 1); }

}  // namespace

void HistoryCombo::Attach(HWND combo, std::wstring_view application, std::wstring_view list) {
    combo_ = combo;
    application_ = application;
    list_ = list;
}

void HistoryCombo::Load() {
    entries_.clear();
    for (size_t i = 0; i < kMaxEntries; ++i) {
        std::wstring entry = ReadSetting(application_, L"History " + list_, EntryName(i), L"", true);
        if (entry.empty()) break;
        entries_.push_back(std::move(entry));
    }
    FillList();
}

void HistoryCombo::Save() const noexcept {
    try {
        for (size_t i = 0; i < kMaxEntries; ++i)
            WriteSetting(application_, L"History " + list_, EntryName(i), i < entries_.size() ? entries_[i] : L"",
                         true);
    } catch (...) {
        // Out of memory for a name: the entries of this session are not kept.
    }
}

void HistoryCombo::Remember(std::wstring_view text) {
    if (text.empty()) return;
    std::erase_if(entries_, [&](const std::wstring& entry) { return SameText(entry, text); });
    entries_.insert(entries_.begin(), std::wstring(text));
    if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
    const std::wstring shown = Text();
    FillList();
    SetWindowTextW(combo_, shown.c_str());
}

std::wstring HistoryCombo::Text() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(combo_)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(combo_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void HistoryCombo::CompleteTyping() {
    if (completing_) return;
    const std::wstring typed = Text();
    const bool added = typed.size() > typedLength_;
    typedLength_ = typed.size();
    DWORD start = 0, end = 0;
    SendMessageW(combo_, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (!added || typed.empty() || end != typed.size()) return;
    const auto match = std::find_if(entries_.begin(), entries_.end(), [&](const std::wstring& entry) {
        return entry.size() > typed.size() && SameText(std::wstring_view(entry).substr(0, typed.size()), typed);
    });
    if (match == entries_.end()) return;
    completing_ = true;
    SetWindowTextW(combo_, (typed + match->substr(typed.size())).c_str());
    SendMessageW(combo_, CB_SETEDITSEL, 0, MAKELPARAM(typed.size(), -1));
    completing_ = false;
}

void HistoryCombo::FillList() {
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& entry : entries_)
        SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

}  // namespace tarn
