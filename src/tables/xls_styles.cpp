// Style XFs 0 to 14 and cell XF 15 are the ones every workbook has; the styles added get
// XF 16 on. FONT records 0 to 3 are the defaults and index 4 does not exist, so the fonts
// of the styles are numbered from 5.
#include "tables/xls_styles.h"

#include "tables/biff_records.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace tarn::xls {
namespace {

constexpr std::uint16_t kFirstCellXf = 16;
constexpr std::size_t kMaxXfs = 4000;
constexpr std::uint16_t kFirstCustomFormat = 164;

constexpr Colour Rgb(std::uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}

int Distance(Colour a, Colour b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        d += x * x;
    }
    return d;
}

struct FontKey {
    std::u16string name;
    unsigned heightTwips;
    bool bold, italic, underline;
    Colour colour;
    auto operator<=>(const FontKey&) const = default;
};

FontKey FontOf(const CellStyle& s) {
    const double points = std::isfinite(s.fontSize) ? s.fontSize : 10;
    return {ToUtf16(s.fontName),    ScaledUnits(points, 20, 20, 8180), s.bold, s.italic, s.underline,
            s.fontColour & 0xFFFFFF};
}

}  // namespace

const std::array<Colour, 56>& DefaultPalette() {
    static constexpr std::array<Colour, 56> kDefault = {
        Rgb(0x000000), Rgb(0xFFFFFF), Rgb(0xFF0000), Rgb(0x00FF00), Rgb(0x0000FF), Rgb(0xFFFF00), Rgb(0xFF00FF),
        Rgb(0x00FFFF), Rgb(0x800000), Rgb(0x008000), Rgb(0x000080), Rgb(0x808000), Rgb(0x800080), Rgb(0x008080),
        Rgb(0xC0C0C0), Rgb(0x808080), Rgb(0x9999FF), Rgb(0x993366), Rgb(0xFFFFCC), Rgb(0xCCFFFF), Rgb(0x660066),
        Rgb(0xFF8080), Rgb(0x0066CC), Rgb(0xCCCCFF), Rgb(0x000080), Rgb(0xFF00FF), Rgb(0xFFFF00), Rgb(0x00FFFF),
        Rgb(0x800080), Rgb(0x800000), Rgb(0x008080), Rgb(0x0000FF), Rgb(0x00CCFF), Rgb(0xCCFFFF), Rgb(0xCCFFCC),
        Rgb(0xFFFF99), Rgb(0x99CCFF), Rgb(0xFF99CC), Rgb(0xCC99FF), Rgb(0xFFCC99), Rgb(0x3366FF), Rgb(0x33CCCC),
        Rgb(0x99CC00), Rgb(0xFFCC00), Rgb(0xFF9900), Rgb(0xFF6600), Rgb(0x666699), Rgb(0x969696), Rgb(0x003366),
        Rgb(0x339966), Rgb(0x003300), Rgb(0x333300), Rgb(0x993300), Rgb(0x993366), Rgb(0x333399), Rgb(0x333333),
    };
    return kDefault;
}

Palette::Palette(const std::vector<Colour>& used) : entries_(DefaultPalette()) {
    std::vector<Colour> kept;
    for (const Colour c : used) {
        if (kept.size() == entries_.size()) break;
        if (std::find(kept.begin(), kept.end(), c) == kept.end()) kept.push_back(c);
    }
    std::array<bool, 56> taken{};
    std::vector<Colour> homeless;
    for (const Colour c : kept) {
        const auto at = std::find(entries_.begin(), entries_.end(), c);
        if (at != entries_.end()) {
            const std::size_t i = static_cast<std::size_t>(at - entries_.begin());
            taken[i] = true;
            exact_[c] = static_cast<std::uint16_t>(8 + i);
        } else {
            homeless.push_back(c);
        }
    }
    std::size_t next = 0;
    for (const Colour c : homeless) {
        while (taken[next]) ++next;
        taken[next] = true;
        entries_[next] = c;
        exact_[c] = static_cast<std::uint16_t>(8 + next);
    }
}

std::uint16_t Palette::Index(Colour colour) const {
    colour &= 0xFFFFFF;
    if (const auto found = exact_.find(colour); found != exact_.end()) return found->second;
    std::size_t best = 0;
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        if (Distance(entries_[i], colour) < Distance(entries_[best], colour)) best = i;
    }
    return static_cast<std::uint16_t>(8 + best);
}

std::u16string ToUtf16(std::wstring_view text) {
    std::u16string out;
    ToUtf16(text, out);
    return out;
}

