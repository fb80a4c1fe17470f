// Palette indices for GIF: the exact path for pictures of few colours, and for the rest an
// optimised palette (flat-area colours kept exactly) with serpentine Floyd-Steinberg
// dithering of the other pixels.
#include "imaging/image_palette.h"

#include "imaging/palette_builder.h"
#include "imaging/palette_search.h"

#include <algorithm>
#include <unordered_map>

namespace tarn {

namespace {

constexpr int kPaletteSize = 256;
// A run of this many equal pixels in a row is part of a flat area (a fill, a rule, a
// background), and a colour with enough such pixels is kept exactly, so fills stay clean
// beside antialiased text. Photographs rarely repeat a colour this way.
constexpr int kFlatRun = 4;
constexpr std::uint64_t kMinFlatPixels = 64;
constexpr std::uint64_t kFlatShareDivisor = 2000;  // or 0.05 % of the picture, if more
// Flat colours may take three quarters of the palette; the rest is for everything else.
constexpr int kMaxFlatColours = kPaletteSize * 3 / 4;
constexpr int kCellBits = 5;

std::uint32_t Key(Rgb c) noexcept { return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b; }
Rgb FromKey(std::uint32_t k) noexcept {
    return Rgb{static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)};
}

// A small open-addressing map from colours to palette indices; it holds at most half its
// slots, so probes stay short.
class ColourIndexMap {
public:
    explicit ColourIndexMap(std::size_t maxEntries) {
        std::size_t n = 16;
        while (n < maxEntries * 2) n *= 2;
        slots_.resize(n);
        mask_ = n - 1;
    }
    // The index of `colour`, or -1.
    int Find(std::uint32_t colour) const noexcept {
        for (std::size_t i = Hash(colour);; i = (i + 1) & mask_) {
            if (slots_[i].key == 0) return -1;
            if (slots_[i].key == colour + 1) return slots_[i].index;
        }
    }
    void Insert(std::uint32_t colour, int index) noexcept {
        std::size_t i = Hash(colour);
        while (slots_[i].key != 0 && slots_[i].key != colour + 1) i = (i + 1) & mask_;
        if (slots_[i].key == 0) ++size_;
        slots_[i] = Slot{colour + 1, index};
    }
    std::size_t size() const noexcept { return size_; }

private:
    struct Slot {
        std::uint32_t key = 0;  // colour + 1; 0 is empty
        int index = 0;
    };
    std::size_t Hash(std::uint32_t colour) const noexcept { return (colour * 2654435761u) & mask_; }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

// The picture's pixels as they are indexed: colour over white as 0x00RRGGBB, or kClear
// for pixels that take the transparent slot. Prepared once, read by every pass.
constexpr std::uint32_t kClear = 0xFF000000u;

std::vector<std::uint32_t> PixelKeys(const Image& image, std::optional<Rgb> transparent) {
    std::vector<std::uint32_t> keys(image.pixels().size());
    const std::uint32_t clearKey = transparent ? Key(*transparent) : kClear;
    std::transform(image.pixels().begin(), image.pixels().end(), keys.begin(), [&](Bgra p) {
        const std::uint32_t key = Key(OverWhite(p));
        return transparent && (p.a == 0 || key == clearKey) ? kClear : key;
    });
    return keys;
}

// The picture's colours, if there are at most `capacity` of them besides clear pixels.
std::optional<std::vector<Rgb>> FewColours(const std::vector<std::uint32_t>& keys, int capacity) {
    ColourIndexMap seen(capacity);
    std::vector<Rgb> colours;
    for (const std::uint32_t key : keys) {
        if (key == kClear || seen.Find(key) >= 0) continue;
        if (static_cast<int>(colours.size()) == capacity) return std::nullopt;
        seen.Insert(key, static_cast<int>(colours.size()));
        colours.push_back(FromKey(key));
    }
    return colours;
}

// Colours of flat areas, most used first.
std::vector<Rgb> FlatColours(const std::vector<std::uint32_t>& keys, int width) {
    std::unordered_map<std::uint32_t, std::uint64_t> flat;
    for (std::size_t rowStart = 0; rowStart < keys.size(); rowStart += static_cast<std::size_t>(width)) {
        const std::size_t rowEnd = rowStart + static_cast<std::size_t>(width);
        for (std::size_t x = rowStart; x < rowEnd;) {
            std::size_t end = x + 1;
            while (end < rowEnd && keys[end] == keys[x]) ++end;
            if (end - x >= kFlatRun && keys[x] != kClear) flat[keys[x]] += end - x;
            x = end;
        }
    }
    const std::uint64_t threshold = std::max(kMinFlatPixels, keys.size() / kFlatShareDivisor);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> ranked;
    for (const auto& [key, count] : flat) {
        if (count >= threshold) ranked.emplace_back(count, key);
    }
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a > b; });
    if (ranked.size() > kMaxFlatColours) ranked.resize(kMaxFlatColours);
    std::vector<Rgb> colours;
    for (const auto& entry : ranked) colours.push_back(FromKey(entry.second));
    return colours;
}

std::vector<ColourCell> Histogram(const std::vector<std::uint32_t>& keys, const ColourIndexMap& exact) {
    constexpr int shift = 8 - kCellBits;
    std::vector<ColourCell> cells(std::size_t{1} << (3 * kCellBits));
    for (const std::uint32_t key : keys) {
        if (key == kClear || exact.Find(key) >= 0) continue;
        const Rgb c = FromKey(key);
        ColourCell& cell = cells[(std::size_t{c.r} >> shift) << (2 * kCellBits) |
                                 (std::size_t{c.g} >> shift) << kCellBits | (std::size_t{c.b} >> shift)];
        ++cell.count;
        cell.sumR += c.r;
        cell.sumG += c.g;
        cell.sumB += c.b;
    }
    return cells;
}

