// What the engine says about its own file: the description and version from the version
// resource, and the DLL's folder and base name.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Portable: "major.minor.revision" of a four-part file version (7.0.0.95 gives "7.0.95").
std::wstring ShortVersionText(unsigned major, unsigned minor, unsigned build, unsigned revision);

// Portable: the path with the extension of its file name removed
// ("C:\\a.b\\Engine.dll" gives "C:\\a.b\\Engine").
std::wstring PathWithoutExtension(std::wstring_view path);

// Windows: read from this DLL's own file.
std::wstring ComponentDescription();
std::wstring ComponentVersionText();
std::wstring ComponentDllText();

}  // namespace tarn
