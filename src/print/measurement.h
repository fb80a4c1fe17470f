// Lengths written as text with their unit ("0.75 inches", "2.5 cm", "720"), as page margins
// are given, turned into twips. Portable.
#pragma once

#include <optional>
#include <stdexcept>
#include <string_view>

namespace tarn::pages {

// Raised for a margin whose text is not a length.
class MeasurementError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// A non-negative number with an optional unit: in, inch, inches, ", cm, mm, pt, points, tw,
// twips (any case, space before the unit optional); no unit means twips. The number uses a
// point as its decimal separator whatever the locale. Rounded to the nearest twip; nothing
// when the text is not a length.
[[nodiscard]] std::optional<int> ParseMeasurement(std::wstring_view text);

// A margin set from text: empty (or blank) text keeps `fallback`; text that is not a length
// raises MeasurementError naming it.
[[nodiscard]] int MarginFromText(std::wstring_view text, int fallback);

}  // namespace tarn::pages
