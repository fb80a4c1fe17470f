// The formatting part of a workbook: cell styles become FONT, FORMAT and XF records, and
// the colours they use a custom palette. Portable.
#pragma once

#include "tables/xls_workbook.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarn::xls {

// The 56 entries of the colour table (indexes 8 to 63) chosen for a set of colours: each
// colour gets an exact entry while there are entries to give, reusing the default entry
// of the same colour; colours past the 56th get the nearest entry.
class Palette {
public:
    explicit Palette(const std::vector<Colour>& used);
    [[nodiscard]] const std::array<Colour, 56>& entries() const noexcept { return entries_; }
    // The colour index (8 to 63) of `colour`.
    [[nodiscard]] std::uint16_t Index(Colour colour) const;

private:
    std::array<Colour, 56> entries_;
    std::unordered_map<Colour, std::uint16_t> exact_;
};

// The default colour table of a workbook without a PALETTE record.
const std::array<Colour, 56>& DefaultPalette();

// `value` x `scale` rounded to whole units within [low, high]; a value that is not a
// number gives `low`.
std::uint16_t ScaledUnits(double value, double scale, std::uint16_t low, std::uint16_t high);

// Texts as the workbook stores them (UTF-16) and back, whatever the width of wchar_t.
std::u16string ToUtf16(std::wstring_view text);
// The same into `out`, whose buffer is reused.
void ToUtf16(std::wstring_view text, std::u16string& out);
std::wstring FromUtf16(std::u16string_view text);

class StyleTable {
public:
    // The cell format index of `style`, adding it when it is new. Past the most formats a
    // workbook holds, further styles get the default format.
    std::uint16_t XfIndex(const CellStyle& style);
    // FONT, FORMAT, XF, STYLE and PALETTE records of every style added.
    void WriteRecords(std::string& out) const;

private:
    struct Hash {
        std::size_t operator()(const CellStyle& s) const noexcept;
    };
    std::unordered_map<CellStyle, std::uint16_t, Hash> indexes_;
    std::vector<CellStyle> styles_;  // in the order of their cell format indexes
    // The styles last asked for, compared before any hashing: a sheet's columns mostly
    // repeat a few styles row after row. Positions in styles_ + 1, 0 when unused.
    std::array<std::uint16_t, 16> recent_{};
    std::size_t nextRecent_ = 0;
    std::size_t lastRecent_ = 0;
};

}  // namespace tarn::xls
