// A compound file (the structured storage container of Office 97-2003 documents) holding
// one stream in its root storage. The stream's bytes are streamed through, never held:
// the caller states the size and then writes exactly that many bytes. Portable.
#pragma once

#include "common/byte_sink.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace tarn::cfb {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
// Streams shorter than this live in the mini stream, in 64-byte sectors.
constexpr std::uint64_t kMiniStreamCutoff = 4096;

// Writes a version 3 compound file (512-byte sectors) whose root storage holds the stream
// `name` of `size` bytes, produced by `content`, which must write exactly `size` bytes to
// the sink it gets.
void WriteCompoundFile(ByteSink& out, std::u16string_view name, std::uint64_t size,
                       const std::function<void(ByteSink&)>& content);

}  // namespace tarn::cfb
