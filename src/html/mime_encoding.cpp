// Body and header encodings of the MIME packer.
#include "html/mime_encoding.h"

#include <array>
#include <cstdio>

namespace tarn {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kQpLine = 76;
constexpr std::size_t kBase64Line = 76;
}  // namespace

void QuotedPrintableWriter::Flush() {
    sink_.Write(buffer_);
    buffer_.clear();
}

void QuotedPrintableWriter::Put(std::string_view bytes) {
    // Slices small enough that the worst case (a held blank, a soft break and an escape for
    // every byte) fits in the buffer's room, written through a pointer.
    constexpr std::size_t kSlice = 8192;
    for (std::size_t from = 0; from < bytes.size(); from += kSlice) {
        const std::string_view slice = bytes.substr(from, kSlice);
        std::size_t used = buffer_.size();
        buffer_.resize(used + slice.size() * 10 + 16);
        char* out = buffer_.data() + used;
        std::size_t column = column_;
        // One character or one "=XX", moved to a new line (soft break) when it would not fit
        // with the "=" a soft break needs.
        auto room = [&](std::size_t n) {
            if (column + n > kQpLine - 1) {
                *out++ = '=', *out++ = '\r', *out++ = '\n';
                column = 0;
            }
            column += n;
        };
        auto escaped = [&](unsigned char b) {
            room(3);
            *out++ = '=', *out++ = kHex[b >> 4], *out++ = kHex[b & 15];
        };
        auto blank = [&](bool atLineEnd) {
            if (!pendingBlank_) return;
            if (atLineEnd) {
                escaped(static_cast<unsigned char>(pendingBlank_));
            } else {
                room(1);
                *out++ = pendingBlank_;
            }
            pendingBlank_ = 0;
        };
        auto lineBreak = [&] {
            blank(true);
            *out++ = '\r', *out++ = '\n';
            column = 0;
        };
        for (const char c : slice) {
            const auto b = static_cast<unsigned char>(c);
            if (b > 32 && b < 127 && b != '=' && !pendingCr_) {
                if (pendingBlank_) blank(false);
                if (column >= kQpLine - 1) {
                    *out++ = '=', *out++ = '\r', *out++ = '\n';
                    column = 0;
                }
                ++column;
                *out++ = c;
                continue;
            }
            if (pendingCr_) {
                pendingCr_ = false;
                if (b == '\n') {
                    lineBreak();
                    continue;
                }
                blank(false);
                escaped('\r');
            }
            if (b == '\r') {
                pendingCr_ = true;
            } else if (b == '\n') {
                lineBreak();
            } else if (b == ' ' || b == '\t') {
                blank(false);
                pendingBlank_ = c;
            } else if (b > 32 && b < 127 && b != '=') {
                blank(false);
                room(1);
                *out++ = c;
            } else {
                blank(false);
                escaped(b);
            }
        }
        column_ = column;
        buffer_.resize(static_cast<std::size_t>(out - buffer_.data()));
        if (buffer_.size() >= kChunk) Flush();
    }
}

void QuotedPrintableWriter::Emit(std::string_view piece) {
    if (column_ + piece.size() > kQpLine - 1) {
        buffer_ += "=\r\n";
        column_ = 0;
    }
    buffer_ += piece;
    column_ += piece.size();
}

void QuotedPrintableWriter::Finish() {
    if (pendingCr_) {  // a lone CR at the end, after any blank held before it
        if (pendingBlank_) Emit(std::string_view(&pendingBlank_, 1));
        pendingBlank_ = 0;
        Emit("=0D");
        pendingCr_ = false;
    }
    if (pendingBlank_) Emit(pendingBlank_ == ' ' ? "=20" : "=09");
    pendingBlank_ = 0;
    Flush();
}

void Base64Writer::Quantum(unsigned char a, unsigned char b, unsigned char c, int count) {
    if (column_ == kBase64Line) {
        buffer_ += "\r\n";
        column_ = 0;
    }
    const unsigned v = (unsigned{a} << 16) | (unsigned{b} << 8) | c;
    const char out[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], count > 1 ? kBase64[(v >> 6) & 63] : '=',
                         count > 2 ? kBase64[v & 63] : '='};
    buffer_.append(out, 4);
    column_ += 4;
}

void Base64Writer::Put(std::string_view bytes) {
    auto data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    if (carried_ > 0) {
        for (; carried_ < 3 && n > 0; ++carried_, ++data, --n) carry_[carried_ % 3] = *data;
        if (carried_ < 3) return;
        Quantum(carry_[0], carry_[1], carry_[2], 3);
        carried_ = 0;
    }
    // Whole lines at a time once a line has begun on a quantum boundary.
    while (n >= 57 && column_ % kBase64Line == 0) {
        const std::size_t lines = std::min<std::size_t>(n / 57, kChunk / 78 + 1);
        std::size_t at = buffer_.size();
        buffer_.resize(at + lines * 78);
        char* out = buffer_.data() + at;
        for (std::size_t line = 0; line < lines; ++line) {
            if (column_ == kBase64Line) *out++ = '\r', *out++ = '\n';
            for (int q = 0; q < 19; ++q, data += 3) {
                const unsigned v = (unsigned{data[0]} << 16) | (unsigned{data[1]} << 8) | data[2];
                *out++ = kBase64[v >> 18];
                *out++ = kBase64[(v >> 12) & 63];
                *out++ = kBase64[(v >> 6) & 63];
                *out++ = kBase64[v & 63];
            }
            column_ = kBase64Line;
        }
        buffer_.resize(static_cast<std::size_t>(out - buffer_.data()));
        n -= lines * 57;
        if (buffer_.size() >= kChunk) {
            sink_.Write(buffer_);
            buffer_.clear();
        }
    }
    for (; n >= 3; data += 3, n -= 3) Quantum(data[0], data[1], data[2], 3);
    for (; n > 0; ++data, --n) carry_[carried_++ % 3] = *data;
    if (buffer_.size() >= kChunk) {
        sink_.Write(buffer_);
        buffer_.clear();
    }
}

