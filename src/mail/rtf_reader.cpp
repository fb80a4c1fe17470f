// RTF reading: a flat tokenizer over the input and an explicit stack of group states.
#include "mail/rtf_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <map>

namespace tarn {

namespace {

// windows-1252 for 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// What the text of the current group is for.
enum class Destination : std::uint8_t { Text, Skip, FontTable, ColorTable };

// Everything a group scopes. Kept small and free of allocations: 200,000 nested groups must
// cost no more than copying this struct as often.
struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    RtfAlignment alignment = RtfAlignment::Left;
    int font = -1;
    int halfPoints = 24;
    int color = 0;
    int unicodeSkip = 1;  // \uc
};

struct FontEntry {
    std::wstring name;
    unsigned codePage = 0;  // 0: the document's
};

constexpr size_t kMaxTableEntries = 4096;
constexpr size_t kMaxFontNameLength = 256;

unsigned CodePageOfCharset(int charset) {
    switch (charset) {
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        default: return 0;
    }
}

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Destinations whose text is never shown.
bool IsSkippedDestination(std::wstring_view word) {
    static constexpr std::wstring_view kSkipped[] = {
        L"stylesheet", L"info",      L"pict",      L"header",    L"headerl",   L"headerr",
        L"headerf",    L"footer",    L"footerl",   L"footerr",   L"footerf",   L"footnote",
        L"fldinst",    L"listtable", L"listoverridetable", L"revtbl", L"rsidtbl", L"filetbl",
        L"xmlnstbl",   L"themedata", L"colorschememapping", L"latentstyles", L"datastore",
        L"objdata",    L"pntext",    L"pntxta",    L"pntxtb",    L"listtext",  L"generator",
        L"object",     L"nonshppict", L"bkmkstart", L"bkmkend",   L"annotation", L"atnid",
        L"atnauthor",  L"comment",   L"doccomm",   L"author",    L"title",     L"subject",
        L"keywords",   L"operator",  L"company",   L"pgdsctbl",  L"shpinst",   L"sp",
        L"template",   L"userprops", L"wgrffmtfilter", L"mmathPr", L"defchp",  L"defpap"};
    return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

class Reader {
public:
    Reader(std::wstring_view input, const CodePageDecoder& decoder) : in_(input), decoder_(decoder) {
        document_.paragraphs.emplace_back();
    }

    RtfDocument Run() {
        stack_.push_back(GroupState{});
        while (pos_ < in_.size()) {
            wchar_t c = in_[pos_];
            if (c == L'{') {
                ++pos_;
                FlushBytes();
                skipping_ = 0;
                stack_.push_back(stack_.back());
                starDestination_ = false;
            } else if (c == L'}') {
                ++pos_;
                FlushBytes();
                skipping_ = 0;
                EndGroup();
                if (stack_.size() == 1) break;  // the document's own group has closed: the rest is not part of it
            } else if (c == L'\\') {
                ++pos_;
                ControlSequence();
            } else if (c == L'\r' || c == L'\n') {
                ++pos_;
            } else {
                ++pos_;
                if (Skip()) continue;
                if (c >= 0x80)
                    Emit(std::wstring(1, c));  // already a character: the host handed over decoded text
                else
                    pendingBytes_.push_back(static_cast<char>(c));
            }
        }
        FlushBytes();
        // Unbalanced input: close what is open.
        while (stack_.size() > 1) EndGroup();
        // A paragraph mark that ends the document closes its last paragraph instead of
        // opening an empty one, as in a rich-text control.
        auto& paragraphs = document_.paragraphs;
        if (paragraphs.size() > 1 && paragraphs.back().runs.empty()) paragraphs.pop_back();
        return std::move(document_);
    }

private:
    GroupState& State() { return stack_.back(); }

    bool Skip() {
        if (skipping_ > 0) {
            --skipping_;
            return true;
        }
        return false;
    }

    void EndGroup() {
        if (stack_.size() <= 1) return;  // a stray closing brace
        Destination ending = State().destination;
        if (ending == Destination::FontTable) FinishFontName();
        stack_.pop_back();
    }

    int ReadParameter(bool& has) {
        has = false;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == L'-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        long long value = 0;
        while (pos_ < in_.size() && IsDigit(in_[pos_])) {
            has = true;
            value = std::min<long long>(value * 10 + (in_[pos_] - L'0'), static_cast<long long>(INT_MAX) + 1);
            ++pos_;
        }
        if (negative) value = -value;
        return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
    }

    void ControlSequence() {
        if (pos_ >= in_.size()) return;
        wchar_t c = in_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
        std::wstring_view word = in_.substr(start, std::min<size_t>(pos_ - start, 32));
        bool hasParam = false;
        int param = ReadParameter(hasParam);
        if (pos_ < in_.size() && in_[pos_] == L' ') ++pos_;
        if (word == L"bin") {
            // Binary data follows: never text, whatever the destination.
            FlushBytes();
            size_t count = hasParam && param > 0 ? static_cast<size_t>(param) : 0;
            pos_ += std::min(count, in_.size() - pos_);
            return;
        }
        if (Skip()) return;
        ControlWord(word, hasParam, param);
    }

    void ControlSymbol(wchar_t c) {
        if (c == L'\'') {
            int high = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
            int low = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
            if (high < 0 || low < 0) {
                pos_ = std::min(pos_ + 2, in_.size());
                return;
            }
            pos_ += 2;
            if (Skip()) return;
            pendingBytes_.push_back(static_cast<char>(high * 16 + low));
            return;
        }
        if (c == L'*') {
            starDestination_ = true;
            return;
        }
        if (Skip()) return;
        switch (c) {
            case L'\\':
            case L'{':
            case L'}': pendingBytes_.push_back(static_cast<char>(c)); break;
            case L'~': Emit(L"\u00A0"); break;
            case L'_': Emit(L"\u2011"); break;
            case L'\r':
            case L'\n': EndParagraph(); break;
            case L'\t': Emit(L"\t"); break;
            default: break;  // \- optional hyphen, \| formula, \: index: nothing to show
        }
    }

    void ControlWord(std::wstring_view word, bool hasParam, int param) {
        // Bytes so far belong to the state before this word (and, in the tables, before it).
        FlushBytes();
        GroupState& s = State();
        const bool on = !hasParam || param != 0;
        if (starDestination_) {
            // "\*" marks a destination a reader may ignore; none of them holds visible text.
            starDestination_ = false;
            s.destination = Destination::Skip;
            return;
        }
        if (word == L"fonttbl") {
            s.destination = Destination::FontTable;
            return;
        }
        if (word == L"colortbl") {
            s.destination = Destination::ColorTable;
            colors_.clear();
            pendingColor_ = 0;
            pendingColorSet_ = false;
            return;
        }
        if (IsSkippedDestination(word)) {
            s.destination = Destination::Skip;
            return;
        }
        if (s.destination == Destination::FontTable) {
            FontTableWord(word, hasParam, param);
            return;
        }
        if (s.destination == Destination::ColorTable) {
            ColorTableWord(word, param);
            return;
        }
        if (s.destination == Destination::Skip) return;

        if (word == L"ansicpg") {
            if (hasParam && param > 0) documentCodePage_ = static_cast<unsigned>(param);
        } else if (word == L"uc") {
            s.unicodeSkip = std::clamp(hasParam ? param : 1, 0, 64);
        } else if (word == L"u") {
            int unit = param < 0 ? param + 65536 : param;
            Emit(std::wstring(1, static_cast<wchar_t>(unit & 0xFFFF)));
            skipping_ = s.unicodeSkip;
        } else if (word == L"par" || word == L"sect" || word == L"page" || word == L"row") {
            EndParagraph();
        } else if (word == L"line") {
            Emit(L"\n");
        } else if (word == L"tab" || word == L"cell" || word == L"nestcell") {
            // A nested table's cells read like any other; the paragraph mark in the
            // {\nonesttables\par} group that follows each of its rows ends the row.
            Emit(L"\t");
        } else if (word == L"emdash") {
            Emit(L"\u2014");
        } else if (word == L"endash") {
            Emit(L"\u2013");
        } else if (word == L"bullet") {
            Emit(L"\u2022");
        } else if (word == L"lquote") {
            Emit(L"\u2018");
        } else if (word == L"rquote") {
            Emit(L"\u2019");
        } else if (word == L"ldblquote") {
            Emit(L"\u201C");
        } else if (word == L"rdblquote") {
            Emit(L"\u201D");
        } else if (word == L"plain") {
            s.bold = s.italic = s.underline = false;
            s.font = defaultFont_;
            s.halfPoints = 24;
            s.color = 0;
        } else if (word == L"b") {
            s.bold = on;
        } else if (word == L"i") {
            s.italic = on;
        } else if (word == L"ul") {
            s.underline = on;
        } else if (word == L"ulnone") {
            s.underline = false;
        } else if (word == L"f") {
            s.font = hasParam ? param : -1;
        } else if (word == L"deff") {
            defaultFont_ = hasParam ? param : -1;
            s.font = defaultFont_;
        } else if (word == L"fs") {
            s.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24;
        } else if (word == L"cf") {
            s.color = hasParam ? param : 0;
        } else if (word == L"pard" || word == L"ql") {
            s.alignment = RtfAlignment::Left;
        } else if (word == L"qc") {
            s.alignment = RtfAlignment::Center;
        } else if (word == L"qr") {
            s.alignment = RtfAlignment::Right;
        } else if (word == L"qj") {
            s.alignment = RtfAlignment::Justify;
        }
    }

    void FontTableWord(std::wstring_view word, bool hasParam, int param) {
        if (word == L"f") {
            FinishFontName();
            currentFont_ = hasParam ? param : -1;
        } else if (word == L"fcharset") {
            if (currentFont_ >= 0 && (fonts_.size() < kMaxTableEntries || fonts_.count(currentFont_)))
                fonts_[currentFont_].codePage = CodePageOfCharset(param);
        }
    }

    void ColorTableWord(std::wstring_view word, int param) {
        std::uint32_t part = static_cast<std::uint32_t>(std::clamp(param, 0, 255));
        if (word == L"red" || word == L"green" || word == L"blue") pendingColorSet_ = true;
        if (word == L"red") pendingColor_ = (pendingColor_ & 0xFFFF00) | part;
        if (word == L"green") pendingColor_ = (pendingColor_ & 0xFF00FF) | (part << 8);
        if (word == L"blue") pendingColor_ = (pendingColor_ & 0x00FFFF) | (part << 16);
    }

    // Text inside the font and colour tables is consumed here rather than shown.
    void TableText(Destination destination, std::wstring_view text) {
        for (wchar_t c : text) {
            if (destination == Destination::ColorTable) {
                if (c == L';' && colors_.size() < kMaxTableEntries) {
                    colors_.push_back({pendingColorSet_, pendingColor_});
                    pendingColor_ = 0;
                    pendingColorSet_ = false;
                }
            } else if (c == L';') {
                FinishFontName();
            } else if (fontName_.size() < kMaxFontNameLength) {
                fontName_ += c;
            }
        }
    }

    void FinishFontName() {
        if (currentFont_ >= 0 && !fontName_.empty() &&
            (fonts_.size() < kMaxTableEntries || fonts_.count(currentFont_))) {
            while (!fontName_.empty() && fontName_.front() == L' ') fontName_.erase(fontName_.begin());
            fonts_[currentFont_].name = fontName_;
        }
        fontName_.clear();
    }

    unsigned CurrentCodePage() const {
        auto found = fonts_.find(stack_.back().font);
        if (found != fonts_.end() && found->second.codePage) return found->second.codePage;
        return documentCodePage_;
    }

    void FlushBytes() {
        if (pendingBytes_.empty()) return;
        std::string bytes;
        bytes.swap(pendingBytes_);
        Destination d = State().destination;
        if (d == Destination::Skip) return;
        std::wstring text = decoder_(CurrentCodePage(), bytes);
        if (d == Destination::FontTable || d == Destination::ColorTable)
            TableText(d, text);
        else
            Append(text);
    }

    // Text that is not code-page bytes: flush pending bytes first to keep the order.
    void Emit(std::wstring_view text) {
        FlushBytes();
        Destination d = State().destination;
        if (d == Destination::Skip) return;
        if (d == Destination::FontTable || d == Destination::ColorTable) {
            TableText(d, text);
            return;
        }
        Append(text);
    }

    RtfCharFormat CurrentFormat() const {
        const GroupState& s = stack_.back();
        RtfCharFormat f;
        auto font = fonts_.find(s.font);
        if (font != fonts_.end()) f.fontName = font->second.name;
        f.halfPoints = s.halfPoints;
        f.bold = s.bold;
        f.italic = s.italic;
        f.underline = s.underline;
        if (s.color >= 0 && static_cast<size_t>(s.color) < colors_.size() && colors_[s.color].first) {
            f.hasColor = true;
            f.color = colors_[s.color].second;
        }
        return f;
    }

    void Append(std::wstring_view text) {
        if (text.empty()) return;
        RtfParagraph& paragraph = document_.paragraphs.back();
        paragraph.alignment = State().alignment;
        RtfCharFormat format = CurrentFormat();
        if (paragraph.runs.empty() || !(paragraph.runs.back().format == format))
            paragraph.runs.push_back(RtfRun{std::wstring(), std::move(format)});
        paragraph.runs.back().text.append(text);
    }

    void EndParagraph() {
        FlushBytes();
        if (State().destination != Destination::Text) return;
        document_.paragraphs.back().alignment = State().alignment;
        document_.paragraphs.emplace_back();
    }

    std::wstring_view in_;
    const CodePageDecoder& decoder_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    RtfDocument document_;
    std::string pendingBytes_;
    int skipping_ = 0;
    bool starDestination_ = false;
    unsigned documentCodePage_ = 1252;
    int defaultFont_ = -1;
    std::map<int, FontEntry> fonts_;
    int currentFont_ = -1;
    std::wstring fontName_;
    std::vector<std::pair<bool, std::uint32_t>> colors_{{false, 0}};
    std::uint32_t pendingColor_ = 0;
    bool pendingColorSet_ = false;
};

RtfDocument PlainDocument(std::wstring_view text) {
    RtfDocument document;
    document.paragraphs.emplace_back();
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            document.paragraphs.emplace_back();
            continue;
        }
        auto& runs = document.paragraphs.back().runs;
        if (runs.empty()) runs.emplace_back();
        runs.back().text += c;
    }
    return document;
}

}  // namespace

std::wstring DecodeWindows1252(unsigned /*codePage*/, std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        text += (b >= 0x80 && b < 0xA0) ? static_cast<wchar_t>(kCp1252High[b - 0x80]) : static_cast<wchar_t>(b);
    }
    return text;
}

std::wstring RtfDocument::PlainText() const {
    std::wstring text;
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) text += L"\r\n";
        for (const RtfRun& run : paragraphs[p].runs) {
            for (wchar_t c : run.text) {
                if (c == L'\n')
                    text += L"\r\n";
                else
                    text += c;
            }
        }
    }
    return text;
}

RtfDocument ReadRtf(std::wstring_view input, const CodePageDecoder& decoder) {
    if (input.substr(0, 5) != L"{\\rtf") return PlainDocument(input);
    return Reader(input, decoder).Run();
}

}  // namespace tarn
