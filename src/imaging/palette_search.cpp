// Nearest palette colour: a sorted-axis search with pruning, behind a cache.
#include "imaging/palette_search.h"

#include <algorithm>
#include <climits>

namespace tarn {

namespace {
constexpr std::size_t kCacheSize = 1u << 15;
}

PaletteSearch::PaletteSearch(std::span<const Rgb> palette, int excluded) : cache_(kCacheSize) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (static_cast<int>(i) == excluded) continue;
        byGreen_.push_back(Entry{palette[i].r, palette[i].g, palette[i].b, static_cast<int>(i)});
    }
    std::stable_sort(byGreen_.begin(), byGreen_.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
}

int PaletteSearch::Nearest(int r, int g, int b) noexcept {
    const std::uint32_t colour =
        (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
    // Fibonacci hashing spreads neighbouring colours over the cache.
    CacheSlot& slot = cache_[(colour * 2654435761u) >> 17];
    if (slot.key == colour + 1) return slot.index;
    slot.key = colour + 1;
    slot.index = Search(r, g, b);
    return slot.index;
}

int PaletteSearch::Search(int r, int g, int b) const noexcept {
    if (byGreen_.empty()) return 0;
    const auto start =
        std::lower_bound(byGreen_.begin(), byGreen_.end(), g, [](const Entry& e, int value) { return e.g < value; });
    int best = INT_MAX;
    int bestIndex = byGreen_.front().index;
    auto consider = [&](const Entry& e) {
        const int d = WeightedDistance(e.r - r, e.g - g, e.b - b);
        if (d < best || (d == best && e.index < bestIndex)) {
            best = d;
            bestIndex = e.index;
        }
    };
    // Walk up and down from the probe's green; each side stops once its green gap alone
    // is no better than the best found.
    for (auto up = start; up != byGreen_.end(); ++up) {
        const int dg = up->g - g;
        if (kWeightG * dg * dg > best) break;
        consider(*up);
    }
    for (auto down = start; down != byGreen_.begin();) {
        --down;
        const int dg = g - down->g;
        if (kWeightG * dg * dg > best) break;
        consider(*down);
    }
    return bestIndex;
}

}  // namespace tarn
