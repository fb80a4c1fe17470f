// Grid-to-worksheet rules: value recognition, sheet names, row placement, alignment, units.
#include "tables/xls_layout.h"

#include "common/file_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>

namespace tarn::xls {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Excel keeps 15 significant digits; a longer number (an account number, a long code)
// would come back changed.
constexpr std::size_t kMaxSignificantDigits = 15;

std::optional<double> ParseAscii(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::wstring ZeroDecimals(std::size_t count) { return count == 0 ? std::wstring() : L"." + std::wstring(count, L'0'); }

}  // namespace

std::optional<RecognisedValue> RecogniseNumber(std::wstring_view text, const NumberConventions& c) {
    std::size_t i = 0;
    std::string ascii;  // the number in the form from_chars reads
    if (i < text.size() && text[i] == L'-') {
        ascii += '-';
        ++i;
    }

    // Integer part: plain digits, or groups of three after a first group of one to three.
    const std::size_t intStart = i;
    std::size_t digits = 0;
    bool grouped = false;
    std::size_t groupLength = 0;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            ascii += static_cast<char>(text[i]);
            ++digits;
            ++groupLength;
        } else if (text[i] == c.thousands && c.thousands != c.decimal && digits > 0) {
            if ((!grouped && groupLength > 3) || (grouped && groupLength != 3)) return std::nullopt;
            grouped = true;
            groupLength = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || (grouped && groupLength != 3)) return std::nullopt;
    // "007" is seven that shows its leading zeros: a whole number with the format "000".
    const bool zeroPadded = text[intStart] == L'0' && digits > 1;
    if (zeroPadded && grouped) return std::nullopt;

    std::size_t decimals = 0;
    if (i < text.size() && text[i] == c.decimal) {
        ascii += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++decimals) ascii += static_cast<char>(text[i]);
        if (decimals == 0) return std::nullopt;
    }
    std::size_t significant = 0;
    for (const char ch : ascii)
        if ((ch >= '1' && ch <= '9') || (ch == '0' && significant > 0)) ++significant;
    if (significant > kMaxSignificantDigits) return std::nullopt;

    std::wstring format = (grouped ? L"#,##0" : L"0") + ZeroDecimals(decimals);
    double scale = 1;
    if (i < text.size() && (text[i] == L'E' || text[i] == L'e') && !grouped) {
        ascii += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ascii += static_cast<char>(text[i++]);
        std::size_t exponentDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) ascii += static_cast<char>(text[i]);
        if (exponentDigits == 0 || exponentDigits > 3) return std::nullopt;
        format = L"0" + ZeroDecimals(decimals) + L"E+00";
    } else if (i < text.size() && text[i] == L'%') {
        ++i;
        scale = 100;
        format = (grouped ? L"#,##0" : L"0") + ZeroDecimals(decimals) + L"%";
    } else if (zeroPadded && decimals == 0) {
        format.assign(digits, L'0');
    } else if (!grouped && decimals == 0) {
        format.clear();  // a plain whole number shows as itself in General
    }
    if (i != text.size() || (zeroPadded && format != std::wstring(digits, L'0'))) return std::nullopt;

    const std::optional<double> value = ParseAscii(ascii);
    if (!value) return std::nullopt;
    return RecognisedValue{*value / scale, std::move(format)};
}

DateConventions DateConventionsFromPattern(std::wstring_view pattern) {
    DateConventions result;
    const std::size_t day = pattern.find_first_of(L"d");
    const std::size_t month = pattern.find_first_of(L"M");
    const std::size_t year = pattern.find_first_of(L"y");
    if (day == std::wstring_view::npos || month == std::wstring_view::npos || year == std::wstring_view::npos)
        return result;
    if (year < month && month < day)
        result.order = DateConventions::Order::YearMonthDay;
    else if (day < month)
        result.order = DateConventions::Order::DayMonthYear;
    else
        result.order = DateConventions::Order::MonthDayYear;

    // The workbook's codes are the pattern's, with the month in lower case; quoted text and
    // the era ("g") are left out.
    std::wstring format;
    bool quoted = false;
    for (const wchar_t ch : pattern) {
        if (ch == L'\'') {
            quoted = !quoted;
        } else if (quoted || ch == L'g') {
            continue;
        } else {
            format += ch == L'M' ? L'm' : ch;
        }
    }
    // More than four "m" is not a date code the workbook knows.
    result.numberFormat = format;
    return result;
}

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

// Days from 1899-12-30 (the serial of the workbook's 1900 system from March 1900 on).
long DaySerial(int y, int m, int d) {
    // Days from the civil epoch 0000-03-01, then shifted.
    const int yy = m <= 2 ? y - 1 : y;
    const int era = yy / 400;
    const int yoe = yy - era * 400;
    const int mp = (m + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe;  // since 0000-03-01
    constexpr long k18991230 = 693899;                        // 1899-12-30 in the same count
    return days - k18991230;
}

// Reads one to `maxDigits` digits at `i`.
std::optional<int> Digits(std::wstring_view text, std::size_t& i, std::size_t minDigits, std::size_t maxDigits,
                          std::size_t* count = nullptr) {
    int value = 0;
    std::size_t n = 0;
    for (; i < text.size() && IsDigit(text[i]) && n < maxDigits; ++i, ++n) value = value * 10 + (text[i] - L'0');
    if (n < minDigits || (i < text.size() && IsDigit(text[i]))) return std::nullopt;
    if (count) *count = n;
    return value;
}

}  // namespace

