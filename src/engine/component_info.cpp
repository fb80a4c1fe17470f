// Version text and path helpers (portable part).
#include "engine/component_info.h"

namespace tarn {

std::wstring ShortVersionText(unsigned major, unsigned minor, unsigned /*build*/, unsigned revision) {
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(revision);
}

std::wstring PathWithoutExtension(std::wstring_view path) {
    size_t nameStart = path.find_last_of(L"\\/");
    nameStart = nameStart == std::wstring_view::npos ? 0 : nameStart + 1;
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos || dot < nameStart) return std::wstring(path);
    return std::wstring(path.substr(0, dot));
}

}  // namespace tarn
