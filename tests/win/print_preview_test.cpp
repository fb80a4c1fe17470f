// The print preview window driven as a user drives it, through Engine.ExportTable(grid,
// "PREVIEW"): paging and zooming with the enabled states they leave, the zoom menu, the
// "Scale To Fit One Page" box, Page Setup to landscape, Close; a one-page table whose host
// lets go of it, closed while Page Setup is open; a grid that gives no picture of itself,
// which stays on its pages; and the grid's hidden rows and Redraw as they were after every
// composition.
#include "win_support.h"

namespace tarn::test {
namespace {

constexpr wchar_t kCaption[] = L"Harbour Print Preview";
constexpr int kToolbar = 100, kStatusBar = 101, kPages = 102;

// A stock list of `rows` rows; row 5 is hidden.
ComPtr<IDispatch> StockGrid(int rows) {
    std::wstring text = L"rows = " + std::to_wstring(rows + 1) + L"\ncols = 3\nrowheight = 300\n---\n| Item | Depot\n";
    for (int row = 1; row <= rows; ++row)
        text += std::to_wstring(row) + L" | Crate " + std::to_wstring(row) + L" | Quay\n";
    text += L"@row 5 hidden\n";
    return HostGrid(text);
}

ui::WindowQuery AnyPreview() {
    ui::WindowQuery query = Captioned(kCaption);
    query.visibleOnly = false;
    return query;
}

ui::WindowQuery Dialogs() {
    ui::WindowQuery query;
    query.className = L"#32770";
    return query;
}

class PrintPreviewTest : public ComTest {
protected:
    // Shows the grid's preview; the window lives on this thread.
    void Preview(IDispatch* grid) {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        ASSERT_EQ(engine->put_ProgramName(unique_bstr(L"Harbour").get()), S_OK);
        ASSERT_EQ(engine->put_SkipFieldSelection(VARIANT_TRUE), S_OK);
        IDispatch* argument = grid;
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(engine->ExportTable(&argument, unique_bstr(L"PREVIEW").get(), &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
    }

    void TearDown() override {
        for (const ui::Window& left : ui::FindWindows(AnyPreview())) DestroyWindow(left.hwnd());
        ComTest::TearDown();
    }
};

struct PreviewParts {
    ui::Window form, toolbar, status, pages;
    explicit PreviewParts(const ui::Window& window)
        : form(window),
          toolbar(window.Control(kToolbar)),
          status(window.Control(kStatusBar)),
          pages(window.Control(kPages)) {}
    std::wstring Panels() const {
        const auto panels = ui::StatusPanels(status);
        return panels.size() == 2 ? panels[0] + L", " + panels[1] : L"?";
    }
    bool Enabled(const wchar_t* button) const { return ui::IsToolbarButtonEnabled(toolbar, button); }
    void Press(const wchar_t* button) const { ui::PressToolbarButton(toolbar, button); }
    // Presses `button` until it is disabled; how many presses it took.
    int PressWhileEnabled(const wchar_t* button) const {
        int presses = 0;
        while (Enabled(button) && presses < 100) Press(button), ++presses;
        return presses;
    }
    std::vector<std::wstring> ZoomMenu(const wchar_t* button, const wchar_t* item) const {
        ui::PressToolbarButton(toolbar, button, ui::ToolbarPart::Arrow, false);
        return ui::ChooseMenuItem(item);
    }
    bool Landscape() const {
        SCROLLINFO across{}, down{};
        across.cbSize = down.cbSize = sizeof across;
        across.fMask = down.fMask = SIF_RANGE;
        GetScrollInfo(pages.hwnd(), SB_HORZ, &across);
        GetScrollInfo(pages.hwnd(), SB_VERT, &down);
        return across.nMax > down.nMax;
    }
};

std::vector<bool> HiddenRows(IDispatch* grid) {
    LateBound table(grid);
    std::vector<bool> hidden;
    const long rows = VariantToLong(table.GetValue(L"Rows"));
    for (long row = 0; row < rows; ++row) hidden.push_back(VariantToBool(table.Get(L"RowHidden", {LongArg(row)})));
    return hidden;
}

TEST_F(PrintPreviewTest, AThreePageTablePagesZoomsScalesToOnePageAndTurnsToLandscape) {
    const ComPtr<IDispatch> grid = StockGrid(100);
    const std::vector<bool> hiddenBefore = HiddenRows(grid.Get());
    Preview(grid.Get());
    DriveModeless([&] {
        const PreviewParts preview(ui::WaitForWindow(Captioned(kCaption)));
        const ui::Window fit = preview.form.ControlByText(L"Scale To Fit One Page");
        EXPECT_TRUE(fit.IsVisible());
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 100%");
        std::vector<std::wstring> texts;
        for (const auto& button : ui::ToolbarButtons(preview.toolbar)) texts.push_back(button.text);
        EXPECT_EQ(texts, (std::vector<std::wstring>{L"Previous", L"Next", L"Print", L"Page Setup", L"Zoom In",
                                                    L"Zoom Out", L"Close"}));

        std::vector<std::wstring> tips;
        for (const std::wstring& text : texts) tips.push_back(ui::ToolbarToolTip(preview.toolbar, text));
        EXPECT_EQ(tips, (std::vector<std::wstring>{L"Previous Page", L"Next Page", L"Print Report", L"", L"Zoom In",
                                                   L"Zoom Out", L"Close Window"}));

        EXPECT_FALSE(preview.Enabled(L"Previous"));
        for (const auto& [key, panels] : {std::pair{VK_NEXT, L"Page 2, Zoom 100%"},
                                          {VK_END, L"Page 3, Zoom 100%"},
                                          {VK_PRIOR, L"Page 2, Zoom 100%"},
                                          {VK_HOME, L"Page 1, Zoom 100%"}}) {
            SendMessageW(preview.pages.hwnd(), WM_KEYDOWN, key, 0);
            EXPECT_EQ(preview.Panels(), panels);
        }
        EXPECT_EQ(preview.PressWhileEnabled(L"Next"), 2);
        EXPECT_EQ(preview.Panels(), L"Page 3, Zoom 100%");
        EXPECT_TRUE(preview.Enabled(L"Previous"));
        EXPECT_EQ(preview.PressWhileEnabled(L"Previous"), 2);
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 100%");

        EXPECT_EQ(preview.PressWhileEnabled(L"Zoom Out"), 10);
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 50%");
        EXPECT_EQ(preview.PressWhileEnabled(L"Zoom In"), 51);
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 305%");
        EXPECT_TRUE(preview.Enabled(L"Zoom Out"));

        EXPECT_EQ(preview.ZoomMenu(L"Zoom Out", L"75%"),
                  (std::vector<std::wstring>{L"Thumbnail", L"Two Page", L"50%", L"75%", L"100%", L"150%", L"200%"}));
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 75%");
        preview.ZoomMenu(L"Zoom In", L"Two Page");
        const std::wstring twoPage = preview.Panels();
        preview.ZoomMenu(L"Zoom In", L"Thumbnail");
        const std::wstring thumbnails = preview.Panels();
        EXPECT_NE(twoPage, L"Page 1, Zoom 75%");
        EXPECT_NE(thumbnails, twoPage) << "thumbnails are smaller than two pages";

        // The click is posted, as a user's is: the document is recomposed after it.
        fit.SetChecked(true);
        EXPECT_TRUE(ui::WaitUntil([&] { return !preview.Enabled(L"Next"); }, ui::kDefaultWait)) << "one page";
        EXPECT_EQ(preview.Panels(), L"Page 1, Zoom 100%");
        EXPECT_EQ(HiddenRows(grid.Get()), hiddenBefore);
        fit.SetChecked(false);
        ASSERT_TRUE(ui::WaitUntil([&] { return preview.Enabled(L"Next"); }, ui::kDefaultWait));
        EXPECT_EQ(preview.PressWhileEnabled(L"Next"), 2) << "three pages again";

        preview.Press(L"Zoom In");
        EXPECT_FALSE(preview.Landscape());
        ui::PressToolbarButton(preview.toolbar, L"Page Setup", ui::ToolbarPart::Button, false);
        const ui::Window setup = ui::WaitForWindow(Dialogs());
        setup.ControlByText(L"Landscape").Press();
        setup.PressButton(L"OK");
        ASSERT_TRUE(setup.WaitUntilGone());
        EXPECT_TRUE(ui::WaitUntil([&] { return preview.Panels() == L"Page 1, Zoom 100%"; }, ui::kDefaultWait))
            << ui::Utf8(preview.Panels());
        EXPECT_TRUE(preview.Landscape());

        preview.Press(L"Close");
        EXPECT_TRUE(preview.form.WaitUntilGone());
    });
    EXPECT_EQ(HiddenRows(grid.Get()), hiddenBefore);
    EXPECT_TRUE(VariantToBool(LateBound(grid.Get()).GetValue(L"Redraw")));
}

TEST_F(PrintPreviewTest, AOnePageTableHasNoScaleToFitBoxAndOutlivesItsHostAndAClosingDialog) {
    ComPtr<IDispatch> grid = StockGrid(10);
    Preview(grid.Get());
    grid.Reset();  // the host lets go while the window is open
    DriveModeless([&] {
        const PreviewParts preview(ui::WaitForWindow(Captioned(kCaption)));
        EXPECT_FALSE(preview.form.ControlByText(L"Scale To Fit One Page").IsVisible());
        EXPECT_FALSE(preview.Enabled(L"Previous"));
        EXPECT_FALSE(preview.Enabled(L"Next"));
        // Told to close while Page Setup is open (the close box is disabled then, but a
        // program can ask): the window goes after the recomposition.
        ui::PressToolbarButton(preview.toolbar, L"Page Setup", ui::ToolbarPart::Button, false);
        const ui::Window setup = ui::WaitForWindow(Dialogs());
        PostMessageW(preview.form.hwnd(), WM_CLOSE, 0, 0);
        setup.ControlByText(L"Landscape").Press();
        setup.PressButton(L"OK");
        EXPECT_TRUE(preview.form.WaitUntilGone());
    });
}

TEST_F(PrintPreviewTest, AGridThatGivesNoPictureOfItselfStaysOnItsPages) {
    const ComPtr<IDispatch> grid = StockGrid(100);
    GridProxy withoutPicture(grid.Get(), {L"Picture"});
    Preview(&withoutPicture);
    DriveModeless([&] {
        const PreviewParts preview(ui::WaitForWindow(Captioned(kCaption)));
        const ui::Window fit = preview.form.ControlByText(L"Scale To Fit One Page");
        fit.SetChecked(true);
        const ui::MessageBoxView tooLarge = ui::WaitForMessageBox();
        EXPECT_EQ(tooLarge.caption, kCaption);
        EXPECT_EQ(tooLarge.text, L"Document is too large to fit on a single page.");
        EXPECT_EQ(tooLarge.icon, ui::Icon::Exclamation);
        tooLarge.window.PressButton(L"OK");
        EXPECT_TRUE(ui::WaitUntil([&] { return !fit.IsChecked(); }, ui::kDefaultWait));
        EXPECT_EQ(preview.PressWhileEnabled(L"Next"), 2) << "still three pages";
        preview.Press(L"Close");
        EXPECT_TRUE(preview.form.WaitUntilGone());
    });
}

// A table wider than high, scaled to one page, turns the page to landscape by itself.
TEST_F(PrintPreviewTest, AWideTableScaledToOnePageTurnsToLandscape) {
    std::wstring text = L"rows = 4\ncols = 12\n---\n";
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 12; ++col) text += (col ? L" | r" : L"r") + std::to_wstring(row) + L"c" + std::to_wstring(col);
        text += L"\n";
    }
    for (int col = 0; col < 12; ++col) text += L"@col " + std::to_wstring(col) + L" width=2400\n";
    const ComPtr<IDispatch> grid = HostGrid(text);
    Preview(grid.Get());
    DriveModeless([&] {
        const PreviewParts preview(ui::WaitForWindow(Captioned(kCaption)));
        const ui::Window fit = preview.form.ControlByText(L"Scale To Fit One Page");
        ASSERT_TRUE(fit.IsVisible()) << "the columns continue on further pages";
        EXPECT_FALSE(preview.Landscape());
        fit.SetChecked(true);
        EXPECT_TRUE(ui::WaitUntil([&] { return !preview.Enabled(L"Next"); }, ui::kDefaultWait)) << "one page";
        EXPECT_TRUE(preview.Landscape());
        preview.Press(L"Close");
        EXPECT_TRUE(preview.form.WaitUntilGone());
    });
}

TEST_F(PrintPreviewTest, TextsImageFilesAndChartsOpenAPreviewOfTheirOwnThatEscapeCloses) {
    auto engine = Create<_Engine>(__uuidof(::Engine));
    ASSERT_EQ(engine->put_ProgramName(unique_bstr(L"Harbour").get()), S_OK);
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    const std::vector<std::function<HRESULT(BSTR*, VARIANT_BOOL*)>> previews{
        [&](BSTR* m, VARIANT_BOOL* r) { return engine->ExportText(unique_bstr(L"Ledger line").get(), m, r); },
        [&](BSTR* m, VARIANT_BOOL* r) { return engine->ExportRTF(unique_bstr(L"{\\rtf1 Ledger}").get(), m, r); },
        [&](BSTR* m, VARIANT_BOOL* r) {
            unique_bstr path(TestPicture(L"sample-40x30.png"));
            BSTR argument = path.get();
            return engine->ExportImageFile(&argument, m, r);
        },
        [&](BSTR* m, VARIANT_BOOL* r) {
            IDispatch* argument = chart.object();
            return engine->ExportChart(&argument, m, r);
        },
    };
    for (const auto& preview : previews) {
        unique_bstr method(L"PREVIEW");
        BSTR argument = method.get();
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(preview(&argument, &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        DriveModeless([&] {
            const PreviewParts shown(ui::WaitForWindow(Captioned(kCaption)));
            EXPECT_EQ(shown.Panels(), L"Page 1, Zoom 100%");
            EXPECT_FALSE(shown.Enabled(L"Next"));
            EXPECT_FALSE(shown.form.ControlByText(L"Scale To Fit One Page").IsVisible());
            SendMessageW(shown.pages.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_TRUE(shown.form.WaitUntilGone());
        });
    }
}

}  // namespace
}  // namespace tarn::test
