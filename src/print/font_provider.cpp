#include "print/font_provider.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace tarn::pages {
namespace {

std::string Lower(std::string_view text) {
    std::string out;
    for (const char c : text) out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::string LowerAscii(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        if (c < 0x80) out += static_cast<char>(c);
    }
    return Lower(out);
}

// Windows families and the metric-compatible families that stand in for them.
constexpr std::pair<std::string_view, std::string_view> kSubstitutes[] = {
    {"arial", "liberation sans"},         {"helvetica", "liberation sans"},
    {"ms sans serif", "liberation sans"}, {"microsoft sans serif", "liberation sans"},
    {"tahoma", "liberation sans"},        {"verdana", "liberation sans"},
    {"segoe ui", "liberation sans"},      {"courier new", "liberation mono"},
    {"courier", "liberation mono"},       {"lucida console", "liberation mono"},
    {"consolas", "liberation mono"},      {"times new roman", "liberation serif"},
    {"times", "liberation serif"},
};
constexpr std::string_view kDefaults[] = {"liberation sans", "arial", "dejavu sans"};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    std::string data(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size < 0 || !in.seekg(0) || !in.read(data.data(), size))
        throw FontError("The font file " + path.string() + " cannot be read.");
    return data;
}

// The characters of a wide string as CodePoints gives them, one by one, without a copy.
class CodePointView {
public:
    explicit CodePointView(std::wstring_view text) : text_(text) {}
    struct Sentinel {};
    class Iterator {
    public:
        explicit Iterator(std::wstring_view text) : text_(text) { Read(); }
        char32_t operator*() const { return c_; }
        Iterator& operator++() {
            text_.remove_prefix(length_);
            Read();
            return *this;
        }
        bool operator!=(Sentinel) const { return length_ != 0; }

    private:
        void Read() {
            length_ = text_.empty() ? 0 : 1;
            if (text_.empty()) return;
            const auto c = static_cast<char32_t>(text_[0]);
            if constexpr (sizeof(wchar_t) == 2) {
                if (c >= 0xD800 && c <= 0xDBFF && text_.size() > 1) {
                    const auto low = static_cast<char32_t>(text_[1]);
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        c_ = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                        length_ = 2;
                        return;
                    }
                }
            }
            c_ = (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? U'\uFFFD' : c;
        }
        std::wstring_view text_;
        char32_t c_ = 0;
        std::size_t length_ = 0;
    };
    Iterator begin() const { return Iterator(text_); }
    Sentinel end() const { return {}; }

private:
    std::wstring_view text_;
};

}  // namespace

std::u32string CodePoints(std::wstring_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    out += 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                    continue;
                }
            }
        }
        out += (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? U'\uFFFD' : c;
    }
    return out;
}

