// Files the MIME packer's native tests and its fuzzer hand it without touching the disk:
// each path opens to given bytes, to a made-up file of any size read in chunks (that can
// fail halfway), or to what a fallback says; and a sink that only counts what it takes.
#pragma once

#include "common/byte_sink.h"
#include "html/mime_packer.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace tarn::test {

class MemoryFiles final : public FileAccess {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, std::uint64_t> generated;  // path -> size, 'x' bytes
    bool failHalfway = false;                        // generated files fail at half their size
    std::function<std::optional<std::string>(const std::string&)> fallback;

    std::unique_ptr<FileSource> Open(const std::string& path) override {
        if (auto f = files.find(path); f != files.end()) return std::make_unique<Source>(f->second, 0, false);
        if (auto g = generated.find(path); g != generated.end())
            return std::make_unique<Source>(std::string(), g->second, failHalfway);
        if (fallback)
            if (std::optional<std::string> bytes = fallback(path)) return std::make_unique<Source>(*bytes, 0, false);
        return nullptr;
    }

private:
    class Source final : public FileSource {
    public:
        Source(std::string bytes, std::uint64_t made, bool fail)
            : bytes_(std::move(bytes)), left_(made), failAt_(fail ? made / 2 : 0) {}
        std::size_t Read(char* buffer, std::size_t size) override {
            if (left_ > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, left_));
                std::fill(buffer, buffer + n, 'x');
                left_ -= n;
                if (failAt_ && left_ < failAt_) throw std::runtime_error("read error");
                return n;
            }
            const std::size_t n = std::min(size, bytes_.size() - at_);
            std::copy_n(bytes_.data() + at_, n, buffer);
            at_ += n;
            return n;
        }

    private:
        std::string bytes_;
        std::size_t at_ = 0;
        std::uint64_t left_;
        std::uint64_t failAt_;
    };
};

// Counts the bytes (ByteSink::Tell) and keeps none.
class CountingSink final : public ByteSink {
protected:
    void Put(std::string_view) override {}
    void Finish() override {}
};

}  // namespace tarn::test
