// A file that a writer appends to while it works and reads back at the end: what a
// streaming writer keeps out of memory until it can place it. Portable.
#pragma once

#include "common/byte_sink.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace tarn {

class ScratchStream {
public:
    // A new file of its own in the system's temporary folder, deleted with the object.
    ScratchStream();
    // The file at `path`, emptied; the caller owns the file and deletes it.
    explicit ScratchStream(const std::filesystem::path& path);
    ~ScratchStream();
    ScratchStream(const ScratchStream&) = delete;
    ScratchStream& operator=(const ScratchStream&) = delete;

    void Append(std::string_view bytes);
    // Overwrites bytes already appended.
    void Patch(std::uint64_t offset, std::string_view bytes);
    // Writes the bytes from `begin` up to `end` to `out`.
    void CopyTo(ByteSink& out, std::uint64_t begin, std::uint64_t end);
    [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

private:
    void Open();
    std::filesystem::path path_;
    bool owned_ = false;
    std::fstream file_;
    std::uint64_t size_ = 0;
};

}  // namespace tarn