void ToUtf16(std::wstring_view text, std::u16string& out) {
    if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {  // Windows: already UTF-16
        out.assign(reinterpret_cast<const char16_t*>(text.data()), text.size());
        return;
    }
    out.clear();
    out.reserve(text.size());
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {  // only where wchar_t holds whole code points
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
}

std::uint16_t ScaledUnits(double value, double scale, std::uint16_t low, std::uint16_t high) {
    const double units = std::round(value * scale);
    if (!(units >= low)) return low;  // NaN too
    return units > high ? high : static_cast<std::uint16_t>(units);
}

std::wstring FromUtf16(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if constexpr (sizeof(wchar_t) > 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00));
                continue;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::size_t StyleTable::Hash::operator()(const CellStyle& s) const noexcept {
    std::size_t h = std::hash<std::wstring>()(s.fontName) ^ (std::hash<std::wstring>()(s.numberFormat) << 1);
    const auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 0x100000001B3ull; };
    mix(std::hash<double>()(s.fontSize));
    mix(s.fontColour);
    mix(s.fill);
    mix((s.bold ? 1u : 0u) | (s.italic ? 2u : 0u) | (s.underline ? 4u : 0u) | (s.filled ? 8u : 0u) |
        (s.quotePrefix ? 16u : 0u) | (static_cast<unsigned>(s.horizontal) << 5) |
        (static_cast<unsigned>(s.vertical) << 8));
    return h;
}

namespace {

// operator== with the cheap fields first: styles that differ mostly differ there.
bool SameStyle(const CellStyle& a, const CellStyle& b) {
    return a.horizontal == b.horizontal && a.vertical == b.vertical && a.quotePrefix == b.quotePrefix &&
           a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.filled == b.filled &&
           a.fill == b.fill && a.fontColour == b.fontColour && a.fontSize == b.fontSize &&
           a.numberFormat == b.numberFormat && a.fontName == b.fontName;
}

}  // namespace

std::uint16_t StyleTable::XfIndex(const CellStyle& style) {
    // From the one after the last found: cells that come in column order find theirs first.
    for (std::size_t i = 1; i <= recent_.size(); ++i) {
        const std::size_t at = (lastRecent_ + i) % recent_.size();
        const std::uint16_t r = recent_[at];
        if (r != 0 && SameStyle(styles_[r - 1], style)) {
            lastRecent_ = at;
            return static_cast<std::uint16_t>(kFirstCellXf + r - 1);
        }
    }
    if (const auto found = indexes_.find(style); found != indexes_.end()) {
        lastRecent_ = nextRecent_++ % recent_.size();
        recent_[lastRecent_] = static_cast<std::uint16_t>(found->second - kFirstCellXf + 1);
        return found->second;
    }
    if (styles_.size() >= kMaxXfs) return 15;
    const auto index = static_cast<std::uint16_t>(kFirstCellXf + styles_.size());
    styles_.push_back(style);
    indexes_.emplace(style, index);
    lastRecent_ = nextRecent_++ % recent_.size();
    recent_[lastRecent_] = static_cast<std::uint16_t>(styles_.size());
    return index;
}

void StyleTable::WriteRecords(std::string& out) const {
    std::vector<Colour> colours;
    for (const CellStyle& s : styles_) {
        colours.push_back(s.fontColour & 0xFFFFFF);
        if (s.filled) colours.push_back(s.fill & 0xFFFFFF);
    }
    const Palette palette(colours);

    biff::Font standard;
    standard.name = u"Arial";
    for (int i = 0; i < 4; ++i) biff::WriteFont(out, standard);
    std::map<FontKey, std::uint16_t> fonts;
    std::map<std::wstring, std::uint16_t> formats;
    std::vector<std::uint16_t> fontOf, formatOf;
    for (const CellStyle& s : styles_) {
        const FontKey key = FontOf(s);
        auto [font, newFont] = fonts.emplace(key, static_cast<std::uint16_t>(fonts.size() + 5));
        if (newFont) {
            biff::WriteFont(
                out, {key.name, key.heightTwips, key.bold, key.italic, key.underline, palette.Index(key.colour)});
        }
        fontOf.push_back(font->second);
        std::uint16_t format = 0;
        if (!s.numberFormat.empty()) {
            auto [f, newFormat] =
                formats.emplace(s.numberFormat, static_cast<std::uint16_t>(kFirstCustomFormat + formats.size()));
            if (newFormat) biff::WriteFormat(out, f->second, ToUtf16(s.numberFormat));
            format = f->second;
        }
        formatOf.push_back(format);
    }

    biff::Xf style;
    style.style = true;
    for (int i = 0; i < 15; ++i) biff::WriteXf(out, style);
    biff::WriteXf(out, biff::Xf{});  // the default cell format
    for (std::size_t i = 0; i < styles_.size(); ++i) {
        const CellStyle& s = styles_[i];
        biff::Xf xf;
        xf.font = fontOf[i];
        xf.format = formatOf[i];
        xf.quotePrefix = s.quotePrefix;
        xf.horizontal = static_cast<biff::Horizontal>(s.horizontal);
        xf.vertical = static_cast<biff::Vertical>(s.vertical);
        xf.filled = s.filled;
        if (s.filled) xf.fillIndex = palette.Index(s.fill);
        biff::WriteXf(out, xf);
    }
    biff::WriteNormalStyle(out);
    biff::WritePalette(out, palette.entries());
}

}  // namespace tarn::xls
