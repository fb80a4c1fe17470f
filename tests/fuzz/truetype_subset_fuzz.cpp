// libFuzzer target for the TrueType reader and subsetter: any bytes read as a font either
// throw FontError or give a face whose subset of common characters (composite glyphs with
// their parts) reads back as a font again, with every glyph asked for.
#include "print/truetype.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarn::pages::TrueTypeFont;
    std::shared_ptr<const TrueTypeFont> font;
    std::string subset;
    std::vector<std::uint16_t> glyphs;
    try {
        font = TrueTypeFont::FromFile(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const char32_t c : std::u32string_view(U"Aa0 \u00C4\u00E9\u03A9\u0436\u6F22\U0001F600")) {
            glyphs.push_back(font->Glyph(c));
            (void)font->Advance(glyphs.back());
        }
        for (unsigned g = 0; g < font->GlyphCount() && g < 200; g += 13)
            glyphs.push_back(static_cast<std::uint16_t>(g));
        subset = font->Subset(glyphs);
    } catch (const tarn::pages::FontError&) {
        return 0;
    }
    // A subset the writer made must be a font again, holding at least the glyphs asked for.
    const auto again = TrueTypeFont::FromFile(subset);
    if (again->GlyphCount() < 1 || again->UnitsPerEm() != font->UnitsPerEm()) std::abort();
    return 0;
}
