// The grid text format: a header of `key = value` lines, a `---` line, then one line per
// row with cells separated by `|`, and `@cell`, `@row`, `@col`, `@merge` attribute lines.
#include "grid_text.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <functional>
#include <optional>
#include <vector>

namespace testhost {

namespace {

std::wstring Lower(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& ch : out) ch = static_cast<wchar_t>(std::towlower(ch));
    return out;
}

std::wstring_view Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

class Parser {
public:
    Parser(const GridSource& source, PictureCache& pictures) : source_(source), pictures_(pictures) {}

    GridModel Parse(std::wstring_view text);

private:
    struct Line {
        int number;
        std::wstring_view text;
    };
    struct Attribute {
        std::wstring key;
        std::wstring value;
        bool hasValue = false;
        bool quoted = false;
    };

    [[noreturn]] void Fail(const std::wstring& what) const {
        throw HostError(E_INVALIDARG, source_.name + L" line " + std::to_wstring(line_) + L": " + what);
    }

    void Header(std::wstring_view key, std::wstring_view value);
    std::vector<std::wstring> Cells(std::wstring_view line);
    void Directive(std::wstring_view line);
    std::vector<Attribute> Attributes(std::wstring_view rest);

    long Number(std::wstring_view text, const wchar_t* what);
    double Decimal(std::wstring_view text, const wchar_t* what);
    bool Flag(const Attribute& a);
    long Color(std::wstring_view text);
    long AlignmentCode(std::wstring_view text);
    long DataType(std::wstring_view text);
    long CheckState(std::wstring_view text);
    void DataValue(const Attribute& a, unique_variant& out);
    const std::wstring& Value(const Attribute& a) {
        if (!a.hasValue) Fail(L"'" + a.key + L"' needs a value ('" + a.key + L"=...')");
        return a.value;
    }
    CellRange Range(std::wstring_view text, bool cells);
    std::wstring_view NextWord(std::wstring_view& rest);

    void CellAttributes(const CellRange& range, const std::vector<Attribute>& attrs);
    void RowAttributes(const CellRange& range, const std::vector<Attribute>& attrs);
    void ColAttributes(const CellRange& range, const std::vector<Attribute>& attrs);

