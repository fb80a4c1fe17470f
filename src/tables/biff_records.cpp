// Record layouts of BIFF8: every field little-endian, texts as EncodedText with their
// option byte (bit 0: two bytes per character).
#include "tables/biff_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace tarn::xls::biff {
namespace {

void U8(std::string& out, unsigned v) { out += static_cast<char>(v & 0xFF); }

void Le64(std::string& out, std::uint64_t v) {
    Le32(out, static_cast<std::uint32_t>(v));
    Le32(out, static_cast<std::uint32_t>(v >> 32));
}

std::uint64_t Bits(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ShortXLUnicodeString: one byte of length, the option byte, the characters.
void ShortText(std::string& out, std::u16string_view text) {
    const EncodedText e = Encode(text);
    U8(out, static_cast<unsigned>(e.length));
    U8(out, e.wide ? 1 : 0);
    out += e.bytes;
}

// XLUnicodeString: two bytes of length, the option byte, the characters.
void Text(std::string& out, std::u16string_view text) {
    const EncodedText e = Encode(text);
    Le16(out, static_cast<unsigned>(e.length));
    U8(out, e.wide ? 1 : 0);
    out += e.bytes;
}

void Cell(std::string& body, std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
    Le16(body, row);
    Le16(body, column);
    Le16(body, xf);
}

}  // namespace

EncodedText Encode(std::u16string_view text) {
    EncodedText e;
    Encode(text, e);
    return e;
}

void Encode(std::u16string_view text, EncodedText& e) {
    e.length = text.size();
    e.wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    e.bytes.resize(text.size() * (e.wide ? 2 : 1));
    char* out = e.bytes.data();
    for (const char16_t c : text) {
        *out++ = static_cast<char>(c & 0xFF);
        if (e.wide) *out++ = static_cast<char>(c >> 8);
    }
}

void Le16(std::string& out, unsigned v) {
    U8(out, v);
    U8(out, v >> 8);
}

void Le32(std::string& out, std::uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

void Record(std::string& out, std::uint16_t type, std::string_view body) {
    if (body.size() > kMaxRecordBody) throw std::length_error("BIFF record body too long");
    Le16(out, type);
    Le16(out, static_cast<unsigned>(body.size()));
    out += body;
}

void WriteContinued(std::string& out, std::uint16_t type, std::string_view data) {
    do {
        const std::string_view part = data.substr(0, kMaxRecordBody);
        Record(out, type, part);
        data.remove_prefix(part.size());
        type = kContinue;
    } while (!data.empty());
}

void WriteBof(std::string& out, Substream kind) {
    std::string body;
    Le16(body, 0x0600);  // BIFF8
    Le16(body, static_cast<unsigned>(kind));
    Le16(body, 0x0DBB);  // build
    Le16(body, 0x07CC);  // build year
    Le32(body, 0);       // file history
    Le32(body, 0x0006);  // lowest version that can read every record: BIFF8
    Record(out, kBof, body);
}

void WriteEof(std::string& out) { Record(out, kEof, {}); }

void WriteCodepage(std::string& out) {
    std::string body;
    Le16(body, 1200);
    Record(out, kCodepage, body);
}

void WriteWindow1(std::string& out) {
    std::string body;
    Le16(body, 0x0168);  // left, top, width and height of the window in twips
    Le16(body, 0x010E);
    Le16(body, 0x3A5C);
    Le16(body, 0x23BE);
    Le16(body, 0x0038);  // scroll bars and sheet tabs shown
    Le16(body, 0);       // active sheet
    Le16(body, 0);       // first visible tab
    Le16(body, 1);       // selected sheets
    Le16(body, 0x0258);  // tab bar width ratio, per mille
    Record(out, kWindow1, body);
}

void WriteFont(std::string& out, const Font& font) {
    std::string body;
    Le16(body, font.heightTwips);
    // Bit 0 repeats the weight for readers of older versions.
    Le16(body, (font.bold ? 0x0001 : 0) | (font.italic ? 0x0002 : 0));
    Le16(body, font.colourIndex);
    Le16(body, font.bold ? 700 : 400);
    Le16(body, 0);  // neither superscript nor subscript
    U8(body, font.underline ? 1 : 0);
    U8(body, 0);  // family: any
    U8(body, 0);  // character set: ANSI
    U8(body, 0);
    ShortText(body, std::u16string_view(font.name).substr(0, 31));
    Record(out, kFont, body);
}

void WriteFormat(std::string& out, std::uint16_t id, std::u16string_view code) {
    std::string body;
    Le16(body, id);
    Text(body, code.substr(0, 255));
    Record(out, kFormat, body);
}

void WriteXf(std::string& out, const Xf& xf) {
    std::string body;
    Le16(body, xf.font);
    Le16(body, xf.format);
    // Locked; a style format has no parent (0xFFF), a cell format's parent is Normal (0).
    Le16(body, xf.style ? 0xFFF5 : (0x0001 | (xf.quotePrefix ? 0x0008 : 0)));
    U8(body, static_cast<unsigned>(xf.horizontal) | (static_cast<unsigned>(xf.vertical) << 4));
    U8(body, 0);  // rotation
    U8(body, 0);  // indent, shrink, reading order
    // Which attribute groups this format sets: in a style format a set bit means the group
    // is left out, in a cell format that it differs from the parent style.
    U8(body, xf.style ? (xf.font == 0 && xf.format == 0 ? 0x00 : 0xF4) : 0xFC);
    Le32(body, 0);                                                // no borders
    Le32(body, xf.filled ? 0x04000000u : 0);                      // fill pattern 1: solid
    Le16(body, (xf.filled ? xf.fillIndex : 0x40) | (0x41 << 7));  // foreground, background
    Record(out, kXf, body);
}

void WriteNormalStyle(std::string& out) {
    std::string body;
    Le16(body, 0x8000);  // built-in style of style format 0
    U8(body, 0);         // Normal
    U8(body, 0xFF);      // no outline level
    Record(out, kStyle, body);
}

void WritePalette(std::string& out, const std::array<std::uint32_t, 56>& colours) {
    std::string body;
    Le16(body, static_cast<unsigned>(colours.size()));
    for (const std::uint32_t c : colours) Le32(body, c & 0x00FFFFFF);  // red, green, blue, 0
    Record(out, kPalette, body);
}

std::size_t WriteBoundSheet(std::string& out, std::u16string_view name) {
    std::string body;
    Le32(body, 0);  // stream position of the sheet's BOF, filled in later
    U8(body, 0);    // visible
    U8(body, 0);    // worksheet
    ShortText(body, name);
    const std::size_t at = out.size() + 4;
    Record(out, kBoundSheet, body);
    return at;
}

void WriteIndex(std::string& out, std::uint32_t firstRow, std::uint32_t endRow, std::uint32_t defColWidthAt,
                const std::vector<std::uint32_t>& dbCellsAt) {
    std::string body;
    Le32(body, 0);
    Le32(body, firstRow);
    Le32(body, endRow);
    Le32(body, defColWidthAt);
    for (const std::uint32_t at : dbCellsAt) Le32(body, at);
    Record(out, kIndex, body);
}

void WriteDefColWidth(std::string& out, std::uint16_t characters) {
    std::string body;
    Le16(body, characters);
    Record(out, kDefColWidth, body);
}

void WriteDbCell(std::string& out, std::uint32_t backToFirstRow, const std::vector<std::uint16_t>& cellOffsets) {
    std::string body;
    Le32(body, backToFirstRow);
    for (const std::uint16_t offset : cellOffsets) Le16(body, offset);
    Record(out, kDbCell, body);
}

void WriteDimensions(std::string& out, std::uint32_t firstRow, std::uint32_t endRow, std::uint16_t firstColumn,
                     std::uint16_t endColumn) {
    std::string body;
    Le32(body, firstRow);
    Le32(body, endRow);
    Le16(body, firstColumn);
    Le16(body, endColumn);
    Le16(body, 0);
    Record(out, kDimensions, body);
}

void WriteColInfo(std::string& out, std::uint16_t first, std::uint16_t last, std::uint16_t width256ths) {
    std::string body;
    Le16(body, first);
    Le16(body, last);
    Le16(body, width256ths);
    Le16(body, 15);      // the default cell format
    Le16(body, 0x0002);  // width set by the user
    Le16(body, 0);
    Record(out, kColInfo, body);
}

void WriteRow(std::string& out, std::uint16_t row, std::uint16_t firstColumn, std::uint16_t endColumn,
              std::uint16_t heightTwips) {
    std::string body;
    Le16(body, row);
    Le16(body, firstColumn);
    Le16(body, endColumn);
    Le16(body, heightTwips ? heightTwips : 255);
    Le16(body, 0);
    Le16(body, 0);
    Le16(body, heightTwips ? 0x0140 : 0x0100);  // bit 6: the height differs from the default
    Le16(body, 15);
    Record(out, kRow, body);
}

void WriteNumber(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf, double value) {
    std::string body;
    Cell(body, row, column, xf);
    const std::uint64_t bits = Bits(value);
    if (!std::isfinite(value)) {
        U8(body, 0x24);  // #NUM!
        U8(body, 1);     // an error, not a Boolean
        Record(out, kBoolErr, body);
    } else if (value == std::trunc(value) && std::fabs(value) < (1 << 29) && !(value == 0 && std::signbit(value))) {
        Le32(body, (static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) << 2) | 0x2);
        Record(out, kRk, body);
    } else if ((bits & 0x3FFFFFFFFull) == 0) {
        Le32(body, static_cast<std::uint32_t>(bits >> 32));
        Record(out, kRk, body);
    } else {
        Le64(body, bits);
        Record(out, kNumber, body);
    }
}

void WriteLabelSst(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf, std::uint32_t sst) {
    std::string body;
    Cell(body, row, column, xf);
    Le32(body, sst);
    Record(out, kLabelSst, body);
}

void WriteBlank(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
    std::string body;
    Cell(body, row, column, xf);
    Record(out, kBlank, body);
}

void WriteWindow2(std::string& out, bool selected, bool frozen) {
    std::string body;
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; the first sheet
    // is the selected and shown one.
    unsigned flags = 0x0002 | 0x0004 | 0x0010 | 0x0020 | 0x0080;
    if (frozen) flags |= 0x0008 | 0x0100;
    if (selected) flags |= 0x0200 | 0x0400;
    Le16(body, flags);
    Le16(body, 0);     // top row
    Le16(body, 0);     // left column
    Le16(body, 0x40);  // grid colour
    Le16(body, 0);
    Le16(body, 0);  // zoom in page break preview: default
    Le16(body, 0);  // zoom in normal view: default
    Le32(body, 0);
    Record(out, kWindow2, body);
}

void WritePane(std::string& out, std::uint16_t rows, std::uint16_t columns) {
    std::string body;
    Le16(body, columns);
    Le16(body, rows);
    Le16(body, rows);     // first row of the lower pane
    Le16(body, columns);  // first column of the right pane
    // The active pane: the one that scrolls both ways.
    U8(body, rows && columns ? 0 : rows ? 2 : 1);
    U8(body, 0);
    Record(out, kPane, body);
}

}  // namespace tarn::xls::biff
