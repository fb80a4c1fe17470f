// Composition shared by every printed document: the logo, the decoration, pictures loaded
// from files and picture objects, the grid with its Redraw and hidden rows kept as they were.
#include "print/print_document.h"

#include "com/errors.h"
#include "common/scratch_file.h"
#include "imaging/image_converter.h"
#include "imaging/picture_file.h"
#include "print/gdi_font_provider.h"
#include "print/grid_table_source.h"
#include "print/table_layout.h"
#include "tables/grid_table.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarn {

namespace {

constexpr int kMetafileSide = 3000;

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

// Puts the recorded row states on the grid and back afterwards; failing steps are passed over.
class AppliedRowStates {
public:
    AppliedRowStates(GridTable& grid, const std::vector<bool>& recorded) : grid_(grid) {
        for (std::size_t row = 0; row < recorded.size(); ++row) {
            bool present = false;
            if (!TryStep([&] { present = grid_.RowHidden(static_cast<long>(row)); })) continue;
            current_.emplace_back(static_cast<long>(row), present);
            if (present != recorded[row]) TryStep([&] { grid_.SetRowHidden(static_cast<long>(row), recorded[row]); });
        }
    }
    AppliedRowStates(const AppliedRowStates&) = delete;
    AppliedRowStates& operator=(const AppliedRowStates&) = delete;
    ~AppliedRowStates() {
        for (const auto& [row, hidden] : current_)
            TryStep([&] {
                if (grid_.RowHidden(row) != hidden) grid_.SetRowHidden(row, hidden);
            });
    }

private:
    GridTable& grid_;
    std::vector<std::pair<long, bool>> current_;
};

void ComposeGridTable(pages::PageComposer& composer, const PrintContent& content, const ExportOptions& o) {
    GridTable grid(content.table.Get());
    bool redraw = true;
    TryStep([&] {
        redraw = grid.Redraw();
        grid.SetRedraw(false);
    });
    const ScopeExit restoreRedraw([&] { TryStep([&] { grid.SetRedraw(redraw); }); });
    const AppliedRowStates rows(grid, content.recordedRows);
    if (content.tablePicture) {
        composer.DrawPictureInBody(content.tablePicture);
        return;
    }
    GridTableSource source(grid);
    pages::ComposeTable(composer, source, o.paragraph, o.columnList);
}

}  // namespace

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

pages::DocumentSetup SetupOf(const ExportOptions& o, std::wstring_view headerMargin) {
    pages::DocumentSetup setup;
    setup.orientation = o.orientation == 1 ? pages::Orientation::Landscape : pages::Orientation::Portrait;
    pages::ApplyHeaderMargin(setup, headerMargin);
    return setup;
}

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

std::shared_ptr<const pages::PictureData> LoadPicture(IDispatch* picture) {
    ScratchFile file(L"PrintPicture" + PictureExtensionOf(picture));
    SavePictureFile(picture, file.path());
    return LoadPicture(file.path());
}

std::vector<bool> RecordRowStates(GridTable& grid) noexcept {
    std::vector<bool> rows;
    TryStep([&] {
        const long count = grid.Rows();
        for (long row = 0; row < count; ++row) rows.push_back(grid.RowHidden(row));
    });
    return rows;
}

std::shared_ptr<const pages::PictureData> WholeGridPicture(GridTable& grid) {
    ComPtr<IDispatch> wallPaper;
    TryStep([&] { wallPaper = grid.WallPaper(); });
    ComPtr<IDispatch> picture;
    {
        const ScopeExit putBack([&] { TryStep([&] { grid.SetWallPaper(wallPaper.Get()); }); });
        TryStep([&] { grid.SetWallPaper(EmptyPicture().Get()); });
        TryStep([&] {
            grid.SetPictureType(0);
            picture = grid.Picture();
        });
    }
    if (!picture)
        TryStep([&] {
            grid.SetPictureType(1);
            picture = grid.Picture();
        });
    if (!picture) return nullptr;
    return LoadPicture(picture.Get());
}

void ComposeContent(pages::PageComposer& composer, const PrintContent& content, const ExportOptions& o) {
    switch (content.kind) {
        case PrintContentKind::Table: ComposeGridTable(composer, content, o); break;
        case PrintContentKind::Rtf: composer.FlowRtf(content.text); break;
        case PrintContentKind::Text: composer.FlowText(content.text); break;
        case PrintContentKind::ImageFile: composer.DrawPictureInBody(LoadPicture(content.text)); break;
        case PrintContentKind::Picture: composer.DrawPictureInBody(LoadPicture(content.picture.Get())); break;
    }
}

std::vector<pages::Page> ComposePages(const ExportOptions& o, const PrintContent& content) {
    pages::GdiFontProvider fonts;
    pages::TrueTypeFontMetrics metrics(fonts);
    PageList list;
    pages::PageComposer composer(SetupOf(o, content.headerMargin), DecorationOf(o), metrics, list);
    ComposeContent(composer, content, o);
    composer.Finish();
    return std::move(list.pages);
}

}  // namespace tarn
