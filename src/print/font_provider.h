// Where the fonts of the pages come from: the platform's font API on Windows
// (gdi_font_provider.h), TrueType files in folders elsewhere. Text is measured from the
// same font data the PDF writer embeds, so composed lines fit as drawn. Portable.
#pragma once

#include "print/page_model.h"
#include "print/truetype.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace tarn::pages {

// A face chosen for a font name and style. When the face lacks the bold or italic the text
// asks for, a renderer imitates it (a stroked outline, a slanted text matrix).
struct FontFace {
    std::shared_ptr<const TrueTypeFont> font;
    bool syntheticBold = false;
    bool syntheticItalic = false;
};

class FontProvider {
public:
    virtual ~FontProvider() = default;
    // The face for a name and style; a substitute when the name is unknown. Throws
    // FontError when there is no usable font at all.
    [[nodiscard]] virtual FontFace Find(const std::wstring& name, bool bold, bool italic) = 0;
    // A face that has a character the chosen face lacks, or null: text falls back to it
    // character by character, as Windows links fonts.
    [[nodiscard]] virtual std::shared_ptr<const TrueTypeFont> Fallback(char32_t c) {
        (void)c;
        return nullptr;
    }
};

// A text cut where the face drawing it changes.
struct FaceRun {
    std::shared_ptr<const TrueTypeFont> font;
    std::u32string text;
};
// Characters the face has stay with it; the others go to the provider's fallback, or stay
// (drawn as the missing glyph) when there is none.
[[nodiscard]] std::vector<FaceRun> SplitByFace(FontProvider& fonts, const std::shared_ptr<const TrueTypeFont>& face,
                                               std::u32string_view text);

// TrueType files (.ttf, .ttc) found under folders, chosen by their family names. The common
// Windows families map to metric-compatible ones: Arial to Liberation Sans, Courier New to
// Liberation Mono, Times New Roman to Liberation Serif; an unknown name gets the first of
// those present. Files are indexed on first use and loaded once each.
class FontFolderProvider final : public FontProvider {
public:
    explicit FontFolderProvider(std::vector<std::filesystem::path> folders);
    // The system's font folders.
    [[nodiscard]] static std::vector<std::filesystem::path> SystemFolders();

    [[nodiscard]] FontFace Find(const std::wstring& name, bool bold, bool italic) override;
    // The regular face of the first family with the character: Liberation Sans, then the
    // other families in name order.
    [[nodiscard]] std::shared_ptr<const TrueTypeFont> Fallback(char32_t c) override;

private:
    struct Entry {
        std::filesystem::path file;
        unsigned face = 0;
        bool bold = false, italic = false;
        std::shared_ptr<const TrueTypeFont> font;
    };
    void Index();
    [[nodiscard]] FontFace Pick(std::vector<Entry>& family, bool bold, bool italic);

    std::vector<std::filesystem::path> folders_;
    std::mutex mutex_;
    bool indexed_ = false;
    std::map<std::string, std::vector<Entry>> families_;  // lower-case family name
    std::map<char32_t, std::shared_ptr<const TrueTypeFont>> fallbacks_;
};

// pages::FontMetrics from the provider's faces: advances from hmtx, ascent and descent as
// Windows reports them (OS/2 win metrics).
class TrueTypeFontMetrics final : public FontMetrics {
public:
    explicit TrueTypeFontMetrics(FontProvider& fonts) : fonts_(fonts) {}

    [[nodiscard]] double TextWidth(const FontSpec& font, std::wstring_view text) override;
    [[nodiscard]] double Ascent(const FontSpec& font) override;
    [[nodiscard]] double Descent(const FontSpec& font) override;

private:
    [[nodiscard]] const std::shared_ptr<const TrueTypeFont>& Face(const FontSpec& font);

    FontProvider& fonts_;
    using Faces = std::map<std::tuple<std::wstring, bool, bool>, std::shared_ptr<const TrueTypeFont>>;
    Faces faces_;
    const Faces::value_type* last_ = nullptr;
};

// The characters of a wide string: UTF-16 (Windows) or UTF-32, unpaired surrogates as
// U+FFFD.
[[nodiscard]] std::u32string CodePoints(std::wstring_view text);

}  // namespace tarn::pages
