// The src scanner is a reduced form of the HTML tokenizer's states: enough to know where
// tags, attribute values, comments and raw-text elements begin and end.
#include "html/html_references.h"

#include <array>
#include <cstring>

namespace tarn {

namespace {

constexpr std::size_t kMaxName = 32;
constexpr std::size_t kMaxTitle = 1024;
constexpr std::size_t kMaxMeta = 256;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void AppendCapped(std::string& s, char c, std::size_t cap) {
    if (s.size() <= cap) s += c;  // one past the cap marks an over-long name
}

// The charset named in a Content-Type value such as "text/html;charset=windows-1252".
std::string CharsetParameter(std::string_view content) {
    std::string lower;
    for (char c : content) lower += Lower(c);
    const std::size_t at = lower.find("charset");
    if (at == std::string::npos) return {};
    std::size_t i = at + 7;
    while (i < lower.size() && IsSpace(lower[i])) ++i;
    if (i >= lower.size() || lower[i] != '=') return {};
    ++i;
    while (i < lower.size() && (IsSpace(lower[i]) || lower[i] == '"' || lower[i] == '\'')) ++i;
    std::string value;
    while (i < lower.size() && !IsSpace(lower[i]) && lower[i] != ';' && lower[i] != '"' && lower[i] != '\'')
        value += lower[i++];
    return value;
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    std::string lower;
    for (char c : s) lower += Lower(c);
    return lower;
}

}  // namespace

void HtmlReferenceScanner::Feed(std::string_view bytes, const Found& found) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        // Runs that only one character can end are skipped (or taken) whole.
        char stop = 0;
        if (state_ == State::Data || (state_ == State::RawText && rawMatch_ == 0 && !inTitle_))
            stop = '<';
        else if (state_ == State::ValueDouble)
            stop = '"';
        else if (state_ == State::ValueSingle)
            stop = '\'';
        if (stop) {
            const auto* at = static_cast<const char*>(std::memchr(p, stop, static_cast<std::size_t>(end - p)));
            const char* to = at ? at : end;
            if (capturing_) {
                value_.append(p, static_cast<std::size_t>(to - p));
                if (value_.size() > kMaxValue) capturing_ = false, value_.clear();
            }
            offset_ += static_cast<std::uint64_t>(to - p);
            p = to;
            if (p == end) break;
        }
        Step(*p++, found);
        ++offset_;
    }
}

void HtmlReferenceScanner::Finish(const Found& found) {
    if (state_ == State::ValueUnquoted) EndValue(offset_, found);
    capturing_ = false;
    state_ = State::Data;
}

std::optional<std::uint64_t> HtmlReferenceScanner::OpenValueBegin() const noexcept {
    if (capturing_) return valueBegin_;
    return std::nullopt;
}

std::string HtmlReferenceScanner::title() const {
    return title_.size() > kMaxTitle ? title_.substr(0, kMaxTitle) : title_;
}

void HtmlReferenceScanner::StartAttribute(char c) {
    attr_.clear();
    AppendCapped(attr_, Lower(c), kMaxName);
    state_ = State::AttrName;
}

void HtmlReferenceScanner::BeginValue(char quote) {
    value_.clear();
    valueBegin_ = offset_;
    capturing_ = !endTag_ && (attr_ == "src" ||
                              (tag_ == "meta" && (attr_ == "charset" || attr_ == "http-equiv" || attr_ == "content")));
    state_ = quote == '"' ? State::ValueDouble : quote == '\'' ? State::ValueSingle : State::ValueUnquoted;
}

void HtmlReferenceScanner::EndValue(std::uint64_t end, const Found& found) {
    if (capturing_) {
        if (attr_ == "src") {
            found(SourceAttribute{valueBegin_, end, value_});
        } else if (value_.size() <= kMaxMeta) {
            (attr_ == "charset" ? metaCharset_ : attr_ == "content" ? content_ : httpEquiv_) = value_;
        }
    }
    capturing_ = false;
    value_.clear();
}

