// What a printed document is made of, shared by PDF files, the preview window and printers:
// the content a host handed over, the page setup and decoration every page carries, and the
// composition of that content onto pages. Composition reads the host's objects, so it runs
// on the host's thread; the pages it yields are plain data.
#pragma once

#include "common/export_options.h"
#include "com/handles.h"
#include "print/page_composer.h"

#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

class GridTable;

inline constexpr wchar_t kImageHeaderMargin[] = L"1 inch";
inline constexpr wchar_t kChartHeaderMargin[] = L".5 inches";

enum class PrintContentKind { Table, Rtf, Text, ImageFile, Picture };

// One document's content, kept so the document can be composed again (the preview does
// after Page Setup).
struct PrintContent {
    PrintContentKind kind = PrintContentKind::Text;
    ComPtr<IDispatch> table{};
    std::wstring text{};  // the RTF or plain text, or the image file's path
    ComPtr<IPictureDisp> picture{};
    std::wstring headerMargin{};  // image files only
    // The grid's RowHidden values when the table was handed over, put on the grid for each
    // composition and taken off again; empty: the grid is composed as it is.
    std::vector<bool> recordedRows{};
    // The whole grid as one picture scaled onto one page, instead of its cells over pages.
    std::shared_ptr<const pages::PictureData> tablePicture{};
};

// Header, footer and logo texts of `o`; the date and time are taken now.
pages::PageDecoration DecorationOf(const ExportOptions& o);

// Orientation from `o`, margins from the header margin text (MeasurementError when it is not one).
pages::DocumentSetup SetupOf(const ExportOptions& o, std::wstring_view headerMargin);

// A picture file's pixels, with a JPEG file's own bytes and a metafile's bytes kept beside
// them. Throws ComError when it cannot be read.
std::shared_ptr<const pages::PictureData> LoadPicture(const std::wstring& path);
std::shared_ptr<const pages::PictureData> LoadPicture(IDispatch* picture);

// The grid's RowHidden values, row by row; empty when they cannot be read.
std::vector<bool> RecordRowStates(GridTable& grid) noexcept;

// The grid drawn as one picture (its WallPaper left out), or null when the grid gives none.
std::shared_ptr<const pages::PictureData> WholeGridPicture(GridTable& grid);

// Composes `content` on `composer`. The grid's Redraw and row states are as before afterwards.
void ComposeContent(pages::PageComposer& composer, const PrintContent& content, const ExportOptions& o);

// Pages kept in memory, for the preview and printers.
class PageList final : public pages::PageSink {
public:
    std::vector<pages::Page> pages;
    void AddPage(pages::Page page) override { pages.push_back(std::move(page)); }
};

// The whole document composed into memory. Throws what composition throws.
std::vector<pages::Page> ComposePages(const ExportOptions& o, const PrintContent& content);

}  // namespace tarn