    const GridSource& source_;
    PictureCache& pictures_;
    GridModel grid_;
    int line_ = 0;
    std::optional<long> rows_, cols_, fixedRows_, fixedCols_, rowHeight_, colWidth_;
    int fixedLine_ = 0;  // the header line that set fixedrows or fixedcols
};

GridModel Parser::Parse(std::wstring_view text) {
    std::vector<Line> lines;
    int number = 0;
    bool hasHeader = false;
    while (!text.empty() || number == 0) {
        size_t end = text.find(L'\n');
        std::wstring_view line = text.substr(0, end);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        lines.push_back({++number, line});
        if (Trim(line) == L"---") hasHeader = true;
        if (end == std::wstring_view::npos) break;
        text.remove_prefix(end + 1);
    }

    size_t i = 0;
    if (hasHeader) {
        for (; i < lines.size(); ++i) {
            line_ = lines[i].number;
            std::wstring_view l = Trim(lines[i].text);
            if (l == L"---") {
                ++i;
                break;
            }
            if (l.empty() || l.front() == L'#') continue;
            size_t eq = l.find(L'=');
            if (eq == std::wstring_view::npos) Fail(L"expected 'key = value' in the header (it ends at a '---' line)");
            Header(Lower(Trim(l.substr(0, eq))), Trim(l.substr(eq + 1)));
        }
    }

    std::vector<std::pair<int, std::vector<std::wstring>>> rows;
    std::vector<Line> directives;
    for (; i < lines.size(); ++i) {
        line_ = lines[i].number;
        std::wstring_view trimmed = Trim(lines[i].text);
        if (trimmed.empty() || trimmed.front() == L'#') continue;
        if (trimmed.front() == L'@') {
            directives.push_back({line_, trimmed});
            continue;
        }
        rows.emplace_back(line_, Cells(lines[i].text));
    }

    long rowCount = rows_.value_or(static_cast<long>(rows.size()));
    long colCount = 0;
    for (const auto& row : rows) colCount = std::max(colCount, static_cast<long>(row.second.size()));
    colCount = cols_.value_or(colCount);
    if (static_cast<long>(rows.size()) > rowCount) {
        line_ = rows[static_cast<size_t>(rowCount)].first;
        Fail(L"more row lines than rows = " + std::to_wstring(rowCount));
    }
    grid_.Resize(0, 0);
    grid_.Resize(rowCount, colCount);
    line_ = fixedLine_;
    try {
        grid_.SetFixedRows(fixedRows_.value_or(std::min(1L, rowCount)));
        grid_.SetFixedCols(fixedCols_.value_or(std::min(1L, colCount)));
    } catch (const HostError& e) {
        Fail(e.text());
    }
    for (long r = 0; r < rowCount; ++r) {
        if (rowHeight_) grid_.EditRow(r).height = *rowHeight_;
    }
    for (long c = 0; c < colCount; ++c) {
        if (colWidth_) grid_.EditCol(c).width = *colWidth_;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        line_ = rows[r].first;
        const auto& cells = rows[r].second;
        if (static_cast<long>(cells.size()) > colCount)
            Fail(std::to_wstring(cells.size()) + L" cells in a row of a grid with cols = " + std::to_wstring(colCount));
        for (size_t c = 0; c < cells.size(); ++c) grid_.At(static_cast<long>(r), static_cast<long>(c)).text = cells[c];
    }
    for (const Line& d : directives) {
        line_ = d.number;
        try {
            Directive(d.text);
        } catch (const HostError& e) {
            if (e.text().starts_with(source_.name + L" line ")) throw;
            Fail(e.text());
        }
    }
    return std::move(grid_);
}

void Parser::Header(std::wstring_view key, std::wstring_view value) {
    if (key == L"rows") rows_ = Number(value, L"rows");
    else if (key == L"cols") cols_ = Number(value, L"cols");
    else if (key == L"fixedrows" || key == L"fixedcols") {
        (key == L"fixedrows" ? fixedRows_ : fixedCols_) = Number(value, key == L"fixedrows" ? L"fixedrows" : L"fixedcols");
        fixedLine_ = line_;
    }
    else if (key == L"rowheight") rowHeight_ = Number(value, L"rowheight");
    else if (key == L"colwidth") colWidth_ = Number(value, L"colwidth");
    else if (key == L"font") {
        if (value.empty()) Fail(L"font needs a name");
        grid_.fontName = value;
    } else if (key == L"fontsize") grid_.fontSize = Decimal(value, L"fontsize");
    else if (key == L"backcolor") grid_.backColor = Color(value);
    else if (key == L"forecolor") grid_.foreColor = Color(value);
    else if (key == L"backcolorfixed") grid_.backColorFixed = Color(value);
    else if (key == L"forecolorfixed") grid_.foreColorFixed = Color(value);
    else if (key == L"gridcolor") grid_.gridColor = Color(value);
    else if (key == L"gridcolorfixed") grid_.gridColorFixed = Color(value);
    else if (key == L"gridlines") grid_.gridLines = Number(value, L"gridlines");
    else if (key == L"width") grid_.width = Number(value, L"width");
    else if (key == L"outlinebar") grid_.outlineBar = Number(value, L"outlinebar");
    else if (key == L"outlinecol") grid_.outlineCol = Number(value, L"outlinecol");
    else Fail(L"unknown header key '" + std::wstring(key) + L"'");
    if ((rows_ && *rows_ < 0) || (cols_ && *cols_ < 0)) Fail(L"rows and cols must not be negative");
}

std::vector<std::wstring> Parser::Cells(std::wstring_view line) {
    std::vector<std::wstring> cells;
    std::wstring current;
    auto finish = [&] {
        cells.emplace_back(Trim(current));
        current.clear();
    };
    for (size_t i = 0; i < line.size(); ++i) {
        wchar_t ch = line[i];
        if (ch == L'\\') {
            if (++i == line.size()) Fail(L"a backslash ends the line");
            wchar_t next = line[i];
            current += next == L'n' ? L'\n' : next == L't' ? L'\t' : next;
        } else if (ch == L'|') {
            finish();
        } else {
            current += ch;
        }
    }
    finish();
    return cells;
}

std::wstring_view Parser::NextWord(std::wstring_view& rest) {
    rest = Trim(rest);
    size_t end = 0;
    while (end < rest.size() && !std::iswspace(rest[end])) ++end;
    std::wstring_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

void Parser::Directive(std::wstring_view line) {
    std::wstring_view rest = line.substr(1);
    std::wstring kind = Lower(NextWord(rest));
    std::wstring_view target = NextWord(rest);
    if (target.empty()) Fail(L"@" + kind + L" needs a position");
    if (kind == L"cell") {
        CellAttributes(Range(target, true), Attributes(rest));
    } else if (kind == L"row") {
        RowAttributes(Range(target, false), Attributes(rest));
    } else if (kind == L"col") {
        ColAttributes(Range(target, false), Attributes(rest));
    } else if (kind == L"merge") {
        CellRange range = Range(target, true);
        if (!Trim(rest).empty()) Fail(L"@merge takes only a range");
        grid_.Merge(range);
    } else {
        Fail(L"unknown directive '@" + kind + L"' (expected @cell, @row, @col or @merge)");
    }
}

// "R,C" or "R1,C1:R2,C2" for cells; "N" or "N1:N2" for rows and columns (in row1/row2).
CellRange Parser::Range(std::wstring_view text, bool cells) {
    auto point = [&](std::wstring_view p, long& a, long& b) {
        if (cells) {
            size_t comma = p.find(L',');
            if (comma == std::wstring_view::npos) Fail(L"expected 'row,col' but found '" + std::wstring(p) + L"'");
            a = Number(p.substr(0, comma), L"a row");
            b = Number(p.substr(comma + 1), L"a column");
        } else {
            a = Number(p, L"an index");
            b = 0;
        }
    };
    CellRange r{};
    size_t colon = text.find(L':');
    point(text.substr(0, colon), r.row1, r.col1);
    if (colon == std::wstring_view::npos) {
        r.row2 = r.row1;
        r.col2 = r.col1;
    } else {
        point(text.substr(colon + 1), r.row2, r.col2);
    }
    if (r.row2 < r.row1 || r.col2 < r.col1) Fail(L"a range must run from its first to its last cell");
    return r;
}

std::vector<Parser::Attribute> Parser::Attributes(std::wstring_view rest) {
    std::vector<Attribute> attrs;
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < rest.size() && std::iswspace(rest[i])) ++i;
    };
    for (skipSpace(); i < rest.size(); skipSpace()) {
        Attribute a;
        while (i < rest.size() && !std::iswspace(rest[i]) && rest[i] != L'=') a.key += static_cast<wchar_t>(std::towlower(rest[i++]));
        if (a.key.empty()) Fail(L"an attribute has no name");
        if (i < rest.size() && rest[i] == L'=') {
            ++i;
            a.hasValue = true;
            if (i < rest.size() && rest[i] == L'"') {
                a.quoted = true;
                for (++i;; ++i) {
                    if (i >= rest.size()) Fail(L"unterminated quoted value of '" + a.key + L"'");
                    if (rest[i] == L'"') break;
                    if (rest[i] == L'\\' && i + 1 < rest.size()) ++i;
                    a.value += rest[i];
                }
                ++i;
            } else {
                while (i < rest.size() && !std::iswspace(rest[i])) a.value += rest[i++];
            }
            if (!a.quoted && a.value.empty()) Fail(L"'" + a.key + L"=' has no value");
        }
        attrs.push_back(std::move(a));
    }
    return attrs;
}

