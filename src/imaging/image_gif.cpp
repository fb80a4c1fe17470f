// GIF89a: header, logical screen, colour table sized to the palette, graphic control
// extension for transparency, image descriptor, and the variable-width LZW code stream in
// sub-blocks of at most 255 bytes.
#include "imaging/image_gif.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace tarn {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCode = (1 << kMaxCodeBits) - 1;

// Packs codes least significant bit first into data sub-blocks.
class CodeStream {
public:
    explicit CodeStream(BufferedOutput& out) : out_(out) {}
    void Put(int code, int bits) {
        pending_ |= static_cast<std::uint32_t>(code) << pendingBits_;
        pendingBits_ += bits;
        while (pendingBits_ >= 8) {
            Byte(static_cast<std::uint8_t>(pending_ & 0xFF));
            pending_ >>= 8;
            pendingBits_ -= 8;
        }
    }
    // Writes the last partial byte and block, then the block terminator.
    void Finish() {
        if (pendingBits_ > 0) Byte(static_cast<std::uint8_t>(pending_ & 0xFF));
        pending_ = 0;
        pendingBits_ = 0;
        WriteBlock();
        out_.Byte(0);
    }

private:
    void Byte(std::uint8_t b) {
        block_[blockSize_++] = b;
        if (blockSize_ == block_.size()) WriteBlock();
    }
    void WriteBlock() {
        if (blockSize_ == 0) return;
        out_.Byte(static_cast<std::uint8_t>(blockSize_));
        out_.Bytes(std::span(block_.data(), blockSize_));
        blockSize_ = 0;
    }

    BufferedOutput& out_;
    std::uint32_t pending_ = 0;
    int pendingBits_ = 0;
    std::array<std::uint8_t, 255> block_{};
    std::size_t blockSize_ = 0;
};

// The LZW dictionary: (prefix code, next index) to code, open addressing at under half load.
class Dictionary {
public:
    Dictionary() : keys_(kSlots), codes_(kSlots) {}
    void Clear() { std::fill(keys_.begin(), keys_.end(), 0u); }
    static std::uint32_t Key(int prefix, int index) {
        return (static_cast<std::uint32_t>(prefix) << 8 | static_cast<std::uint32_t>(index)) + 1;  // never 0
    }
    // The code of `key`, or -1; `slot` is then where to add it.
    int Find(std::uint32_t key, std::size_t& slot) const {
        for (slot = (key * 2654435761u) >> (32 - kSlotBits); keys_[slot] != 0; slot = (slot + 1) & (kSlots - 1)) {
            if (keys_[slot] == key) return codes_[slot];
        }
        return -1;
    }
    void Add(std::size_t slot, std::uint32_t key, int code) {
        keys_[slot] = key;
        codes_[slot] = static_cast<std::int16_t>(code);
    }

private:
    static constexpr int kSlotBits = 13;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    std::vector<std::uint32_t> keys_;  // 0 is empty
    std::vector<std::int16_t> codes_;
};

void Compress(const IndexedImage& image, int minCodeSize, BufferedOutput& out) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    CodeStream codes(out);
    Dictionary dictionary;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    codes.Put(clear, codeSize);

    int prefix = -1;
    for (const std::uint8_t index : image.indices) {
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        const std::uint32_t key = Dictionary::Key(prefix, index);
        std::size_t slot = 0;
        if (const int code = dictionary.Find(key, slot); code >= 0) {
            prefix = code;
            continue;
        }
        codes.Put(prefix, codeSize);
        // The decoder adds each entry one code later than we do and widens its codes once
        // its next entry no longer fits; widening here as the new entry reaches that size
        // keeps both in step.
        const int added = next++;
        dictionary.Add(slot, key, added);
        if (added >= (1 << codeSize)) ++codeSize;
        if (added == kMaxCode) {
            codes.Put(clear, codeSize);
            dictionary.Clear();
            codeSize = minCodeSize + 1;
            next = clear + 2;
        }
        prefix = index;
    }
    codes.Put(prefix, codeSize);
    // The decoder adds an entry for that last code too, and may widen before the end code.
    if (next >= (1 << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
    codes.Put(end, codeSize);
    codes.Finish();
}

}  // namespace

void WriteGif(const IndexedImage& image, ByteSink& sink) {
    const std::size_t pixels = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF ||
        image.indices.size() != pixels || image.palette.empty() || image.palette.size() > 256) {
        throw ImageError("There is no picture to write as GIF");
    }
    if (*std::max_element(image.indices.begin(), image.indices.end()) >= image.palette.size()) {
        throw ImageError("A pixel of the GIF picture has no palette colour");
    }
    int tableBits = 1;  // the colour table holds 2^tableBits entries
    while ((std::size_t{1} << tableBits) < image.palette.size()) ++tableBits;

    BufferedOutput out(sink);
    for (const char c : std::string_view("GIF89a")) out.Byte(static_cast<std::uint8_t>(c));
    out.Le16(static_cast<unsigned>(image.width));
    out.Le16(static_cast<unsigned>(image.height));
    // Global colour table present; colour resolution and table size both tableBits.
    out.Byte(static_cast<std::uint8_t>(0x80 | (tableBits - 1) << 4 | (tableBits - 1)));
    out.Byte(0);  // background colour index
    out.Byte(0);  // no aspect ratio given
    for (std::size_t i = 0; i < (std::size_t{1} << tableBits); ++i) {
        const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb{};
        out.Byte(c.r);
        out.Byte(c.g);
        out.Byte(c.b);
    }
    if (image.transparentIndex) {
        // Graphic control extension: no disposal, no delay, transparent colour flag set.
        for (const std::uint8_t b : {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00}) out.Byte(b);
        out.Byte(*image.transparentIndex);
        out.Byte(0);
    }
    out.Byte(0x2C);  // image descriptor: the whole screen, no local table, not interlaced
    out.Le16(0);
    out.Le16(0);
    out.Le16(static_cast<unsigned>(image.width));
    out.Le16(static_cast<unsigned>(image.height));
    out.Byte(0);
    const int minCodeSize = std::max(2, tableBits);
    out.Byte(static_cast<std::uint8_t>(minCodeSize));
    Compress(image, minCodeSize, out);
    out.Byte(0x3B);  // trailer
    out.Flush();
}

}  // namespace tarn
