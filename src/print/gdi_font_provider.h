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
#include <vector>

namespace tarn::pages {

class GdiFontProvider final : public FontProvider {
public:
    GdiFontProvider();

    // Throws FontError when GDI offers no TrueType face for the name (nor a substitute).
    [[nodiscard]] FontFace Find(const std::wstring& name, bool bold, bool italic) override;
    // The first face with the character of those the system links to the face's name
    // (FontLink\SystemLink), then of the faces common for symbols, East Asian and other
    // scripts. Faces GDI does not have are skipped (GDI's substitute lacks the character).
    [[nodiscard]] std::shared_ptr<const TrueTypeFont> Fallback(const TrueTypeFont& face, char32_t c) override;

private:
    unique_hdc dc_;
    std::mutex mutex_;
    std::map<std::tuple<std::wstring, bool, bool>, FontFace> faces_;
    // Faces by their 'head' and 'name' tables, so substitutes are loaded once; faces without
    // a 'head' by the name GDI chose and their style.
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const TrueTypeFont>> loaded_;
    std::map<std::tuple<std::wstring, bool, bool>, std::shared_ptr<const TrueTypeFont>> loadedByName_;
    // The name each face was first asked for, and the faces linked to a name, in order.
    std::map<const TrueTypeFont*, std::wstring> names_;
    std::map<std::wstring, std::vector<std::wstring>> links_;
    std::map<std::pair<std::wstring, char32_t>, std::shared_ptr<const TrueTypeFont>> fallbacks_;
};

}  // namespace tarn::pages
