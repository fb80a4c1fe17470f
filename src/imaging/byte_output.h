// Where the picture writers put their bytes (a file stream on Windows, memory in tests),
// and a small buffer in front of it so that writers can emit byte by byte. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tarn {

// Receives a file's bytes in order; throws to abandon the file.
using ByteOutput = std::function<void(std::span<const std::uint8_t>)>;

class BufferedOutput {
public:
    explicit BufferedOutput(const ByteOutput& out) : out_(out) { buffer_.reserve(kChunk); }

    void Byte(std::uint8_t b) {
        buffer_.push_back(b);
        if (buffer_.size() >= kChunk) Flush();
    }
    void Bytes(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) Byte(b);
    }
    void Le16(unsigned v) {
        Byte(static_cast<std::uint8_t>(v & 0xFF));
        Byte(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    void Be16(unsigned v) {
        Byte(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        Byte(static_cast<std::uint8_t>(v & 0xFF));
    }
    // Hands the buffered bytes on; call once more after the last byte.
    void Flush() {
        if (!buffer_.empty()) out_(buffer_);
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    const ByteOutput& out_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace tarn
