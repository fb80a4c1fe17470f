// Compares written bytes with the expected ones and tells where they first differ, with
// the bytes around that place, so a failing record test points at the field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::test {

inline std::string HexAround(std::string_view bytes, std::size_t at) {
    std::string text;
    const std::size_t from = at < 8 ? 0 : at - 8;
    for (std::size_t i = from; i < bytes.size() && i < at + 8; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, i == at ? "[%02X] " : "%02X ", static_cast<std::uint8_t>(bytes[i]));
        text += hex;
    }
    return text;
}

inline ::testing::AssertionResult SameBytes(std::string_view actual, const std::vector<std::uint8_t>& expected) {
    const std::string_view want(reinterpret_cast<const char*>(expected.data()), expected.size());
    std::size_t at = 0;
    while (at < actual.size() && at < want.size() && actual[at] == want[at]) ++at;
    if (at == actual.size() && at == want.size()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "first difference at byte " << at << " (of " << actual.size()
                                         << " written, " << want.size()
                                         << " expected)\n  written:  " << HexAround(actual, at)
                                         << "\n  expected: " << HexAround(want, at);
}

}  // namespace tarn::test
