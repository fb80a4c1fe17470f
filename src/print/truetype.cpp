#include "print/truetype.h"

#include <algorithm>
#include <array>

namespace tarn::pages {
namespace {

// Big-endian reads from a table; anything outside it throws.
class Reader {
public:
    explicit Reader(std::string_view data) noexcept : data_(data) {}
    [[nodiscard]] std::size_t size() const noexcept { return data_.size(); }
    [[nodiscard]] bool Has(std::size_t offset, std::size_t count) const noexcept {
        return offset <= data_.size() && count <= data_.size() - offset;
    }
    [[nodiscard]] std::uint8_t U8(std::size_t offset) const {
        Need(offset, 1);
        return static_cast<std::uint8_t>(data_[offset]);
    }
    [[nodiscard]] std::uint16_t U16(std::size_t offset) const {
        Need(offset, 2);
        return static_cast<std::uint16_t>((Byte(offset) << 8) | Byte(offset + 1));
    }
    [[nodiscard]] std::int16_t S16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
    [[nodiscard]] std::uint32_t U32(std::size_t offset) const {
        Need(offset, 4);
        return (std::uint32_t(Byte(offset)) << 24) | (std::uint32_t(Byte(offset + 1)) << 16) |
               (std::uint32_t(Byte(offset + 2)) << 8) | std::uint32_t(Byte(offset + 3));
    }
    [[nodiscard]] std::string_view Slice(std::size_t offset, std::size_t count) const {
        Need(offset, count);
        return data_.substr(offset, count);
    }

private:
    void Need(std::size_t offset, std::size_t count) const {
        if (!Has(offset, count)) throw FontError("The font file is damaged: a table ends too early.");
    }
    [[nodiscard]] unsigned Byte(std::size_t offset) const noexcept { return static_cast<std::uint8_t>(data_[offset]); }
    std::string_view data_;
};

void PutU16(std::string& out, unsigned v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v >> 16);
    PutU16(out, v & 0xFFFF);
}
void SetU16(std::string& out, std::size_t offset, unsigned v) {
    if (offset + 2 > out.size()) throw FontError("The font file is damaged: a table is too short.");
    out[offset] = static_cast<char>((v >> 8) & 0xFF);
    out[offset + 1] = static_cast<char>(v & 0xFF);
}

std::uint32_t Checksum(std::string_view data) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 4) {
        std::uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < data.size() ? static_cast<std::uint8_t>(data[i + k]) : 0u);
        sum += word;
    }
    return sum;
}

// The glyphs a composite glyph is made of, with the offsets of their indices in its data.
std::vector<std::pair<std::size_t, std::uint16_t>> Components(std::string_view glyph) {
    std::vector<std::pair<std::size_t, std::uint16_t>> parts;
    const Reader r(glyph);
    if (r.size() < 10 || r.S16(0) >= 0) return parts;
    constexpr unsigned kWords = 0x1, kScale = 0x8, kMore = 0x20, kXYScale = 0x40, kTwoByTwo = 0x80;
    std::size_t pos = 10;
    for (;;) {
        if (!r.Has(pos, 4)) break;
        const unsigned flags = r.U16(pos);
        parts.emplace_back(pos + 2, r.U16(pos + 2));
        pos += 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale)
            pos += 2;
        else if (flags & kXYScale)
            pos += 4;
        else if (flags & kTwoByTwo)
            pos += 8;
        if (!(flags & kMore)) break;
    }
    return parts;
}

std::string AsciiName(std::string_view raw, bool utf16, bool postScript) {
    std::string name;
    const std::size_t step = utf16 ? 2 : 1;
    for (std::size_t i = utf16 ? 1 : 0; i < raw.size(); i += step) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (utf16 && raw[i - 1] != 0) continue;
        if (c < 0x20 || c > 0x7E) continue;
        if (postScript &&
            (c == ' ' || std::string_view("[](){}<>/%#").find(static_cast<char>(c)) != std::string_view::npos))
            continue;
        name += static_cast<char>(c);
    }
    return name;
}

}  // namespace

std::shared_ptr<const TrueTypeFont> TrueTypeFont::FromFile(std::string_view file, unsigned face) {
    const Reader r(file);
    std::size_t base = 0;
    if (r.Has(0, 4) && r.U32(0) == FontTag("ttcf")) {
        if (face >= r.U32(8)) throw FontError("The font collection has no face " + std::to_string(face) + ".");
        base = r.U32(12 + 4 * std::size_t(face));
    }
    const std::uint32_t version = r.U32(base);
    if (version == FontTag("OTTO"))
        throw FontError("The font has PostScript outlines, which cannot be embedded as a TrueType font.");
    if (version != 0x00010000 && version != FontTag("true")) throw FontError("The file is not a TrueType font.");
    const unsigned count = r.U16(base + 4);
    std::map<std::uint32_t, std::string> tables;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t record = base + 12 + 16 * std::size_t(i);
        tables[r.U32(record)] = std::string(r.Slice(r.U32(record + 8), r.U32(record + 12)));
    }
    return FromTables(std::move(tables));
}