long Parser::Number(std::wstring_view text, const wchar_t* what) {
    std::wstring t(Trim(text));
    wchar_t* end = nullptr;
    long n = std::wcstol(t.c_str(), &end, 10);
    if (t.empty() || *end != L'\0') Fail(std::wstring(L"expected a whole number for ") + what + L" but found '" + t + L"'");
    return n;
}

double Parser::Decimal(std::wstring_view text, const wchar_t* what) {
    double d = 0;
    if (!ParseNumber(std::wstring(Trim(text)), d))
        Fail(std::wstring(L"expected a number for ") + what + L" but found '" + std::wstring(text) + L"'");
    return d;
}

bool Parser::Flag(const Attribute& a) {
    if (!a.hasValue) return true;
    bool value = false;
    if (!ParseBoolean(a.value, value)) Fail(L"'" + a.key + L"' takes yes or no, not '" + a.value + L"'");
    return value;
}

// #RRGGBB (as in web pages), &HBBGGRR or &H800000nn (OLE colour as Basic writes it), or decimal.
long Parser::Color(std::wstring_view text) {
    std::wstring t(Trim(text));
    auto hex = [&](const std::wstring& digits, size_t maxDigits) {
        wchar_t* end = nullptr;
        unsigned long v = std::wcstoul(digits.c_str(), &end, 16);
        if (digits.empty() || digits.size() > maxDigits || *end != L'\0') Fail(L"'" + t + L"' is not a colour");
        return v;
    };
    if (!t.empty() && t[0] == L'#') {
        if (t.size() != 7) Fail(L"'" + t + L"' is not a colour (#RRGGBB)");
        unsigned long rgb = hex(t.substr(1), 6);
        return static_cast<long>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    }
    if (t.size() > 2 && t[0] == L'&' && (t[1] == L'H' || t[1] == L'h')) {
        std::wstring digits = t.substr(2);
        if (!digits.empty() && digits.back() == L'&') digits.pop_back();
        return static_cast<long>(hex(digits, 8));
    }
    return Number(t, L"a colour (#RRGGBB, &HBBGGRR or a number)");
}

