// The buffered ANSI text stream and the windows-1252 table used where there is no system
// code page.
#include "common/ansi_text_stream.h"

#include <array>
#include <cstdio>

namespace tarn {

namespace {

// Unicode of the bytes 0x80..0x9F of windows-1252; the bytes 0xA0..0xFF are U+00A0..U+00FF.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int Windows1252Byte(char32_t c) noexcept {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
    return -1;
}

std::string DescribeCharacter(char32_t c) {
    char text[64];
    std::snprintf(text, sizeof text, "U+%04X is not in the ANSI code page", static_cast<unsigned>(c));
    return text;
}

}  // namespace

UnrepresentableCharacter::UnrepresentableCharacter(char32_t character, std::size_t position)
    : std::runtime_error(DescribeCharacter(character)), character_(character), position_(position) {}

void Windows1252Encoder::Append(std::wstring_view text, std::string& out) const {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int byte = Windows1252Byte(static_cast<char32_t>(text[i]));
        if (byte < 0) throw UnrepresentableCharacter(static_cast<char32_t>(text[i]), i);
        out += static_cast<char>(byte);
    }
}

AnsiTextStream::AnsiTextStream(std::unique_ptr<ByteSink> sink, std::unique_ptr<AnsiEncoder> encoder)
    : sink_(std::move(sink)), encoder_(std::move(encoder)) {
    buffer_.reserve(kBufferBytes);
}

AnsiTextStream::~AnsiTextStream() {
    if (closed_) return;
    try {
        Close();
    } catch (...) {
        // The caller is already leaving with its own error, or never closed the stream.
    }
}

void AnsiTextStream::Write(std::wstring_view text) { Append(text, {}); }

void AnsiTextStream::WriteLine(std::wstring_view text) { Append(text, L"\r\n"); }

void AnsiTextStream::Append(std::wstring_view text, std::wstring_view lineEnd) {
    if (closed_) throw std::logic_error("write to a closed text stream");
    const std::size_t before = buffer_.size();
    try {
        encoder_->Append(text, buffer_);
        // CR and LF are the same bytes in every ANSI code page: no encoder call for them.
        for (wchar_t c : lineEnd) buffer_ += static_cast<char>(c);
    } catch (...) {
        buffer_.resize(before);
        throw;
    }
    if (buffer_.size() >= kBufferBytes) Drain();
}

void AnsiTextStream::Drain() {
    if (buffer_.empty()) return;
    // Emptied even when the sink fails: bytes it refused are not offered twice.
    try {
        sink_->Write(buffer_);
    } catch (...) {
        buffer_.clear();
        throw;
    }
    buffer_.clear();
}

void AnsiTextStream::Close() {
    if (closed_) return;
    closed_ = true;
    Drain();
    sink_->Close();
}

}  // namespace tarn
