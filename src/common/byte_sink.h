// The one output seam of the component's writers: a sink takes bytes in order (a file or a
// stream on Windows, memory in tests) and counts them, so a writer knows the offset of
// what it writes next (a PDF file's cross-reference table lists them). BufferedOutput
// sits in front of a sink for writers that emit byte by byte. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Writes every byte or throws.
    void Write(std::string_view bytes) {
        Put(bytes);
        written_ += bytes.size();
    }
    void Write(std::span<const std::uint8_t> bytes) {
        Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // The bytes written so far: the offset of the next one.
    [[nodiscard]] std::uint64_t Tell() const noexcept { return written_; }
    // Ends the output: the sink takes no more bytes. Throws when the last bytes could not
    // be kept.
    void Close() { Finish(); }

protected:
    virtual void Put(std::string_view bytes) = 0;
    virtual void Finish() = 0;

private:
    std::uint64_t written_ = 0;
};

// Keeps the bytes in memory.
class MemorySink final : public ByteSink {
public:
    [[nodiscard]] const std::string& bytes() const noexcept { return bytes_; }

protected:
    void Put(std::string_view bytes) override { bytes_ += bytes; }
    void Finish() override {}

private:
    std::string bytes_;
};

// A buffer in front of a sink, for writers that emit byte by byte.
class BufferedOutput {
public:
    explicit BufferedOutput(ByteSink& sink) : sink_(sink) { buffer_.reserve(kChunk); }

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
    // The offset of the next byte in the sink's output.
    [[nodiscard]] std::uint64_t Tell() const noexcept { return sink_.Tell() + buffer_.size(); }
    // Hands the buffered bytes on; call once more after the last byte.
    void Flush() {
        if (!buffer_.empty()) sink_.Write(buffer_);
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    ByteSink& sink_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace tarn
