// Page margins from text, the header and footer of every page, text flow and pictures, with
// metrics of round numbers (page_capture.h) so every position below is worked out by hand:
// a letter-size page with margins of 1080 twips and the header at 1440 has its body from
// y 2000 to 14220 and x 1080 to 11160.
#include "print/page_composer.h"

#include "page_capture.h"
#include "print/measurement.h"

#include <gtest/gtest.h>

namespace tarn::pages {
namespace {

using testing::FakeMetrics;
using testing::PageCollector;
using testing::Placed;

constexpr std::size_t kDecorationRuns = 7;  // title, subtitle, four footer runs and the page number

std::vector<std::wstring> Content(const Page& page) {
    std::vector<std::wstring> placed = Placed(page);
    return {placed.begin() + kDecorationRuns, placed.end()};
}

TEST(Measurement, UnitsToTwips) {
    const std::pair<const wchar_t*, int> units[] = {{L"0.75 inches", 1080}, {L".5 inches", 720}, {L"1 inch", 1440},
                                                    {L"1.5IN", 2160},       {L"2\"", 2880},      {L"2.54 cm", 1440},
                                                    {L"10 mm", 567},        {L"12 pt", 240},     {L"7.5 Points", 150},
                                                    {L" 720 ", 720},        {L"300 twips", 300}};
    for (const auto& [text, twips] : units) EXPECT_EQ(ParseMeasurement(text), twips) << text;
    for (const wchar_t* bad : {L"", L"inches", L"one inch", L"-1 inch", L"1.2.3 in", L"1 furlong", L"1,5 cm"}) {
        EXPECT_EQ(ParseMeasurement(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(MarginFromText(L"  ", 1440), 1440);
    EXPECT_THROW((void)MarginFromText(L"wide", 1440), MeasurementError);

    DocumentSetup setup;
    ApplyHeaderMargin(setup, L"");
    EXPECT_EQ(setup.margins.header, 1440) << "an omitted header margin keeps the default";
    ApplyHeaderMargin(setup, L".5 inches");
    EXPECT_EQ(setup.margins.header, 720);
}

TEST(PageHeaderFooter, HeaderFooterAndLogoOnEveryPage) {
    EXPECT_EQ(MediumTime(17, 5), L"05:05 PM");
    EXPECT_EQ(MediumTime(0, 0), L"12:00 AM");
    EXPECT_EQ(MediumTime(12, 30), L"12:30 PM");

    auto logo = std::make_shared<PictureData>();
    PageDecoration decoration{L"Sales", L"Sheet %d", L"Stock", L"2.1", L"06/12/2026", L"05:05 PM", logo};
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, decoration, metrics, sink);
    composer.NewPage();
    EXPECT_EQ(composer.Finish(), 2);
    ASSERT_EQ(sink.pages.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const Page& page = sink.pages[i];
        EXPECT_EQ(std::pair(page.width, page.height), std::pair(12240, 15840));
        EXPECT_EQ(Placed(page),
                  (std::vector<std::wstring>{
                      L"Sales@1080,1600", L"Sheet " + std::to_wstring(i + 1) + L"@1080,1784",
                      L"  Quillon Stock @1080,14544", L"2.1@2520,14544", L"  https://www.quillonsoft.com/@1080,14724",
                      L"06/12/2026 05:05 PM@9450,14544", L"Page " + std::to_wstring(i + 1) + L"@10620,14724"}));
        auto title = testing::FindRun(page, L"Sales");
        EXPECT_EQ(title->font, (FontSpec{L"Arial", 10, true}));
        EXPECT_EQ(testing::FindRun(page, L"Sheet " + std::to_wstring(i + 1))->font, (FontSpec{L"Arial", 9, false}));
        EXPECT_EQ(testing::FindRun(page, L"  Quillon Stock ")->font, (FontSpec{L"Arial", 9, true}));
        EXPECT_EQ(testing::FindRun(page, L"2.1")->font, (FontSpec{L"Arial", 9, false}));
        auto pictures = testing::Pictures(page);
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(pictures[0].picture, logo);
        EXPECT_EQ(std::tuple(pictures[0].x, pictures[0].y, pictures[0].width, pictures[0].height),
                  std::tuple(930, 14400, 220, 200));
    }

    DocumentSetup landscape;
    landscape.orientation = Orientation::Landscape;
    PageCollector wide;
    PageComposer turned(landscape, decoration, metrics, wide);
    turned.Finish();
    EXPECT_EQ(std::pair(wide.pages[0].width, wide.pages[0].height), std::pair(15840, 12240));
    EXPECT_EQ(Placed(wide.pages[0]).back(), L"Page 1@14220,11124");
}

TEST(TextFlow, WrapsAtTheMarginExpandsTabsAndBreaksOverPages) {
    DocumentSetup narrow;
    narrow.margins.right = 12240 - 1080 - 800;  // ten Courier characters of 80 twips
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer(narrow, {}, metrics, sink);
    composer.FlowText(L"alpha beta gamma\r\ndeltaepsilonzeta\tx\n  indented");
    composer.Finish();
    EXPECT_EQ(Content(sink.pages[0]),
              (std::vector<std::wstring>{L"alpha beta@1080,2128", L"gamma@1080,2288", L"deltaepsil@1080,2448",
                                         L"onzeta@1080,2608", L"x@1800,2608", L"  indented@1080,2768"}));
    EXPECT_EQ(testing::FindRun(sink.pages[0], L"gamma")->font, (FontSpec{L"Courier New", 8}));

    // 76 lines of 160 twips fill the body of 12220; the 77th starts the next page at its top.
    std::wstring text;
    for (int i = 1; i <= 80; ++i) text += L"line " + std::to_wstring(i) + L"\r\n";
    PageCollector longer;
    PageComposer flowing({}, {}, metrics, longer);
    flowing.FlowText(text);
    EXPECT_EQ(flowing.Finish(), 2);
    EXPECT_EQ(Content(longer.pages[0]).back(), L"line 76@1080,14128");
    EXPECT_EQ(Content(longer.pages[1]).front(), L"line 77@1080,2128");
}

TEST(TextFlow, StyledRunsFromRtfKeepTheirFontsColoursAndAlignment) {
    std::wstring document(
        L"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}"
        L"\\qc\\f0\\fs20\\b Big\\b0\\f1\\fs16\\cf1  small\\par\\pard\\qr\\i\\ul end\\par}");
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    composer.FlowRtf(document);
    composer.Finish();
    // "Big" is 300 wide and " small" 480: 780 centred in 10080. The first line is as high as
    // its 10 pt font; "end" (8 pt, 240 wide) sits at the right margin on the next line.
    EXPECT_EQ(Content(sink.pages[0]),
              (std::vector<std::wstring>{L"Big@5730,2160", L" small@6030,2160", L"end@10920,2328"}));
    EXPECT_EQ(testing::FindRun(sink.pages[0], L"Big")->font, (FontSpec{L"Arial", 10, true}));
    auto small = testing::FindRun(sink.pages[0], L" small");
    EXPECT_EQ(small->font, (FontSpec{L"Times New Roman", 8}));
    EXPECT_EQ(small->colour, 0x0000FFu);
    EXPECT_EQ(testing::FindRun(sink.pages[0], L"end")->font, (FontSpec{L"Times New Roman", 8, false, true, true}));

    PageCollector plain;
    PageComposer notRtf({}, {}, metrics, plain);
    notRtf.FlowRtf(L"just text");
    notRtf.Finish();
    EXPECT_EQ(testing::FindRun(plain.pages[0], L"just text")->font, (FontSpec{L"Courier New", 8}))
        << "text that is not RTF is printed in the body font";
}

TEST(PictureInBody, KeepsProportionsAndIsCentred) {
    FakeMetrics metrics;
    PageCollector sink;
    PageComposer composer({}, {}, metrics, sink);
    auto wide = std::make_shared<PictureData>(), tall = std::make_shared<PictureData>();
    wide->width = 200, wide->height = 100;
    tall->width = 100, tall->height = 400;
    composer.DrawPictureInBody(wide);
    composer.NewPage();
    composer.DrawPictureInBody(tall);
    composer.Finish();
    auto boxOf = [](const Page& page) {
        PictureBox box = testing::Pictures(page).at(0);
        return std::vector<int>{box.x, box.y, box.width, box.height};
    };
    EXPECT_EQ(boxOf(sink.pages[0]), (std::vector<int>{1080, 5590, 10080, 5040}));
    EXPECT_EQ(boxOf(sink.pages[1]), (std::vector<int>{4593, 2000, 3055, 12220}));
}

}  // namespace
}  // namespace tarn::pages
