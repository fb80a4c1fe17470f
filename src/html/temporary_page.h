// The name of the page an MHTML export has the HTML exporter write beside its target:
// "SendToHTML", a number from the classic BASIC generator, ".htm". Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// The classic BASIC generator's next state: a 24-bit linear congruential step. Its first
// state, before any value was drawn, is kClassicRandomSeed; state / 2^24 is the value.
inline constexpr std::uint32_t kClassicRandomSeed = 0x50000;
[[nodiscard]] constexpr std::uint32_t NextClassicRandom(std::uint32_t state) noexcept {
    return (state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
}

// A single-precision number in the general number format: up to seven significant digits,
// no trailing zeros, `decimal` as the separator ("70.55475", "1.401764").
[[nodiscard]] std::wstring GeneralNumberText(float value, wchar_t decimal);

// FolderOf(target), "\SendToHTML", the state's value times 100 in the general number
// format, ".htm". The folder already ends in a separator, so two stand in a row.
[[nodiscard]] std::wstring TemporaryPagePath(std::wstring_view target, std::uint32_t state, wchar_t decimal);

}  // namespace tarn
