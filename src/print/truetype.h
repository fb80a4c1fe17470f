// TrueType fonts as the PDF writer and text measurement need them: a face's tables, its
// character map, advances and vertical metrics, and subsets holding only the glyphs a
// document draws (composite glyphs with the glyphs they are made of). Every read is
// bounds-checked: a damaged font throws FontError, never reads outside its data. Portable.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn::pages {

class FontError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::uint32_t FontTag(const char (&tag)[5]) {
    return (std::uint32_t(std::uint8_t(tag[0])) << 24) | (std::uint32_t(std::uint8_t(tag[1])) << 16) |
           (std::uint32_t(std::uint8_t(tag[2])) << 8) | std::uint32_t(std::uint8_t(tag[3]));
}

class TrueTypeFont {
public:
    // A font file (.ttf), or one face of a collection (.ttc).
    [[nodiscard]] static std::shared_ptr<const TrueTypeFont> FromFile(std::string_view file, unsigned face = 0);
    // A face given table by table (as the platform's font API hands them out).
    [[nodiscard]] static std::shared_ptr<const TrueTypeFont> FromTables(std::map<std::uint32_t, std::string> tables);

    // The glyph drawing a character; 0 (the missing glyph) when the face has none.
    [[nodiscard]] std::uint16_t Glyph(char32_t c) const;
    // Advance width in font units.
    [[nodiscard]] unsigned Advance(std::uint16_t glyph) const;

    [[nodiscard]] unsigned UnitsPerEm() const noexcept { return unitsPerEm_; }
    [[nodiscard]] unsigned GlyphCount() const noexcept { return glyphCount_; }
    // Above and below the baseline, both positive, in font units: the Windows line metrics.
    [[nodiscard]] int Ascent() const noexcept { return ascent_; }
    [[nodiscard]] int Descent() const noexcept { return descent_; }
    [[nodiscard]] int CapHeight() const noexcept { return capHeight_; }
    // xMin, yMin, xMax, yMax.
    [[nodiscard]] const int (&BoundingBox() const noexcept)[4] { return bbox_; }
    [[nodiscard]] double ItalicAngle() const noexcept { return italicAngle_; }
    // Below the baseline (negative) and thickness, in font units.
    [[nodiscard]] int UnderlinePosition() const noexcept { return underlinePosition_; }
    [[nodiscard]] int UnderlineThickness() const noexcept { return underlineThickness_; }
    [[nodiscard]] bool FixedPitch() const noexcept { return fixedPitch_; }
    [[nodiscard]] bool Bold() const noexcept { return bold_; }
    [[nodiscard]] bool Italic() const noexcept { return italic_; }
    // The family name (name 1) and the PostScript name (name 6), as far as they are ASCII.
    [[nodiscard]] const std::string& FamilyName() const noexcept { return family_; }
    [[nodiscard]] const std::string& PostScriptName() const noexcept { return postScriptName_; }

    // A font file holding `glyphs` (in this order, glyph 0 first whether listed or not) as
    // glyphs 0, 1, 2, ..., followed by the glyphs composite glyphs among them are made of.
    // Holds the tables a PDF reader needs to draw them: no character map.
    [[nodiscard]] std::string Subset(const std::vector<std::uint16_t>& glyphs) const;

    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

private:
    TrueTypeFont() = default;
    void Load();
    [[nodiscard]] std::string_view Table(std::uint32_t tag) const;
    [[nodiscard]] std::string_view GlyphData(std::uint16_t glyph) const;

    std::map<std::uint32_t, std::string> tables_;
    unsigned unitsPerEm_ = 1000;
    unsigned glyphCount_ = 0;
    unsigned metricCount_ = 0;
    bool longLoca_ = false;
    int ascent_ = 0, descent_ = 0, capHeight_ = 0;
    int bbox_[4] = {0, 0, 0, 0};
    double italicAngle_ = 0;
    int underlinePosition_ = 0, underlineThickness_ = 0;
    bool fixedPitch_ = false, bold_ = false, italic_ = false;
    std::string family_, postScriptName_;
    // Character map: sorted ranges of the chosen subtable.
    struct CmapRange {
        char32_t first, last;
        std::uint32_t delta;        // format 12: first glyph; format 4: idDelta
        std::uint32_t rangeOffset;  // format 4: offset of the glyph array entry, 0 when none
    };
    std::vector<CmapRange> cmap_;
    std::string_view cmapTable_;
    std::string_view hmtx_;
    std::vector<std::uint16_t> common_;  // glyphs of the first characters, looked up once
    [[nodiscard]] std::uint16_t Lookup(char32_t c) const;
    bool cmap12_ = false;
    bool symbol_ = false;
};

}  // namespace tarn::pages
