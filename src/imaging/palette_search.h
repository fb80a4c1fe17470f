// Nearest palette colour under the weighted distance the palette code uses throughout.
// Portable; shared by the palette builder and the ditherer.
#pragma once

#include "imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tarn {

// Squared distance in RGB weighted 3:4:2. Equal steps of green read as larger changes
// than red, and red than blue; the weights are a cheap stand-in for a perceptual space
// that keeps the palette finer where the eye is.
inline constexpr int kWeightR = 3;
inline constexpr int kWeightG = 4;
inline constexpr int kWeightB = 2;

inline int WeightedDistance(int dr, int dg, int db) noexcept {
    return kWeightR * dr * dr + kWeightG * dg * dg + kWeightB * db * db;
}

// Finds the exact nearest entry of a palette: entries sorted by green, searched outward
// from the probe's green until the green gap alone exceeds the best distance, with a small
// direct-mapped cache in front (dithered pictures repeat colours a lot).
class PaletteSearch {
public:
    // `excluded` is an index never answered (the transparent slot), or -1.
    explicit PaletteSearch(std::span<const Rgb> palette, int excluded = -1);

    // Components must be in 0..255.
    [[nodiscard]] int Nearest(int r, int g, int b) noexcept;

private:
    struct Entry {
        int r, g, b;
        int index;
    };
    struct CacheSlot {
        std::uint32_t key = 0;  // colour + 1, so 0 marks an empty slot
        int index = 0;
    };

    int Search(int r, int g, int b) const noexcept;

    std::vector<Entry> byGreen_;
    std::vector<CacheSlot> cache_;
};

}  // namespace tarn
