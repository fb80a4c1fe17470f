// PDF files: the save dialog, the page setup every document shares, the content composed
// onto it, and the file written under a temporary name that replaces the target only once
// complete, so a failed export leaves no half-written PDF behind.
#include "print/pdf_export.h"

#include "com/errors.h"
#include "common/file_names.h"
#include "common/save_dialog.h"
#include "common/scratch_file.h"
#include "imaging/image_converter.h"
#include "imaging/image_sources.h"
#include "imaging/picture_file.h"
#include "imaging/replacing_file.h"
#include "print/gdi_font_provider.h"
#include "print/grid_table_source.h"
#include "print/page_composer.h"
#include "print/pdf_writer.h"
#include "print/table_layout.h"
#include "tables/grid_table.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace tarn {

namespace {

constexpr wchar_t kPdfFilter[] = L"Adobe PDF Files (*.pdf)|*.pdf|All (*.*)|*.*";
constexpr wchar_t kImageHeaderMargin[] = L"1 inch";
constexpr wchar_t kChartHeaderMargin[] = L".5 inches";
constexpr int kMetafileSide = 3000;

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

// The maker's mark drawn at the foot of every page: a navy ring with a tail, on transparent.
std::shared_ptr<const pages::PictureData> Logo() {
    static const std::shared_ptr<const pages::PictureData> logo = [] {
        constexpr int kWidth = 44, kHeight = 40;
        auto data = std::make_shared<pages::PictureData>();
        data->width = kWidth;
        data->height = kHeight;
        data->hasAlpha = true;
        data->bgra.assign(kWidth * kHeight * 4, 0);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double dx = x + 0.5 - 20, dy = y + 0.5 - 19;
                const double r = std::sqrt(dx * dx + dy * dy);
                const bool ring = r >= 11 && r <= 17;
                const bool tail = x >= 24 && x <= 41 && y >= 24 && std::abs(y - x) <= 2;
                if (!ring && !tail) continue;
                std::uint8_t* p = &data->bgra[static_cast<std::size_t>(y * kWidth + x) * 4];
                p[0] = 0x44, p[1] = 0x2A, p[2] = 0x1F, p[3] = 0xFF;
            }
        return data;
    }();
    return logo;
}

// The header and footer texts; date and time are taken once, here.
pages::PageDecoration DecorationOf(const ExportOptions& o) {
    pages::PageDecoration decoration;
    decoration.title = o.title;
    decoration.subTitle = o.subTitle;
    decoration.programName = o.programName;
    decoration.programVersion = o.programVersion;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t date[128] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
    decoration.date = date;
    decoration.time = pages::MediumTime(now.wHour, now.wMinute);
    decoration.logo = Logo();
    return decoration;
}

// Composes and writes the document. Any failure, from the fonts to the last byte, shows
// "Cannot generate" with the path and the reason, and answers false.
bool WritePdf(const ExportOptions& o, std::wstring_view headerMargin, const Content& content) {
    std::wstring reason;
    try {
        pages::DocumentSetup setup;
        setup.orientation = o.orientation == 1 ? pages::Orientation::Landscape : pages::Orientation::Portrait;
        pages::ApplyHeaderMargin(setup, headerMargin);
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

// A picture file's pixels, with a JPEG file's own bytes for the writer to pass on and a
// metafile's bytes kept beside its rendering. Throws ComError when it cannot be read.
std::shared_ptr<const pages::PictureData> LoadPicture(const std::wstring& path) {
    ImageConverter converter;
    if (!converter.Load(path)) throw ComError(E_FAIL, L"The picture " + path + L" cannot be read.");
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool metafile = bytes.size() > 44 && std::memcmp(bytes.data() + 40, " EMF", 4) == 0;
    // A metafile is drawn again at three times its screen size (up to kMetafileSide pixels),
    // so its lines stay sharp when the page is printed or zoomed.
    if (metafile) {
        const int side = std::max(converter.image().width(), converter.image().height());
        const double scale = std::min(3.0, static_cast<double>(kMetafileSide) / std::max(side, 1));
        if (scale > 1 && converter.SetRenderSize(static_cast<int>(converter.image().width() * scale), 0) &&
            !converter.Load(path))
            throw ComError(E_FAIL, L"The picture " + path + L" cannot be read.");
    }
    auto data = PictureDataOf(converter.image());
    if (bytes.size() > 2 && bytes[0] == '\xFF' && bytes[1] == '\xD8')
        data->jpeg = std::move(bytes);
    else if (metafile)
        data->metafile = std::move(bytes);
    return data;
}

Content PictureFile(const std::wstring& path) {
    return [path](pages::PageComposer& composer) { composer.DrawPictureInBody(LoadPicture(path)); };
}

}  // namespace

bool ExportPdfTable(ExportOptions& o, IDispatch* table) {
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) {
        GridTable grid(table);
        bool redraw = true;
        TryStep([&] {
            redraw = grid.Redraw();
            grid.SetRedraw(false);
        });
        try {
            GridTableSource source(grid);
            pages::ComposeTable(composer, source, o.paragraph, o.columnList);
        } catch (...) {
            TryStep([&] { grid.SetRedraw(redraw); });
            throw;
        }
        TryStep([&] { grid.SetRedraw(redraw); });
    });
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
    return ExportPdf(o, {}, [&](pages::PageComposer& composer) {
        ScratchFile file(L"PdfPicture" + PictureExtensionOf(picture));
        SavePictureFile(picture, file.path());
        composer.DrawPictureInBody(LoadPicture(file.path()));
    });
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
