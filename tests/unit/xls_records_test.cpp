// What the workbook's readers in tests/unit/xls_workbook_test.cpp do not look at, byte by
// byte against the layouts of BIFF8 and Office drawing: the shared string index, the
// drawing records' offsets within cells, MD4 digests and the palette's choice of entries.
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