void HtmlReferenceScanner::EndTag() {
    state_ = State::Data;
    if (endTag_) {
        if (tag_ == "title" && inTitle_) inTitle_ = false, titleDone_ = true;
        return;
    }
    if (tag_ == "meta" && charset_.empty()) {
        if (!metaCharset_.empty())
            charset_ = Trimmed(metaCharset_);
        else if (Trimmed(httpEquiv_) == "content-type")
            charset_ = CharsetParameter(content_);
    }
    httpEquiv_.clear();
    content_.clear();
    metaCharset_.clear();
    if (tag_ == "script" || tag_ == "style" || tag_ == "textarea" || tag_ == "title" || tag_ == "xmp") {
        rawEnd_ = tag_;
        rawMatch_ = 0;
        state_ = State::RawText;
        if (tag_ == "title" && !titleDone_) inTitle_ = true;
    }
}

void HtmlReferenceScanner::Step(char c, const Found& found) {
    switch (state_) {
        case State::Data:
            if (c == '<') state_ = State::TagOpen;
            return;
        case State::TagOpen:
            if (IsAlpha(c)) {
                tag_.assign(1, Lower(c));
                endTag_ = false;
                state_ = State::TagName;
            } else if (c == '!') {
                state_ = State::MarkupOpen;
            } else if (c == '/') {
                state_ = State::EndTagOpen;
            } else if (c == '?') {
                state_ = State::Bogus;
            } else {
                state_ = c == '<' ? State::TagOpen : State::Data;
            }
            return;
        case State::EndTagOpen:
            if (IsAlpha(c)) {
                tag_.assign(1, Lower(c));
                endTag_ = true;
                state_ = State::TagName;
            } else {
                state_ = c == '>' ? State::Data : State::Bogus;
            }
            return;
        case State::TagName:
            if (IsSpace(c) || c == '/')
                state_ = State::BeforeAttrName;
            else if (c == '>')
                EndTag();
            else
                AppendCapped(tag_, Lower(c), kMaxName);
            return;
        case State::BeforeAttrName:
            if (c == '>')
                EndTag();
            else if (!IsSpace(c) && c != '/')
                StartAttribute(c);
            return;
        case State::AttrName:
            if (IsSpace(c))
                state_ = State::AfterAttrName;
            else if (c == '/')
                state_ = State::BeforeAttrName;
            else if (c == '=')
                state_ = State::BeforeValue;
            else if (c == '>')
                EndTag();
            else
                AppendCapped(attr_, Lower(c), kMaxName);
            return;
        case State::AfterAttrName:
            if (c == '=')
                state_ = State::BeforeValue;
            else if (c == '/')
                state_ = State::BeforeAttrName;
            else if (c == '>')
                EndTag();
            else if (!IsSpace(c))
                StartAttribute(c);
            return;
        case State::BeforeValue:
            if (c == '"' || c == '\'') {
                BeginValue(c);
            } else if (c == '>') {
                EndTag();
            } else if (!IsSpace(c)) {
                BeginValue(0);
                value_ += c;
            }
            return;
        case State::ValueDouble:
        case State::ValueSingle:
            if (c == (state_ == State::ValueDouble ? '"' : '\'')) {
                EndValue(offset_ + 1, found);
                state_ = State::AfterValue;
            } else if (capturing_) {
                value_ += c;
                if (value_.size() > kMaxValue) capturing_ = false;
            }
            return;
        case State::ValueUnquoted:
            if (IsSpace(c)) {
                EndValue(offset_, found);
                state_ = State::BeforeAttrName;
            } else if (c == '>') {
                EndValue(offset_, found);
                EndTag();
            } else if (capturing_) {
                value_ += c;
                if (value_.size() > kMaxValue) capturing_ = false;
            }
            return;
        case State::AfterValue:
            if (c == '>')
                EndTag();
            else if (IsSpace(c) || c == '/')
                state_ = State::BeforeAttrName;
            else
                StartAttribute(c);
            return;
        case State::MarkupOpen: state_ = c == '-' ? State::MarkupDash : c == '>' ? State::Data : State::Bogus; return;
        case State::MarkupDash:
            if (c == '-') {
                dashes_ = 0;
                state_ = State::Comment;
            } else {
                state_ = c == '>' ? State::Data : State::Bogus;
            }
            return;
        case State::Comment:
            if (c == '>' && dashes_ >= 2) state_ = State::Data;
            dashes_ = c == '-' ? dashes_ + 1 : 0;
            return;
        case State::Bogus:
            if (c == '>') state_ = State::Data;
            return;
        case State::RawText: {
            if (inTitle_ && title_.size() <= kMaxTitle + kMaxName) title_ += c;
            // Looking for "</" and the element's name, then a blank, "/" or ">".
            if (rawMatch_ >= 2 && rawMatch_ - 2 == rawEnd_.size()) {
                if (IsSpace(c) || c == '/' || c == '>') {
                    if (inTitle_ && title_.size() <= kMaxTitle + kMaxName)
                        title_.resize(title_.size() - rawEnd_.size() - 3);
                    tag_ = rawEnd_;
                    endTag_ = true;
                    if (c == '>')
                        EndTag();
                    else
                        state_ = State::BeforeAttrName;
                    return;
                }
                rawMatch_ = 0;
            }
            if (c == '<')
                rawMatch_ = 1;
            else if (rawMatch_ == 1 && c == '/')
                rawMatch_ = 2;
            else if (rawMatch_ >= 2 && Lower(c) == rawEnd_[rawMatch_ - 2])
                ++rawMatch_;
            else
                rawMatch_ = 0;
            return;
        }
    }
}

