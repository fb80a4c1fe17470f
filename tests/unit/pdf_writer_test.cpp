// PDF files read back by independent readers: qpdf checks the structure; poppler's tools
// extract the text, list the fonts and pictures, read the document information, and draw
// the pages. Fonts are the Liberation families standing in for the Windows ones.
#include "print/pdf_writer.h"

#include "image_magick.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <locale>
#include <regex>
#include <sstream>

// glibc keeps the locale path list of a LOCPATH setlocale (the German locale below) for
// the rest of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace tarn::pages {
namespace {

using test::MagickFolder;
using test::RunCommand;

const std::filesystem::path kFonts = "/usr/share/fonts/truetype/liberation2";

bool HaveTools() {
    return std::filesystem::exists(kFonts) && std::filesystem::exists("/usr/bin/qpdf") &&
           std::filesystem::exists("/usr/bin/pdftotext");
}

#define REQUIRE_TOOLS() \
    if (!HaveTools()) GTEST_SKIP() << "qpdf, poppler-utils or fonts-liberation2 missing"

std::string Tool(const std::string& command) {
    bool ok = false;
    std::string out = RunCommand(command + " 2>&1", ok);
    EXPECT_TRUE(ok) << command << "\n" << out;
    return out;
}

PdfDocumentInfo Info(std::wstring title) {
    PdfDocumentInfo info;
    info.title = std::move(title);
    info.created = std::chrono::sys_days{std::chrono::year{2024} / 3 / 5} + std::chrono::hours{14};
    return info;
}

TextRun Text(int x, int baseline, std::wstring text, FontSpec font = {}) {
    TextRun run;
    run.x = x;
    run.baseline = baseline;
    run.text = std::move(text);
    run.font = std::move(font);
    return run;
}

std::string Write(const std::vector<Page>& pages, const std::wstring& title = L"Report",
                  std::vector<std::filesystem::path> folders = {kFonts}) {
    FontFolderProvider fonts(std::move(folders));
    MemorySink sink;
    PdfWriter writer(sink, fonts, Info(title));
    for (const Page& page : pages) writer.AddPage(page);
    writer.Finish();
    return sink.bytes();
}

std::string Save(const MagickFolder& folder, const std::string& name, const std::string& bytes) {
    return folder.Write(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// Noise, so the compressed picture spans many of the compressor's output buffers.
std::shared_ptr<PictureData> Raster(unsigned w, unsigned h, bool alpha) {
    auto picture = std::make_shared<PictureData>();
    picture->width = w;
    picture->height = h;
    picture->hasAlpha = alpha;
    unsigned seed = 7;
    for (std::size_t i = 0; i < std::size_t(w) * h * 4; ++i) {
        seed = seed * 1103515245u + 12345u;
        picture->bgra.push_back(static_cast<std::uint8_t>(alpha || i % 4 != 3 ? seed >> 16 : 255));
    }
    return picture;
}

TEST(PdfWriterTest, ThreePagesReadBackByQpdfAndPoppler) {
    REQUIRE_TOOLS();
    auto jpeg = std::make_shared<PictureData>();
    std::ifstream in(std::string(TARN_SOURCE_DIR) + "/tests/data/images/sample-40x30.jpg", std::ios::binary);
    jpeg->jpeg.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    jpeg->width = 40;
    jpeg->height = 30;
    const auto translucent = Raster(300, 200, true);

    Page first;
    first.ops.push_back(Text(1440, 1440, L"Quarterly report", FontSpec{L"Arial", 14, true}));
    first.ops.push_back(Text(1440, 2000, L"Γειά σου κόσμε", FontSpec{L"Times New Roman", 11}));
    first.ops.push_back(Text(1440, 2400, L"Привет, мир", FontSpec{L"Arial", 11, false, true}));
    first.ops.push_back(Text(1440, 2800, L"Total: 1,234.50 (net)", FontSpec{L"Courier New", 10, false, false, true}));
    first.ops.push_back(Box{1440, 3000, 4000, 800, 0x00EEDDCC, 0x000000FF, 20});
    first.ops.push_back(Line{1440, 4000, 5440, 4000, 0x00FF0000, 10});
    first.ops.push_back(PictureBox{1440, 4200, 2400, 1800, jpeg});
    first.ops.push_back(PictureBox{4000, 4200, 1200, 1000, translucent});
    Page second;
    second.width = 15840, second.height = 12240;  // landscape
    second.ops.push_back(Text(720, 720, L"Second page", FontSpec{L"Arial", 10}));
    second.ops.push_back(PictureBox{720, 1000, 2400, 1800, jpeg});  // the same picture again
    Page third;
    third.ops.push_back(Text(720, 720, L"Third page with Ω and Ж, 漢字 and 😀", FontSpec{L"Unknown Family", 10}));
    auto metafile = Raster(16, 8, false);  // drawn from its raster rendering
    metafile->metafile = std::string("\x01\0\0\0", 4) + std::string(84, '\0');
    third.ops.push_back(PictureBox{720, 1000, 1600, 800, metafile});

    MagickFolder folder;
    const std::string file = Save(folder, "report.pdf", Write({first, second, third}, L"Quarterly report — Ω"));

    EXPECT_NE(Tool("qpdf --check '" + file + "'").find("No syntax or stream encoding errors"), std::string::npos);

    const std::string info = Tool("pdfinfo '" + file + "'");
    for (const char* expected : {"Title: +Quarterly report — Ω\n", "Producer: +Tarnwick Exports\n",
                                 "CreationDate: +Tue Mar  5 14:00:00 2024 UTC\n", "Pages: +3\n",
                                 "Page size: +612 x 792 pts \\(letter\\)\n", "PDF version: +1.7\n"})
        EXPECT_TRUE(std::regex_search(info, std::regex(expected))) << expected << "\n" << info;
    const std::string info2 = Tool("pdfinfo -f 2 -l 2 '" + file + "'");
    EXPECT_TRUE(std::regex_search(info2, std::regex("Page +2 size: +792 x 612 pts"))) << info2;

    const std::string text = Tool("pdftotext -layout -enc UTF-8 '" + file + "' -");
    for (const char* expected : {"Quarterly report", "Γειά σου κόσμε", "Привет, мир", "Total: 1,234.50 (net)",
                                 "Second page", "Third page with Ω and Ж, 漢字 and 😀"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    // Every font embedded as a subset; the Windows families drawn by their stand-ins.
    const std::string fonts = Tool("pdffonts '" + file + "'");
    std::istringstream lines(fonts);
    std::string line;
    int listed = 0;
    while (std::getline(lines, line)) {
        if (line.size() < 10 || line[6] != '+') continue;
        ++listed;
        EXPECT_NE(line.find("CID TrueType"), std::string::npos) << line;
        EXPECT_TRUE(std::regex_search(line, std::regex("Identity-H\\s+yes\\s+yes\\s+yes"))) << line;
    }
    EXPECT_EQ(listed, 5) << fonts;
    for (const char* face : {"+LiberationSans-Bold ", "+LiberationSerif ", "+LiberationSans-Italic ",
                             "+LiberationMono ", "+LiberationSans "})
        EXPECT_NE(fonts.find(face), std::string::npos) << face << "\n" << fonts;

    // The JPEG kept as it was (once, though drawn twice); the raster with its soft mask.
    const std::string images = Tool("pdfimages -list '" + file + "'");
    std::smatch jpegs;
    ASSERT_TRUE(std::regex_search(
        images, jpegs,
        std::regex(
            R"(1\s+\d+\s+image\s+40\s+30\s+rgb\s+3\s+8\s+jpeg\s+no\s+(\d+)[^]*\n\s*2\s+\d+\s+image\s+40\s+30\s+rgb\s+3\s+8\s+jpeg\s+no\s+(\d+))")))
        << images;
    EXPECT_EQ(jpegs[1], jpegs[2]) << images;
    for (const char* raster :
         {R"(3\s+\d+\s+image\s+16\s+8\s+rgb\s+3\s+8\s+image)", R"(1\s+\d+\s+image\s+300\s+200\s+rgb\s+3\s+8\s+image)",
          R"(1\s+\d+\s+smask\s+300\s+200\s+gray\s+1\s+8\s+image)"})
        EXPECT_TRUE(std::regex_search(images, std::regex(raster))) << raster << "\n" << images;
}

TEST(PdfWriterTest, TextIsPlacedWhereTheMetricsMeasureIt) {
    REQUIRE_TOOLS();
    // Helvetica's widths (H 722, e 556, l 222, o 556 per 1000): Arial and its stand-in share them.
    FontFolderProvider provider({kFonts});
    TrueTypeFontMetrics metrics(provider);
    const FontSpec arial{L"Arial", 10};
    EXPECT_NEAR(metrics.TextWidth(arial, L"Hello"), 2278 * 0.2, 1.0);
    EXPECT_NEAR(metrics.Ascent(arial), 0.905 * 200, 1.0);
    EXPECT_NEAR(metrics.Descent(arial), 0.212 * 200, 1.0);
    EXPECT_NEAR(metrics.TextWidth(FontSpec{L"Courier New", 12}, L"abc\u0416"), 4 * 600 * 0.24, 1.0);

    Page page;
    page.ops.push_back(Text(2000, 3000, L"Hello", arial));
    page.ops.push_back(Text(2000, 4000, L"Hello", FontSpec{L"Arial", 20, false, true}));
    MagickFolder folder;
    const std::string file = Save(folder, "metrics.pdf", Write({page}));
    // Both words from x 100 pt, 22.78 and 45.56 pt wide.
    const std::string boxes = Tool("pdftotext -bbox '" + file + "' -");
    const std::regex pattern(R"~(xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">Hello)~");
    std::vector<double> widths;
    for (auto it = std::sregex_iterator(boxes.begin(), boxes.end(), pattern); it != std::sregex_iterator(); ++it) {
        EXPECT_NEAR(std::stod((*it)[1]), 100.0, 0.01);
        widths.push_back(std::stod((*it)[2]) - std::stod((*it)[1]));
    }
    ASSERT_EQ(widths.size(), 2u) << boxes;
    EXPECT_NEAR(widths[0], 22.78, 0.05);
    EXPECT_NEAR(widths[1], 45.56, 0.1);
}

// Liberation Sans has no check mark nor star: they come from DejaVu Sans, placed after the
// text before them, measured the same way.
TEST(PdfWriterTest, CharactersTheFaceLacksComeFromAFallbackFace) {
    REQUIRE_TOOLS();
    const std::filesystem::path dejavu = "/usr/share/fonts/truetype/dejavu";
    if (!std::filesystem::exists(dejavu / "DejaVuSans.ttf")) GTEST_SKIP() << "fonts-dejavu-core missing";
    FontFolderProvider provider({kFonts, dejavu});
    TrueTypeFontMetrics metrics(provider);
    const FontSpec arial{L"Arial", 12};
    Page page;
    page.ops.push_back(Text(1440, 1440, L"Done ✓ ★ ok", arial));
    MagickFolder folder;
    const std::string file = Save(folder, "fallback.pdf", Write({page}, L"Fallback", {kFonts, dejavu}));
    EXPECT_NE(Tool("pdftotext '" + file + "' -").find("Done ✓ ★ ok"), std::string::npos);
    const std::string fonts = Tool("pdffonts '" + file + "'");
    EXPECT_NE(fonts.find("+LiberationSans "), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("+DejaVuSans "), std::string::npos) << fonts;
    const std::string boxes = Tool("pdftotext -bbox '" + file + "' -");
    std::smatch word;
    ASSERT_TRUE(std::regex_search(boxes, word,
                                  std::regex(R"~(xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">ok<)~")))
        << boxes;
    EXPECT_NEAR(std::stod(word[1]), 72 + metrics.TextWidth(arial, L"Done ✓ ★ ") / 20, 0.05);
    EXPECT_NEAR(std::stod(word[2]), 72 + metrics.TextWidth(arial, L"Done ✓ ★ ok") / 20, 0.05);

    // In a bold run the bold face has its own letters, and the regular stand-in is made bold.
    Page boldPage;
    boldPage.ops.push_back(Text(1440, 1440, L"ok ✓", FontSpec{L"Arial", 12, true}));
    Save(folder, "bold.pdf", Write({boldPage}, L"Bold", {kFonts, dejavu}));
    Tool("qpdf --qdf --object-streams=disable '" + folder / "bold.pdf" + "' '" + folder / "bold-plain.pdf" + "'");
    const auto plain = folder.Read("bold-plain.pdf");
    const std::string content(plain.begin(), plain.end());
    const std::size_t ok = content.find("/F1 12 Tf"), mark = content.find("/F2 12 Tf");
    ASSERT_TRUE(ok != std::string::npos && mark != std::string::npos) << content;
    const std::size_t stroked = content.find("2 Tr\n");
    ASSERT_NE(stroked, std::string::npos) << content;
    EXPECT_TRUE(ok < stroked && stroked < mark) << "stroked from the stand-in's piece on only:\n" << content;
}

// A face without bold or italic of its own, as GDI offers many.
class PlainFaces final : public FontProvider {
public:
    FontFace Find(const std::wstring& name, bool bold, bool italic) override {
        return {folder_.Find(name, false, false).font, bold, italic};
    }

private:
    FontFolderProvider folder_{{kFonts}};
};

// An imitated bold draws heavier than the face, and the text after it as plain as ever.
TEST(PdfWriterTest, ImitatedBoldStaysWithItsRun) {
    REQUIRE_TOOLS();
    MagickFolder folder;
    auto inkPerBand = [&](const std::vector<TextRun>& runs) {
        PlainFaces fonts;
        MemorySink sink;
        PdfWriter writer(sink, fonts, Info(L"Bold"));
        Page page;
        page.width = 2880, page.height = 1440;
        for (const TextRun& run : runs) page.ops.push_back(run);
        writer.AddPage(page);
        writer.Finish();
        const std::string file = Save(folder, "bold.pdf", sink.bytes());
        Tool("pdftoppm -gray -r 72 '" + file + "' '" + folder / "page" + "'");
        const auto pixels = folder.Read("page-1.pgm");
        std::vector<int> bands(2);
        for (std::size_t i = 0; i + 15 < pixels.size(); ++i) bands[(i / 144) / 36] += 255 - pixels[15 + i];
        return bands;
    };
    const TextRun top = Text(100, 500, L"Iiii llll", FontSpec{L"Arial", 20, true});
    const TextRun bottom = Text(100, 1200, L"Iiii llll", FontSpec{L"Arial", 20});
    const auto plain = inkPerBand({bottom});
    const auto both = inkPerBand({top, bottom});
    EXPECT_GT(both[0], plain[1] * 5 / 4);
    EXPECT_EQ(both[1], plain[1]);
}

// Drawn by poppler at one pixel per point: boxes, lines and pictures where the page model
// puts them (y downwards, pictures upright), in their colours (Windows' 0x00BBGGRR), a
// transparent pixel showing the page, and an underline below the baseline.
TEST(PdfWriterTest, DrawingLandsWhereThePageModelPutsIt) {
    REQUIRE_TOOLS();
    auto quadrants = std::make_shared<PictureData>();
    quadrants->width = quadrants->height = 2;
    quadrants->bgra = {255, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 255};  // blue white / black red
    auto halfClear = std::make_shared<PictureData>();
    halfClear->width = 2, halfClear->height = 1, halfClear->hasAlpha = true;
    halfClear->bgra = {255, 0, 0, 255, 0, 0, 255, 0};  // opaque blue, transparent red
    Page page;
    page.width = page.height = 1440;
    page.ops.push_back(Box{100, 100, 400, 200, 0x000000FF, std::nullopt, 0});
    page.ops.push_back(Line{100, 600, 1300, 600, 0x0000FF00, 60});
    page.ops.push_back(PictureBox{100, 800, 400, 400, quadrants});
    page.ops.push_back(PictureBox{800, 800, 400, 200, halfClear});
    page.ops.push_back(Text(800, 300, L"ooo", FontSpec{L"Arial", 10, false, false, true}));
    MagickFolder folder;
    const std::string file = Save(folder, "drawing.pdf", Write({page}));
    Tool("pdftoppm -r 72 '" + file + "' '" + folder / "page" + "'");
    const auto ppm = folder.Read("page-1.ppm");
    const std::string header(ppm.begin(), ppm.begin() + 13);
    ASSERT_EQ(header, "P6\n72 72\n255\n");
    auto rgb = [&](int x, int y) {
        const std::size_t at = 13 + 3 * (std::size_t(y) * 72 + x);
        return (ppm[at] << 16) | (ppm[at + 1] << 8) | ppm[at + 2];
    };
    EXPECT_EQ(rgb(15, 10), 0xFF0000);  // box
    EXPECT_EQ(rgb(15, 20), 0xFFFFFF);  // below it
    EXPECT_EQ(rgb(40, 30), 0x00FF00);  // line
    EXPECT_EQ(rgb(8, 43), 0x0000FF);   // picture: blue top left,
    EXPECT_EQ(rgb(22, 43), 0xFFFFFF);  // white top right,
    EXPECT_EQ(rgb(8, 57), 0x000000);   // black bottom left,
    EXPECT_EQ(rgb(22, 57), 0xFF0000);  // red bottom right
    EXPECT_EQ(rgb(44, 45), 0x0000FF);  // opaque half
    EXPECT_EQ(rgb(56, 45), 0xFFFFFF);  // transparent half
    // The underline: a dark row across the text, up to two points below the baseline (y 15).
    int underline = 0;
    for (int y = 15; y <= 17; ++y) {
        int dark = 0;
        for (int x = 40; x < 55; ++x) dark += (rgb(x, y) & 0xFF) < 160;
        if (dark >= 14) underline = y;
    }
    EXPECT_NE(underline, 0);
}

// Accented capitals are composite glyphs: the subset must carry the glyphs they are built
// from. Each letter drawn from the PDF inks as much as ImageMagick draws from the font file.
TEST(PdfWriterTest, CompositeGlyphsDrawWholeInTheSubset) {
    REQUIRE_TOOLS();
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick missing";
    MagickFolder folder;
    auto ink = [&](const std::string& name) {
        const auto pixels = folder.Read(name);
        return std::count_if(pixels.begin() + 15, pixels.end(), [](std::uint8_t v) { return v < 128; });
    };
    for (const auto& [letter, utf8] : std::initializer_list<std::pair<std::wstring, std::string>>{
             {L"A", "A"}, {L"Ä", "Ä"}, {L"Å", "Å"}, {L"É", "É"}, {L"ǻ", "ǻ"}}) {
        Page page;
        page.width = page.height = 1440;
        page.ops.push_back(Text(200, 1200, letter, FontSpec{L"Arial", 48}));
        const std::string file = Save(folder, "glyph.pdf", Write({page}));
        Tool("pdftoppm -gray -r 72 '" + file + "' '" + folder / "page" + "'");
        Tool("convert -font '" + (kFonts / "LiberationSans-Regular.ttf").string() +
             "' -density 72 -pointsize 48 'label:" + utf8 + "' -depth 8 '" + folder / "label.pgm" + "'");
        const auto drawn = ink("page-1.pgm"), expected = ink("label.pgm");
        EXPECT_GT(expected, 200);
        EXPECT_NEAR(drawn, expected, expected / 12) << utf8;
    }
}

// A German locale: the system's, or compiled from its definition (package locales) into
// the scratch folder when the system has not generated it.
bool UseGermanLocale(const MagickFolder& folder) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return true;
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return false;
    bool ok = false;
    (void)RunCommand("localedef -i de_DE -f UTF-8 '" + folder / "de_DE.UTF-8" + "' 2>&1", ok);
    ::setenv("LOCPATH", (folder / "").c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(PdfWriterTest, BytesDoNotDependOnTheLocale) {
    REQUIRE_TOOLS();
    Page page;
    page.ops.push_back(Text(1441, 1437, L"1.5 × 2,25", FontSpec{L"Arial", 10.5}));
    page.ops.push_back(Line{1, 3, 1001, 7, 0x00336699, 7});
    page.ops.push_back(Box{13, 17, 1003, 777, 0x00123456, std::nullopt, 15});
    const std::string before = Write({page});
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    MagickFolder folder;
    if (!UseGermanLocale(folder)) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    const std::locale previous = std::locale::global(std::locale("de_DE.UTF-8"));
    char decimal[8];
    std::snprintf(decimal, sizeof(decimal), "%.1f", 1.5);
    const std::string after = Write({page});
    std::locale::global(previous);
    std::setlocale(LC_ALL, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_STREQ(decimal, "1,5");
    EXPECT_EQ(before, after);
    EXPECT_NE(before.find("/MediaBox[0 0 612 792]"), std::string::npos);
    // The numbers as written, read back uncompressed by qpdf.
    Save(folder, "locale.pdf", before);
    Tool("qpdf --qdf --object-streams=disable '" + folder / "locale.pdf" + "' '" + folder / "plain.pdf" + "'");
    const auto plain = folder.Read("plain.pdf");
    const std::string content(plain.begin(), plain.end());
    EXPECT_NE(content.find("0.6 0.4 0.2 RG\n0.35 w 0.05 0.15 m 50.05 0.35 l S"), std::string::npos);
    EXPECT_NE(content.find("/F1 10.5 Tf 1 0 0 -1 72.05 71.85 Tm"), std::string::npos);
}

// Faces without a bold of their own, so bold text is imitated inside a saved graphics state.
class ImitatedBold final : public FontProvider {
public:
    FontFace Find(const std::wstring& name, bool bold, bool italic) override {
        FontFace face = folders_.Find(name, false, italic);
        face.syntheticBold = bold;
        return face;
    }

private:
    FontFolderProvider folders_{{kFonts}};
};

// Colours, widths and fonts are set once while they hold; text after an imitated bold run
// sets again what the restored graphics state took back.
TEST(PdfWriterTest, StateIsSetOnlyWhenItChanges) {
    REQUIRE_TOOLS();
    Page page;
    for (int y : {0, 240}) {
        page.ops.push_back(Box{0, y, 1200, 240, 0xFFFFFF, 0x808080, 15});
        page.ops.push_back(Text(60, y + 200, L"a", FontSpec{L"Arial", 10}));
    }
    TextRun bold = Text(60, 680, L"b", FontSpec{L"Arial", 12, true});
    bold.colour = 0x0000FF;
    page.ops.push_back(bold);
    TextRun after = Text(60, 920, L"c", FontSpec{L"Arial", 12});
    after.colour = 0x0000FF;
    page.ops.push_back(after);
    page.ops.push_back(Line{0, 1000, 1200, 1000, 0x808080, 15});

    ImitatedBold fonts;
    MemorySink sink;
    PdfWriter writer(sink, fonts, Info(L"x"));
    writer.AddPage(page);
    writer.Finish();
    MagickFolder folder;
    Save(folder, "state.pdf", sink.bytes());
    Tool("qpdf --qdf --object-streams=disable '" + folder / "state.pdf" + "' '" + folder / "plain.pdf" + "'");
    const auto plain = folder.Read("plain.pdf");
    const std::string content(plain.begin(), plain.end());
    EXPECT_NE(content.find("1 0 0 -1 0 792 cm\n"
                           "1 1 1 rg\n0.502 0.502 0.502 RG\n0.75 w\n0 0 60 12 re B\n"
                           "BT\n0 0 0 rg\n/F1 10 Tf 1 0 0 -1 3 10 Tm\n<0001> Tj\nET\n"
                           "1 1 1 rg\n0 12 60 12 re B\n"
                           "BT\n0 0 0 rg\n1 0 0 -1 3 22 Tm\n<0001> Tj\nET\n"
                           "q\nBT\n1 0 0 rg\n1 0 0 RG\n0.4 w\n2 Tr\n/F1 12 Tf 1 0 0 -1 3 34 Tm\n<0002> Tj\nET\nQ\n"
                           "BT\n1 0 0 rg\n/F1 12 Tf 1 0 0 -1 3 46 Tm\n<0003> Tj\nET\n"
                           "0 50 m 60 50 l S\n"),
              std::string::npos)
        << content;
    // Poppler reads the letters back in their order.
    std::string text = Tool("pdftotext '" + folder / "state.pdf" + "' -");
    std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
    EXPECT_EQ(text, "aabc");
}

TEST(PdfWriterTest, DamagedOrHugePicturesAreRefused) {
    FontFolderProvider fonts({kFonts});
    auto refuse = [&](std::shared_ptr<PictureData> picture, const char* message) {
        MemorySink sink;
        PdfWriter writer(sink, fonts, Info(L"x"));
        Page page;
        page.ops.push_back(PictureBox{0, 0, 100, 100, std::move(picture)});
        try {
            writer.AddPage(page);
            ADD_FAILURE() << "accepted; expected: " << message;
        } catch (const PdfError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    };
    auto sized = [](unsigned w, unsigned h, std::size_t bytes) {
        auto picture = Raster(2, 2, false);
        picture->width = w, picture->height = h;
        picture->bgra.resize(bytes);
        return picture;
    };
    auto jpeg = [](std::string bytes) {
        auto picture = std::make_shared<PictureData>();
        picture->jpeg = std::move(bytes);
        return picture;
    };
    refuse(sized(60000, 60000, 16), "too large to print: 60000 x 60000");
    refuse(sized(0x80000000u, 2, 16), "too large");
    refuse(sized(4, 4, 60), "do not match its size of 4 x 4");
    refuse(std::make_shared<PictureData>(), "no pixels");
    refuse(jpeg(std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\xEA\x60\xEA\x60\x03", 12) + std::string(9, '\x11')),
           "too large to print: 60000 x 60000");
    refuse(jpeg(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)), "damaged");
    refuse(jpeg("GIF89a"), "not a JPEG");
}

TEST(PdfWriterTest, DamagedFontsThrowFontError) {
    REQUIRE_TOOLS();
    std::ifstream in(kFonts / "LiberationSans-Regular.ttf", std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::size_t size : {0, 11, 200, 2000})
        EXPECT_THROW(TrueTypeFont::FromFile(file.substr(0, size)), FontError);
    std::string otto = file;
    otto.replace(0, 4, "OTTO");
    EXPECT_THROW(TrueTypeFont::FromFile(otto), FontError);
}

}  // namespace
}  // namespace tarn::pages
