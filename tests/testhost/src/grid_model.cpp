// Grid content, effective attributes, display text and geometry.
#include "grid_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace testhost {

namespace {
std::wstring Lower(std::wstring s) {
    for (wchar_t& ch : s) ch = static_cast<wchar_t>(std::towlower(ch));
    return s;
}

bool IsIntegerType(long t) { return t == 2 || t == 3 || (t >= 16 && t <= 23); }

// "1234567.5" with two decimals -> "1,234,567.50"; integers without decimals.
std::wstring Grouped(double value, int decimals) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.*f", decimals, std::fabs(value));
    std::wstring digits = buffer;
    size_t point = digits.find(L'.');
    std::wstring whole = digits.substr(0, point);
    std::wstring rest = point == std::wstring::npos ? std::wstring() : digits.substr(point);
    std::wstring out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += L',';
        out += whole[i];
    }
    bool negative = value < 0 && (out != L"0" || (!rest.empty() && rest.find_first_not_of(L".0") != std::wstring::npos));
    return (negative ? L"-" : L"") + out + rest;
}
}  // namespace

bool IsNumericType(long t) { return IsIntegerType(t) || t == 4 || t == 5 || t == 6 || t == 14; }

bool ParseNumber(const std::wstring& text, double& value) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return false;
    const wchar_t* start = text.c_str() + first;
    if (!(std::iswdigit(*start) || *start == L'-' || *start == L'+' || *start == L'.')) return false;
    for (const wchar_t* p = start; *p; ++p)
        if (*p == L'x' || *p == L'X') return false;  // no hexadecimal
    wchar_t* end = nullptr;
    double d = std::wcstod(start, &end);
    if (end == start) return false;
    while (*end == L' ') ++end;
    if (*end != L'\0' || !std::isfinite(d)) return false;
    value = d;
    return true;
}

bool ParseBoolean(const std::wstring& text, bool& value) {
    std::wstring t = Lower(text);
    if (t == L"true" || t == L"yes" || t == L"on" || t == L"-1" || t == L"1") {
        value = true;
        return true;
    }
    if (t == L"false" || t == L"no" || t == L"off" || t == L"0") {
        value = false;
        return true;
    }
    return false;
}

GridModel::GridModel() { Resize(2, 2); }

size_t GridModel::CheckRow(long r) const {
    if (r < 0 || r >= Rows())
        throw HostError(DISP_E_BADINDEX,
                        L"Row " + std::to_wstring(r) + L" is out of range (the grid has " + std::to_wstring(Rows()) + L" rows)");
    return static_cast<size_t>(r);
}

size_t GridModel::CheckCol(long c) const {
    if (c < 0 || c >= Cols())
        throw HostError(DISP_E_BADINDEX, L"Column " + std::to_wstring(c) + L" is out of range (the grid has " +
                                             std::to_wstring(Cols()) + L" columns)");
    return static_cast<size_t>(c);
}

void GridModel::Resize(long rows, long cols) {
    if (rows < 0 || cols < 0) throw HostError(E_INVALIDARG, L"Rows and Cols must not be negative");
    if (rows == Rows() && cols == Cols()) return;
    std::vector<Cell> cells(static_cast<size_t>(rows) * static_cast<size_t>(cols));
    const long keepRows = std::min(rows, Rows()), keepCols = std::min(cols, Cols());
    for (long r = 0; r < keepRows; ++r)
        for (long c = 0; c < keepCols; ++c)
            cells[static_cast<size_t>(r) * cols + c] = std::move(cells_[static_cast<size_t>(r) * cols_.size() + c]);
    cells_ = std::move(cells);
    rows_.resize(static_cast<size_t>(rows));
    cols_.resize(static_cast<size_t>(cols));
    rowTops_.clear();
    colLefts_.clear();
    std::erase_if(merges_, [&](const CellRange& m) { return m.row2 >= rows || m.col2 >= cols; });
    fixedRows = std::min(fixedRows, rows);
    fixedCols = std::min(fixedCols, cols);
}

void GridModel::SetFixedRows(long n) {
    if (n < 0 || n > Rows())
        throw HostError(E_INVALIDARG, L"FixedRows must be between 0 and Rows (" + std::to_wstring(Rows()) + L")");
    fixedRows = n;
}

void GridModel::SetFixedCols(long n) {
    if (n < 0 || n > Cols())
        throw HostError(E_INVALIDARG, L"FixedCols must be between 0 and Cols (" + std::to_wstring(Cols()) + L")");
    fixedCols = n;
}

CellStyle& GridModel::Style(long r, long c) {
    Cell& cell = At(r, c);
    if (!cell.style) cell.style = std::make_unique<CellStyle>();
    return *cell.style;
}

