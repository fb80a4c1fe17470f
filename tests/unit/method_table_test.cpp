// Method-name resolution: every name reaches its exporter with its creation setting, case
// never matters, and near-misses select nothing.
#include "engine/method_table.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(MethodTable, EveryNameSelectsItsExporterWhateverTheCase) {
    struct Case {
        const wchar_t* name;
        ExporterKind kind;
        bool flag;
        bool namesImage;
    };
    const Case cases[] = {
        {L"csv", ExporterKind::Csv, false, false},       {L"Cdf", ExporterKind::Csv, false, false},
        {L"txt", ExporterKind::Txt, false, false},       {L"TEXT", ExporterKind::Txt, false, false},
        {L"rtf", ExporterKind::Txt, false, false},       {L"html", ExporterKind::Html, false, false},
        {L"HtM", ExporterKind::Html, false, false},      {L"mhtml", ExporterKind::Mhtml, false, false},
        {L"xls", ExporterKind::Xls, false, false},       {L"Excel", ExporterKind::Xls, true, false},
        {L"pdf", ExporterKind::Pdf, false, false},       {L"Preview", ExporterKind::Printer, true, false},
        {L"printer", ExporterKind::Printer, false, false}, {L"emf", ExporterKind::Image, false, true},
        {L"gif", ExporterKind::Image, false, true},      {L"BMP", ExporterKind::Image, false, true},
        {L"tif", ExporterKind::Image, false, true},      {L"tiff", ExporterKind::Image, false, true},
        {L"png", ExporterKind::Image, false, true},      {L"tga", ExporterKind::Image, false, true},
        {L"jpg", ExporterKind::Image, false, true},      {L"Jpeg", ExporterKind::Image, false, true},
        {L"image", ExporterKind::Image, false, false},
    };
    for (const Case& c : cases) {
        auto entry = LookUpMethod(c.name);
        ASSERT_TRUE(entry.has_value()) << "no exporter for " << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(entry->kind, c.kind) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(entry->flag, c.flag) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(entry->namesImageFormat, c.namesImage) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST(MethodTable, NamesOutsideTheTableSelectNothing) {
    for (const wchar_t* name : {L"", L" csv", L"csv ", L"CSVX", L"WMF", L"DOC", L"XLSX", L"HTML5", L"pdf\t", L"c"})
        EXPECT_FALSE(LookUpMethod(name).has_value()) << testing::PrintToString(std::wstring(name));
    // Non-ASCII letters are not folded onto ASCII ones.
    EXPECT_FALSE(LookUpMethod(L"\u0441sv").has_value());  // Cyrillic es
}

}  // namespace
}  // namespace tarn
