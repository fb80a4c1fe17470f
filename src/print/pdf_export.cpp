// PDF files: the save dialog, the page setup every document shares, the content composed
// onto it, and the file written under a temporary name that replaces the target only once
// complete, so a failed export leaves no half-written PDF behind.
#include "print/pdf_export.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/save_dialog.h"
#include "common/scratch_file.h"
#include "imaging/image_sources.h"
#include "imaging/replacing_file.h"
#include "print/gdi_font_provider.h"
#include "print/page_composer.h"
#include "print/pdf_writer.h"
#include "print/print_document.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <windows.h>

#include <functional>

namespace tarn {

namespace {

constexpr wchar_t kPdfFilter[] = L"Adobe PDF Files (*.pdf)|*.pdf|All (*.*)|*.*";

using Content = std::function<void(pages::PageComposer&)>;

bool ChoosePdfTarget(ExportOptions& o) {
    std::wstring fileTitle;
    return ChooseExportFile(o, {L"pdf", kPdfFilter, o.initDir, {}}, L"pdf", fileTitle);
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* c = text; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

// Composes and writes the document. Any failure, from the fonts to the last byte, shows
// "Cannot generate" with the path and the reason, and answers false.
bool WritePdf(const ExportOptions& o, std::wstring_view headerMargin, const Content& content) {
    std::wstring reason;
    try {
        const pages::DocumentSetup setup = SetupOf(o, headerMargin);
        pages::GdiFontProvider fonts;
        pages::TrueTypeFontMetrics metrics(fonts);
        ReplacingFile file(o.targetFilename);
        {
            std::unique_ptr<ByteSink> sink = CreateFileSink(file.temporaryPath());
            pages::PdfDocumentInfo info;
            info.title = o.title;
            pages::PdfWriter writer(*sink, fonts, std::move(info));
            pages::PageComposer composer(setup, DecorationOf(o), metrics, writer);
            content(composer);
            composer.Finish();
            writer.Finish();
            sink->Close();
        }
        file.Commit();
        return true;
    } catch (const ComError& e) {
        reason = e.description();
    } catch (const std::exception& e) {
        reason = Widen(e.what());
    }
    ShowMessageBox(L"Cannot generate " + o.targetFilename + L"\r\n" + reason, kErrorCaption, MessageIcon::Exclamation);
    return false;
}

// The closing message follows the written file and the failed one alike.
bool Finish(const ExportOptions& o, bool written) {
    ExportMessages(o.quiet).ShowCompleted(L"Exported to " + FileNameOf(o.targetFilename, false));
    return written;
}

bool ExportPdf(ExportOptions& o, std::wstring_view headerMargin, const Content& content) {
    if (!ChoosePdfTarget(o)) return false;
    return Finish(o, WritePdf(o, headerMargin, content));
}

Content PictureFile(const std::wstring& path) {
    return [path](pages::PageComposer& composer) { composer.DrawPictureInBody(LoadPicture(path)); };
}

}  // namespace

bool ExportPdfTable(ExportOptions& o, IDispatch* table) {
    PrintContent content{PrintContentKind::Table, table};
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) { ComposeContent(composer, content, o); });
}

bool ExportPdfRtf(ExportOptions& o, const std::wstring& rtf) {
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) { composer.FlowRtf(rtf); });
}

bool ExportPdfText(ExportOptions& o, const std::wstring& text) {
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) { composer.FlowText(text); });
}

bool ExportPdfImageFile(ExportOptions& o, const std::wstring& path) {
    return ExportPdf(o, kImageHeaderMargin, PictureFile(path));
}

bool ExportPdfPicture(ExportOptions& o, IPictureDisp* picture) {
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) { composer.DrawPictureInBody(LoadPicture(picture)); });
}

bool ExportPdfChart(ExportOptions& o, IDispatch* chart) {
    if (!ChoosePdfTarget(o)) return false;
    o.title.clear();
    o.subTitle.clear();
    ScratchFile metafile(L"TempChart.emf");
    ExportOptions size = o;
    size.imageWidth = 640;
    size.imageHeight = 480;
    {
        ChartCopy copy(chart, size);
        TryStep([&] { copy.CopyMetafile(metafile.path()); });
        copy.RestoreDeskColor();
    }
    return Finish(o, WritePdf(o, kChartHeaderMargin, PictureFile(metafile.path())));
}

}  // namespace tarn
