// Finding what an HTML page refers to by "src": a streaming scanner that is fed the page's
// bytes in pieces of any size and reports every src attribute value with its byte range,
// the page's declared character set and its title; and the decoding of such a value into
// the text it stands for. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// One src attribute value as it stands in the page.
struct SourceAttribute {
    std::uint64_t begin = 0;  // offset of its first byte: the opening quote when quoted
    std::uint64_t end = 0;    // offset after its last byte: after the closing quote
    std::string raw;          // the bytes between the quotes, undecoded
};

// A tag-level reading of HTML that needs no more memory than one value: markup inside
// comments, declarations, scripts, styles, titles and text areas is not taken for tags,
// and values longer than kMaxValue bytes are not reported.
class HtmlReferenceScanner {
public:
    static constexpr std::size_t kMaxValue = 8192;
    using Found = std::function<void(const SourceAttribute&)>;

    // The next bytes of the page; `found` hears of each src value they complete.
    void Feed(std::string_view bytes, const Found& found);
    // The page has ended (an unquoted value running to the end completes).
    void Finish(const Found& found);

    // Where a src value that has begun but not yet ended begins, if one has.
    [[nodiscard]] std::optional<std::uint64_t> OpenValueBegin() const noexcept;
    // The charset a <meta> declared (lower case), or empty.
    [[nodiscard]] const std::string& declaredCharset() const noexcept { return charset_; }
    // The bytes of the first <title> element's text, at most 1024 of them.
    [[nodiscard]] std::string title() const;

private:
    enum class State {
        Data,
        TagOpen,
        EndTagOpen,
        TagName,
        BeforeAttrName,
        AttrName,
        AfterAttrName,
        BeforeValue,
        ValueDouble,
        ValueSingle,
        ValueUnquoted,
        AfterValue,
        MarkupOpen,
        MarkupDash,
        Comment,
        Bogus,
        RawText
    };
    void Step(char c, const Found& found);
    void StartAttribute(char c);
    void BeginValue(char quote);
    void EndValue(std::uint64_t end, const Found& found);
    void EndTag();

    State state_ = State::Data;
    std::uint64_t offset_ = 0;
    std::string tag_;
    bool endTag_ = false;
    std::string attr_;
    std::string value_;
    std::uint64_t valueBegin_ = 0;
    bool capturing_ = false;  // the value is a src value still short enough to report
    int dashes_ = 0;
    std::string rawEnd_;  // the element whose end tag ends raw text
    std::size_t rawMatch_ = 0;
    // The <meta> being read.
    std::string httpEquiv_;
    std::string content_;
    std::string metaCharset_;
    std::string charset_;
    bool inTitle_ = false;
    bool titleDone_ = false;
    std::string title_;
};

// The character sets whose bytes references are read in; every other one is taken as
// windows-1252, which keeps ASCII references right.
enum class PageCharset { Windows1252, Utf8 };
PageCharset PageCharsetOf(std::string_view label);

// The text a src value stands for, in UTF-8: the page's bytes decoded, character
// references replaced, tabs and line breaks removed and surrounding blanks trimmed (as a
// browser reads a URL from an attribute).
std::string DecodeAttributeValue(std::string_view raw, PageCharset charset);

// The bytes as UTF-8 text, read as windows-1252 unless `charset` is UTF-8 (invalid
// sequences then become U+FFFD).
std::string ToUtf8(std::string_view bytes, PageCharset charset);

}  // namespace tarn