std::shared_ptr<const TrueTypeFont> TrueTypeFont::FromTables(std::map<std::uint32_t, std::string> tables) {
    std::shared_ptr<TrueTypeFont> font(new TrueTypeFont);
    font->tables_ = std::move(tables);
    font->Load();
    return font;
}

std::string_view TrueTypeFont::Table(std::uint32_t tag) const {
    const auto found = tables_.find(tag);
    return found == tables_.end() ? std::string_view() : std::string_view(found->second);
}

void TrueTypeFont::Load() {
    for (const std::string_view required : {"head", "hhea", "maxp", "hmtx", "loca", "glyf"}) {
        std::uint32_t tag = 0;
        for (const char c : required) tag = (tag << 8) | static_cast<std::uint8_t>(c);
        if (!tables_.contains(tag))
            throw FontError("The font has no '" + std::string(required) + "' table; it cannot be embedded.");
    }
    const Reader head(Table(FontTag("head")));
    unitsPerEm_ = head.U16(18);
    if (unitsPerEm_ < 16 || unitsPerEm_ > 16384) throw FontError("The font's units per em are out of range.");
    for (int i = 0; i < 4; ++i) bbox_[i] = head.S16(36 + 2 * i);
    const unsigned macStyle = head.U16(44);
    bold_ = macStyle & 1;
    italic_ = macStyle & 2;
    longLoca_ = head.S16(50) != 0;

    glyphCount_ = Reader(Table(FontTag("maxp"))).U16(4);
    const Reader hhea(Table(FontTag("hhea")));
    ascent_ = hhea.S16(4);
    descent_ = -hhea.S16(6);
    metricCount_ = std::min<unsigned>(hhea.U16(34), glyphCount_);
    hmtx_ = Table(FontTag("hmtx"));
    metricCount_ = std::min<unsigned>(metricCount_, static_cast<unsigned>(hmtx_.size() / 4));
    const std::size_t locaEntries = Table(FontTag("loca")).size() / (longLoca_ ? 4 : 2);
    if (locaEntries == 0) throw FontError("The font's glyph index is empty.");
    glyphCount_ = std::min<unsigned>(glyphCount_, static_cast<unsigned>(locaEntries - 1));

    capHeight_ = ascent_ * 7 / 10;
    if (const Reader os2(Table(FontTag("OS/2"))); os2.Has(0, 78)) {
        ascent_ = os2.U16(74);
        descent_ = os2.U16(76);
        const unsigned selection = os2.U16(62);
        bold_ = bold_ || (selection & 0x20);
        italic_ = italic_ || (selection & 0x01);
        if (os2.U16(0) >= 2 && os2.Has(0, 90)) capHeight_ = os2.S16(88);
    }
    underlinePosition_ = -unitsPerEm_ / 10;
    underlineThickness_ = unitsPerEm_ / 20;
    if (const Reader post(Table(FontTag("post"))); post.Has(0, 16)) {
        italicAngle_ = static_cast<std::int32_t>(post.U32(4)) / 65536.0;
        underlinePosition_ = post.S16(8);
        underlineThickness_ = std::max<int>(post.S16(10), 1);
        fixedPitch_ = post.U32(12) != 0;
    }

    // Names: the Windows Unicode records first, American English preferred.
    if (const Reader name(Table(FontTag("name"))); name.Has(0, 6)) {
        const unsigned count = name.U16(2);
        const std::size_t strings = name.U16(4);
        int familyRank = 0, psRank = 0;
        for (unsigned i = 0; i < count && name.Has(6 + 12 * std::size_t(i), 12); ++i) {
            const std::size_t rec = 6 + 12 * std::size_t(i);
            const unsigned platform = name.U16(rec), language = name.U16(rec + 4), id = name.U16(rec + 6);
            if (id != 1 && id != 6) continue;
            const bool utf16 = platform == 3 || platform == 0;
            if (!utf16 && platform != 1) continue;
            const int rank = (platform == 3 ? 2 : 1) + (language == 0x409 ? 1 : 0);
            int& best = id == 1 ? familyRank : psRank;
            if (rank <= best || !name.Has(strings + name.U16(rec + 10), name.U16(rec + 8))) continue;
            std::string text = AsciiName(name.Slice(strings + name.U16(rec + 10), name.U16(rec + 8)), utf16, id == 6);
            if (text.empty()) continue;
            best = rank;
            (id == 1 ? family_ : postScriptName_) = std::move(text);
        }
    }
    if (postScriptName_.empty()) postScriptName_ = AsciiName(family_, false, true);
    if (postScriptName_.empty()) postScriptName_ = "Font";

    // The character map: a full Unicode subtable first, then the basic plane, then symbols.
    cmapTable_ = Table(FontTag("cmap"));
    const Reader cmap(cmapTable_);
    if (!cmap.Has(0, 4)) return;
    std::size_t chosen = 0;
    int chosenRank = 0;
    for (unsigned i = 0, n = cmap.U16(2); i < n && cmap.Has(4 + 8 * std::size_t(i), 8); ++i) {
        const std::size_t rec = 4 + 8 * std::size_t(i);
        const unsigned platform = cmap.U16(rec), encoding = cmap.U16(rec + 2);
        const std::size_t offset = cmap.U32(rec + 4);
        if (!cmap.Has(offset, 2)) continue;
        const unsigned format = cmap.U16(offset);
        int rank = 0;
        if (format == 12 && (platform == 0 || (platform == 3 && encoding == 10)))
            rank = 4;
        else if (format == 4 && (platform == 0 || (platform == 3 && encoding == 1)))
            rank = 3;
        else if (format == 4 && platform == 3 && encoding == 0)
            rank = 2;
        if (rank > chosenRank) chosenRank = rank, chosen = offset;
    }
    if (chosenRank == 0) return;
    symbol_ = chosenRank == 2;
    if (chosenRank == 4) {
        cmap12_ = true;
        const std::size_t groups = cmap.U32(chosen + 12);
        if (!cmap.Has(chosen + 16, groups * 12)) throw FontError("The font's character map is damaged.");
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t at = chosen + 16 + 12 * g;
            const char32_t first = cmap.U32(at), last = cmap.U32(at + 4);
            if (first <= last && last <= 0x10FFFF) cmap_.push_back({first, last, cmap.U32(at + 8), 0});
        }
    } else {
        const std::size_t segments = cmap.U16(chosen + 6) / 2;
        const std::size_t ends = chosen + 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                          ranges = deltas + 2 * segments;
        if (!cmap.Has(ranges, 2 * segments)) throw FontError("The font's character map is damaged.");
        for (std::size_t s = 0; s < segments; ++s) {
            const char32_t first = cmap.U16(starts + 2 * s), last = cmap.U16(ends + 2 * s);
            const unsigned rangeOffset = cmap.U16(ranges + 2 * s);
            if (first > last) continue;
            cmap_.push_back({first, last, cmap.U16(deltas + 2 * s),
                             rangeOffset ? static_cast<std::uint32_t>(ranges + 2 * s + rangeOffset) : 0u});
        }
    }
    std::sort(cmap_.begin(), cmap_.end(), [](const CmapRange& a, const CmapRange& b) { return a.first < b.first; });
    std::vector<std::uint16_t> common(0x800);
    for (char32_t c = 0; c < common.size(); ++c) common[c] = Glyph(c);
    common_ = std::move(common);
}

