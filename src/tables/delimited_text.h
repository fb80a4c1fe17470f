// The content rules of comma- and tab-separated table files: the comment header and the
// field of one cell. Portable; the exporter feeds it what it read from the grid.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct DelimitedHeader {
    std::wstring programName;
    std::wstring programVersion;
    std::wstring dateTime;  // the current local date and time, formatted by the system
    std::wstring title;
    std::wstring subTitle;
};

// The comment lines that open the file, without line ends.
std::vector<std::wstring> DelimitedHeaderLines(const DelimitedHeader& header);

// What the exporter read of one cell. `checkBox` is the cell's check-box setting (0: none);
// `text` is read only when there is no check box, `dataValue` only for a picture cell with
// empty text.
struct DelimitedCell {
    long checkBox = 0;
    bool hasPicture = false;
    std::wstring text;
    std::wstring dataValue;
};

// Appends one field, preceded by `separator` unless it is the line's first: check boxes as
// Yes/No, double quotes deleted (never doubled), quoting decided on the original text's
// commas and spaces (always for picture cells), then CR removed and LF turned into a space.
void AppendDelimitedField(std::wstring& line, bool first, wchar_t separator, const DelimitedCell& cell);

}  // namespace tarn
