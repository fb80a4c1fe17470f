// Image files from charts, metafiles, image files, picture objects and grids, in BMP, GIF,
// TGA, TIFF, JPEG and PNG (and EMF or WMF where the input is a metafile). Every step is
// attempted; one that fails is passed over and the result says whether a conversion for
// the target's format ran.
#include "print/image_export.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/save_dialog.h"
#include "imaging/image_converter.h"
#include "imaging/image_sources.h"
#include "imaging/picture_file.h"
#include "tables/grid_table.h"
#include "ui/message_box.h"

#include <windows.h>

namespace tarn {

namespace {
constexpr std::wstring_view kAllImages =
    L"All Image Files|*.gif;*.bmp;*.tif;*.tiff;*.jpg;*.jpeg;*.tga;*.png;*.emf;*.wmf|";
constexpr std::wstring_view kBmp = L"Bitmap Files (*.bmp)|*.bmp|";
constexpr std::wstring_view kEmf = L"Enhanced Meta Files (*.emf)|*.emf|";
constexpr std::wstring_view kGif = L"GIF Files (*.gif)|*.gif|";
constexpr std::wstring_view kJpeg = L"JPEG Files (*.jpg,*.jpeg)|*.jpg;*.jpeg|";
constexpr std::wstring_view kTga = L"Targa Files (*.tga)|*.tga|";
constexpr std::wstring_view kPng = L"PNG Files (*.png)|*.png|";
constexpr std::wstring_view kTiff = L"TIFF Files (*.tif;*.tiff)|*.tif;*.tiff|";
constexpr std::wstring_view kAllFiles = L"All Files (*.*)|*.*";

constexpr std::wstring_view kWithMetafiles = L"gif;bmp;tif;jpg;jpeg;tga;png;emf;wmf;tif;tiff";
constexpr std::wstring_view kBitmapsOnly = L"gif;bmp;tif;jpg;jpeg;tga;png;tif;tiff";

template <class... Parts>
std::wstring Filter(Parts... parts) {
    std::wstring filter(kAllImages);
    ((filter += parts), ...);
    return filter;
}

enum class Format { Bmp, Gif, Tga, Tiff, Jpeg, Png, Emf, Wmf, Other };

Format FormatOf(const std::wstring& path) {
    std::wstring name = FileNameOf(path, false);
    size_t dot = name.rfind(L'.');
    std::wstring key = dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
    for (auto& c : key) c = static_cast<wchar_t>(towupper(c));
    if (key == L"BMP") return Format::Bmp;
    if (key == L"GIF") return Format::Gif;
    if (key == L"TGA") return Format::Tga;
    if (key == L"TIF" || key == L"TIFF") return Format::Tiff;
    if (key == L"JPG" || key == L"JPEG") return Format::Jpeg;
    if (key == L"PNG") return Format::Png;
    if (key == L"EMF") return Format::Emf;
    if (key == L"WMF") return Format::Wmf;
    return Format::Other;
}

// Saves what the converter holds in a bitmap format; false for the other keys.
bool SaveHeld(ImageConverter& converter, Format format, const std::wstring& target, int jpegQuality) {
    switch (format) {
        case Format::Bmp: (void)converter.SaveBmp(target); return true;
        case Format::Gif: (void)converter.SaveGif(target); return true;
        case Format::Tga: (void)converter.SaveTga(target); return true;
        case Format::Tiff: (void)converter.SaveTiff(target); return true;
        case Format::Jpeg: (void)converter.SaveJpeg(target, jpegQuality); return true;
        case Format::Png: (void)converter.SavePng(target); return true;
        default: return false;
    }
}

bool IsBitmapFormat(Format f) { return f != Format::Emf && f != Format::Wmf && f != Format::Other; }

// The frame every operation shares: the dialog, the extension, the progress message, the
// conversion, the temporary bitmap, and the closing message.
class ImageJob {
public:
    ImageJob(ExportOptions& o, std::wstring dialogDefault, std::wstring filter, std::wstring_view extensions,
             bool defaultToGif)
        : o_(o), messages_(o.quiet, ExportMessages::Kind::Image) {
        if (defaultToGif && o_.imageFormat.empty()) o_.imageFormat = L"gif";
        dialogDefault_ = dialogDefault.empty() ? o_.imageFormat : dialogDefault;
        filter_ = std::move(filter);
        extensions_ = extensions;
    }

    // Dialog and extension; false when the user cancelled.
    bool Begin() {
        std::wstring title;
        if (!ChooseExportFile(o_, {dialogDefault_, filter_, o_.initDir, L"Export To ..."}, extensions_, title))
            return false;
        if (!o_.quiet) TryStep([&] { messages_.ShowProgress(L"Saving Image ..."); });
        format_ = FormatOf(o_.targetFilename);
        return true;
    }

    const std::wstring& Target() const { return o_.targetFilename; }
    std::wstring TempBitmap() const { return o_.targetFilename + L".bmp"; }
    Format format() const { return format_; }
    ImageConverter& converter() { return converter_; }
    ExportOptions& options() { return o_; }

