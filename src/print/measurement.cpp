// Lengths with units as text, into twips.
#include "print/measurement.h"

#include <cmath>
#include <cwctype>
#include <string>

namespace tarn::pages {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> TwipsPerUnit(std::wstring_view unit) {
    std::wstring lower;
    for (wchar_t c : unit) lower += static_cast<wchar_t>(std::towlower(c));
    if (lower.empty() || lower == L"tw" || lower == L"twip" || lower == L"twips") return 1.0;
    if (lower == L"in" || lower == L"inch" || lower == L"inches" || lower == L"\"") return 1440.0;
    if (lower == L"cm") return 1440.0 / 2.54;
    if (lower == L"mm") return 144.0 / 2.54;
    if (lower == L"pt" || lower == L"pts" || lower == L"point" || lower == L"points") return 20.0;
    return std::nullopt;
}

}  // namespace

std::optional<int> ParseMeasurement(std::wstring_view text) {
    text = Trim(text);
    double value = 0;
    double scale = 0;  // 0 before the decimal point, then the place of the next digit
    bool digits = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            digits = true;
            if (scale == 0) {
                value = value * 10 + (c - L'0');
            } else {
                value += (c - L'0') * scale;
                scale /= 10;
            }
        } else if (c == L'.' && scale == 0) {
            scale = 0.1;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    std::optional<double> perUnit = TwipsPerUnit(Trim(text.substr(i)));
    if (!perUnit) return std::nullopt;
    double twips = std::round(value * *perUnit);
    if (twips > 1e9) return std::nullopt;
    return static_cast<int>(twips);
}

int MarginFromText(std::wstring_view text, int fallback) {
    if (Trim(text).empty()) return fallback;
    if (std::optional<int> twips = ParseMeasurement(text)) return *twips;
    std::string shown;
    for (wchar_t c : text) shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    throw MeasurementError("\"" + shown + "\" is not a page margin: a number and a unit such as \"0.75 inches\"");
}

}  // namespace tarn::pages