// Nearest colours for dithered pixels, looked up per cell of 4 x 4 x 4 colour values:
// dithered values rarely repeat exactly, and the error the cell costs is carried to the
// next pixels like any other.
class DitherLookup {
public:
    explicit DitherLookup(PaletteSearch& search) : search_(search), cells_(std::size_t{1} << 18, -1) {}
    int Nearest(int r, int g, int b) {
        std::int16_t& cell = cells_[static_cast<std::size_t>((r >> 2) << 12 | (g >> 2) << 6 | (b >> 2))];
        if (cell < 0) cell = static_cast<std::int16_t>(search_.Nearest((r & ~3) | 2, (g & ~3) | 2, (b & ~3) | 2));
        return cell;
    }

private:
    PaletteSearch& search_;
    std::vector<std::int16_t> cells_;
};

// Maps pixels to the palette. Pixels of a colour in `exact` take its index as they are,
// and neither take nor pass on error; the others are dithered (serpentine Floyd-Steinberg,
// error in sixteenths).
void MapPixels(const std::vector<std::uint32_t>& keys, const ColourIndexMap& exact, IndexedImage& out) {
    const int transparent = out.transparentIndex ? *out.transparentIndex : -1;
    PaletteSearch search(out.palette, transparent);
    DitherLookup lookup(search);
    const int w = out.width;
    // One slot of padding at each end, three channels per slot.
    std::vector<int> errorHere(static_cast<std::size_t>(w + 2) * 3, 0);
    std::vector<int> errorBelow(errorHere.size(), 0);
    auto divide16 = [](int e) { return e >= 0 ? (e + 8) / 16 : -((-e + 8) / 16); };

    for (int y = 0; y < out.height; ++y) {
        const bool forward = y % 2 == 0;
        const int dir = forward ? 1 : -1;
        std::fill(errorBelow.begin(), errorBelow.end(), 0);
        const std::size_t rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int step = 0; step < w; ++step) {
            const int x = forward ? step : w - 1 - step;
            const std::uint32_t key = keys[rowStart + x];
            std::uint8_t& index = out.indices[rowStart + x];
            if (key == kClear) {
                index = static_cast<std::uint8_t>(transparent);
                continue;
            }
            if (const int known = exact.Find(key); known >= 0) {
                index = static_cast<std::uint8_t>(known);
                continue;
            }
            const Rgb c = FromKey(key);
            const int* e = &errorHere[static_cast<std::size_t>(x + 1) * 3];
            const int v[3] = {std::clamp(c.r + divide16(e[0]), 0, 255), std::clamp(c.g + divide16(e[1]), 0, 255),
                              std::clamp(c.b + divide16(e[2]), 0, 255)};
            const int chosen = lookup.Nearest(v[0], v[1], v[2]);
            index = static_cast<std::uint8_t>(chosen);
            const Rgb p = out.palette[chosen];
            const int err[3] = {v[0] - p.r, v[1] - p.g, v[2] - p.b};
            int* ahead = &errorHere[static_cast<std::size_t>(x + 1 + dir) * 3];
            int* behindBelow = &errorBelow[static_cast<std::size_t>(x + 1 - dir) * 3];
            int* below = &errorBelow[static_cast<std::size_t>(x + 1) * 3];
            int* aheadBelow = &errorBelow[static_cast<std::size_t>(x + 1 + dir) * 3];
            for (int k = 0; k < 3; ++k) {
                ahead[k] += err[k] * 7;
                behindBelow[k] += err[k] * 3;
                below[k] += err[k] * 5;
                aheadBelow[k] += err[k];
            }
        }
        std::swap(errorHere, errorBelow);
    }
}

}  // namespace

IndexedImage ToIndexed(const Image& image, std::optional<Rgb> transparent) {
    if (image.empty()) throw ImageError("There is no picture to convert to a palette");
    const std::vector<std::uint32_t> keys = PixelKeys(image, transparent);
    const int capacity = transparent ? kPaletteSize - 1 : kPaletteSize;

    IndexedImage out;
    out.width = image.width();
    out.height = image.height();
    out.indices.assign(image.pixels().size(), 0);
    if (transparent) {
        out.palette.push_back(*transparent);
        out.transparentIndex = 0;
    }

    // Colours kept exactly: all of them when they fit, else those of flat areas.
    const std::optional<std::vector<Rgb>> few = FewColours(keys, capacity);
    const std::vector<Rgb> kept = few ? *few : FlatColours(keys, image.width());
    ColourIndexMap exact(kept.size());
    for (const Rgb& c : kept) {
        exact.Insert(Key(c), static_cast<int>(out.palette.size()));
        out.palette.push_back(c);
    }
    if (!few) {
        const std::vector<ColourCell> cells = Histogram(keys, exact);
        const std::vector<Rgb> built = BuildPalette(cells, kept, capacity - static_cast<int>(kept.size()));
        out.palette.insert(out.palette.end(), built.begin() + static_cast<std::ptrdiff_t>(kept.size()), built.end());
        out.dithered = true;
    }
    MapPixels(keys, exact, out);
    return out;
}

}  // namespace tarn
