// Writing a file so that it either appears complete or not at all: the bytes go to a
// temporary file in the target's folder, which replaces the target only once complete.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class ReplacingFile {
public:
    // Creates the temporary file beside `target`. Throws ComError when the folder does not
    // take a new file.
    explicit ReplacingFile(std::wstring_view target);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Deletes the temporary file unless Commit succeeded.
    ~ReplacingFile();

    // Where to write; nothing may hold it open when Commit is called.
    const std::wstring& temporaryPath() const noexcept { return temporary_; }

    // Moves the temporary file over the target. Throws ComError when it cannot.
    void Commit();

private:
    std::wstring target_;
    std::wstring temporary_;
    bool committed_ = false;
};

}  // namespace tarn
