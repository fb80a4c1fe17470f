// Layout: the header, the stream's sectors (for a short stream: the mini stream holding it,
// then the mini FAT), the FAT sectors, the DIFAT sectors that list FAT sectors past the
// header's 109, and one directory sector. Every count follows from the stream's size, so
// the header goes first and nothing is revisited.
#include "tables/compound_file.h"

#include <stdexcept>
#include <string>

namespace tarn::cfb {
namespace {

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderDifatEntries = 109;

void Le16(std::string& b, unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void Le32(std::string& b, std::uint32_t v) {
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}

struct Layout {
    std::uint32_t streamSectors = 0;  // the stream's, or the mini stream's
    std::uint32_t miniSectors = 0;    // a short stream's 64-byte sectors
    std::uint32_t miniFatSectors = 0;
    std::uint32_t fatSectors = 0;
    std::uint32_t difatSectors = 0;
    std::uint32_t firstMiniFat() const { return streamSectors; }
    std::uint32_t firstFat() const { return streamSectors + miniFatSectors; }
    std::uint32_t firstDifat() const { return firstFat() + fatSectors; }
    std::uint32_t directory() const { return firstDifat() + difatSectors; }
    std::uint32_t total() const { return directory() + 1; }
};

Layout Plan(std::uint64_t size) {
    // Version 3 sector numbers are 32 bits and stream sizes below 2 GB.
    if (size >= 0x80000000ull) throw std::length_error("compound file stream of 2 GB or more");
    Layout layout;
    if (size < kMiniStreamCutoff) {
        layout.miniSectors = static_cast<std::uint32_t>((size + kMiniSectorSize - 1) / kMiniSectorSize);
        layout.streamSectors = (layout.miniSectors * kMiniSectorSize + kSectorSize - 1) / kSectorSize;
        layout.miniFatSectors = 1;  // 64 entries at most, in a sector of 128
    } else {
        layout.streamSectors = static_cast<std::uint32_t>((size + kSectorSize - 1) / kSectorSize);
    }
    for (;;) {
        const std::uint32_t fat = (layout.total() + kEntriesPerSector - 1) / kEntriesPerSector;
        const std::uint32_t difat = fat > kHeaderDifatEntries
                                        ? (fat - kHeaderDifatEntries + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                                        : 0;
        if (fat == layout.fatSectors && difat == layout.difatSectors) return layout;
        layout.fatSectors = fat;
        layout.difatSectors = difat;
    }
}

std::string Header(const Layout& layout) {
    std::string b("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    b.append(16, '\0');  // class id
    Le16(b, 0x003E);     // minor version
    Le16(b, 0x0003);     // major version: 512-byte sectors
    Le16(b, 0xFFFE);     // little-endian
    Le16(b, 9);          // sector shift
    Le16(b, 6);          // mini sector shift
    b.append(6, '\0');
    Le32(b, 0);  // directory sectors (always 0 in version 3)
    Le32(b, layout.fatSectors);
    Le32(b, layout.directory());
    Le32(b, 0);  // transaction signature
    Le32(b, static_cast<std::uint32_t>(kMiniStreamCutoff));
    Le32(b, layout.miniFatSectors ? layout.firstMiniFat() : kEndOfChain);
    Le32(b, layout.miniFatSectors);
    Le32(b, layout.difatSectors ? layout.firstDifat() : kEndOfChain);
    Le32(b, layout.difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
        Le32(b, i < layout.fatSectors ? layout.firstFat() + i : kFreeSector);
    }
    return b;
}

// The FAT entry of sector `s`.
std::uint32_t FatEntry(const Layout& layout, std::uint32_t s) {
    if (s < layout.streamSectors) return s + 1 == layout.streamSectors ? kEndOfChain : s + 1;
    if (s < layout.firstFat()) return kEndOfChain;  // the mini FAT's one sector
    if (s < layout.firstDifat()) return kFatSector;
    if (s < layout.directory()) return kDifatSector;
    if (s == layout.directory()) return kEndOfChain;
    return kFreeSector;
}

void DirectoryEntry(std::string& b, std::u16string_view name, std::uint8_t type, std::uint32_t child,
                    std::uint32_t start, std::uint64_t size) {
    const std::size_t at = b.size();
    for (const char16_t c : name) Le16(b, c);
    b.resize(at + 64, '\0');
    Le16(b, name.empty() ? 0 : static_cast<unsigned>((name.size() + 1) * 2));
    b += static_cast<char>(type);
    b += static_cast<char>(type ? 1 : 0);  // black
    Le32(b, kNoStream);                    // left sibling
    Le32(b, kNoStream);                    // right sibling
    Le32(b, child);
    b.append(16 + 4 + 8 + 8, '\0');  // class id, state bits, creation and modification times
    Le32(b, start);
    Le32(b, static_cast<std::uint32_t>(size));
    Le32(b, 0);
}

// Passes the stream's bytes on and counts them.
class CountingSink final : public ByteSink {
public:
    explicit CountingSink(ByteSink& out) : out_(out) {}

protected:
    void Put(std::string_view bytes) override { out_.Write(bytes); }
    void Finish() override {}

private:
    ByteSink& out_;
};

}  // namespace

void WriteCompoundFile(ByteSink& out, std::u16string_view name, std::uint64_t size,
                       const std::function<void(ByteSink&)>& content) {
    if (name.size() > 31) throw std::invalid_argument("compound file names hold at most 31 characters");
    const Layout layout = Plan(size);
    out.Write(Header(layout));

    CountingSink counted(out);
    content(counted);
    if (counted.Tell() != size) throw std::logic_error("compound file stream size differs from the one announced");
    const std::uint64_t padding = std::uint64_t{layout.streamSectors} * kSectorSize - size;
    out.Write(std::string(static_cast<std::size_t>(padding), '\0'));

    std::string block;
    block.reserve(kSectorSize);
    const auto flush = [&] {
        out.Write(block);
        block.clear();
    };
    if (layout.miniFatSectors) {
        for (std::uint32_t m = 0; m < kEntriesPerSector; ++m) {
            Le32(block, m + 1 < layout.miniSectors ? m + 1 : m + 1 == layout.miniSectors ? kEndOfChain : kFreeSector);
        }
        flush();
    }
    for (std::uint32_t s = 0; s < layout.fatSectors * kEntriesPerSector; ++s) {
        Le32(block, FatEntry(layout, s));
        if (block.size() == kSectorSize) flush();
    }
    for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
        for (std::uint32_t i = 0; i < kEntriesPerSector - 1; ++i) {
            const std::uint32_t fat = kHeaderDifatEntries + d * (kEntriesPerSector - 1) + i;
            Le32(block, fat < layout.fatSectors ? layout.firstFat() + fat : kFreeSector);
        }
        Le32(block, d + 1 < layout.difatSectors ? layout.firstDifat() + d + 1 : kEndOfChain);
        flush();
    }
    // The root storage's own stream is the mini stream.
    const bool mini = layout.miniFatSectors != 0;
    DirectoryEntry(block, u"Root Entry", 5, 1, mini ? 0 : kEndOfChain, mini ? layout.miniSectors * kMiniSectorSize : 0);
    DirectoryEntry(block, name, 2, kNoStream, 0, size);
    DirectoryEntry(block, u"", 0, kNoStream, 0, 0);
    DirectoryEntry(block, u"", 0, kNoStream, 0, 0);
    flush();
}

}  // namespace tarn::cfb
