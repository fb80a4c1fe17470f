// The component's rules for file names and paths: extensions added when missing, the
// file-name and folder parts of a path, names made safe for the file system, and the
// save dialog's filter selection. Portable: text in, text out, never fails.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// The path itself when its extension is one of `extensions` (";"-separated, without dots,
// compared without regard to case); otherwise the path, ".", and the first extension of
// the list: "report" with "csv;cdf" gives "report.csv", "report.txt" gives "report.txt.csv".
[[nodiscard]] std::wstring EnsureExtension(std::wstring_view path, std::wstring_view extensions);

// What follows the last "\" (after turning "/" into "\") and then the last ":"; with
// `stripExtension`, also without its last "." and what follows.
[[nodiscard]] std::wstring FileNameOf(std::wstring_view path, bool stripExtension);

// Everything up to and including the last "\", else the last ":", else ".\". Callers put a
// name right after it, so it always ends in its separator. "/" is not a separator here.
[[nodiscard]] std::wstring FolderOf(std::wstring_view path);

// `name` with every character other than A-Z (either case), 0-9, "_", "-", "." and "@"
// replaced by "_", keeping its length; `fallback` when `name` is empty.
[[nodiscard]] std::wstring SafeFileName(std::wstring_view name, std::wstring_view fallback);

// The save dialog's filter to preselect: each pattern list of the "|"-joined `filter`
// ("Description|*.a;*.b|...") that contains `defaultExt`, compared without regard to case,
// makes its 1-based position the choice, so the last one that matches wins; 0 when none
// does. An empty `defaultExt` matches every pattern list.
[[nodiscard]] unsigned PreselectedFilterIndex(std::wstring_view filter, std::wstring_view defaultExt);

// The "|"-joined filter in the form the common dialog takes: each item ends in a NUL and a
// second NUL ends the list. Empty when `filter` is empty.
[[nodiscard]] std::wstring DialogFilterList(std::wstring_view filter);

}  // namespace tarn
