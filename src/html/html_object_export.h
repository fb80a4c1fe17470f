// Charts, pictures, metafiles, image files and texts as HTML pages: one GIF in the page's
// side folder shown centred, or one preformatted block of text.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>

#include <string>

namespace tarn {

// Each asks for the page's file unless skipped and answers False only when the user
// cancelled. Every later step is attempted and one that fails is passed over without a
// word: the page may then show a missing image, or not exist. Unless Quiet, the user is
// told "Exported to" and the page's name.

// The chart drawn on white at ImageWidth x ImageHeight; sizes not set become the chart's
// own and stay set.
bool ExportHtmlChart(ExportOptions& options, IDispatch* chart);
// The picture, resampled when both image sizes are set.
bool ExportHtmlPicture(ExportOptions& options, IPictureDisp* picture);
// The metafile drawn at ImageWidth x ImageHeight taken as twips, when both are set.
bool ExportHtmlMetafile(ExportOptions& options, const std::wstring& path);
// The image file, resampled when both image sizes are set.
bool ExportHtmlImageFile(ExportOptions& options, const std::wstring& path);
// The document's plain text, and a text as it is; neither is escaped.
bool ExportHtmlRtf(ExportOptions& options, const std::wstring& rtf);
bool ExportHtmlText(ExportOptions& options, const std::wstring& text);

}  // namespace tarn
