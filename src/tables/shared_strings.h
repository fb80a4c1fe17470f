// The shared string table of a workbook, written as it fills: each cell text becomes an
// entry of the SST record (its excess continuing in CONTINUE records) the moment it is
// added, and the finished records wait in a scratch file until the workbook is saved, so
// memory stays flat however much text a workbook holds. A text used again shares its
// entry while it is among the recently added texts; one seen longer ago gets another
// entry (a table may hold a text more than once). The EXTSST index over the entries is
// kept to at most 128 buckets by doubling their size. Portable.
#pragma once

#include "common/byte_sink.h"
#include "tables/biff_records.h"
#include "tables/scratch_stream.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn::xls {

class SharedStrings {
public:
    // The finished records wait in a new file of the table's own in the temporary folder.
    SharedStrings();

    // The index of the text's entry; adds one unless the text is among the recent ones.
    // Each call counts one use.
    std::uint32_t Add(std::u16string_view text);

    [[nodiscard]] std::uint32_t unique() const noexcept { return entries_; }
    [[nodiscard]] std::uint32_t uses() const noexcept { return uses_; }

    // The bytes Write writes.
    [[nodiscard]] std::uint64_t Size() const;
    // Writes the SST (with its CONTINUE records) and EXTSST records; `streamOffset` is the
    // workbook stream position of the SST record's first byte. The table takes no more
    // texts afterwards.
    void Write(ByteSink& out, std::uint64_t streamOffset);

private:
    struct Recent {
        std::uint64_t hash = 0;
        std::uint32_t index = 0;
        bool used = false;
        bool wide = false;
        std::string bytes;
    };
    void Flush();
    void Remember(Recent& slot, std::uint64_t hash, bool wide, std::string_view bytes);

    ScratchStream scratch_;        // the finished records
    biff::EncodedText encoded_;    // the text being added
    std::string body_;             // the record being filled
    std::uint16_t type_;           // its type: SST for the first, then CONTINUE
    std::vector<Recent> recent_;   // direct mapped by hash
    std::size_t recentBytes_ = 0;  // characters the recent texts hold
    std::uint32_t perBucket_ = 8;
    // Each bucket's first entry: its offset from the SST record's start, and from the
    // start of the record that holds it.
    std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets_;
    std::uint32_t entries_ = 0;
    std::uint32_t uses_ = 0;
    bool written_ = false;
};

}  // namespace tarn::xls