    // Loads a file into the converter, resampling when both sizes are set.
    void LoadSource(const std::wstring& path, bool resample) { LoadSourceImage(converter_, path, o_, resample); }

    // Removes the temporary bitmap, lets the picture go and closes the progress window;
    // `beforeMessage` puts host state back before the closing message appears.
    template <class Restore = void (*)()>
    bool End(
        bool converted, bool usedTempBitmap, Restore beforeMessage = [] {}) {
        if (usedTempBitmap) DeleteFileW(TempBitmap().c_str());
        converter_.Release();
        messages_.CloseProgress();
        beforeMessage();
        messages_.ShowCompleted(L"Exported to " + FileNameOf(o_.targetFilename, false));
        return converted;
    }

private:
    ExportOptions& o_;
    ExportMessages messages_;
    ImageConverter converter_;
    std::wstring dialogDefault_;
    std::wstring filter_;
    std::wstring extensions_;
    Format format_ = Format::Other;
};
}  // namespace

bool ExportChartImage(ExportOptions& options, IDispatch* chart) {
    ImageJob job(options, L"", Filter(kBmp, kEmf, kGif, kJpeg, kTga, kPng, kAllFiles), kWithMetafiles, true);
    if (!job.Begin()) return false;
    ChartCopy copy(chart, job.options());
    bool converted = false;
    bool usedTemp = false;
    Format format = job.format();
    if (format == Format::Emf) {
        converted = true;
        TryStep([&] { copy.CopyMetafile(job.Target()); });
    } else if (format == Format::Bmp) {
        converted = true;
        TryStep([&] { copy.CopyBitmap(job.Target()); });
    } else if (IsBitmapFormat(format)) {
        usedTemp = true;
        TryStep([&] { copy.CopyBitmap(job.TempBitmap()); });
        job.LoadSource(job.TempBitmap(), false);
        converted = SaveHeld(job.converter(), format, job.Target(), 100);
    }
    return job.End(converted, usedTemp, [&] { copy.RestoreDeskColor(); });
}

bool ExportMetafileImage(ExportOptions& options, const std::wstring& path) {
    ImageJob job(options, L"", Filter(kBmp, kGif, kEmf, kJpeg, kPng, kTga, kAllFiles), kWithMetafiles, true);
    if (!job.Begin()) return false;
    ExportOptions& o = job.options();
    if (o.imageWidth >= 1 && o.imageHeight >= 1) (void)job.converter().SetRenderSize(o.imageWidth, o.imageHeight);
    job.LoadSource(path, false);
    bool converted = false;
    Format format = job.format();
    if (format == Format::Emf || format == Format::Wmf) {
        converted = true;
        CopyFileW(path.c_str(), job.Target().c_str(), FALSE);
    } else {
        converted = SaveHeld(job.converter(), format, job.Target(), 100);
    }
    return job.End(converted, false);
}

bool ConvertImageFile(ExportOptions& options, const std::wstring& path) {
    ImageJob job(options, L"", Filter(kBmp, kGif, kJpeg, kPng, kTga, kAllFiles), kBitmapsOnly, true);
    if (!job.Begin()) return false;
    job.LoadSource(path, true);
    return job.End(SaveHeld(job.converter(), job.format(), job.Target(), 100), false);
}

bool ExportPictureImage(ExportOptions& options, IPictureDisp* picture) {
    ImageJob job(options, L"gif", Filter(kBmp, kGif, kJpeg, kPng, kTga, kTiff, kAllFiles), kWithMetafiles, false);
    if (!job.Begin()) return false;
    TryStep([&] { SavePictureFile(picture, job.TempBitmap()); });
    job.LoadSource(job.TempBitmap(), true);
    return job.End(SaveHeld(job.converter(), job.format(), job.Target(), 100), true);
}

bool ExportTableImage(ExportOptions& options, IDispatch* table) {
    ImageJob job(options, L"gif", Filter(kBmp, kGif, kJpeg, kTga, kTiff, kPng, kAllFiles), kWithMetafiles, false);
    if (!job.Begin()) return false;
    GridTable grid(table);
    // Bring the first scrollable cell into place before the grid draws itself.
    TryStep([&] {
        grid.SetRow(grid.FixedRows());
        grid.SetCol(grid.FixedCols());
    });
    TryStep([&] {
        (void)grid.CellTop();
        (void)grid.CellLeft();
    });
    TryStep([&] {
        grid.SetRow(0);
        grid.SetCol(0);
    });
    Format format = job.format();
    bool converted = false;
    bool usedTemp = false;
    if (format == Format::Bmp) {
        converted = true;
        TryStep([&] { SavePictureFile(grid.Picture().Get(), job.Target()); });
    } else if (IsBitmapFormat(format)) {
        usedTemp = true;
        TryStep([&] { SavePictureFile(grid.Picture().Get(), job.TempBitmap()); });
        job.LoadSource(job.TempBitmap(), false);
        converted = SaveHeld(job.converter(), format, job.Target(), 90);
    }
    return job.End(converted, usedTemp);
}

}  // namespace tarn