PageCharset PageCharsetOf(std::string_view label) {
    std::string lower;
    for (char c : label) lower += Lower(c);
    return lower == "utf-8" || lower == "utf8" ? PageCharset::Utf8 : PageCharset::Windows1252;
}

namespace {

// windows-1252's characters for 0x80 to 0x9F (undefined ones map to the C1 control).
constexpr std::array<char16_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The next character of UTF-8 text, U+FFFD for a byte that starts no valid sequence.
char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0 || i + extra > s.size()) return 0xFFFD;
    char32_t cp = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        const auto n = static_cast<unsigned char>(s[i + k]);
        if ((n & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (n & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    i += extra;
    return cp;
}

char32_t Windows1252(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b; }

// A character reference starting at s[i] ("&"): its character, with `i` moved past it;
// nothing when the text there is none.
std::optional<char32_t> CharacterReference(std::string_view s, std::size_t& i) {
    std::size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        ++j;
        const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex) ++j;
        char32_t cp = 0;
        std::size_t digits = 0;
        for (; j < s.size(); ++j, ++digits) {
            const char c = s[j];
            int d = c >= '0' && c <= '9'                        ? c - '0'
                    : hex && Lower(c) >= 'a' && Lower(c) <= 'f' ? Lower(c) - 'a' + 10
                                                                : -1;
            if (d < 0) break;
            cp = cp > 0x10FFFF ? cp : cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
        }
        if (digits == 0) return std::nullopt;
        if (j < s.size() && s[j] == ';') ++j;
        i = j;
        return cp;
    }
    static constexpr std::pair<std::string_view, char32_t> kNamed[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}, {"nbsp;", 0xA0}};
    for (const auto& [name, cp] : kNamed) {
        if (s.substr(i + 1, name.size()) == name) {
            i += 1 + name.size();
            return cp;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ToUtf8(std::string_view bytes, PageCharset charset) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (charset == PageCharset::Utf8)
            AppendUtf8(out, NextUtf8(bytes, i));
        else
            AppendUtf8(out, Windows1252(static_cast<unsigned char>(bytes[i++])));
    }
    return out;
}

std::string DecodeAttributeValue(std::string_view raw, PageCharset charset) {
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            if (std::optional<char32_t> cp = CharacterReference(raw, i)) {
                AppendUtf8(out, *cp);
                continue;
            }
        }
        if (raw[i] == '\t' || raw[i] == '\n' || raw[i] == '\r') {
            ++i;
            continue;
        }
        if (charset == PageCharset::Utf8)
            AppendUtf8(out, NextUtf8(raw, i));
        else
            AppendUtf8(out, Windows1252(static_cast<unsigned char>(raw[i++])));
    }
    std::size_t first = 0;
    std::size_t last = out.size();
    while (first < last && static_cast<unsigned char>(out[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(out[last - 1]) <= ' ') --last;
    return out.substr(first, last - first);
}

}  // namespace tarn