FontFolderProvider::FontFolderProvider(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {}

std::vector<std::filesystem::path> FontFolderProvider::SystemFolders() {
    return {"/usr/share/fonts/truetype", "/usr/local/share/fonts"};
}

void FontFolderProvider::Index() {
    if (indexed_) return;
    indexed_ = true;
    std::vector<std::filesystem::path> files;
    for (const auto& folder : folders_) {
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            const std::string extension = Lower(it->path().extension().string());
            if (it->is_regular_file(error) && (extension == ".ttf" || extension == ".ttc")) files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        try {
            const std::string data = ReadFile(file);
            const unsigned faces = data.size() >= 12 && data.compare(0, 4, "ttcf") == 0
                                       ? (static_cast<unsigned>(static_cast<std::uint8_t>(data[10])) << 8) |
                                             static_cast<std::uint8_t>(data[11])
                                       : 1;
            for (unsigned face = 0; face < faces; ++face) {
                const auto font = TrueTypeFont::FromFile(data, face);
                families_[Lower(font->FamilyName())].push_back({file, face, font->Bold(), font->Italic(), nullptr});
            }
        } catch (const FontError&) {
            // Not a font this writer can embed (PostScript outlines, damaged): not offered.
        }
    }
}

FontFace FontFolderProvider::Pick(std::vector<Entry>& family, bool bold, bool italic) {
    Entry* best = &family.front();
    int bestScore = 99;
    for (Entry& entry : family) {
        const int score = 2 * (entry.bold != bold) + (entry.italic != italic) + 4 * (entry.bold && !bold) +
                          4 * (entry.italic && !italic);
        if (score < bestScore) bestScore = score, best = &entry;
    }
    if (!best->font) best->font = TrueTypeFont::FromFile(ReadFile(best->file), best->face);
    return {best->font, bold && !best->bold, italic && !best->italic};
}

FontFace FontFolderProvider::Find(const std::wstring& name, bool bold, bool italic) {
    const std::lock_guard lock(mutex_);
    Index();
    std::string key = LowerAscii(name);
    auto found = families_.find(key);
    if (found == families_.end()) {
        for (const auto& [windows, substitute] : kSubstitutes) {
            if (key == windows) found = families_.find(std::string(substitute));
        }
    }
    for (const std::string_view fallback : kDefaults) {
        if (found == families_.end()) found = families_.find(std::string(fallback));
    }
    if (found == families_.end()) found = families_.begin();
    if (found == families_.end()) throw FontError("No TrueType font was found for the text.");
    return Pick(found->second, bold, italic);
}

std::shared_ptr<const TrueTypeFont> FontFolderProvider::Fallback(const TrueTypeFont&, char32_t c) {
    const std::lock_guard lock(mutex_);
    Index();
    if (const auto found = fallbacks_.find(c); found != fallbacks_.end()) return found->second;
    std::vector<std::vector<Entry>*> order;
    for (const std::string_view preferred : kDefaults) {
        if (const auto found = families_.find(std::string(preferred)); found != families_.end())
            order.push_back(&found->second);
    }
    for (auto& [name, family] : families_) {
        if (std::find(order.begin(), order.end(), &family) == order.end()) order.push_back(&family);
    }
    std::shared_ptr<const TrueTypeFont>& face = fallbacks_[c];
    for (std::vector<Entry>* family : order) {
        Entry* regular = &family->front();
        for (Entry& entry : *family) {
            if (!entry.bold && !entry.italic) regular = &entry;
        }
        try {
            if (!regular->font) regular->font = TrueTypeFont::FromFile(ReadFile(regular->file), regular->face);
        } catch (const FontError&) {
            continue;
        }
        if (regular->font->Glyph(c) != 0) {
            face = regular->font;
            break;
        }
    }
    return face;
}

std::vector<FaceRun> SplitByFace(FontProvider& fonts, const std::shared_ptr<const TrueTypeFont>& face,
                                 std::u32string_view text) {
    std::vector<FaceRun> runs;
    std::shared_ptr<const TrueTypeFont> current = face;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        std::shared_ptr<const TrueTypeFont> fallback;
        if (c >= 0x20 && face->Glyph(c) == 0) fallback = fonts.Fallback(*face, c);
        const std::shared_ptr<const TrueTypeFont>& font = fallback ? fallback : face;
        if (font != current) {
            if (i > start) runs.push_back({current, std::u32string(text.substr(start, i - start))});
            current = font;
            start = i;
        }
    }
    if (start < text.size()) runs.push_back({current, std::u32string(text.substr(start))});
    return runs;
}

const std::shared_ptr<const TrueTypeFont>& TrueTypeFontMetrics::Face(const FontSpec& font) {
    // Text is measured in runs of one font (a table's cells, a paragraph's words): the face
    // measured last is found without building a key.
    if (last_ && last_->first == std::tie(font.name, font.bold, font.italic)) return last_->second;
    auto [entry, added] = faces_.try_emplace({font.name, font.bold, font.italic});
    if (added) entry->second = fonts_.Find(font.name, font.bold, font.italic).font;
    last_ = &*entry;
    return entry->second;
}

double TrueTypeFontMetrics::TextWidth(const FontSpec& font, std::wstring_view text) {
    const TrueTypeFont& face = *Face(font);
    // As SplitByFace cuts the text for drawing.
    double ems = 0;
    for (const char32_t c : CodePointView(text)) {
        const std::uint16_t glyph = face.Glyph(c);
        if (glyph == 0 && c >= 0x20) {
            if (const auto fallback = fonts_.Fallback(face, c)) {
                ems += double(fallback->Advance(fallback->Glyph(c))) / fallback->UnitsPerEm();
                continue;
            }
        }
        ems += double(face.Advance(glyph)) / face.UnitsPerEm();
    }
    return ems * font.size * kTwipsPerPoint;
}

double TrueTypeFontMetrics::Ascent(const FontSpec& font) {
    const TrueTypeFont& face = *Face(font);
    return double(face.Ascent()) * font.size * kTwipsPerPoint / face.UnitsPerEm();
}

double TrueTypeFontMetrics::Descent(const FontSpec& font) {
    const TrueTypeFont& face = *Face(font);
    return double(face.Descent()) * font.size * kTwipsPerPoint / face.UnitsPerEm();
}

}  // namespace tarn::pages
