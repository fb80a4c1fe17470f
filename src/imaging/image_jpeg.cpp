// Baseline sequential JPEG. A first pass over a sample of the picture's MCU rows counts
// the Huffman symbols; every possible symbol also gets a code, so the tables built from
// the sample serve the whole picture in the second pass, which writes it. Nothing is
// stored between the passes: memory stays at one MCU.
#include "imaging/image_jpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace tarn {

namespace {

// The tables of the JPEG standard's informative annex, in natural (row-major) order.
constexpr std::array<int, 64> kLuminanceTable{16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                              14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                              18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                              49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<int, 64> kChrominanceTable{17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                                24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Zigzag position to natural position.
constexpr std::array<int, 64> kZigzag{0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                      12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                      35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                      58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr int kHighQualityColour = 90;
constexpr int kEndOfBlock = 0x00;
constexpr int kZeroRun = 0xF0;  // sixteen zeros
// Coefficients of 8-bit samples stay within 10 bits (a black block's DC of -1024 is
// clamped by one step), so DC differences need at most 11.
constexpr int kMaxCoefficient = 1023;
constexpr int kMaxDcCategory = 11;
constexpr int kMaxAcCategory = 10;
constexpr int kSampledRows = 32;

std::array<int, 64> ScaledTable(const std::array<int, 64>& base, int quality) {
    quality = std::clamp(quality, 1, 100);
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    std::array<int, 64> table{};
    for (int i = 0; i < 64; ++i) table[i] = std::clamp((base[i] * scale + 50) / 100, 1, 255);
    return table;
}

// The 8x8 forward DCT by the Arai-Agui-Nakajima factorisation: 5 multiplications per row
// and column instead of 64. Its outputs come out scaled by 8 * s(u) * s(v), with
// s(0) = 1 and s(k) = sqrt(2) cos(k pi / 16); Quantiser folds that into its divisors.
void ForwardDct(std::array<float, 64>& block) {
    auto pass = [&block](int start, int step) {
        float* d[8];
        for (int i = 0; i < 8; ++i) d[i] = &block[start + i * step];
        const float t0 = *d[0] + *d[7], t7 = *d[0] - *d[7];
        const float t1 = *d[1] + *d[6], t6 = *d[1] - *d[6];
        const float t2 = *d[2] + *d[5], t5 = *d[2] - *d[5];
        const float t3 = *d[3] + *d[4], t4 = *d[3] - *d[4];
        // Even part.
        const float e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;
        *d[0] = e10 + e11;
        *d[4] = e10 - e11;
        const float z1 = (e12 + e13) * 0.707106781f;
        *d[2] = e13 + z1;
        *d[6] = e13 - z1;
        // Odd part.
        const float o10 = t4 + t5, o11 = t5 + t6, o12 = t6 + t7;
        const float z5 = (o10 - o12) * 0.382683433f;
        const float z2 = 0.541196100f * o10 + z5;
        const float z4 = 1.306562965f * o12 + z5;
        const float z3 = o11 * 0.707106781f;
        const float z11 = t7 + z3, z13 = t7 - z3;
        *d[5] = z13 + z2;
        *d[3] = z13 - z2;
        *d[1] = z11 + z4;
        *d[7] = z11 - z4;
    };
    for (int row = 0; row < 8; ++row) pass(row * 8, 1);
    for (int col = 0; col < 8; ++col) pass(col, 8);
}

// Quantises ForwardDct's output: one reciprocal per coefficient, scale included.
class Quantiser {
public:
    explicit Quantiser(const std::array<int, 64>& table) {
        std::array<double, 8> scale{};
        for (int k = 0; k < 8; ++k) scale[k] = k == 0 ? 1.0 : std::numbers::sqrt2 * std::cos(k * std::numbers::pi / 16);
        for (int i = 0; i < 64; ++i) {
            reciprocal_[i] = static_cast<float>(1.0 / (table[i] * scale[i / 8] * scale[i % 8] * 8.0));
        }
    }
    // The coefficient at natural position `i`, quantised and rounded half away from zero.
    int operator()(const std::array<float, 64>& block, int i) const {
        const float v = block[i] * reciprocal_[i];
        return static_cast<int>(v >= 0 ? v + 0.5f : v - 0.5f);
    }

private:
    std::array<float, 64> reciprocal_{};
};

// Huffman symbol of a value's magnitude: the number of bits it needs.
int Category(int v) {
    v = std::abs(v);
    int bits = 0;
    while (v) {
        ++bits;
        v >>= 1;
    }
    return bits;
}

struct HuffmanTable {
    std::array<std::uint8_t, 17> bits{};  // codes of each length 1..16
    std::vector<std::uint8_t> values;     // symbols, shortest codes first
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
};

// Code lengths from symbol counts, limited to 16 bits, as the standard's annex K.2 lays
// out; one extra symbol keeps any real code from being all ones.
HuffmanTable BuildTable(const std::array<long, 256>& counts) {
    std::array<long, 257> freq{};
    std::copy(counts.begin(), counts.end(), freq.begin());
    if (std::all_of(counts.begin(), counts.end(), [](long n) { return n == 0; })) freq[0] = 1;
    freq[256] = 1;
    std::array<int, 257> size{};
    std::array<int, 257> others;
    others.fill(-1);
    for (;;) {
        int c1 = -1, c2 = -1;
        for (int i = 0; i < 257; ++i) {  // the two least frequent, later symbols first on ties
            if (freq[i] == 0) continue;
            if (c1 < 0 || freq[i] <= freq[c1]) {
                c2 = c1;
                c1 = i;
            } else if (c2 < 0 || freq[i] <= freq[c2]) {
                c2 = i;
            }
        }
        if (c2 < 0) break;
        freq[c1] += freq[c2];
        freq[c2] = 0;
        for (++size[c1]; others[c1] >= 0;) ++size[c1 = others[c1]];
        others[c1] = c2;
        for (++size[c2]; others[c2] >= 0;) ++size[c2 = others[c2]];
    }
    std::array<int, 258> lengths{};
    for (int i = 0; i < 257; ++i) {
        if (size[i]) ++lengths[size[i]];
    }
    for (int i = 257; i > 16; --i) {
        while (lengths[i] > 0) {
            int j = i - 2;
            while (lengths[j] == 0) --j;
            lengths[i] -= 2;
            ++lengths[i - 1];
            lengths[j + 1] += 2;
            --lengths[j];
        }
    }
    int longest = 16;
    while (lengths[longest] == 0) --longest;
    --lengths[longest];  // drop the extra symbol, which has one of the longest codes

    HuffmanTable table;
    for (int i = 1; i <= 16; ++i) table.bits[i] = static_cast<std::uint8_t>(lengths[i]);
    for (int len = 1; len <= 256; ++len)
        for (int s = 0; s < 256; ++s)
            if (size[s] == len) table.values.push_back(static_cast<std::uint8_t>(s));
    // Canonical codes: consecutive within a length, doubling to the next length.
    std::uint16_t next = 0;
    std::size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int n = 0; n < table.bits[len]; ++n, ++k) {
            table.code[table.values[k]] = next++;
            table.length[table.values[k]] = static_cast<std::uint8_t>(len);
        }
        next = static_cast<std::uint16_t>(next << 1);
    }
    return table;
}

// Entropy-coded bytes, with 0xFF stuffed by 0x00 as markers require.
class BitWriter {
public:
    explicit BitWriter(BufferedOutput& out) : out_(out) {}
    void Put(std::uint32_t value, int bits) {
        if (bits == 0) return;
        pending_ = (pending_ << bits) | (value & ((1u << bits) - 1));
        pendingBits_ += bits;
        while (pendingBits_ >= 8) {
            const auto b = static_cast<std::uint8_t>((pending_ >> (pendingBits_ - 8)) & 0xFF);
            out_.Byte(b);
            if (b == 0xFF) out_.Byte(0x00);
            pendingBits_ -= 8;
        }
    }
    // Pads the last byte with one bits.
    void Finish() {
        if (pendingBits_ > 0) Put(0x7F, 8 - pendingBits_);
    }

private:
    BufferedOutput& out_;
    std::uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

struct Component {
    int id;
    int table;                     // 0 luminance, 1 chrominance
    int blocksAcross, blocksDown;  // blocks per MCU
};

// Walks the picture MCU by MCU and hands each quantised block, in zigzag order, to `use`.
class BlockSource {
public:
    BlockSource(const Image& image, int quality)
        : image_(image),
          quant_{ScaledTable(kLuminanceTable, quality), ScaledTable(kChrominanceTable, quality)},
          quantisers_{Quantiser(quant_[0]), Quantiser(quant_[1])},
          subsample_(quality < kHighQualityColour ? 2 : 1),
          components_{Component{1, 0, subsample_, subsample_}, Component{2, 1, 1, 1}, Component{3, 1, 1, 1}} {}
    const std::array<int, 64>& Quant(int table) const { return quant_[table]; }
    const std::array<Component, 3>& Components() const { return components_; }

    int McuRows() const { return (image_.height() + 8 * subsample_ - 1) / (8 * subsample_); }

    // Visits every `rowStep`th row of MCUs.
    template <class Use>
    void ForEachBlock(int rowStep, Use&& use) const {
        const int mcu = 8 * subsample_;
        const int side = mcu * mcu;
        std::vector<float> planes(static_cast<std::size_t>(side) * 3);
        std::array<float, 64> block{};
        std::array<int, 64> zigzag{};
        for (int top = 0; top < image_.height(); top += mcu * rowStep) {
            for (int left = 0; left < image_.width(); left += mcu) {
                LoadMcu(left, top, mcu, planes.data());
                for (int c = 0; c < 3; ++c) {
                    const Component& comp = components_[c];
                    const float* plane = planes.data() + static_cast<std::size_t>(c) * side;
                    for (int by = 0; by < comp.blocksDown; ++by)
                        for (int bx = 0; bx < comp.blocksAcross; ++bx) {
                            TakeBlock(plane, mcu, c == 0 ? 1 : subsample_, bx, by, block);
                            ForwardDct(block);
                            const Quantiser& q = quantisers_[comp.table];
                            for (int k = 0; k < 64; ++k) {
                                zigzag[k] = std::clamp(q(block, kZigzag[k]), -kMaxCoefficient, kMaxCoefficient);
                            }
                            use(c, zigzag);
                        }
                }
            }
        }
    }

private:
    // Block (bx, by) of a component's plane, level-shifted; with `step` 2 (chroma at half
    // resolution) each sample averages 2 x 2 of the plane.
    static void TakeBlock(const float* plane, int mcu, int step, int bx, int by, std::array<float, 64>& block) {
        for (int y = 0; y < 8; ++y) {
            const float* line = plane + ((by * 8 + y) * step) * mcu + bx * 8 * step;
            for (int x = 0; x < 8; ++x) {
                const float sample =
                    step == 1 ? line[x]
                              : 0.25f * (line[2 * x] + line[2 * x + 1] + line[mcu + 2 * x] + line[mcu + 2 * x + 1]);
                block[y * 8 + x] = sample - 128.0f;
            }
        }
    }

    // Y, Cb and Cr of one MCU; pixels past the right and bottom edges repeat the edge.
    void LoadMcu(int left, int top, int mcu, float* planes) const {
        const std::size_t side = static_cast<std::size_t>(mcu) * mcu;
        for (int y = 0; y < mcu; ++y) {
            const auto row = image_.row(std::min(top + y, image_.height() - 1));
            for (int x = 0; x < mcu; ++x) {
                const Rgb p = OverWhite(row[std::min(left + x, image_.width() - 1)]);
                const std::size_t i = static_cast<std::size_t>(y) * mcu + x;
                planes[i] = 0.299f * p.r + 0.587f * p.g + 0.114f * p.b;
                planes[side + i] = -0.168736f * p.r - 0.331264f * p.g + 0.5f * p.b + 128.0f;
                planes[2 * side + i] = 0.5f * p.r - 0.418688f * p.g - 0.081312f * p.b + 128.0f;
            }
        }
    }

    const Image& image_;
    std::array<std::array<int, 64>, 2> quant_;
    std::array<Quantiser, 2> quantisers_;
    int subsample_;
    std::array<Component, 3> components_;
};

// Walks the symbols of one block: the DC difference's category, then run/size pairs,
// sixteen-zero runs and the end of block.
template <class Symbol>
void BlockSymbols(const std::array<int, 64>& zigzag, int& previousDc, Symbol&& symbol) {
    const int diff = zigzag[0] - previousDc;
    previousDc = zigzag[0];
    symbol(false, Category(diff), diff);
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int v = zigzag[k];
        if (v == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16) symbol(true, kZeroRun, 0);
        symbol(true, run << 4 | Category(v), v);
        run = 0;
    }
    if (run > 0) symbol(true, kEndOfBlock, 0);
}

void Marker(BufferedOutput& out, std::uint8_t marker, unsigned length) {
    out.Byte(0xFF);
    out.Byte(marker);
    out.Be16(length);
}

void WriteHuffmanTable(BufferedOutput& out, int tableClass, int id, const HuffmanTable& t) {
    out.Byte(static_cast<std::uint8_t>(tableClass << 4 | id));
    for (int i = 1; i <= 16; ++i) out.Byte(t.bits[i]);
    out.Bytes(t.values);
}

}  // namespace

void WriteJpeg(const Image& image, int quality, ByteSink& sink) {
    if (image.empty() || image.width() > 0xFFFF || image.height() > 0xFFFF) {
        throw ImageError("There is no picture to write as JPEG");
    }
    const BlockSource source(image, quality);

    // Pass one: symbol counts per table, [class][table] with class 0 DC, 1 AC, from about
    // kSampledRows rows of MCUs, plus one for every symbol baseline JPEG can emit.
    std::array<std::array<std::array<long, 256>, 2>, 2> counts{};
    std::array<int, 3> dc{};
    const int rowStep = (source.McuRows() + kSampledRows - 1) / kSampledRows;
    source.ForEachBlock(rowStep, [&](int c, const std::array<int, 64>& block) {
        const int table = source.Components()[c].table;
        BlockSymbols(block, dc[c], [&](bool ac, int symbol, int) { ++counts[ac][table][symbol]; });
    });
    for (int t = 0; t < 2; ++t) {
        for (int size = 0; size <= kMaxDcCategory; ++size) ++counts[0][t][size];
        ++counts[1][t][kEndOfBlock];
        ++counts[1][t][kZeroRun];
        for (int run = 0; run < 16; ++run)
            for (int size = 1; size <= kMaxAcCategory; ++size) ++counts[1][t][run << 4 | size];
    }
    std::array<std::array<HuffmanTable, 2>, 2> tables;
    for (int ac = 0; ac < 2; ++ac)
        for (int t = 0; t < 2; ++t) tables[ac][t] = BuildTable(counts[ac][t]);

    BufferedOutput out(sink);
    out.Byte(0xFF);
    out.Byte(0xD8);         // start of image
    Marker(out, 0xE0, 16);  // JFIF: version 1.01, square pixels, no thumbnail
    for (const std::uint8_t b : std::initializer_list<std::uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}) {
        out.Byte(b);
    }
    Marker(out, 0xDB, 2 + 2 * 65);
    for (int t = 0; t < 2; ++t) {
        out.Byte(static_cast<std::uint8_t>(t));  // 8-bit entries, table t
        for (int k = 0; k < 64; ++k) out.Byte(static_cast<std::uint8_t>(source.Quant(t)[kZigzag[k]]));
    }
    Marker(out, 0xC0, 8 + 3 * 3);  // baseline frame
    out.Byte(8);
    out.Be16(static_cast<unsigned>(image.height()));
    out.Be16(static_cast<unsigned>(image.width()));
    out.Byte(3);
    for (const Component& c : source.Components()) {
        out.Byte(static_cast<std::uint8_t>(c.id));
        out.Byte(static_cast<std::uint8_t>(c.blocksAcross << 4 | c.blocksDown));
        out.Byte(static_cast<std::uint8_t>(c.table));
    }
    unsigned huffmanLength = 2;
    for (const auto& byClass : tables)
        for (const HuffmanTable& t : byClass) huffmanLength += 17 + static_cast<unsigned>(t.values.size());
    Marker(out, 0xC4, huffmanLength);
    for (int ac = 0; ac < 2; ++ac)
        for (int t = 0; t < 2; ++t) WriteHuffmanTable(out, ac, t, tables[ac][t]);
    Marker(out, 0xDA, 6 + 2 * 3);  // one scan of all three components
    out.Byte(3);
    for (const Component& c : source.Components()) {
        out.Byte(static_cast<std::uint8_t>(c.id));
        out.Byte(static_cast<std::uint8_t>(c.table << 4 | c.table));
    }
    for (const std::uint8_t b : std::initializer_list<std::uint8_t>{0, 63, 0}) out.Byte(b);  // whole spectrum, one pass

    // Pass two: the entropy-coded data.
    BitWriter bits(out);
    dc = {};
    source.ForEachBlock(1, [&](int c, const std::array<int, 64>& block) {
        const int table = source.Components()[c].table;
        BlockSymbols(block, dc[c], [&](bool ac, int symbol, int value) {
            const HuffmanTable& t = tables[ac][table];
            bits.Put(t.code[symbol], t.length[symbol]);
            const int size = symbol & 0x0F;
            const int extra = ac ? size : symbol;  // a DC symbol is the size itself
            // Negative values are sent as value - 1 in `extra` bits (ones' complement).
            bits.Put(static_cast<std::uint32_t>(value < 0 ? value - 1 : value), extra);
        });
    });
    bits.Finish();
    out.Byte(0xFF);
    out.Byte(0xD9);  // end of image
    out.Flush();
}

}  // namespace tarn
