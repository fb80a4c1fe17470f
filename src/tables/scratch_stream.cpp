// The stream is positioned at its end between calls; Patch and CopyTo move away and back.
#include "tables/scratch_stream.h"

#include <random>
#include <stdexcept>
#include <string>

namespace tarn {

ScratchStream::ScratchStream() : owned_(true) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::uint64_t tag = (std::uint64_t{random()} << 32) ^ random();
        path_ = std::filesystem::temp_directory_path() / ("tarn-" + std::to_string(tag) + ".tmp");
        if (!std::filesystem::exists(path_)) break;
    }
    Open();
}

ScratchStream::ScratchStream(const std::filesystem::path& path) : path_(path) { Open(); }

ScratchStream::~ScratchStream() {
    file_.close();
    if (owned_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
}

void ScratchStream::Open() {
    file_.open(path_, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file_) throw std::runtime_error("cannot create the scratch file");
}

void ScratchStream::Append(std::string_view bytes) {
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file_) throw std::runtime_error("cannot write the scratch file");
    size_ += bytes.size();
}

void ScratchStream::Patch(std::uint64_t offset, std::string_view bytes) {
    file_.seekp(static_cast<std::streamoff>(offset));
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file_.seekp(0, std::ios::end);
    if (!file_) throw std::runtime_error("cannot write the scratch file");
}

void ScratchStream::CopyTo(ByteSink& out, std::uint64_t begin, std::uint64_t end) {
    file_.flush();
    file_.seekg(static_cast<std::streamoff>(begin));
    std::string buffer(64 * 1024, '\0');
    while (begin < end) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - begin));
        file_.read(buffer.data(), static_cast<std::streamsize>(n));
        if (!file_) throw std::runtime_error("cannot read the scratch file");
        out.Write(std::string_view(buffer.data(), n));
        begin += n;
    }
    file_.seekp(0, std::ios::end);
}

}  // namespace tarn
