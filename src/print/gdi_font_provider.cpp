#include "print/gdi_font_provider.h"

#include <cwchar>

namespace tarn::pages {
namespace {

// GetFontData takes a table's tag with its first letter in the lowest byte.
DWORD GdiTag(std::uint32_t tag) {
    return ((tag >> 24) & 0xFF) | ((tag >> 8) & 0xFF00) | ((tag << 8) & 0xFF0000) | ((tag << 24) & 0xFF000000u);
}

constexpr const wchar_t* kLinkedFaces[] = {
    L"Segoe UI Symbol", L"Segoe UI", L"Yu Gothic",  L"MS Gothic",     L"Microsoft YaHei", L"SimSun",
    L"Malgun Gothic",   L"Gulim",    L"Nirmala UI", L"Leelawadee UI", L"Ebrima",          L"Arial Unicode MS",
};

// One table of the font selected into the DC; empty when it has none.
std::string FontTable(HDC dc, std::uint32_t tag) {
    const DWORD size = GetFontData(dc, GdiTag(tag), 0, nullptr, 0);
    if (size == GDI_ERROR || size == 0) return {};
    std::string data(size, '\0');
    if (GetFontData(dc, GdiTag(tag), 0, data.data(), size) != size) return {};
    return data;
}

}  // namespace

GdiFontProvider::GdiFontProvider() : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_) throw FontError("No device context for reading fonts could be made.");
}

FontFace GdiFontProvider::Find(const std::wstring& name, bool bold, bool italic) {
    const std::lock_guard lock(mutex_);
    const auto key = std::tuple{name, bold, italic};
    if (const auto found = faces_.find(key); found != faces_.end()) return found->second;

    LOGFONTW request{};
    request.lfHeight = -2048;
    request.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    request.lfItalic = italic ? TRUE : FALSE;
    request.lfCharSet = DEFAULT_CHARSET;
    request.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    request.lfQuality = DEFAULT_QUALITY;
    wcsncpy(request.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    const unique_hfont font(CreateFontIndirectW(&request));
    if (!font) throw FontError("Windows has no font for the text.");
    const HDC dc = dc_.get();
    const unique_select_object selected(dc, font.get());

    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const bool faceBold = metrics.tmWeight >= FW_SEMIBOLD, faceItalic = metrics.tmItalic != 0;
    // GDI answers a substitute under the name asked for (Tahoma and Arial may both be one
    // Liberation Sans), so a face is known by its 'head' table, which holds the checksum of
    // its whole file and its dates, and its 'name' table, which tells apart the faces of a
    // collection that share the first: each face is loaded, and embedded, once.
    std::string head = FontTable(dc, FontTag("head")), names = FontTable(dc, FontTag("name"));
    auto& loaded = head.empty() ? loadedByName_[{chosen, faceBold, faceItalic}] : loaded_[{head, names}];
    if (!loaded) {
        std::map<std::uint32_t, std::string> tables;
        for (const std::uint32_t tag :
             {FontTag("hhea"), FontTag("maxp"), FontTag("hmtx"), FontTag("loca"), FontTag("glyf"), FontTag("cmap"),
              FontTag("OS/2"), FontTag("post"), FontTag("cvt "), FontTag("fpgm"), FontTag("prep")}) {
            std::string data = FontTable(dc, tag);
            if (!data.empty()) tables.emplace(tag, std::move(data));
        }
        if (!head.empty()) tables.emplace(FontTag("head"), std::move(head));
        if (!names.empty()) tables.emplace(FontTag("name"), std::move(names));
        loaded = TrueTypeFont::FromTables(std::move(tables));
    }
    // GDI imitates a style the face lacks; so does the PDF.
    FontFace face{loaded, bold && !loaded->Bold(), italic && !loaded->Italic()};
    faces_.emplace(key, face);
    return face;
}

std::shared_ptr<const TrueTypeFont> GdiFontProvider::Fallback(char32_t c) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = fallbacks_.find(c); found != fallbacks_.end()) return found->second;
    }
    std::shared_ptr<const TrueTypeFont> face;
    for (const wchar_t* name : kLinkedFaces) {
        try {
            const FontFace linked = Find(name, false, false);
            if (linked.font->Glyph(c) != 0) {
                face = linked.font;
                break;
            }
        } catch (const FontError&) {
            // Not installed, or not a TrueType face: the next one.
        }
    }
    const std::lock_guard lock(mutex_);
    fallbacks_[c] = face;
    return face;
}

}  // namespace tarn::pages
