// What the front asks of the shell: the target of a shortcut file, and the program that
// opens a given file type.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// The target path of the shell shortcut (.lnk) at `linkPath`. Throws ComError when the
// file is missing or is not a shortcut.
[[nodiscard]] std::wstring ResolveShortcut(std::wstring_view linkPath);

// Full path of the program that opens files with `extension` (without the dot), or empty
// when there is none. Asks the shell about "test.<extension>" in the "Temp" folder beside
// the component's file, making both when missing; never fails.
[[nodiscard]] std::wstring FindAssociatedProgram(std::wstring_view extension) noexcept;

}  // namespace tarn