long Parser::AlignmentCode(std::wstring_view text) {
    static const wchar_t* const kNames[] = {L"lefttop",     L"leftcenter",   L"leftbottom",    L"centertop",
                                            L"centercenter", L"centerbottom", L"righttop",      L"rightcenter",
                                            L"rightbottom",  L"general",      L"generaltop",    L"generalcenter",
                                            L"generalbottom"};
    std::wstring t = Lower(text);
    if (t == L"left") return 1;
    if (t == L"center") return 4;
    if (t == L"right") return 7;
    for (long i = 0; i < 13; ++i)
        if (t == kNames[i]) return i;
    long n = Number(t, L"an alignment (a name such as rightcenter, or 0 to 12)");
    if (n < 0 || n > 12) Fail(L"alignment codes run from 0 to 12");
    return n;
}

long Parser::DataType(std::wstring_view text) {
    std::wstring t = Lower(text);
    if (t == L"boolean") return kTypeBoolean;
    if (t == L"date") return kTypeDate;
    if (t == L"number" || t == L"double") return 5;
    if (t == L"currency") return 6;
    if (t == L"long" || t == L"integer") return 3;
    if (t == L"string") return 8;
    return Number(t, L"a data type (boolean, date, number, currency, long, string or a code)");
}

long Parser::CheckState(std::wstring_view text) {
    std::wstring t = Lower(text);
    if (t == L"none") return kCheckNone;
    if (t == L"checked" || t == L"yes" || t == L"on") return kChecked;
    if (t == L"unchecked" || t == L"no" || t == L"off") return kUnchecked;
    return Number(t, L"a check box state (none, checked, unchecked or a code)");
}

// Typed from its form: true/false, a whole number (Long), a decimal (Double), yyyy-mm-dd
// (Date); anything else, or anything quoted, is a String.
void Parser::DataValue(const Attribute& a, unique_variant& out) {
    out.reset();
    const std::wstring& t = Value(a);
    if (!a.quoted) {
        std::wstring lower = Lower(t);
        if (lower == L"true" || lower == L"false") {
            V_VT(&out) = VT_BOOL;
            V_BOOL(&out) = lower == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        }
        double d = 0;
        if (ParseNumber(t, d)) {
            if (t.find_first_of(L".eE") == std::wstring::npos && std::fabs(d) <= 2147483647.0) {
                V_VT(&out) = VT_I4;
                V_I4(&out) = static_cast<LONG>(d);
            } else {
                V_VT(&out) = VT_R8;
                V_R8(&out) = d;
            }
            return;
        }
        int y = 0, m = 0, dd = 0;
        wchar_t tail = 0;
        if (t.size() == 10 && swscanf(t.c_str(), L"%4d-%2d-%2d%lc", &y, &m, &dd, &tail) == 3) {
            SYSTEMTIME st{};
            st.wYear = static_cast<WORD>(y);
            st.wMonth = static_cast<WORD>(m);
            st.wDay = static_cast<WORD>(dd);
            double date = 0;
            if (m < 1 || m > 12 || dd < 1 || dd > 31 || !SystemTimeToVariantTime(&st, &date)) Fail(L"'" + t + L"' is not a date");
            V_VT(&out) = VT_DATE;
            V_DATE(&out) = date;
            return;
        }
    }
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = unique_bstr(t).release();
}

