#include "print/gdi_font_provider.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace tarn::pages {
namespace {

// GetFontData takes a table's tag with its first letter in the lowest byte.
DWORD GdiTag(std::uint32_t tag) {
    return ((tag >> 24) & 0xFF) | ((tag >> 8) & 0xFF00) | ((tag << 8) & 0xFF0000) | ((tag << 24) & 0xFF000000u);
}

constexpr const wchar_t* kLinkedFaces[] = {
    L"Segoe UI Symbol",     L"Segoe UI", L"Yu Gothic",  L"MS Gothic",     L"Microsoft YaHei", L"SimSun",
    L"Malgun Gothic",       L"Gulim",    L"Nirmala UI", L"Leelawadee UI", L"Ebrima",          L"Arial Unicode MS",
    L"WenQuanYi Micro Hei",
};

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
    return text;
}

// The face names the system links to a face: FontLink\SystemLink holds, under the face's
// name, entries "FILE.TTC,Face Name[,scaling...]"; entries with a file only are skipped.
std::vector<std::wstring> SystemLinks(const std::wstring& name) {
    constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes == 0)
        return {};
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> faces;
    for (std::size_t at = 0; at < data.size() && data[at] != L'\0';) {
        const std::wstring entry(data.c_str() + at);
        at += entry.size() + 1;
        const std::size_t comma = entry.find(L',');
        if (comma == std::wstring::npos) continue;
        std::wstring face = entry.substr(comma + 1, entry.find(L',', comma + 1) - comma - 1);
        face.erase(0, face.find_first_not_of(L' '));
        face.erase(face.find_last_not_of(L' ') + 1);
        if (!face.empty()) faces.push_back(std::move(face));
    }
    return faces;
}

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
    names_.try_emplace(loaded.get(), name);
    return face;
}

std::shared_ptr<const TrueTypeFont> GdiFontProvider::Fallback(const TrueTypeFont& face, char32_t c) {
    std::vector<std::wstring> order;
    std::wstring name;
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = names_.find(&face); found != names_.end()) name = Lower(found->second);
        if (const auto found = fallbacks_.find({name, c}); found != fallbacks_.end()) return found->second;
        auto [links, added] = links_.try_emplace(name);
        if (added) {
            if (!name.empty()) links->second = SystemLinks(name);
            for (const wchar_t* common : kLinkedFaces) links->second.emplace_back(common);
        }
        order = links->second;
    }
    std::shared_ptr<const TrueTypeFont> linked;
    for (const std::wstring& candidate : order) {
        try {
            const FontFace found = Find(candidate, false, false);
            if (found.font.get() != &face && found.font->Glyph(c) != 0) {
                linked = found.font;
                break;
            }
        } catch (const FontError&) {
            // Not installed, or not a TrueType face: the next one.
        }
    }
    const std::lock_guard lock(mutex_);
    fallbacks_[{name, c}] = linked;
    return linked;
}

}  // namespace tarn::pages