std::uint16_t TrueTypeFont::Lookup(char32_t c) const {
    auto it =
        std::upper_bound(cmap_.begin(), cmap_.end(), c, [](char32_t v, const CmapRange& r) { return v < r.first; });
    if (it == cmap_.begin()) return 0;
    --it;
    if (c > it->last) return 0;
    std::uint32_t glyph = 0;
    if (cmap12_) {
        glyph = it->delta + (c - it->first);
    } else if (it->rangeOffset == 0) {
        glyph = (c + it->delta) & 0xFFFF;
    } else {
        const Reader r(cmapTable_);
        const std::size_t at = it->rangeOffset + 2 * std::size_t(c - it->first);
        if (!r.Has(at, 2)) return 0;
        glyph = r.U16(at);
        if (glyph != 0) glyph = (glyph + it->delta) & 0xFFFF;
    }
    return glyph < glyphCount_ ? static_cast<std::uint16_t>(glyph) : 0;
}

std::uint16_t TrueTypeFont::Glyph(char32_t c) const {
    if (c < common_.size()) return common_[c];
    std::uint16_t glyph = Lookup(c);
    if (glyph == 0 && symbol_ && c < 0x100) glyph = Lookup(0xF000 + c);
    return glyph;
}

unsigned TrueTypeFont::Advance(std::uint16_t glyph) const {
    if (metricCount_ == 0) return 0;
    const Reader hmtx(hmtx_);
    return hmtx.U16(4 * std::size_t(std::min<unsigned>(glyph, metricCount_ - 1)));
}

