// Choosing the colours of an optimised palette from a colour histogram: median cut with
// variance-minimising cuts, refined by a few rounds of k-means. Portable.
#pragma once

#include "imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tarn {

// Pixels whose colours fall into one histogram cell: how many, and their component sums.
struct ColourCell {
    std::uint64_t count = 0;
    std::uint64_t sumR = 0;
    std::uint64_t sumG = 0;
    std::uint64_t sumB = 0;
};

// Returns `fixed` followed by up to `extra` further colours for the pixels in `cells`
// (empty cells are ignored). The fixed colours stay exactly as given and take part in
// the refinement, so no extra colour is spent near one of them.
[[nodiscard]] std::vector<Rgb> BuildPalette(std::span<const ColourCell> cells, std::span<const Rgb> fixed, int extra);

}  // namespace tarn
