// Pictures in a workbook, as Office drawing records: the drawing group in the globals
// (MSODRAWINGGROUP: the BLIP store with every picture's bytes) and, per sheet, a drawing
// (MSODRAWING: one picture frame shape per picture, anchored to cells) with an OBJ record
// after each shape. Portable.
#pragma once

#include "common/byte_sink.h"
#include "tables/xls_workbook.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::xls::drawing {

using Digest = std::array<std::uint8_t, 16>;

// The MD4 digest (RFC 1320) that names a picture in the BLIP store.
Digest Md4(std::string_view bytes);

// One picture in the BLIP store; its bytes are kept elsewhere and handed over on writing.
struct Blip {
    Picture::Format format = Picture::Format::Png;
    Digest digest{};
    std::uint32_t size = 0;
    std::uint32_t uses = 0;
};

// Where a picture sits: its top left and bottom right corners as a cell plus an offset in
// 1/1024 of the cell's width and 1/256 of its height.
struct Anchor {
    std::uint16_t column = 0, dx = 0, row = 0, dy = 0;
    std::uint16_t endColumn = 0, endDx = 0, endRow = 0, endDy = 0;
};

// The anchor of a picture of `width` x `height` pixels whose top left corner lies `dx`, `dy`
// pixels into cell (`row`, `column`), given the pixel sizes of columns and rows.
Anchor Place(unsigned row, unsigned column, unsigned dx, unsigned dy, unsigned width, unsigned height,
             const std::function<unsigned(unsigned)>& columnPixels, const std::function<unsigned(unsigned)>& rowPixels);

struct Shape {
    Anchor anchor;
    std::uint32_t blip = 0;  // 1-based index into the BLIP store
};

// Shape identifiers come in clusters of 1024; each drawing takes whole clusters.
struct DrawingIds {
    std::uint32_t drawing = 0;     // 1-based
    std::uint32_t firstShape = 0;  // the group shape's identifier; the pictures follow
    std::uint32_t shapes = 0;      // with the group shape
};
std::vector<DrawingIds> AssignIds(const std::vector<std::size_t>& picturesPerDrawing);

// The MSODRAWINGGROUP record and its CONTINUE records: their size, and the records, with
// `writeBlip(i, out)` writing blip i's bytes.
std::uint64_t DrawingGroupSize(const std::vector<Blip>& blips, const std::vector<DrawingIds>& drawings);
void WriteDrawingGroup(ByteSink& out, const std::vector<Blip>& blips, const std::vector<DrawingIds>& drawings,
                       const std::function<void(std::size_t, ByteSink&)>& writeBlip);

// A sheet's MSODRAWING and OBJ records.
void WriteSheetDrawing(std::string& out, const DrawingIds& ids, const std::vector<Shape>& shapes);

}  // namespace tarn::xls::drawing
