// The encodings a MIME document is written in: quoted-printable and base64 bodies written
// as they stream through, header text (RFC 2047 encoded words, folding), dates (RFC 5322),
// and the content type of a file from its first bytes or its name. Portable.
#pragma once

#include "common/byte_sink.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tarn {

// Quoted-printable text (RFC 2045 6.7) with CRLF line ends: CR LF and a lone LF become
// line breaks, lines are at most 76 characters, blanks before a break are encoded.
class QuotedPrintableWriter {
public:
    explicit QuotedPrintableWriter(ByteSink& sink) : sink_(sink) { buffer_.reserve(kChunk + 8); }
    void Put(std::string_view bytes);
    // Writes what is held back. The last line is left without a line break.
    void Finish();

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    void Emit(std::string_view piece);  // for what Finish writes
    void Flush();

    ByteSink& sink_;
    std::string buffer_;
    std::size_t column_ = 0;
    bool pendingCr_ = false;
    char pendingBlank_ = 0;
};

// Base64 (RFC 2045 6.8) in lines of 76 characters separated by CR LF (the last one
// without: the boundary delimiter's CR LF ends it).
class Base64Writer {
public:
    explicit Base64Writer(ByteSink& sink) : sink_(sink) { buffer_.reserve(kChunk + 80); }
    void Put(std::string_view bytes);
    void Finish();

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void Quantum(unsigned char a, unsigned char b, unsigned char c, int count);

    ByteSink& sink_;
    std::string buffer_;
    unsigned char carry_[3] = {0, 0, 0};
    int carried_ = 0;
    std::size_t column_ = 0;
};

// A header field "Name: value" CRLF, the value folded at blanks to lines of at most 78
// characters; a value with characters outside printable ASCII is written as UTF-8 encoded
// words (RFC 2047 "B"), each at most 75 characters. `value` is UTF-8.
std::string HeaderField(std::string_view name, std::string_view value);

// Base64 of `bytes` in one line, without line breaks (RFC 4648).
std::string Base64Of(std::string_view bytes);

// An RFC 5322 date in UTC, such as "Sun, 06 Dec 2026 19:54:05 +0000".
std::string MailDate(std::chrono::system_clock::time_point when);

// The content type of a file: from its first bytes when they are a known picture format,
// else from its name's extension, else "application/octet-stream".
std::string ContentTypeOf(std::string_view firstBytes, std::string_view fileName);

}  // namespace tarn
