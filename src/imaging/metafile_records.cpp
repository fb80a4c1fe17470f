// Record walks: EMF records measure themselves in bytes (a multiple of four), WMF records
// in 16-bit words; EMF ends with EMR_EOF, WMF with a record whose function is 0.
#include "imaging/metafile_records.h"

#include "imaging/image.h"

#include <string>

namespace tarn {

namespace {

constexpr std::uint32_t kEmfEndOfFile = 14;
constexpr std::size_t kEmfRecordHeader = 8;  // type, size
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kWmfRecordHeader = 6;  // size in words, function
constexpr std::uint32_t kWmfMinRecordWords = 3;

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

[[noreturn]] void Fail(const char* format, const std::string& what) {
    throw ImageError(std::string("The ") + format + " file " + what);
}

void CheckEmf(std::span<const std::uint8_t> bytes) {
    for (std::size_t at = 0;;) {
        if (bytes.size() - at < kEmfRecordHeader) Fail("EMF", "ends before its last record");
        const std::uint32_t type = Le32(&bytes[at]), size = Le32(&bytes[at + 4]);
        if (size < kEmfRecordHeader || size % 4 != 0) Fail("EMF", "has a record of impossible size");
        if (size > bytes.size() - at) Fail("EMF", "ends inside a record");
        if (type == kEmfEndOfFile) return;
        at += size;
    }
}

void CheckWmf(std::span<const std::uint8_t> bytes) {
    std::size_t at = 0;
    if (bytes.size() >= 4 && Le32(bytes.data()) == kPlaceableKey) at = kPlaceableSize;
    if (bytes.size() < at + 18) Fail("WMF", "ends inside its header");
    at += Le16(&bytes[at + 2]) * 2u;  // header size in words
    for (;;) {
        if (at > bytes.size() || bytes.size() - at < kWmfRecordHeader) Fail("WMF", "ends before its last record");
        const std::uint64_t words = Le32(&bytes[at]);
        const std::uint32_t function = Le16(&bytes[at + 4]);
        if (words < kWmfMinRecordWords) Fail("WMF", "has a record of impossible size");
        if (words * 2 > bytes.size() - at) Fail("WMF", "ends inside a record");
        if (function == 0) return;
        at += static_cast<std::size_t>(words * 2);
    }
}

}  // namespace

void CheckMetafileRecords(std::span<const std::uint8_t> bytes, ImageFormat format) {
    if (format == ImageFormat::Emf) {
        CheckEmf(bytes);
    } else if (format == ImageFormat::Wmf) {
        CheckWmf(bytes);
    } else {
        throw ImageError("The file is not a metafile");
    }
}

}  // namespace tarn
