// Printed and previewed documents of what a host hands over: its grid, an RTF or plain text,
// an image or metafile file, a picture object, a chart. Each keeps its content for the
// document, then shows the preview window or prints (after the print dialog unless Quiet).
// Every operation answers true once the document is handed over: printing reports nothing.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace tarn {

bool PrintTable(const ExportOptions& options, IDispatch* table, bool preview);
bool PrintRtf(const ExportOptions& options, const std::wstring& rtf, bool preview);
bool PrintText(const ExportOptions& options, const std::wstring& text, bool preview);
// The picture fitted into the page below a header margin of one inch; metafiles alike.
bool PrintImageFile(const ExportOptions& options, const std::wstring& path, bool preview);
bool PrintPicture(const ExportOptions& options, IPictureDisp* picture, bool preview);
// The chart's metafile at 640 x 480, under the host's title, with a half-inch header margin.
bool PrintChart(const ExportOptions& options, IDispatch* chart, bool preview);

}  // namespace tarn