std::string_view TrueTypeFont::GlyphData(std::uint16_t glyph) const {
    if (glyph >= glyphCount_) return {};
    const Reader loca(Table(FontTag("loca")));
    const std::string_view glyf = Table(FontTag("glyf"));
    const std::size_t start = longLoca_ ? loca.U32(4 * std::size_t(glyph)) : 2 * std::size_t(loca.U16(2 * glyph));
    const std::size_t end =
        longLoca_ ? loca.U32(4 * std::size_t(glyph) + 4) : 2 * std::size_t(loca.U16(2 * std::size_t(glyph) + 2));
    if (end <= start || end > glyf.size()) return {};
    return glyf.substr(start, end - start);
}

std::string TrueTypeFont::Subset(const std::vector<std::uint16_t>& glyphs) const {
    // The new glyph order and the closure over composite glyphs.
    std::vector<std::uint16_t> order{0};
    std::unordered_map<std::uint16_t, std::uint16_t> renumbered{{0, 0}};
    auto add = [&](std::uint16_t glyph) {
        if (glyph >= glyphCount_ || renumbered.contains(glyph)) return;
        renumbered.emplace(glyph, static_cast<std::uint16_t>(order.size()));
        order.push_back(glyph);
    };
    for (const std::uint16_t glyph : glyphs) add(glyph);
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (const auto& part : Components(GlyphData(order[i]))) add(part.second);
    }

    std::string glyf, loca, hmtx;
    const Reader metrics(Table(FontTag("hmtx")));
    for (const std::uint16_t old : order) {
        PutU32(loca, static_cast<std::uint32_t>(glyf.size()));
        std::string data(GlyphData(old));
        for (const auto& [offset, part] : Components(data)) {
            const auto found = renumbered.find(part);
            SetU16(data, offset, found == renumbered.end() ? 0 : found->second);
        }
        glyf += data;
        glyf.resize((glyf.size() + 3) & ~std::size_t(3), '\0');
        PutU16(hmtx, Advance(old));
        const std::size_t lsb =
            old < metricCount_ ? 4 * std::size_t(old) + 2 : 4 * std::size_t(metricCount_) + 2 * (old - metricCount_);
        PutU16(hmtx, metrics.Has(lsb, 2) ? metrics.U16(lsb) : 0);
    }
    PutU32(loca, static_cast<std::uint32_t>(glyf.size()));

    std::map<std::uint32_t, std::string> out;
    const auto count = static_cast<unsigned>(order.size());
    out[FontTag("head")] = std::string(Table(FontTag("head")));
    SetU16(out[FontTag("head")], 8, 0);
    SetU16(out[FontTag("head")], 10, 0);
    SetU16(out[FontTag("head")], 50, 1);
    out[FontTag("hhea")] = std::string(Table(FontTag("hhea")));
    SetU16(out[FontTag("hhea")], 34, count);
    out[FontTag("maxp")] = std::string(Table(FontTag("maxp")));
    SetU16(out[FontTag("maxp")], 4, count);
    out[FontTag("hmtx")] = std::move(hmtx);
    out[FontTag("loca")] = std::move(loca);
    out[FontTag("glyf")] = std::move(glyf);
    for (const std::uint32_t hinting : {FontTag("cvt "), FontTag("fpgm"), FontTag("prep")}) {
        if (const std::string_view table = Table(hinting); !table.empty()) out[hinting] = std::string(table);
    }

    std::string file;
    const auto tables = static_cast<unsigned>(out.size());
    unsigned power = 1, log2 = 0;
    while (power * 2 <= tables) power *= 2, ++log2;
    PutU32(file, 0x00010000);
    PutU16(file, tables);
    PutU16(file, power * 16);
    PutU16(file, log2);
    PutU16(file, tables * 16 - power * 16);
    std::size_t offset = 12 + 16 * std::size_t(tables);
    for (const auto& [tag, data] : out) {
        PutU32(file, tag);
        PutU32(file, Checksum(data));
        PutU32(file, static_cast<std::uint32_t>(offset));
        PutU32(file, static_cast<std::uint32_t>(data.size()));
        offset += (data.size() + 3) & ~std::size_t(3);
    }
    std::size_t headAt = 0;
    for (const auto& [tag, data] : out) {
        if (tag == FontTag("head")) headAt = file.size();
        file += data;
        file.resize((file.size() + 3) & ~std::size_t(3), '\0');
    }
    const std::uint32_t adjustment = 0xB1B0AFBAu - Checksum(file);
    SetU16(file, headAt + 8, adjustment >> 16);
    SetU16(file, headAt + 10, adjustment & 0xFFFF);
    return file;
}

}  // namespace tarn::pages
