// The record walk over metafiles: sound EMF and WMF record sequences pass; files cut
// anywhere, records of impossible size, and files without their end record are refused.
#include "imaging/metafile_records.h"

#include "byte_builder.h"
#include "imaging/image.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarn {
namespace {

using test::Bytes;

// EMR_HEADER (88 bytes, no description), EMR_MOVETOEX, EMR_EOF.
Bytes Emf(std::uint32_t moveSize = 16) {
    Bytes b;
    b.Le32(1).Le32(88).Zeros(32).Le32(0x464D4520).Zeros(44);
    b.Le32(27).Le32(moveSize).Le32(10).Le32(20);
    return b.Le32(14).Le32(20).Zeros(12);
}

// Placeable header (optional), METAHEADER, META_SETBKCOLOR, end record.
Bytes Wmf(bool placeable, std::uint32_t recordWords = 5) {
    Bytes b;
    if (placeable) b.Le32(0x9AC6CDD7).Zeros(18);
    b.Le16(1).Le16(9).Le16(0x300).Le32(9 + 5 + 3).Le16(0).Le32(5).Le16(0);
    b.Le32(recordWords).Le16(0x0201).Le32(0x00FF00FF);
    return b.Le32(3).Le16(0);
}

TEST(MetafileRecords, SoundSequencesPass) {
    EXPECT_NO_THROW(CheckMetafileRecords(Emf().get(), ImageFormat::Emf));
    EXPECT_NO_THROW(CheckMetafileRecords(Wmf(false).get(), ImageFormat::Wmf));
    EXPECT_NO_THROW(CheckMetafileRecords(Wmf(true).get(), ImageFormat::Wmf));
    std::vector<std::uint8_t> trailing = Emf().get();
    trailing.resize(trailing.size() + 7, 0xEE);  // bytes after the end record are not read
    EXPECT_NO_THROW(CheckMetafileRecords(trailing, ImageFormat::Emf));
}

TEST(MetafileRecords, CutFilesAreRefusedWherever) {
    for (const auto& [bytes, format] :
         {std::pair{Emf().get(), ImageFormat::Emf}, std::pair{Wmf(false).get(), ImageFormat::Wmf},
          std::pair{Wmf(true).get(), ImageFormat::Wmf}}) {
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_THROW(CheckMetafileRecords(cut, format), ImageError) << n << " bytes";
        }
    }
}

TEST(MetafileRecords, ImpossibleRecordSizesAreRefused) {
    EXPECT_THROW(CheckMetafileRecords(Emf(0).get(), ImageFormat::Emf), ImageError) << "a record of no size never ends";
    EXPECT_THROW(CheckMetafileRecords(Emf(18).get(), ImageFormat::Emf), ImageError) << "not a multiple of four";
    EXPECT_THROW(CheckMetafileRecords(Emf(0xFFFFFFF0).get(), ImageFormat::Emf), ImageError);
    EXPECT_THROW(CheckMetafileRecords(Wmf(false, 0).get(), ImageFormat::Wmf), ImageError);
    EXPECT_THROW(CheckMetafileRecords(Wmf(false, 2).get(), ImageFormat::Wmf), ImageError);
    EXPECT_THROW(CheckMetafileRecords(Wmf(true, 0x7FFFFFFF).get(), ImageFormat::Wmf), ImageError);
    EXPECT_THROW(CheckMetafileRecords(Emf().get(), ImageFormat::Png), ImageError);
}

}  // namespace
}  // namespace tarn
