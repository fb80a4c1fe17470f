// File-name and path rules. Case is ignored the way the component's hosts ignore it for
// file names: ASCII and Latin-1 letters fold; other scripts compare exactly.
#include "common/file_names.h"

#include <vector>

namespace tarn {

namespace {

constexpr wchar_t FoldCase(wchar_t c) noexcept {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + (L'a' - L'A'));
    // Latin-1 capitals À..Þ, except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
    return c;
}

bool SameText(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool ContainsText(std::wstring_view text, std::wstring_view part) noexcept {
    if (part.size() > text.size()) return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (SameText(text.substr(i, part.size()), part)) return true;
    return false;
}

std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> items;
    for (;;) {
        size_t end = text.find(separator);
        items.push_back(text.substr(0, end));
        if (end == std::wstring_view::npos) return items;
        text.remove_prefix(end + 1);
    }
}

// The extension as the file system object reports it: after the last "." of the last
// path element, empty when that element has no ".".
std::wstring_view ExtensionOf(std::wstring_view path) noexcept {
    size_t element = path.find_last_of(L"\\/:");
    std::wstring_view name = element == std::wstring_view::npos ? path : path.substr(element + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

// Upper case as the system maps it, for the one question SafeFileName asks: does the
// character become A..Z? Besides a..z, only dotless i and long s do.
constexpr wchar_t UpperForSafeName(wchar_t c) noexcept {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - (L'a' - L'A'));
    if (c == 0x0131) return L'I';
    if (c == 0x017F) return L'S';
    return c;
}

}  // namespace

std::wstring EnsureExtension(std::wstring_view path, std::wstring_view extensions) {
    std::vector<std::wstring_view> accepted = Split(extensions, L';');
    std::wstring_view extension = ExtensionOf(path);
    for (std::wstring_view item : accepted)
        if (SameText(extension, item)) return std::wstring(path);
    std::wstring result(path);
    result += L'.';
    result += accepted.front();
    return result;
}

std::wstring FileNameOf(std::wstring_view path, bool stripExtension) {
    std::wstring name(path);
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    if (size_t slash = name.rfind(L'\\'); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (size_t colon = name.rfind(L':'); colon != std::wstring::npos) name.erase(0, colon + 1);
    if (stripExtension)
        if (size_t dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring FolderOf(std::wstring_view path) {
    if (size_t slash = path.rfind(L'\\'); slash != std::wstring_view::npos)
        return std::wstring(path.substr(0, slash + 1));
    if (size_t colon = path.rfind(L':'); colon != std::wstring_view::npos)
        return std::wstring(path.substr(0, colon + 1));
    return L".\\";
}

std::wstring SafeFileName(std::wstring_view name, std::wstring_view fallback) {
    if (name.empty()) return std::wstring(fallback);
    std::wstring safe(name);
    for (wchar_t& c : safe) {
        const wchar_t upper = UpperForSafeName(c);
        const bool kept = (upper >= L'A' && upper <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L'-' ||
                          c == L'.' || c == L'@';
        if (!kept) c = L'_';
    }
    return safe;
}

unsigned PreselectedFilterIndex(std::wstring_view filter, std::wstring_view defaultExt) {
    std::vector<std::wstring_view> items = Split(filter, L'|');
    unsigned index = 0;
    for (size_t i = 1; i < items.size(); i += 2)
        if (ContainsText(items[i], defaultExt)) index = static_cast<unsigned>((i + 1) / 2);
    return index;
}

std::wstring DialogFilterList(std::wstring_view filter) {
    if (filter.empty()) return {};
    std::wstring list(filter);
    for (wchar_t& c : list)
        if (c == L'|') c = L'\0';
    list += L'\0';
    list += L'\0';
    return list;
}

}  // namespace tarn
