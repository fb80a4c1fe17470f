// Office drawing records are a tree of 8-byte headers (version and instance in one 16-bit
// field, type, length of what follows). The drawing group is one logical record cut into
// MSODRAWINGGROUP and CONTINUE records of at most 8224 bytes wherever the cut falls; a
// sheet's drawing is cut after each shape so that the shape's OBJ record can follow it.
#include "tables/xls_drawing.h"

#include "tables/biff_records.h"

#include <algorithm>
#include <stdexcept>

namespace tarn::xls::drawing {
namespace {

using biff::Le16;
using biff::Le32;

constexpr std::uint32_t kClusterSize = 1024;
constexpr unsigned kPictureFrame = 75;
constexpr std::uint8_t kBlipJpeg = 5;
constexpr std::uint8_t kBlipPng = 6;

void Header(std::string& out, unsigned version, unsigned instance, unsigned type, std::uint32_t length) {
    Le16(out, version | (instance << 4));
    Le16(out, type);
    Le32(out, length);
}

std::uint32_t BlipRecordSize(const Blip& blip) { return 8 + 16 + 1 + blip.size; }

std::uint32_t Rotate(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

std::uint32_t Clusters(const DrawingIds& d) { return (d.shapes + kClusterSize - 1) / kClusterSize; }

// Cuts what it is given into a record of `type` and CONTINUE records.
class ContinuedRecords final : public ByteSink {
public:
    ContinuedRecords(ByteSink& out, std::uint16_t type) : out_(out), type_(type) {}

protected:
    void Put(std::string_view bytes) override {
        buffer_ += bytes;
        while (buffer_.size() > biff::kMaxRecordBody) Emit(biff::kMaxRecordBody);
    }
    void Finish() override {
        if (!buffer_.empty()) Emit(buffer_.size());
    }

private:
    void Emit(std::size_t n) {
        std::string record;
        biff::Record(record, type_, std::string_view(buffer_).substr(0, n));
        out_.Write(record);
        buffer_.erase(0, n);
        type_ = biff::kContinue;
    }
    ByteSink& out_;
    std::uint16_t type_;
    std::string buffer_;
};

// The drawing group's defaults for new shapes, and the colours its menus offer first: what
// Office writes after the BLIP store.
std::string DrawingGroupTail() {
    std::string tail;
    Header(tail, 3, 3, 0xF00B, 18);  // default properties
    Le16(tail, 0x00BF);              // text: fit the shape to its text
    Le32(tail, 0x00080008);
    Le16(tail, 0x0181);  // fill colour: scheme colour 0x41
    Le32(tail, 0x08000041);
    Le16(tail, 0x01C0);  // line colour: scheme colour 0x40
    Le32(tail, 0x08000040);
    Header(tail, 0, 4, 0xF11E, 16);  // split menu colours
    for (const std::uint32_t colour : {0x0800000Du, 0x0800000Cu, 0x08000017u, 0x100000F7u}) Le32(tail, colour);
    return tail;
}

std::uint64_t DrawingGroupBody(const std::vector<Blip>& blips, std::uint32_t clusters) {
    std::uint64_t store = 0;
    for (const Blip& b : blips) store += 8 + 36 + BlipRecordSize(b);
    return 8 + 16 + 8 * clusters + 8 + store + DrawingGroupTail().size();
}

std::uint32_t TotalClusters(const std::vector<DrawingIds>& drawings) {
    std::uint32_t n = 0;
    for (const DrawingIds& d : drawings) n += Clusters(d);
    return n;
}

}  // namespace

Digest Md4(std::string_view bytes) {
    std::uint32_t h[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    std::string data(bytes);
    const std::uint64_t bits = std::uint64_t{bytes.size()} * 8;
    data += '\x80';
    while (data.size() % 64 != 56) data += '\0';
    for (int i = 0; i < 8; ++i) data += static_cast<char>((bits >> (8 * i)) & 0xFF);
    static constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    static constexpr int kShift[3][4] = {{3, 7, 11, 19}, {3, 5, 9, 13}, {3, 9, 11, 15}};
    for (std::size_t block = 0; block < data.size(); block += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(data.data() + block + 4 * i);
            x[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
        }
        std::uint32_t v[4] = {h[0], h[1], h[2], h[3]};
        for (int round = 0; round < 3; ++round) {
            for (int step = 0; step < 16; ++step) {
                std::uint32_t& a = v[(16 - step) % 4];
                const std::uint32_t b = v[(17 - step) % 4], c = v[(18 - step) % 4], d = v[(19 - step) % 4];
                std::uint32_t f = 0;
                int k = step;
                if (round == 0) {
                    f = (b & c) | (~b & d);
                } else if (round == 1) {
                    f = ((b & c) | (b & d) | (c & d)) + 0x5A827999;
                    k = kOrder2[step];
                } else {
                    f = (b ^ c ^ d) + 0x6ED9EBA1;
                    k = kOrder3[step];
                }
                a = Rotate(a + f + x[k], kShift[round][step % 4]);
            }
        }
        for (int i = 0; i < 4; ++i) h[i] += v[i];
    }
    Digest digest{};
    for (int i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>((h[i / 4] >> (8 * (i % 4))) & 0xFF);
    return digest;
}

Anchor Place(unsigned row, unsigned column, unsigned dx, unsigned dy, unsigned width, unsigned height,
             const std::function<unsigned(unsigned)>& columnPixels,
             const std::function<unsigned(unsigned)>& rowPixels) {
    // Walks from a cell by `offset` pixels; returns the cell reached and the offset into it
    // in `units` per cell.
    const auto walk = [](unsigned cell, unsigned offset, unsigned last, unsigned units,
                         const std::function<unsigned(unsigned)>& pixels, std::uint16_t& at, std::uint16_t& into) {
        for (;;) {
            const unsigned size = std::max(1u, pixels(cell));
            if (offset < size) {
                at = static_cast<std::uint16_t>(cell);
                into = static_cast<std::uint16_t>(offset * units / size);
                return;
            }
            if (cell == last) {
                at = static_cast<std::uint16_t>(cell);
                into = static_cast<std::uint16_t>(units - 1);
                return;
            }
            offset -= size;
            ++cell;
        }
    };
    Anchor a;
    walk(column, dx, kMaxColumns - 1, 1024, columnPixels, a.column, a.dx);
    walk(row, dy, kMaxRows - 1, 256, rowPixels, a.row, a.dy);
    walk(column, dx + width, kMaxColumns - 1, 1024, columnPixels, a.endColumn, a.endDx);
    walk(row, dy + height, kMaxRows - 1, 256, rowPixels, a.endRow, a.endDy);
    return a;
}

std::vector<DrawingIds> AssignIds(const std::vector<std::size_t>& picturesPerDrawing) {
    std::vector<DrawingIds> ids;
    std::uint32_t cluster = 1;  // shape identifiers below 1024 are not used
    for (const std::size_t pictures : picturesPerDrawing) {
        DrawingIds d;
        d.drawing = static_cast<std::uint32_t>(ids.size() + 1);
        d.firstShape = cluster * kClusterSize;
        d.shapes = static_cast<std::uint32_t>(pictures + 1);
        cluster += Clusters(d);
        ids.push_back(d);
    }
    return ids;
}

std::uint64_t DrawingGroupSize(const std::vector<Blip>& blips, const std::vector<DrawingIds>& drawings) {
    const std::uint64_t length = DrawingGroupBody(blips, TotalClusters(drawings)) + 8;
    return length + 4 * ((length + biff::kMaxRecordBody - 1) / biff::kMaxRecordBody);
}

void WriteDrawingGroup(ByteSink& out, const std::vector<Blip>& blips, const std::vector<DrawingIds>& drawings,
                       const std::function<void(std::size_t, ByteSink&)>& writeBlip) {
    const std::uint32_t clusters = TotalClusters(drawings);
    const std::uint64_t body = DrawingGroupBody(blips, clusters);
    if (body > 0xFFFFFFFFu) throw std::length_error("pictures too large for a workbook");
    ContinuedRecords records(out, biff::kMsoDrawingGroup);
    std::string head;
    Header(head, 0xF, 0, 0xF000, static_cast<std::uint32_t>(body));  // drawing group container

    std::uint32_t shapes = 0, lastShape = 0;
    for (const DrawingIds& d : drawings) {
        shapes += d.shapes;
        lastShape = d.firstShape + d.shapes - 1;
    }
    Header(head, 0, 0, 0xF006, 16 + 8 * clusters);  // drawing group record
    Le32(head, lastShape + 1);
    Le32(head, clusters + 1);
    Le32(head, shapes);
    Le32(head, static_cast<std::uint32_t>(drawings.size()));
    for (const DrawingIds& d : drawings) {
        for (std::uint32_t used = d.shapes; used > 0; used -= std::min(used, kClusterSize)) {
            Le32(head, d.drawing);
            Le32(head, std::min(used, kClusterSize));
        }
    }
    std::uint64_t store = 0;
    for (const Blip& b : blips) store += 8 + 36 + BlipRecordSize(b);
    Header(head, 0xF, static_cast<unsigned>(blips.size()), 0xF001, static_cast<std::uint32_t>(store));
    records.Write(head);

    for (std::size_t i = 0; i < blips.size(); ++i) {
        const Blip& b = blips[i];
        const bool png = b.format == Picture::Format::Png;
        const std::uint8_t type = png ? kBlipPng : kBlipJpeg;
        std::string entry;
        Header(entry, 2, type, 0xF007, 36 + BlipRecordSize(b));  // BLIP store entry
        entry += static_cast<char>(type);
        entry += static_cast<char>(type);
        entry.append(reinterpret_cast<const char*>(b.digest.data()), b.digest.size());
        Le16(entry, 0xFF);
        Le32(entry, BlipRecordSize(b));
        Le32(entry, b.uses);
        Le32(entry, 0);  // the BLIP follows here rather than in a delay stream
        Le32(entry, 0);  // no name
        Header(entry, 0, png ? 0x6E0 : 0x46A, png ? 0xF01E : 0xF01D, 17 + b.size);
        entry.append(reinterpret_cast<const char*>(b.digest.data()), b.digest.size());
        entry += '\xFF';
        records.Write(entry);
        writeBlip(i, records);
    }
    records.Write(DrawingGroupTail());
    records.Close();
}

void WriteSheetDrawing(std::string& out, const DrawingIds& ids, const std::vector<Shape>& shapes) {
    constexpr std::uint32_t kGroupShape = 8 + 8 + 16 + 8 + 8;
    constexpr std::uint32_t kProperties = 3;
    constexpr std::uint32_t kPictureShape = 8 + (8 + 8) + (8 + 6 * kProperties) + (8 + 18) + 8;
    const std::uint32_t group = kGroupShape + kPictureShape * static_cast<std::uint32_t>(shapes.size());

    std::string part;
    Header(part, 0xF, 0, 0xF002, 8 + 8 + 8 + group);  // drawing container
    Header(part, 0, ids.drawing, 0xF008, 8);          // drawing record
    Le32(part, ids.shapes);
    Le32(part, ids.firstShape + ids.shapes - 1);
    Header(part, 0xF, 0, 0xF003, group);  // group shape container
    Header(part, 0xF, 0, 0xF004, kGroupShape - 8);
    Header(part, 1, 0, 0xF009, 16);  // group coordinates: none of their own
    Le32(part, 0);
    Le32(part, 0);
    Le32(part, 0);
    Le32(part, 0);
    Header(part, 2, 0, 0xF00A, 8);
    Le32(part, ids.firstShape);
    Le32(part, 0x00000005);  // group, patriarch

    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const Shape& shape = shapes[i];
        const Anchor& a = shape.anchor;
        const std::uint32_t id = ids.firstShape + 1 + static_cast<std::uint32_t>(i);
        Header(part, 0xF, 0, 0xF004, kPictureShape - 8);
        Header(part, 2, kPictureFrame, 0xF00A, 8);
        Le32(part, id);
        Le32(part, 0x00000A00);  // has an anchor, has a shape type
        Header(part, 3, kProperties, 0xF00B, 6 * kProperties);
        Le16(part, 0x4104);  // the picture: an index into the BLIP store
        Le32(part, shape.blip);
        Le16(part, 0x01BF);  // fill: none, so transparent pictures stay transparent
        Le32(part, 0x00100000);
        Le16(part, 0x01FF);  // line: none
        Le32(part, 0x00080000);
        Header(part, 0, 0, 0xF010, 18);
        Le16(part, 0x0002);  // moves with its cells, keeps its size
        for (const unsigned v : {a.column, a.dx, a.row, a.dy, a.endColumn, a.endDx, a.endRow, a.endDy}) Le16(part, v);
        Header(part, 0, 0, 0xF011, 0);
        biff::WriteContinued(out, biff::kMsoDrawing, part);
        part.clear();

        std::string obj;
        Le16(obj, 0x15);  // common object data
        Le16(obj, 18);
        Le16(obj, 8);  // a picture
        Le16(obj, static_cast<unsigned>(i + 1));
        Le16(obj, 0x6011);  // locked, printed, automatic fill and line
        obj.append(12, '\0');
        Le16(obj, 0x07);  // clipboard format: bitmap
        Le16(obj, 2);
        Le16(obj, 0x0009);
        Le16(obj, 0x08);  // picture options: keep the aspect ratio
        Le16(obj, 2);
        Le16(obj, 0x0001);
        Le32(obj, 0);  // end
        biff::Record(out, biff::kObj, obj);
    }
}

}  // namespace tarn::xls::drawing
