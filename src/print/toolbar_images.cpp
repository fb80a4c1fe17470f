// Each image is a few shapes painted in order, later ones on top, sampled 4 x 4 times per
// pixel for smooth edges, straight into the alpha channel of a 32-bit bitmap.
#include "print/toolbar_images.h"

#include "com/handles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace tarn {

namespace {

using Inside = std::function<bool(double x, double y)>;

struct Shape {
    Inside inside;
    COLORREF colour;
};

Inside Rect(double left, double top, double right, double bottom) {
    return [=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; };
}
Inside Ring(double cx, double cy, double inner, double outer) {
    return [=](double x, double y) {
        const double d = std::hypot(x - cx, y - cy);
        return d >= inner && d <= outer;
    };
}
Inside Disc(double cx, double cy, double radius) { return Ring(cx, cy, -1, radius); }
// A stroke of `width` from (x1, y1) to (x2, y2).
Inside Stroke(double x1, double y1, double x2, double y2, double width) {
    return [=](double x, double y) {
        const double dx = x2 - x1, dy = y2 - y1;
        const double t = std::clamp(((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= width / 2;
    };
}
Inside Triangle(double ax, double ay, double bx, double by, double cx, double cy) {
    return [=](double x, double y) {
        const auto side = [&](double px, double py, double qx, double qy) {
            return (qx - px) * (y - py) - (qy - py) * (x - px);
        };
        const double s1 = side(ax, ay, bx, by), s2 = side(bx, by, cx, cy), s3 = side(cx, cy, ax, ay);
        return (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
    };
}

constexpr COLORREF kInk = RGB(0x33, 0x3D, 0x4A);
constexpr COLORREF kPaper = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kArrow = RGB(0x1F, 0x6F, 0xC4);
constexpr COLORREF kLens = RGB(0xD8, 0xEC, 0xFA);
constexpr COLORREF kStop = RGB(0xC8, 0x32, 0x32);

// A sheet with a frame, as the print and page setup images show it.
void AddSheet(std::vector<Shape>& shapes, double left, double top, double right, double bottom) {
    shapes.push_back({Rect(left, top, right, bottom), kInk});
    shapes.push_back({Rect(left + 1.5, top + 1.5, right - 1.5, bottom - 1.5), kPaper});
}

std::vector<Shape> Drawing(ToolbarImage image) {
    std::vector<Shape> shapes;
    switch (image) {
        case ToolbarImage::Previous:
            shapes.push_back({Triangle(15, 4, 15, 20, 5, 12), kArrow});
            shapes.push_back({Rect(15, 9, 20, 15), kArrow});
            break;
        case ToolbarImage::Next:
            shapes.push_back({Triangle(9, 4, 9, 20, 19, 12), kArrow});
            shapes.push_back({Rect(4, 9, 9, 15), kArrow});
            break;
        case ToolbarImage::Print:
            AddSheet(shapes, 7, 2, 17, 10);
            shapes.push_back({Rect(2, 9, 22, 18), kInk});
            shapes.push_back({Rect(17.5, 11, 19.5, 13), RGB(0x6C, 0xD0, 0x6C)});
            AddSheet(shapes, 6, 14, 18, 22);
            shapes.push_back({Rect(8, 17, 16, 18), kInk});
            break;
        case ToolbarImage::Setup:
            AddSheet(shapes, 4, 2, 18, 22);
            for (double y : {7.0, 11.0, 15.0}) shapes.push_back({Rect(7, y, 15, y + 1.2), kInk});
            shapes.push_back({Ring(17, 17, 2, 5), kArrow});
            for (int i = 0; i < 6; ++i) {
                const double a = i * 3.14159265 / 3;
                shapes.push_back({Disc(17 + 5.2 * std::cos(a), 17 + 5.2 * std::sin(a), 1.3), kArrow});
            }
            break;
        case ToolbarImage::ZoomIn:
        case ToolbarImage::ZoomOut:
            shapes.push_back({Stroke(14.5, 14.5, 21, 21, 3.5), kInk});
            shapes.push_back({Disc(10, 10, 6.5), kLens});
            shapes.push_back({Ring(10, 10, 6, 8), kInk});
            shapes.push_back({Rect(6.5, 9, 13.5, 11), kInk});
            if (image == ToolbarImage::ZoomIn) shapes.push_back({Rect(9, 6.5, 11, 13.5), kInk});
            break;
        case ToolbarImage::Close:
            shapes.push_back({Stroke(5, 5, 19, 19, 3.5), kStop});
            shapes.push_back({Stroke(19, 5, 5, 19, 3.5), kStop});
            break;
        case ToolbarImage::Count: break;
    }
    return shapes;
}

// Premultiplied BGRA pixels of one image, `side` pixels square.
void Paint(ToolbarImage image, int side, std::uint8_t* pixels, int stride) {
    constexpr int kSamples = 4;
    const std::vector<Shape> shapes = Drawing(image);
    const double unit = 24.0 / side;
    for (int py = 0; py < side; ++py)
        for (int px = 0; px < side; ++px) {
            double b = 0, g = 0, r = 0, covered = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double x = (px + (sx + 0.5) / kSamples) * unit, y = (py + (sy + 0.5) / kSamples) * unit;
                    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape)
                        if (shape->inside(x, y)) {
                            r += GetRValue(shape->colour), g += GetGValue(shape->colour), b += GetBValue(shape->colour),
                                covered += 1;
                            break;
                        }
                }
            constexpr double kAll = kSamples * kSamples;
            std::uint8_t* p = pixels + static_cast<std::ptrdiff_t>(py) * stride + px * 4;
            p[0] = static_cast<std::uint8_t>(std::lround(b / kAll));
            p[1] = static_cast<std::uint8_t>(std::lround(g / kAll));
            p[2] = static_cast<std::uint8_t>(std::lround(r / kAll));
            p[3] = static_cast<std::uint8_t>(std::lround(255 * covered / kAll));
        }
}

}  // namespace

unique_himagelist CreateToolbarImages(int side) {
    const int count = static_cast<int>(ToolbarImage::Count);
    unique_himagelist list(ImageList_Create(side, side, ILC_COLOR32, count, 0));
    if (!list) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    for (int i = 0; i < count; ++i) {
        void* bits = nullptr;
        const unique_hbitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap || !bits) continue;
        Paint(static_cast<ToolbarImage>(i), side, static_cast<std::uint8_t*>(bits), side * 4);
        ImageList_Add(list.get(), bitmap.get(), nullptr);
    }
    return list;
}

}  // namespace tarn