void GridModel::Merge(const CellRange& m) {
    if (m.row1 > m.row2 || m.col1 > m.col2) throw HostError(E_INVALIDARG, L"A merged block must run top-left to bottom-right");
    CheckRow(m.row1);
    CheckRow(m.row2);
    CheckCol(m.col1);
    CheckCol(m.col2);
    for (const CellRange& o : merges_)
        if (m.row1 <= o.row2 && o.row1 <= m.row2 && m.col1 <= o.col2 && o.col1 <= m.col2)
            throw HostError(E_INVALIDARG, L"Merged blocks must not overlap");
    if (m.row1 == m.row2 && m.col1 == m.col2) return;
    merges_.push_back(m);
}

CellRange GridModel::MergedRange(long r, long c) const {
    CheckRow(r);
    CheckCol(c);
    for (const CellRange& m : merges_)
        if (m.Contains(r, c)) return m;
    return {r, c, r, c};
}

long GridModel::Alignment(long r, long c) const {
    const CellStyle* s = StyleIf(r, c);
    return s && s->alignment >= 0 ? s->alignment : cols_[static_cast<size_t>(c)].alignment;
}

std::wstring GridModel::FontName(long r, long c) const {
    const CellStyle* s = StyleIf(r, c);
    return s && !s->fontName.empty() ? s->fontName : fontName;
}

double GridModel::FontSize(long r, long c) const {
    const CellStyle* s = StyleIf(r, c);
    return s && s->fontSize > 0 ? s->fontSize : fontSize;
}

std::wstring GridModel::DisplayText(long r, long c) const {
    const std::wstring& text = At(r, c).text;
    if (IsFixed(r, c) || text.empty()) return text;
    const long type = cols_[static_cast<size_t>(c)].dataType;
    if (type == kTypeBoolean) {
        bool b = false;
        return ParseBoolean(text, b) ? (b ? L"True" : L"False") : text;
    }
    double d = 0;
    if (IsNumericType(type) && ParseNumber(text, d)) return Grouped(d, IsIntegerType(type) ? 0 : 2);
    return text;
}

long GridModel::TopOf(long r) const {
    if (r < 0 || r > Rows()) CheckRow(r);
    if (rowTops_.empty()) {
        rowTops_.resize(rows_.size() + 1);
        long y = 0;
        for (size_t i = 0; i < rows_.size(); ++i) {
            rowTops_[i] = y;
            if (RowVisible(static_cast<long>(i))) y += rows_[i].height;
        }
        rowTops_[rows_.size()] = y;
    }
    return rowTops_[static_cast<size_t>(r)];
}

long GridModel::LeftOf(long c) const {
    if (c < 0 || c > Cols()) CheckCol(c);
    if (colLefts_.empty()) {
        colLefts_.resize(cols_.size() + 1);
        long x = 0;
        for (size_t i = 0; i < cols_.size(); ++i) {
            colLefts_[i] = x;
            if (ColVisible(static_cast<long>(i))) x += cols_[i].width;
        }
        colLefts_[cols_.size()] = x;
    }
    return colLefts_[static_cast<size_t>(c)];
}

// ---- SaveGrid kind 6

namespace {
std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string XmlEscaped(const std::wstring& text) {
    std::string out;
    for (char ch : Utf8(text)) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\n': out += "&#10;"; break;
            default: out += ch;
        }
    }
    return out;
}
}  // namespace

void SaveWorkbook(const GridModel& grid, const std::wstring& path, bool withFixed) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\r\n"
        " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\r\n"
        " <Worksheet ss:Name=\"Grid\">\r\n  <Table>\r\n";
    std::vector<long> cols;
    for (long c = withFixed ? 0 : grid.fixedCols; c < grid.Cols(); ++c)
        if (!grid.Col(c).hidden) cols.push_back(c);
    for (long c : cols) xml += "   <Column ss:Width=\"" + std::to_string(std::max(0L, grid.Col(c).width) / 20) + "\"/>\r\n";
    for (long r = withFixed ? 0 : grid.fixedRows; r < grid.Rows(); ++r) {
        xml += "   <Row>\r\n";
        for (long c : cols) {
            const std::wstring& text = grid.At(r, c).text;
            double number = 0;
            bool flag = false;
            if (text.empty()) {
                xml += "    <Cell/>\r\n";
                continue;
            }
            const char* type = "String";
            std::wstring value = text;
            if (!grid.IsFixed(r, c) && grid.Col(c).dataType == kTypeBoolean && ParseBoolean(text, flag)) {
                type = "Boolean";
                value = flag ? L"1" : L"0";
            } else if (!grid.IsFixed(r, c) && ParseNumber(text, number)) {
                type = "Number";
            }
            xml += std::string("    <Cell><Data ss:Type=\"") + type + "\">" + XmlEscaped(value) + "</Data></Cell>\r\n";
        }
        xml += "   </Row>\r\n";
    }
    xml += "  </Table>\r\n </Worksheet>\r\n</Workbook>\r\n";

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"SaveGrid cannot create " + path);
    DWORD written = 0;
    BOOL ok = WriteFile(file, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != xml.size()) throw HostError(E_FAIL, L"SaveGrid could not write " + path);
}

}  // namespace testhost