void Parser::CellAttributes(const CellRange& range, const std::vector<Attribute>& attrs) {
    grid_.CheckRow(range.row1);
    grid_.CheckRow(range.row2);
    grid_.CheckCol(range.col1);
    grid_.CheckCol(range.col2);
    for (long r = range.row1; r <= range.row2; ++r) {
        for (long c = range.col1; c <= range.col2; ++c) {
            for (const Attribute& a : attrs) {
                CellStyle& s = grid_.Style(r, c);
                if (a.key == L"bold") s.bold = Flag(a);
                else if (a.key == L"italic") s.italic = Flag(a);
                else if (a.key == L"underline") s.underline = Flag(a);
                else if (a.key == L"check") s.check = a.hasValue ? CheckState(a.value) : kChecked;
                else if (a.key == L"back") s.backColor = Color(Value(a));
                else if (a.key == L"fore") s.foreColor = Color(Value(a));
                else if (a.key == L"font") s.fontName = Value(a);
                else if (a.key == L"size") s.fontSize = Decimal(Value(a), L"size");
                else if (a.key == L"align") s.alignment = AlignmentCode(Value(a));
                else if (a.key == L"data") DataValue(a, s.data);
                else if (a.key == L"text") grid_.At(r, c).text = Value(a);
                else if (a.key == L"picture") s.picture = pictures_.Load(ResolvePath(source_.folder, Value(a)));
                else Fail(L"unknown cell attribute '" + a.key + L"'");
            }
        }
    }
}

void Parser::RowAttributes(const CellRange& range, const std::vector<Attribute>& attrs) {
    grid_.CheckRow(range.row1);
    grid_.CheckRow(range.row2);
    for (long r = range.row1; r <= range.row2; ++r) {
        RowInfo& row = grid_.EditRow(r);
        for (const Attribute& a : attrs) {
            if (a.key == L"hidden") row.hidden = Flag(a);
            else if (a.key == L"subtotal") row.subtotal = Flag(a);
            else if (a.key == L"height" && a.hasValue) row.height = Number(a.value, L"height");
            else if (a.key == L"level" && a.hasValue) row.level = Number(a.value, L"level");
            else Fail(L"unknown row attribute '" + a.key + L"' (height=, hidden, level=, subtotal)");
        }
    }
}

void Parser::ColAttributes(const CellRange& range, const std::vector<Attribute>& attrs) {
    grid_.CheckCol(range.row1);
    grid_.CheckCol(range.row2);
    for (long c = range.row1; c <= range.row2; ++c) {
        ColInfo& col = grid_.EditCol(c);
        for (const Attribute& a : attrs) {
            if (a.key == L"hidden") col.hidden = Flag(a);
            else if (a.key == L"width" && a.hasValue) col.width = Number(a.value, L"width");
            else if (a.key == L"align" && a.hasValue) col.alignment = AlignmentCode(a.value);
            else if (a.key == L"type" && a.hasValue) col.dataType = DataType(a.value);
            else Fail(L"unknown column attribute '" + a.key + L"' (width=, hidden, align=, type=)");
        }
    }
}

}  // namespace

GridModel ParseGridText(std::wstring_view text, const GridSource& source, PictureCache& pictures) {
    Parser parser(source, pictures);
    return parser.Parse(text);
}

std::wstring ReadTextFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot open " + path);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD n = 0;
    BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(file);
    if (!ok || n != bytes.size()) throw HostError(E_FAIL, L"Cannot read " + path);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    size_t skip = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    int length = static_cast<int>(bytes.size() - skip);
    if (length == 0) return {};
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip, length, nullptr, 0);
    if (count == 0) throw HostError(E_INVALIDARG, path + L" is not UTF-8 or UTF-16 text");
    std::wstring text(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, length, text.data(), count);
    return text;
}

}  // namespace testhost
