// BIFF8 records of an Excel 97-2003 workbook stream, one writer function per record. Each
// appends the whole record (type, size, body) to `out`. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::xls::biff {

// The most a record's body holds; longer data continues in CONTINUE records.
constexpr std::size_t kMaxRecordBody = 8224;

enum RecordType : std::uint16_t {
    kEof = 0x000A,
    kCodepage = 0x0042,
    kWindow1 = 0x003D,
    kFont = 0x0031,
    kContinue = 0x003C,
    kPane = 0x0041,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kDbCell = 0x00D7,
    kBoundSheet = 0x0085,
    kPalette = 0x0092,
    kXf = 0x00E0,
    kMsoDrawingGroup = 0x00EB,
    kMsoDrawing = 0x00EC,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kBoolErr = 0x0205,
    kNumber = 0x0203,
    kRow = 0x0208,
    kIndex = 0x020B,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kObj = 0x005D,
    kBof = 0x0809,
};

// A text as BIFF8 stores it: one byte per character when every character is below 0x100
// ("compressed"), else UTF-16LE.
struct EncodedText {
    bool wide = false;
    std::string bytes;
    std::size_t length = 0;  // UTF-16 code units
};
EncodedText Encode(std::u16string_view text);
// The same into `out`, whose buffer is reused.
void Encode(std::u16string_view text, EncodedText& out);

void Le16(std::string& out, unsigned v);
void Le32(std::string& out, std::uint32_t v);
void Record(std::string& out, std::uint16_t type, std::string_view body);

enum class Substream : std::uint16_t { Globals = 0x0005, Worksheet = 0x0010 };

struct Font {
    std::u16string name;
    unsigned heightTwips = 200;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::uint16_t colourIndex = 0x7FFF;  // 0x7FFF: the window text colour
};

enum class Horizontal : std::uint8_t { General = 0, Left = 1, Centre = 2, Right = 3 };
enum class Vertical : std::uint8_t { Top = 0, Centre = 1, Bottom = 2 };

struct Xf {
    std::uint16_t font = 0;
    std::uint16_t format = 0;
    bool style = false;  // a style format; else a cell format whose parent is the Normal style
    bool quotePrefix = false;
    Horizontal horizontal = Horizontal::General;
    Vertical vertical = Vertical::Bottom;
    bool filled = false;
    std::uint16_t fillIndex = 0x40;
};

void WriteBof(std::string& out, Substream kind);
void WriteEof(std::string& out);
void WriteCodepage(std::string& out);  // 1200: UTF-16
void WriteWindow1(std::string& out);
void WriteFont(std::string& out, const Font& font);
void WriteFormat(std::string& out, std::uint16_t id, std::u16string_view code);
void WriteXf(std::string& out, const Xf& xf);
void WriteNormalStyle(std::string& out);
// Entries 8 to 63 of the colour table, as 0x00BBGGRR.
void WritePalette(std::string& out, const std::array<std::uint32_t, 56>& colours);
// Returns the offset in `out` of the sheet's stream position, to be filled in later.
std::size_t WriteBoundSheet(std::string& out, std::u16string_view name);

// The positions (in the workbook stream) of the sheet's DEFCOLWIDTH record and of the
// DBCELL record of each block of rows.
void WriteIndex(std::string& out, std::uint32_t firstRow, std::uint32_t endRow, std::uint32_t defColWidthAt,
                const std::vector<std::uint32_t>& dbCellsAt);
void WriteDefColWidth(std::string& out, std::uint16_t characters);
// The end of a block of rows: the distance back to its first ROW record, and for each ROW
// record the distance to the row's first cell (the first from the end of the first ROW
// record, each other from the previous row's first cell).
void WriteDbCell(std::string& out, std::uint32_t backToFirstRow, const std::vector<std::uint16_t>& cellOffsets);
void WriteDimensions(std::string& out, std::uint32_t firstRow, std::uint32_t endRow, std::uint16_t firstColumn,
                     std::uint16_t endColumn);
void WriteColInfo(std::string& out, std::uint16_t first, std::uint16_t last, std::uint16_t width256ths);
// heightTwips 0: the default height.
void WriteRow(std::string& out, std::uint16_t row, std::uint16_t firstColumn, std::uint16_t endColumn,
              std::uint16_t heightTwips);
// An NUMBER record, or the shorter RK record when the value fits one exactly; a value that
// is not finite, which a workbook cannot hold, becomes the error #NUM!.
void WriteNumber(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf, double value);
void WriteLabelSst(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf, std::uint32_t sst);
void WriteBlank(std::string& out, std::uint16_t row, std::uint16_t column, std::uint16_t xf);
void WriteWindow2(std::string& out, bool selected, bool frozen);
void WritePane(std::string& out, std::uint16_t rows, std::uint16_t columns);

// A record whose data may pass kMaxRecordBody: the first part as `type`, the rest in
// CONTINUE records.
void WriteContinued(std::string& out, std::uint16_t type, std::string_view data);

}  // namespace tarn::xls::biff
