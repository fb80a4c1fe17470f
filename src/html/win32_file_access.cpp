// Files for the MIME packer through CreateFile and ReadFile.
#include "html/win32_file_access.h"

#include "com/errors.h"
#include "com/handles.h"
#include "common/utf8.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace tarn {

namespace {

class Win32FileSource final : public FileSource {
public:
    explicit Win32FileSource(unique_hfile file) : file_(std::move(file)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        DWORD read = 0;
        if (!ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &read, nullptr))
            throw std::runtime_error("Cannot read a file: " + Utf8(SystemMessage(GetLastError())));
        return read;
    }

private:
    unique_hfile file_;
};

}  // namespace

// Folders do not open: CreateFile refuses them without backup semantics.
std::unique_ptr<FileSource> Win32FileAccess::Open(const std::string& path) {
    unique_hfile file(CreateFileW(FromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32FileSource>(std::move(file));
}

}  // namespace tarn
