// The text stream every text export writes through: UTF-16 in, bytes of the system's
// ANSI code page out, lines ended by CR LF, writes buffered so memory stays flat however
// many lines are written. Portable; the code page is a seam (AnsiEncoder).
#pragma once

#include "common/byte_sink.h"

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarn {

// Turns UTF-16 text into the bytes of one 8-bit code page.
class AnsiEncoder {
public:
    virtual ~AnsiEncoder() = default;
    // Appends the bytes of `text` to `out`. A character the code page cannot hold is an
    // error: the encoder throws (the stream keeps nothing of that write), because a
    // stand-in character would silently change the exported data.
    virtual void Append(std::wstring_view text, std::string& out) const = 0;
};

// Thrown by Windows1252Encoder for a character outside windows-1252.
class UnrepresentableCharacter : public std::runtime_error {
public:
    UnrepresentableCharacter(char32_t character, std::size_t position);
    char32_t character() const noexcept { return character_; }
    // Index of the character in the text of the failing write.
    std::size_t position() const noexcept { return position_; }

private:
    char32_t character_;
    std::size_t position_;
};

// windows-1252 exactly as Windows maps it (its five unassigned bytes carry the C1 controls
// of the same numbers), without best-fit substitutes. Stands in for the system's ANSI
// code page where there is no system.
class Windows1252Encoder final : public AnsiEncoder {
public:
    void Append(std::wstring_view text, std::string& out) const override;
};

class AnsiTextStream {
public:
    static constexpr std::size_t kBufferBytes = 64 * 1024;

    AnsiTextStream(std::unique_ptr<ByteSink> sink, std::unique_ptr<AnsiEncoder> encoder);
    AnsiTextStream(const AnsiTextStream&) = delete;
    AnsiTextStream& operator=(const AnsiTextStream&) = delete;
    // Keeps what was written so far: an export that ends in an error leaves its partial
    // file on disk. Errors at this point have nobody to go to and are dropped.
    ~AnsiTextStream();

    // Writes `text` as it is; a write that throws leaves nothing of itself in the stream.
    void Write(std::wstring_view text);
    // Writes `text` followed by CR LF.
    void WriteLine(std::wstring_view text = {});
    // Writes out the buffer and closes the sink; throws when the bytes could not be kept.
    // Further writes are errors.
    void Close();

private:
    void Append(std::wstring_view text, std::wstring_view lineEnd);
    void Drain();

    std::unique_ptr<ByteSink> sink_;
    std::unique_ptr<AnsiEncoder> encoder_;
    std::string buffer_;
    bool closed_ = false;
};

}  // namespace tarn
