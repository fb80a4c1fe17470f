// The PDF writer's fonts from GDI: the face GDI picks, read table by table, measures text
// as GDI itself measures it, keeps the styles the face has and imitates the others, and is
// embedded under its own name.
#include "com/handles.h"
#include "print/gdi_font_provider.h"
#include "print/pdf_writer.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace tarn::pages {
namespace {

// GDI's own width of a text at an em of 2000 pixels: the width in twips of the same text at
// 100 points.
LONG GdiWidth(const FontSpec& spec, const std::wstring& text) {
    LOGFONTW request{};
    request.lfHeight = -2000;
    request.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    request.lfItalic = spec.italic;
    wcscpy(request.lfFaceName, spec.name.c_str());
    const unique_hdc dc(CreateCompatibleDC(nullptr));
    const unique_hfont font(CreateFontIndirectW(&request));
    const unique_select_object selected(dc.get(), font.get());
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Tahoma is in every Windows; Wine substitutes a face of its own choosing, which must then
// be the one measured and embedded.
TEST(GdiFontProviderTest, MeasuresAsGdiAndEmbedsTheFaceGdiChose) {
    GdiFontProvider fonts;
    TrueTypeFontMetrics metrics(fonts);
    const std::wstring text = L"Harbour ledger 1,234.50";
    for (const auto& [bold, italic] : {std::pair{false, false}, {true, false}, {false, true}}) {
        FontSpec spec;
        spec.name = L"Tahoma";
        spec.size = 100;
        spec.bold = bold;
        spec.italic = italic;
        const double gdi = GdiWidth(spec, text);
        EXPECT_NEAR(metrics.TextWidth(spec, text), gdi, gdi / 100) << bold << italic;
        // A style comes from the face or is imitated, never both, never neither.
        const FontFace face = fonts.Find(spec.name, bold, italic);
        EXPECT_EQ(face.font->Bold() || face.syntheticBold, bold);
        EXPECT_FALSE(face.font->Bold() && face.syntheticBold);
        EXPECT_EQ(face.font->Italic() || face.syntheticItalic, italic);
        EXPECT_FALSE(face.font->Italic() && face.syntheticItalic);
    }

    MemorySink sink;
    PdfWriter writer(sink, fonts, {});
    Page page;
    TextRun run;
    run.font.name = L"Tahoma";
    run.text = text;
    page.ops.push_back(run);
    writer.AddPage(page);
    writer.Finish();
    const std::string name = fonts.Find(L"Tahoma", false, false).font->PostScriptName();
    EXPECT_NE(sink.bytes().find("+" + name + "/Encoding/Identity-H"), std::string::npos) << name;
    EXPECT_NE(sink.bytes().find("/FontFile2"), std::string::npos);
}

}  // namespace
}  // namespace tarn::pages
