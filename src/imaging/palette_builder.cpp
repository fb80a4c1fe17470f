// Median cut over histogram cells followed by k-means. Cells act as points at their mean
// colour, weighted by their pixel count, in the 3:4:2 weighted RGB space.
#include "imaging/palette_builder.h"

#include "imaging/palette_search.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarn {

namespace {

constexpr std::array<double, 3> kWeights{kWeightR, kWeightG, kWeightB};
constexpr int kRefinementRounds = 4;

struct Point {
    std::array<double, 3> c;  // mean r, g, b of the cell
    double n;                 // pixel count
};

struct Box {
    std::size_t begin, end;  // range in the point list
    double error;            // weighted squared error around the box mean
};

struct Moments {
    double n = 0;
    std::array<double, 3> s{};  // sum of n * c
    double q = 0;               // sum of n * weighted |c|^2

    void Add(const Point& p) {
        n += p.n;
        for (int k = 0; k < 3; ++k) s[k] += p.n * p.c[k];
        q += p.n * (kWeights[0] * p.c[0] * p.c[0] + kWeights[1] * p.c[1] * p.c[1] + kWeights[2] * p.c[2] * p.c[2]);
    }
    // Weighted squared error of the points around their mean.
    double Error() const {
        if (n <= 0) return 0;
        double m = 0;
        for (int k = 0; k < 3; ++k) m += kWeights[k] * s[k] * s[k];
        return q - m / n;
    }
    // Weighted n * |mean|^2: the larger the sum of this over both halves, the smaller their error.
    double Spread() const {
        if (n <= 0) return 0;
        double m = 0;
        for (int k = 0; k < 3; ++k) m += kWeights[k] * s[k] * s[k];
        return m / n;
    }
};

Moments MomentsOf(const std::vector<Point>& points, std::size_t begin, std::size_t end) {
    Moments m;
    for (std::size_t i = begin; i < end; ++i) m.Add(points[i]);
    return m;
}

// Splits a box where the two halves' summed error is least, along the axis of greatest
// weighted variance. Returns the cut position.
std::size_t SplitBox(std::vector<Point>& points, const Box& box) {
    const Moments all = MomentsOf(points, box.begin, box.end);
    int axis = 0;
    double widest = -1;
    for (int k = 0; k < 3; ++k) {
        double mean = all.s[k] / all.n;
        double var = 0;
        for (std::size_t i = box.begin; i < box.end; ++i)
            var += points[i].n * (points[i].c[k] - mean) * (points[i].c[k] - mean);
        var *= kWeights[k];
        if (var > widest) {
            widest = var;
            axis = k;
        }
    }
    std::sort(points.begin() + box.begin, points.begin() + box.end,
              [axis](const Point& a, const Point& b) { return a.c[axis] < b.c[axis]; });
    Moments left;
    std::size_t cut = box.begin + 1;
    double best = -1;
    for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
        left.Add(points[i]);
        Moments right = all;
        right.n -= left.n;
        for (int k = 0; k < 3; ++k) right.s[k] -= left.s[k];
        const double spread = left.Spread() + right.Spread();
        if (spread > best) {
            best = spread;
            cut = i + 1;
        }
    }
    return cut;
}

std::uint8_t Component(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

Rgb MeanOf(const Moments& m) { return Rgb{Component(m.s[0] / m.n), Component(m.s[1] / m.n), Component(m.s[2] / m.n)}; }

std::vector<Rgb> MedianCut(std::vector<Point>& points, int colours) {
    std::vector<Box> boxes;
    if (points.empty() || colours <= 0) return {};
    boxes.push_back(Box{0, points.size(), MomentsOf(points, 0, points.size()).Error()});
    while (static_cast<int>(boxes.size()) < colours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            const bool aSplits = a.end - a.begin > 1, bSplits = b.end - b.begin > 1;
            if (aSplits != bSplits) return !aSplits;
            return a.error < b.error;
        });
        if (widest->end - widest->begin < 2) break;  // every box is a single cell
        const Box box = *widest;
        const std::size_t cut = SplitBox(points, box);
        *widest = Box{box.begin, cut, MomentsOf(points, box.begin, cut).Error()};
        boxes.push_back(Box{cut, box.end, MomentsOf(points, cut, box.end).Error()});
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes) palette.push_back(MeanOf(MomentsOf(points, box.begin, box.end)));
    return palette;
}

// Moves each free colour to the mean of the cells nearest to it; fixed colours stay.
void Refine(const std::vector<Point>& points, std::vector<Rgb>& palette, std::size_t fixedCount) {
    for (int round = 0; round < kRefinementRounds; ++round) {
        PaletteSearch search(palette);
        std::vector<Moments> clusters(palette.size());
        for (const Point& p : points) {
            const int i = search.Nearest(Component(p.c[0]), Component(p.c[1]), Component(p.c[2]));
            clusters[i].Add(p);
        }
        bool moved = false;
        for (std::size_t i = fixedCount; i < palette.size(); ++i) {
            if (clusters[i].n <= 0) continue;
            const Rgb mean = MeanOf(clusters[i]);
            moved = moved || !(mean == palette[i]);
            palette[i] = mean;
        }
        if (!moved) break;
    }
}

}  // namespace

std::vector<Rgb> BuildPalette(std::span<const ColourCell> cells, std::span<const Rgb> fixed, int extra) {
    std::vector<Point> points;
    for (const ColourCell& cell : cells) {
        if (cell.count == 0) continue;
        const double n = static_cast<double>(cell.count);
        points.push_back(Point{{cell.sumR / n, cell.sumG / n, cell.sumB / n}, n});
    }
    std::vector<Rgb> palette(fixed.begin(), fixed.end());
    std::vector<Point> work = points;
    for (const Rgb& c : MedianCut(work, extra)) palette.push_back(c);
    Refine(points, palette, fixed.size());
    return palette;
}

}  // namespace tarn
