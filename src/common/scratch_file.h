// Scratch files of an export: what exists only while the export runs (a cell picture
// before its conversion, a chart's metafile before it is placed on a page).
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// A scratch file named `name` in the component's own folder, the place the exports have
// always used; when that folder cannot take the file (program folders are often
// read-only), a new file with a unique name and the same extension in the user's
// temporary folder instead. The file exists, empty, once the object is made, and is
// deleted when the object goes. Throws ComError when neither place takes a file.
class ScratchFile {
public:
    explicit ScratchFile(std::wstring_view name);
    // The same with another first choice of folder (`folder` ends in its separator).
    ScratchFile(std::wstring_view folder, std::wstring_view name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::wstring& path() const noexcept { return path_; }

private:
    std::wstring path_;
};

}  // namespace tarn
