// Separable Lanczos-3 resampling: per-axis tap tables, then one pass per output row that
// filters the source rows vertically into a float row and that row horizontally, so memory
// beyond the two pictures is one source row wide.
#include "imaging/image_resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tarn {

namespace {

constexpr double kLobes = 3.0;

double Lanczos3(double x) noexcept {
    x = std::abs(x);
    if (x < 1e-9) return 1.0;
    if (x >= kLobes) return 0.0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// The source pixels and weights that make each output pixel along one axis.
struct AxisTaps {
    std::vector<int> first;      // first source index per output index
    std::vector<int> count;      // taps per output index
    std::vector<float> weights;  // `stride` slots per output index
    int stride = 0;

    const float* WeightsOf(int i) const noexcept { return weights.data() + static_cast<std::size_t>(i) * stride; }
};

AxisTaps MakeTaps(int sourceSize, int targetSize) {
    const double scale = static_cast<double>(sourceSize) / targetSize;
    const double filterScale = std::max(scale, 1.0);  // shrinking widens the kernel
    const double support = kLobes * filterScale;
    AxisTaps taps;
    taps.stride = std::min(sourceSize, static_cast<int>(std::ceil(support)) * 2 + 1);
    taps.first.resize(targetSize);
    taps.count.resize(targetSize);
    taps.weights.assign(static_cast<std::size_t>(targetSize) * taps.stride, 0.0f);
    std::vector<double> w(taps.stride);
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = static_cast<int>(std::floor(centre - support)) + 1;
        const int hi = static_cast<int>(std::floor(centre + support));
        const int first = std::clamp(lo, 0, sourceSize - 1);
        const int last = std::clamp(hi, 0, sourceSize - 1);
        const int n = std::min(last - first + 1, taps.stride);
        std::fill(w.begin(), w.end(), 0.0);
        double sum = 0;
        for (int j = lo; j <= hi; ++j) {
            const double v = Lanczos3((j - centre) / filterScale);
            // Taps beyond an edge count as the edge pixel.
            w[std::clamp(j, first, first + n - 1) - first] += v;
            sum += v;
        }
        taps.first[i] = first;
        taps.count[i] = n;
        float* out = taps.weights.data() + static_cast<std::size_t>(i) * taps.stride;
        for (int k = 0; k < n; ++k) out[k] = static_cast<float>(w[k] / sum);
    }
    return taps;
}

struct Premultiplied {
    float b, g, r, a;
};

std::uint8_t ToByte(float v) noexcept { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))); }

}  // namespace

Image Resample(const Image& source, int width, int height) {
    if (source.empty()) throw ImageError("There is no picture to resample");
    CheckImageSize(width, height);
    if (width == source.width() && height == source.height()) return source;

    const AxisTaps across = MakeTaps(source.width(), width);
    const AxisTaps down = MakeTaps(source.height(), height);
    Image target(width, height);
    std::vector<Premultiplied> column(static_cast<std::size_t>(source.width()));
    constexpr float kInv255 = 1.0f / 255.0f;

    for (int y = 0; y < height; ++y) {
        std::fill(column.begin(), column.end(), Premultiplied{0, 0, 0, 0});
        const float* wy = down.WeightsOf(y);
        for (int k = 0; k < down.count[y]; ++k) {
            const float w = wy[k];
            const auto row = source.row(down.first[y] + k);
            for (std::size_t x = 0; x < row.size(); ++x) {
                const Bgra p = row[x];
                const float wa = w * p.a * kInv255;
                Premultiplied& c = column[x];
                c.b += wa * p.b;
                c.g += wa * p.g;
                c.r += wa * p.r;
                c.a += w * p.a;
            }
        }
        auto out = target.row(y);
        for (int x = 0; x < width; ++x) {
            const float* wx = across.WeightsOf(x);
            const Premultiplied* in = column.data() + across.first[x];
            Premultiplied s{0, 0, 0, 0};
            for (int k = 0; k < across.count[x]; ++k) {
                s.b += wx[k] * in[k].b;
                s.g += wx[k] * in[k].g;
                s.r += wx[k] * in[k].r;
                s.a += wx[k] * in[k].a;
            }
            const std::uint8_t a = ToByte(s.a);
            if (a == 0) {
                out[x] = Bgra{0, 0, 0, 0};
                continue;
            }
            // Back from premultiplied; the clamped alpha keeps colours within range.
            const float unmul = 255.0f / std::clamp(s.a, 1.0f, 255.0f);
            out[x] = Bgra{ToByte(s.b * unmul), ToByte(s.g * unmul), ToByte(s.r * unmul), a};
        }
    }
    return target;
}

}  // namespace tarn
