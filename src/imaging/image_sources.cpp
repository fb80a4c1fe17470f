// Charts copied through their own members on a white desk, and source pictures loaded for
// conversion.
#include "imaging/image_sources.h"

#include "com/errors.h"
#include "common/screen_metrics.h"

#include <cmath>

namespace tarn {

long PixelsOfTwips(double twips, int twipsPerPixel) { return static_cast<long>(std::nearbyint(twips / twipsPerPixel)); }

ChartCopy::ChartCopy(IDispatch* chart, ExportOptions& o) noexcept : chart_(chart), options_(o) {
    TryStep([&] {
        if (o.imageWidth == 0)
            o.imageWidth = PixelsOfTwips(VariantToDouble(chart_.GetValue(L"Width")), TwipsPerPixelX());
    });
    TryStep([&] {
        if (o.imageHeight == 0)
            o.imageHeight = PixelsOfTwips(VariantToDouble(chart_.GetValue(L"Height")), TwipsPerPixelY());
    });
    TryStep([&] { deskColor_ = chart_.GetValue(L"DeskColor"); });
    TryStep([&] { chart_.Put(L"DeskColor", LongArg(0xFFFFFF)); });
}

void ChartCopy::Copy(const wchar_t* member, const std::wstring& path) {
    unique_bstr file(path);
    VARIANT name;
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = file.get();
    chart_.Call(member, {LongArg(options_.imageWidth), LongArg(options_.imageHeight), name});
}

void ChartCopy::CopyBitmap(const std::wstring& path) { Copy(L"PEcopybitmaptofile", path); }
void ChartCopy::CopyMetafile(const std::wstring& path) { Copy(L"PEcopymetatofile", path); }

void ChartCopy::RestoreDeskColor() noexcept {
    if (V_VT(&deskColor_) != VT_EMPTY) TryStep([&] { chart_.Put(L"DeskColor", deskColor_); });
}

void LoadSourceImage(ImageConverter& converter, const std::wstring& path, const ExportOptions& o,
                     bool resample) noexcept {
    (void)converter.Load(path);
    if (resample && o.imageWidth >= 1 && o.imageHeight >= 1) (void)converter.Resample(o.imageWidth, o.imageHeight);
}

}  // namespace tarn
