// UTF-8 and the platform's UTF-16, both ways. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

std::string Utf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace tarn
