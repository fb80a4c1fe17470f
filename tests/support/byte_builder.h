// Bytes written field by field, for file headers and records built after a format's layout
// in the native tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarn::test {

class Bytes {
public:
    Bytes& Raw(std::string_view s) {
        b_.insert(b_.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& U8(unsigned v) {
        b_.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Bytes& Le16(unsigned v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& Le32(std::uint32_t v) { return Le16(v & 0xFFFF).Le16(v >> 16); }
    Bytes& Be16(unsigned v) { return U8(v >> 8).U8(v & 0xFF); }
    Bytes& Be32(std::uint32_t v) { return Be16(v >> 16).Be16(v & 0xFFFF); }
    Bytes& Zeros(std::size_t n) {
        b_.resize(b_.size() + n, 0);
        return *this;
    }
    std::size_t size() const { return b_.size(); }
    const std::vector<std::uint8_t>& get() const { return b_; }

private:
    std::vector<std::uint8_t> b_;
};

}  // namespace tarn::test
