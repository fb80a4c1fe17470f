// Method-name table, compared case-insensitively (ASCII), first match wins.
#include "engine/method_table.h"

#include <array>

namespace tarn {

namespace {
struct Row {
    std::wstring_view name;
    MethodEntry entry;
};

constexpr std::array kRows{
    Row{L"CSV", {ExporterKind::Csv}},
    Row{L"CDF", {ExporterKind::Csv}},
    Row{L"TXT", {ExporterKind::Txt}},
    Row{L"TEXT", {ExporterKind::Txt}},
    Row{L"RTF", {ExporterKind::Txt}},
    Row{L"HTML", {ExporterKind::Html}},
    Row{L"HTM", {ExporterKind::Html}},
    Row{L"MHTML", {ExporterKind::Mhtml}},
    Row{L"XLS", {ExporterKind::Xls, false}},
    Row{L"EXCEL", {ExporterKind::Xls, true}},
    Row{L"PDF", {ExporterKind::Pdf}},
    Row{L"PREVIEW", {ExporterKind::Printer, true}},
    Row{L"PRINTER", {ExporterKind::Printer, false}},
    Row{L"EMF", {ExporterKind::Image, false, true}},
    Row{L"GIF", {ExporterKind::Image, false, true}},
    Row{L"BMP", {ExporterKind::Image, false, true}},
    Row{L"TIF", {ExporterKind::Image, false, true}},
    Row{L"TIFF", {ExporterKind::Image, false, true}},
    Row{L"PNG", {ExporterKind::Image, false, true}},
    Row{L"TGA", {ExporterKind::Image, false, true}},
    Row{L"JPG", {ExporterKind::Image, false, true}},
    Row{L"JPEG", {ExporterKind::Image, false, true}},
    Row{L"IMAGE", {ExporterKind::Image}},
};

constexpr wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameUpper(std::wstring_view method, std::wstring_view upperName) {
    if (method.size() != upperName.size()) return false;
    for (size_t i = 0; i < method.size(); ++i)
        if (Upper(method[i]) != upperName[i]) return false;
    return true;
}
}  // namespace

std::optional<MethodEntry> LookUpMethod(std::wstring_view method) {
    for (const Row& row : kRows)
        if (SameUpper(method, row.name)) return row.entry;
    return std::nullopt;
}

}  // namespace tarn
