// The temporary page's name.
#include "html/temporary_page.h"

#include "common/file_names.h"

#include <cstdio>

namespace tarn {

std::wstring GeneralNumberText(float value, wchar_t decimal) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7G", static_cast<double>(value));
    std::wstring out;
    for (const char* c = text; *c; ++c) out += *c == '.' ? decimal : static_cast<wchar_t>(*c);
    return out;
}

std::wstring TemporaryPagePath(std::wstring_view target, std::uint32_t state, wchar_t decimal) {
    const float value = static_cast<float>(state) / 16777216.0f;
    return FolderOf(target) + L"\\SendToHTML" + GeneralNumberText(value * 100.0f, decimal) + L".htm";
}

}  // namespace tarn