void Base64Writer::Finish() {
    if (carried_ > 0) Quantum(carry_[0], carried_ > 1 ? carry_[1] : 0, 0, carried_);
    carried_ = 0;
    column_ = 0;
    sink_.Write(buffer_);
    buffer_.clear();
}

namespace {

bool PrintableAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) >= 127) return false;
    return true;
}

// Length of the UTF-8 sequence a lead byte starts (1 for anything else).
std::size_t SequenceLength(unsigned char b) { return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1; }

}  // namespace

std::string Base64Of(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += n > 1 ? kBase64[(v >> 6) & 63] : '=';
        out += n > 2 ? kBase64[v & 63] : '=';
    }
    return out;
}

std::string HeaderField(std::string_view name, std::string_view value) {
    std::string line(name);
    line += ':';
    std::size_t column = line.size();
    if (PrintableAscii(value)) {
        // Words joined by single blanks, a line broken before a word that would pass 78.
        std::size_t i = 0;
        bool first = true;
        while (i < value.size()) {
            std::size_t blanks = i;
            while (i < value.size() && value[i] == ' ') ++i;
            std::size_t end = i;
            while (end < value.size() && value[end] != ' ') ++end;
            if (end == i) break;
            const std::string_view word = value.substr(i, end - i);
            const std::size_t gap = first ? 1 : std::max<std::size_t>(1, i - blanks);
            if (!first && column + gap + word.size() > 78) {
                line += "\r\n";
                column = 0;
            }
            line.append(column == 0 ? 1 : gap, ' ');
            line += word;
            column += (column == 0 ? 1 : gap) + word.size();
            first = false;
            i = end;
        }
        return line + "\r\n";
    }
    // Encoded words of whole characters, each line at most 76 characters: "=?utf-8?B?",
    // base64 of whole characters, "?=".
    std::string text;
    for (const char c : value) text += (static_cast<unsigned char>(c) < 32) ? ' ' : c;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t room = 76 - (column + 1) - 12;  // after the blank and the word's frame
        const std::size_t bytes = room / 4 * 3;
        std::size_t end = i;
        while (end < text.size()) {
            const std::size_t n = SequenceLength(static_cast<unsigned char>(text[end]));
            if (end + n - i > bytes) break;
            end += n;
        }
        if (end == i) end = std::min(text.size(), i + SequenceLength(static_cast<unsigned char>(text[i])));
        const std::string word = "=?utf-8?B?" + Base64Of(std::string_view(text).substr(i, end - i)) + "?=";
        if (i > 0) line += "\r\n";
        line += " " + word;
        column = 0;
        i = end;
    }
    return line + "\r\n";
}

std::string MailDate(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{floor<seconds>(when - day)};
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %d %02d:%02d:%02d +0000", kDays[weekday{day}.c_encoding()],
                  static_cast<unsigned>(ymd.day()), kMonths[static_cast<unsigned>(ymd.month()) - 1],
                  static_cast<int>(ymd.year()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return text;
}

std::string ContentTypeOf(std::string_view b, std::string_view fileName) {
    using namespace std::literals;
    auto starts = [&](std::string_view magic, std::size_t at = 0) {
        return at <= b.size() && b.substr(at, magic.size()) == magic;
    };
    if (starts("GIF87a") || starts("GIF89a")) return "image/gif";
    if (starts("\x89PNG\r\n\x1A\n")) return "image/png";
    if (starts("\xFF\xD8\xFF")) return "image/jpeg";
    if (starts("II*\0"sv) || starts("MM\0*"sv)) return "image/tiff";
    if (starts("RIFF") && starts("WEBP", 8)) return "image/webp";
    if (starts(" EMF", 40) && starts("\x01\0\0\0"sv)) return "image/emf";
    if (starts("\xD7\xCD\xC6\x9A")) return "image/wmf";
    if (starts("\0\0\x01\0"sv)) return "image/x-icon";
    if (starts("BM")) return "image/bmp";
    std::string ext;
    if (const std::size_t dot = fileName.rfind('.'); dot != std::string_view::npos)
        for (const char c : fileName.substr(dot + 1)) ext += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    static constexpr std::pair<std::string_view, std::string_view> kByExtension[] = {
        {"gif", "image/gif"},    {"png", "image/png"},      {"jpg", "image/jpeg"},  {"jpeg", "image/jpeg"},
        {"bmp", "image/bmp"},    {"tif", "image/tiff"},     {"tiff", "image/tiff"}, {"webp", "image/webp"},
        {"ico", "image/x-icon"}, {"svg", "image/svg+xml"},  {"emf", "image/emf"},   {"wmf", "image/wmf"},
        {"css", "text/css"},     {"js", "text/javascript"}, {"htm", "text/html"},   {"html", "text/html"},
        {"txt", "text/plain"},   {"mp4", "video/mp4"},      {"mp3", "audio/mpeg"},  {"wav", "audio/wav"}};
    for (const auto& [e, type] : kByExtension)
        if (ext == e) return std::string(type);
    return "application/octet-stream";
}

}  // namespace tarn
