// The option set that the engine and every exporter hold, and the column-list format that
// selects grid columns (",0,2,5," selects columns 0, 2 and 5). Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

enum class Orientation : std::int32_t { Portrait = 0, Landscape = 1 };

struct ExportOptions {
    std::wstring programName;
    std::wstring programVersion;
    std::wstring title;
    std::wstring subTitle;
    std::wstring paragraph;
    std::wstring footer;
    std::int32_t orientation = 0;
    std::int32_t imageHeight = 0;
    std::int32_t imageWidth = 0;
    std::wstring targetFilename;
    std::wstring initDir;
    std::wstring imageFormat;
    std::wstring columnList;
    bool skipFilenameSelection = false;
    std::wstring fileFormat;
    bool quiet = false;
    std::wstring defaultPrinter;
};

// The engine's rule for a column list set by a host: a non-empty value gets one comma in
// front and one behind, without any other normalisation ("1,3" becomes ",1,3,").
std::wstring EncloseColumnList(std::wstring_view list);

// The list of every column of a grid with `columnCount` columns: ",0,1,2," for three.
std::wstring AllColumnsList(long columnCount);

// The list the selection dialog produces when it selects every column without asking:
// each index enclosed in its own commas (",0,,1,,2," for three).
std::wstring EachColumnEnclosed(long columnCount);

// True when `column` is selected by `list`.
bool IsColumnSelected(std::wstring_view list, long column);

}  // namespace tarn
