// What the image and HTML exporters draw their pictures from: the host's chart through its
// own copy members, and picture files loaded into the conversion service.
#pragma once

#include "com/late_bound.h"
#include "common/export_options.h"
#include "imaging/image_converter.h"

#include <string>

namespace tarn {

// The host's chart made ready to be copied. ImageWidth and ImageHeight, where 0, become
// the chart's size in screen pixels (halves rounded to even) and stay so on the options;
// the chart's DeskColor is kept and made white until RestoreDeskColor. Each step is
// attempted; one the chart fails is passed over.
class ChartCopy {
public:
    ChartCopy(IDispatch* chart, ExportOptions& options) noexcept;
    ChartCopy(const ChartCopy&) = delete;
    ChartCopy& operator=(const ChartCopy&) = delete;

    // The chart drawn at ImageWidth x ImageHeight into a bitmap or an enhanced metafile
    // file. Throw ComError when the chart fails.
    void CopyBitmap(const std::wstring& path);
    void CopyMetafile(const std::wstring& path);

    // Puts the kept DeskColor back (nothing when it could not be read).
    void RestoreDeskColor() noexcept;

private:
    void Copy(const wchar_t* member, const std::wstring& path);

    LateBound chart_;
    const ExportOptions& options_;
    unique_variant deskColor_;
};

// Loads `path` into the converter and, with `resample`, resamples it to ImageWidth x
// ImageHeight when both are at least 1. Each step is attempted.
void LoadSourceImage(ImageConverter& converter, const std::wstring& path, const ExportOptions& options,
                     bool resample) noexcept;

// Screen pixels of a length in twips, halves rounded to even.
long PixelsOfTwips(double twips, int twipsPerPixel);

}  // namespace tarn