std::optional<RecognisedValue> RecogniseDate(std::wstring_view text, const DateConventions& c) {
    std::size_t i = 0;
    std::array<int, 3> parts{};
    std::array<std::size_t, 3> widths{};
    wchar_t separator = 0;
    for (std::size_t p = 0; p < 3; ++p) {
        const std::optional<int> part = Digits(text, i, 1, 4, &widths[p]);
        if (!part) return std::nullopt;
        parts[p] = *part;
        if (p == 2) break;
        if (i >= text.size() || (text[i] != L'/' && text[i] != L'-' && text[i] != L'.')) return std::nullopt;
        if (separator != 0 && text[i] != separator) return std::nullopt;
        separator = text[i++];
    }
    using Order = DateConventions::Order;
    const std::size_t yearAt = c.order == Order::YearMonthDay ? 0 : 2;
    const std::size_t monthAt = c.order == Order::MonthDayYear ? 0 : 1;
    const std::size_t dayAt = 3 - yearAt - monthAt;
    int y = parts[yearAt];
    const int m = parts[monthAt];
    const int d = parts[dayAt];
    const std::size_t yearWidth = widths[yearAt];
    if ((yearWidth != 2 && yearWidth != 4) || widths[monthAt] > 2 || widths[dayAt] > 2) return std::nullopt;
    if (yearWidth == 2) y += y < 30 ? 2000 : 1900;
    if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
    if (y < 1900 || (y == 1900 && m < 3)) return std::nullopt;

    double serial = static_cast<double>(DaySerial(y, m, d));
    std::wstring format = c.numberFormat;
    if (i < text.size()) {
        if (text[i] != L' ') return std::nullopt;
        ++i;
        const std::optional<int> hours = Digits(text, i, 1, 2);
        if (!hours || i >= text.size() || text[i] != L':') return std::nullopt;
        ++i;
        const std::optional<int> minutes = Digits(text, i, 2, 2);
        if (!minutes) return std::nullopt;
        int seconds = 0;
        format += L" h:mm";
        if (i < text.size() && text[i] == L':') {
            ++i;
            const std::optional<int> s = Digits(text, i, 2, 2);
            if (!s) return std::nullopt;
            seconds = *s;
            format += L":ss";
        }
        if (i != text.size() || *hours > 23 || *minutes > 59 || seconds > 59) return std::nullopt;
        serial += (*hours * 3600 + *minutes * 60 + seconds) / 86400.0;
    }
    return RecognisedValue{serial, std::move(format)};
}

std::wstring SheetNameFromTitle(std::wstring_view title) {
    if (title.empty()) return L"Sheet1";
    std::wstring name(title);
    if (name.size() > 30) name = name.substr(0, 26) + L" ...";
    return SafeFileName(name, L"Sheet1");
}

std::wstring ContinuationSheetName(std::wstring_view name, unsigned number) {
    const std::wstring suffix = L" (" + std::to_wstring(number) + L")";
    const std::size_t room = kMaxSheetNameLength - suffix.size();
    return std::wstring(name.substr(0, std::min(name.size(), room))) + suffix;
}

unsigned RepeatedRows(long fixedRows) {
    if (fixedRows <= 0 || fixedRows >= static_cast<long>(kMaxRows / 2)) return 0;
    return static_cast<unsigned>(fixedRows);
}

RowPlace PlaceRow(unsigned long row, unsigned repeated) {
    if (row < kMaxRows) return {0, static_cast<unsigned>(row)};
    const unsigned long perSheet = kMaxRows - repeated;
    const unsigned long beyond = row - kMaxRows;
    return {static_cast<unsigned>(1 + beyond / perSheet), static_cast<unsigned>(repeated + beyond % perSheet)};
}

std::optional<Alignment> AlignmentOfCode(long code) {
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    static constexpr std::array<Alignment, 13> kTable{{
        {H::Left, V::Top},
        {H::Left, V::Centre},
        {H::Left, V::Bottom},
        {H::Centre, V::Top},
        {H::Centre, V::Centre},
        {H::Centre, V::Bottom},
        {H::Right, V::Top},
        {H::Right, V::Centre},
        {H::Right, V::Bottom},
        {H::Left, V::Centre},
        {H::Left, V::Top},
        {H::Left, V::Centre},
        {H::Left, V::Bottom},
    }};
    if (code < 0 || code >= static_cast<long>(kTable.size())) return std::nullopt;
    return kTable[static_cast<std::size_t>(code)];
}

double ColumnWidthCharacters(long twips) { return twips / 90.0; }

double RowHeightPoints(long twips, int twipsPerPixel) {
    return twipsPerPixel > 0 ? static_cast<double>(twips) / twipsPerPixel * 0.75 : twips / 20.0;
}

unsigned ColumnPixels(double characters) {
    const auto stored = static_cast<unsigned>(std::round(std::clamp(characters, 0.0, 255.0) * 256));
    return (stored + 18u) * 7 / 256;
}

unsigned RowPixels(double points) {
    return (static_cast<unsigned>(std::round(std::clamp(points, 0.0, 409.0) * 20)) + 7u) / 15;
}

std::optional<unsigned> SystemColourIndex(long oleColour) {
    if (std::labs(oleColour) <= 0xFFFFFF && oleColour != LONG_MIN) return std::nullopt;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lX", static_cast<unsigned long>(static_cast<std::uint32_t>(oleColour)));
    unsigned index = 0;
    std::from_chars(hex + 1, hex + std::char_traits<char>::length(hex), index, 16);
    return index;
}

}  // namespace tarn::xls
