// The shared string table of a workbook: every distinct cell text once, in the order of
// first use, written as an SST record whose excess continues in CONTINUE records, and the
// EXTSST index over it. Texts are kept as they will be stored (one byte per character when
// they can be), so the table costs little more than its characters. Portable.
#pragma once

#include "common/byte_sink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::xls {

class SharedStrings {
public:
    // The text's index in the table; adds it when it is new. Each call counts one use.
    std::uint32_t Add(std::u16string_view text);

    [[nodiscard]] std::uint32_t unique() const noexcept { return static_cast<std::uint32_t>(wide_.size()); }
    [[nodiscard]] std::uint32_t uses() const noexcept { return uses_; }

    // The bytes Write writes.
    [[nodiscard]] std::uint64_t Size() const;
    // Writes the SST (with its CONTINUE records) and EXTSST records; `streamOffset` is the
    // workbook stream position of the SST record's first byte.
    void Write(ByteSink& out, std::uint64_t streamOffset) const;

private:
    template <class Emit>
    void Lay(std::uint64_t streamOffset, Emit&& emit) const;
    std::string_view Bytes(std::uint32_t index) const;
    std::uint32_t* Slot(std::string_view bytes, bool wide, std::uint64_t hash);
    void Grow();

    std::string pool_;                      // the texts' stored characters, one after another
    std::vector<std::uint32_t> starts_{0};  // where each text starts in pool_, and the end
    std::vector<bool> wide_;                // two bytes per character
    std::vector<std::uint64_t> hashes_;
    std::vector<std::uint32_t> slots_;  // open addressing: index + 1, 0 when free
    std::uint32_t uses_ = 0;
};

}  // namespace tarn::xls
