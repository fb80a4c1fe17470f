// PDF files of what a host hands over: its grid, an RTF or plain text, an image or metafile
// file, a picture object, a chart. Each asks for the target unless skipped, composes the
// pages (header with Title and SubTitle, footer with the program, date and page number) and
// writes them with the fonts GDI draws with, and answers whether the file was written.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace tarn {

bool ExportPdfTable(ExportOptions& options, IDispatch* table);
bool ExportPdfRtf(ExportOptions& options, const std::wstring& rtf);
bool ExportPdfText(ExportOptions& options, const std::wstring& text);
// The picture fitted into the page below a header margin of one inch; metafiles alike.
bool ExportPdfImageFile(ExportOptions& options, const std::wstring& path);
bool ExportPdfPicture(ExportOptions& options, IPictureDisp* picture);
// The chart's metafile at 640 x 480, on a page with an empty title and a half-inch header margin.
bool ExportPdfChart(ExportOptions& options, IDispatch* chart);

}  // namespace tarn
