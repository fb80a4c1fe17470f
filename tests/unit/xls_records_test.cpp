// Records of the workbook writer byte by byte against the layouts of BIFF8, the compound
// file and Office drawing, with what the format documents give as the values.
#include "tables/biff_records.h"
#include "tables/compound_file.h"
#include "tables/shared_strings.h"
#include "tables/xls_drawing.h"
#include "tables/xls_styles.h"

#include "byte_builder.h"
#include "byte_compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::xls {
namespace {

using test::Bytes;
using test::SameBytes;

TEST(XlsRecords, CellRecordsChooseRkOnlyWhenExact) {
    std::string out;
    biff::WriteNumber(out, 1, 2, 15, 42);               // integer: value << 2 | 2
    biff::WriteNumber(out, 1, 3, 15, -1.5);             // top 30 bits of the double 0xBFF8000000000000
    biff::WriteNumber(out, 1, 4, 15, 0.1);              // needs all 64 bits
    biff::WriteNumber(out, 1, 5, 15, 1e9);              // an integer past 30 bits: 0x41CDCD6500000000
    biff::WriteNumber(out, 1, 6, 15, 1099511627776.0);  // 2^40: 0x4270000000000000
    biff::WriteLabelSst(out, 0x1234, 255, 0x20, 0x010203);
    biff::WriteBlank(out, 65535, 0, 16);
    Bytes expected;
    expected.Le16(0x027E).Le16(10).Le16(1).Le16(2).Le16(15).Le32(0xAA);
    expected.Le16(0x027E).Le16(10).Le16(1).Le16(3).Le16(15).Le32(0xBFF80000);
    expected.Le16(0x0203).Le16(14).Le16(1).Le16(4).Le16(15).Le32(0x9999999A).Le32(0x3FB99999);
    expected.Le16(0x0203).Le16(14).Le16(1).Le16(5).Le16(15).Le32(0).Le32(0x41CDCD65);
    expected.Le16(0x027E).Le16(10).Le16(1).Le16(6).Le16(15).Le32(0x42700000);
    expected.Le16(0x00FD).Le16(10).Le16(0x1234).Le16(255).Le16(0x20).Le32(0x010203);
    expected.Le16(0x0201).Le16(6).Le16(65535).Le16(0).Le16(16);
    EXPECT_TRUE(SameBytes(out, expected.get()));
}

// SST: a text cut at a record's end goes on in a CONTINUE record after an option byte of
// its own; 16-bit characters are never cut in half, and a text's length and option byte
// stay with its first character.
TEST(XlsRecords, SharedStringsContinueWithTheOptionByte) {
    SharedStrings table;
    EXPECT_EQ(table.Add(std::u16string(8300, u'a')), 0u);
    EXPECT_EQ(table.Add(u"b"), 1u);
    EXPECT_EQ(table.Add(std::u16string(8300, u'a')), 0u);
    EXPECT_EQ(table.Add(std::u16string(8200, u'\u0416')), 2u);
    MemorySink sink;
    table.Write(sink, 1000);
    EXPECT_EQ(sink.bytes().size(), table.Size());

    Bytes expected;
    // SST: 4 uses, 3 texts; 8213 of the first text's characters fill the record
    expected.Le16(0x00FC).Le16(8224).Le32(4).Le32(3).Le16(8300).U8(0).Raw(std::string(8213, 'a'));
    // the other 87, then "b", then 16-bit characters while they fit: 4064, leaving a byte
    expected.Le16(0x003C).Le16(1 + 87 + 4 + 3 + 2 * 4064).U8(0).Raw(std::string(87, 'a')).Le16(1).U8(0).Raw("b");
    expected.Le16(8200).U8(1);
    for (int i = 0; i < 4064; ++i) expected.Le16(0x0416);
    expected.Le16(0x003C).Le16(1 + 2 * 4111).U8(1);
    for (int i = 0; i < 4111; ++i) expected.Le16(0x0416);
    expected.Le16(0x003C).Le16(1 + 2 * 25).U8(1);
    for (int i = 0; i < 25; ++i) expected.Le16(0x0416);
    // EXTSST: 8 texts a bucket; one bucket, at the first text: stream offset and record offset
    expected.Le16(0x00FF).Le16(10).Le16(8).Le32(1000 + 12).Le16(12).Le16(0);
    EXPECT_TRUE(SameBytes(sink.bytes(), expected.get()));
}

// EXTSST keeps at most 128 buckets: past 1,024 entries a bucket holds 16, and each start
// is still where an entry begins.
TEST(XlsRecords, SharedStringIndexDoublesItsBuckets) {
    SharedStrings table;
    for (unsigned i = 0; i < 1030; ++i) {
        std::u16string digits;
        for (const char c : std::to_string(i)) digits += static_cast<char16_t>(c);
        EXPECT_EQ(table.Add(digits), i);
    }
    MemorySink sink;
    table.Write(sink, 100);
    const std::string& bytes = sink.bytes();
    ASSERT_EQ(bytes.size(), table.Size());
    // 65 buckets of 16 texts; the last holds 6
    ASSERT_GT(bytes.size(), 4u + 2 + 65 * 8);
    const std::string extSst = bytes.substr(bytes.size() - (4 + 2 + 65 * 8));
    Bytes expected;
    expected.Le16(0x00FF).Le16(2 + 65 * 8).Le16(16);
    expected.Le32(100 + 12).Le16(12).Le16(0);  // entry 0
    expected.Le32(100 + 82).Le16(82).Le16(0);  // entry 16: after "0" to "15"
    EXPECT_TRUE(SameBytes(extSst.substr(0, 22), expected.get()));
}

// The header, the FAT and the directory of a compound file with one stream: a short stream
// in the mini stream (64-byte sectors, chained in the mini FAT), a long one in sectors.
TEST(XlsRecords, CompoundFileLayout) {
    const auto directory = [](Bytes& d, bool mini, std::uint32_t size) {
        const auto name = [&d](std::u16string_view n) {
            for (const char16_t c : n) d.Le16(c);
            d.Zeros(64 - 2 * n.size()).Le16(static_cast<unsigned>(2 * n.size() + 2));
        };
        // the root storage, holding the mini stream when there is one, and its one child
        name(u"Root Entry");
        d.U8(5).U8(1).Le32(0xFFFFFFFF).Le32(0xFFFFFFFF).Le32(1).Zeros(36);
        d.Le32(mini ? 0 : 0xFFFFFFFE).Le32(mini ? 64 : 0).Le32(0);
        name(u"Workbook");
        d.U8(2).U8(1).Le32(0xFFFFFFFF).Le32(0xFFFFFFFF).Le32(0xFFFFFFFF).Zeros(36).Le32(0).Le32(size).Le32(0);
        for (int i = 0; i < 2; ++i)
            d.Zeros(64).Le16(0).U8(0).U8(0).Le32(0xFFFFFFFF).Le32(0xFFFFFFFF).Le32(0xFFFFFFFF).Zeros(48);
    };
    const auto header = [](Bytes& h, std::uint32_t directorySector, std::uint32_t miniFat, std::uint32_t fat) {
        h.Raw("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1").Zeros(16).Le16(0x3E).Le16(3).Le16(0xFFFE).Le16(9).Le16(6).Zeros(6);
        h.Le32(0).Le32(1).Le32(directorySector).Le32(0).Le32(4096);
        h.Le32(miniFat).Le32(miniFat == 0xFFFFFFFE ? 0 : 1).Le32(0xFFFFFFFE).Le32(0).Le32(fat);
        for (int i = 1; i < 109; ++i) h.Le32(0xFFFFFFFF);
    };

    MemorySink small;
    cfb::WriteCompoundFile(small, u"Workbook", 5, [](ByteSink& out) { out.Write("hello"); });
    Bytes expected;
    // sector 0 the mini stream, 1 the mini FAT, 2 the FAT, 3 the directory
    header(expected, 3, 1, 2);
    expected.Raw("hello").Zeros(507);
    expected.Le32(0xFFFFFFFE);
    for (int i = 1; i < 128; ++i) expected.Le32(0xFFFFFFFF);
    expected.Le32(0xFFFFFFFE).Le32(0xFFFFFFFE).Le32(0xFFFFFFFD).Le32(0xFFFFFFFE);
    for (int i = 4; i < 128; ++i) expected.Le32(0xFFFFFFFF);
    directory(expected, true, 5);
    EXPECT_TRUE(SameBytes(small.bytes(), expected.get()));

    MemorySink large;
    cfb::WriteCompoundFile(large, u"Workbook", 4096, [](ByteSink& out) { out.Write(std::string(4096, 'x')); });
    expected = Bytes();
    // sectors 0 to 7 the stream, 8 the FAT, 9 the directory; no mini FAT
    header(expected, 9, 0xFFFFFFFE, 8);
    expected.Raw(std::string(4096, 'x'));
    for (std::uint32_t s = 1; s < 8; ++s) expected.Le32(s);
    expected.Le32(0xFFFFFFFE).Le32(0xFFFFFFFD).Le32(0xFFFFFFFE);
    for (int i = 10; i < 128; ++i) expected.Le32(0xFFFFFFFF);
    directory(expected, false, 4096);
    EXPECT_TRUE(SameBytes(large.bytes(), expected.get()));
}

// One picture stored and placed: every container's length covers exactly its children.
TEST(XlsRecords, DrawingGroupAndSheetDrawing) {
    const drawing::Digest digest = drawing::Md4("abc");
    const std::string uid(digest.begin(), digest.end());
    const std::vector<drawing::DrawingIds> ids = drawing::AssignIds({1});
    MemorySink group;
    drawing::WriteDrawingGroup(group, {{Picture::Format::Png, digest, 3, 2}}, ids,
                               [](std::size_t, ByteSink& out) { out.Write("abc"); });
    Bytes expected;
    expected.Le16(0x00EB).Le16(170);
    expected.Le16(0x000F).Le16(0xF000).Le32(162);  // the drawing group container
    // next shape id 1026, 1 cluster + 1, 2 shapes, 1 drawing; the cluster: drawing 1, 2 ids used
    expected.Le16(0x0000).Le16(0xF006).Le32(24).Le32(1026).Le32(2).Le32(2).Le32(1).Le32(1).Le32(2);
    expected.Le16(0x001F).Le16(0xF001).Le32(72);  // the BLIP store: 1 entry
    // the entry: PNG (6) for Windows and Mac, digest, tag, BLIP record size, 2 uses, no
    // delay stream, no name; then the BLIP record
    expected.Le16(0x0062).Le16(0xF007).Le32(64).U8(6).U8(6).Raw(uid).Le16(0xFF).Le32(28).Le32(2).Le32(0).Le32(0);
    expected.Le16(0x6E00).Le16(0xF01E).Le32(20).Raw(uid).U8(0xFF).Raw("abc");
    expected.Le16(0x0033).Le16(0xF00B).Le32(18);  // default properties
    expected.Le16(0x00BF).Le32(0x00080008).Le16(0x0181).Le32(0x08000041).Le16(0x01C0).Le32(0x08000040);
    expected.Le16(0x0040).Le16(0xF11E).Le32(16).Le32(0x0800000D).Le32(0x0800000C).Le32(0x08000017).Le32(0x100000F7);
    EXPECT_TRUE(SameBytes(group.bytes(), expected.get()));

    // A picture of 9000 bytes: 9167 bytes of drawing group, cut after 8224 into a CONTINUE.
    MemorySink large;
    drawing::WriteDrawingGroup(large, {{Picture::Format::Png, digest, 9000, 1}}, ids,
                               [](std::size_t, ByteSink& out) { out.Write(std::string(9000, 'p')); });
    ASSERT_EQ(large.bytes().size(), 4 + 8224 + 4 + 943u);
    EXPECT_TRUE(SameBytes(large.bytes().substr(0, 4), Bytes().Le16(0x00EB).Le16(8224).get()));
    EXPECT_TRUE(SameBytes(large.bytes().substr(4 + 8224, 4), Bytes().Le16(0x003C).Le16(943).get()));

    // 10, 5 pixels into cell C4 of 64 x 17 pixel cells, 40 x 30 pixels large.
    const drawing::Anchor anchor = drawing::Place(
        3, 2, 10, 5, 40, 30, [](unsigned) { return 64u; }, [](unsigned) { return 17u; });
    std::string sheet;
    drawing::WriteSheetDrawing(sheet, ids[0], {{anchor, 1}});
    expected = Bytes();
    expected.Le16(0x00EC).Le16(164);
    expected.Le16(0x000F).Le16(0xF002).Le32(156);                   // the drawing container
    expected.Le16(0x0010).Le16(0xF008).Le32(8).Le32(2).Le32(1025);  // drawing 1: 2 shapes, the last 1025
    expected.Le16(0x000F).Le16(0xF003).Le32(132);                   // the group shape container
    expected.Le16(0x000F).Le16(0xF004).Le32(40);                    // the group itself
    expected.Le16(0x0001).Le16(0xF009).Le32(16).Zeros(16);
    expected.Le16(0x0002).Le16(0xF00A).Le32(8).Le32(1024).Le32(0x05);
    expected.Le16(0x000F).Le16(0xF004).Le32(76);  // the picture frame (shape type 75)
    expected.Le16(0x04B2).Le16(0xF00A).Le32(8).Le32(1025).Le32(0x0A00);
    expected.Le16(0x0033).Le16(0xF00B).Le32(18);
    expected.Le16(0x4104).Le32(1).Le16(0x01BF).Le32(0x00100000).Le16(0x01FF).Le32(0x00080000);
    // C4 + 160/1024, 75/256 to C6 + 800/1024, 15/256
    expected.Le16(0x0000).Le16(0xF010).Le32(18).Le16(2);
    expected.Le16(2).Le16(160).Le16(3).Le16(75).Le16(2).Le16(800).Le16(5).Le16(15);
    expected.Le16(0x0000).Le16(0xF011).Le32(0);
    // OBJ: picture 1, locked and printed; a bitmap; keeps its aspect ratio
    expected.Le16(0x005D).Le16(38).Le16(0x15).Le16(18).Le16(8).Le16(1).Le16(0x6011).Zeros(12);
    expected.Le16(0x07).Le16(2).Le16(0x0009).Le16(0x08).Le16(2).Le16(1).Le32(0);
    EXPECT_TRUE(SameBytes(sheet, expected.get()));
}

TEST(XlsRecords, Md4DigestsOfRfc1320) {
    const auto hex = [](const drawing::Digest& d) {
        std::string text;
        for (const std::uint8_t b : d) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
        return text;
    };
    EXPECT_EQ(hex(drawing::Md4("")), "31d6cfe0d16ae931b73c59d7e0c089c0");
    EXPECT_EQ(hex(drawing::Md4("abc")), "a448017aaf21d8525fc10ae87aa6729d");
    EXPECT_EQ(hex(drawing::Md4("12345678901234567890123456789012345678901234567890123456789012345678901234567890")),
              "e33b4ddc9c38f2199c3e7b164fcc0536");
}

// (Colours past the 56th are checked through xlrd, in xls_workbook_test.cpp.)
TEST(XlsRecords, PaletteKeepsExactColoursWhileThereIsRoom) {
    // Default entries are reused; new colours take the entries no used colour needs.
    const Palette few({0x000000, 0x123456, 0xFFFFFF, 0x123456, 0x00FF00});
    EXPECT_EQ(few.Index(0x000000), 8);
    EXPECT_EQ(few.Index(0xFFFFFF), 9);
    EXPECT_EQ(few.Index(0x00FF00), 11);  // COLORREF green is default entry 11
    EXPECT_EQ(few.Index(0x123456), 10);  // the first entry no used colour needs
    EXPECT_EQ(few.entries()[2], 0x123456u);
}

}  // namespace
}  // namespace tarn::xls
