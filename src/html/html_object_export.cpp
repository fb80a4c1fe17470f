// Pages that show one object. Like the rest of the component's "go on regardless" exports,
// every step after the save dialog runs under TryStep.
#include "html/html_object_export.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/general_date.h"
#include "common/screen_metrics.h"
#include "html/html_output.h"
#include "imaging/image_converter.h"
#include "imaging/image_sources.h"
#include "imaging/picture_file.h"
#include "mail/document_export.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <windows.h>

#include <algorithm>

namespace tarn {

namespace {

// The page around one object: dialog, side folder, `content(target)`, the page's pieces,
// the closing message, and only then the file closed.
template <class Content>
bool WriteObjectPage(ExportOptions& o, Content&& content) {
    HtmlTarget target;
    if (!AskHtmlTarget(o, target)) return false;
    TryStep([&] { PrepareSideFolder(o, target); });
    std::wstring body;
    TryStep([&] { body = content(target); });

    std::unique_ptr<AnsiTextStream> out;
    TryStep([&] { out = CreateExportFile(o.targetFilename); });
    PageParts parts{PageInfoOf(o), target.Source(L"Header.jpg"), target.Source(L"Spacer.jpg"), std::move(body), {}};
    TryStep([&] { parts.dateTime = GeneralDateTimeNow(); });
    for (const std::wstring& piece : PagePieces(parts))
        TryStep([&] {
            if (out) out->WriteLine(piece);
        });
    ExportMessages(o.quiet).ShowCompleted(L"Exported to " + FileNameOf(o.targetFilename, false));
    TryStep([&] {
        if (out) out->Close();
    });
    return true;
}

// A page whose content is one GIF in the side folder, named after the page; `make` writes
// it through the converter.
template <class Make>
bool WriteImagePage(ExportOptions& o, Make&& make) {
    return WriteObjectPage(o, [&](const HtmlTarget& target) {
        const std::wstring name = FileNameOf(o.targetFilename, true) + L".gif";
        ImageConverter converter;
        make(converter, target.resourceFolder + L"\\" + name);
        converter.Release();
        return ImageParagraph(target.Source(name));
    });
}

// The held picture as the page's GIF, through an intermediate bitmap that is removed.
void SaveGifFromBitmap(ImageConverter& converter, const std::wstring& bitmap, const ExportOptions& o,
                       const std::wstring& gif) {
    LoadSourceImage(converter, bitmap, o, true);
    (void)converter.SaveGif(gif);
    DeleteFileW(bitmap.c_str());
}

}  // namespace

bool ExportHtmlChart(ExportOptions& o, IDispatch* chart) {
    return WriteImagePage(o, [&](ImageConverter& converter, const std::wstring& gif) {
        ChartCopy copy(chart, o);
        const std::wstring bitmap = gif + L".bmp";
        TryStep([&] { copy.CopyBitmap(bitmap); });
        SaveGifFromBitmap(converter, bitmap, o, gif);
        copy.RestoreDeskColor();
    });
}

bool ExportHtmlPicture(ExportOptions& o, IPictureDisp* picture) {
    return WriteImagePage(o, [&](ImageConverter& converter, const std::wstring& gif) {
        const std::wstring bitmap = gif + L".bmp";
        TryStep([&] { SavePictureFile(picture, bitmap); });
        SaveGifFromBitmap(converter, bitmap, o, gif);
    });
}

bool ExportHtmlMetafile(ExportOptions& o, const std::wstring& path) {
    return WriteImagePage(o, [&](ImageConverter& converter, const std::wstring& gif) {
        // The sizes are taken as twips here, where the image export takes them as pixels.
        if (o.imageWidth >= 1 && o.imageHeight >= 1)
            (void)converter.SetRenderSize(std::max(1L, PixelsOfTwips(o.imageWidth, TwipsPerPixelX())),
                                          std::max(1L, PixelsOfTwips(o.imageHeight, TwipsPerPixelY())));
        LoadSourceImage(converter, path, o, false);
        (void)converter.SaveGif(gif);
    });
}

bool ExportHtmlImageFile(ExportOptions& o, const std::wstring& path) {
    return WriteImagePage(o, [&](ImageConverter& converter, const std::wstring& gif) {
        LoadSourceImage(converter, path, o, true);
        (void)converter.SaveGif(gif);
    });
}

bool ExportHtmlRtf(ExportOptions& o, const std::wstring& rtf) {
    return WriteObjectPage(o, [&](const HtmlTarget&) {
        std::wstring text;
        TryStep([&] { text = RtfPlainText(rtf); });
        return PreformattedBlock(text);
    });
}

bool ExportHtmlText(ExportOptions& o, const std::wstring& text) {
    return WriteObjectPage(o, [&](const HtmlTarget&) { return PreformattedBlock(text); });
}

}  // namespace tarn
