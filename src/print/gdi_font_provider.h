// Fonts from the Windows font API: the face GDI picks for a name and style (with its own
// substitutions), read table by table with GetFontData, so the PDF embeds and measures the
// very font the screen and the printer draw with. Windows only.
#pragma once

#include "com/handles.h"
#include "print/font_provider.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>

namespace tarn::pages {

class GdiFontProvider final : public FontProvider {
public:
    GdiFontProvider();

    // Throws FontError when GDI offers no TrueType face for the name (nor a substitute).
    [[nodiscard]] FontFace Find(const std::wstring& name, bool bold, bool italic) override;
    // The first of the faces Windows links for symbols and East Asian and other scripts
    // that has the character.
    [[nodiscard]] std::shared_ptr<const TrueTypeFont> Fallback(char32_t c) override;

private:
    unique_hdc dc_;
    std::mutex mutex_;
    std::map<std::tuple<std::wstring, bool, bool>, FontFace> faces_;
    // Faces by their 'head' and 'name' tables, so substitutes are loaded once; faces without
    // a 'head' by the name GDI chose and their style.
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const TrueTypeFont>> loaded_;
    std::map<std::tuple<std::wstring, bool, bool>, std::shared_ptr<const TrueTypeFont>> loadedByName_;
    std::map<char32_t, std::shared_ptr<const TrueTypeFont>> fallbacks_;
};

}  // namespace tarn::pages
