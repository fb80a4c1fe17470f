// The grid contract as the engine reads it: every member through tarn::GridTable (the
// engine's own late-bound facade), writes through tarn::LateBound.
#include "com/errors.h"
#include "host.h"
#include "tables/grid_table.h"

#include <cmath>

namespace testhost::test {
namespace {

using tarn::CellSetting;

class GridMembers : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        object_ = NewGrid();
        ASSERT_TRUE(object_);
        grid_.emplace(object_.Get());
        host_.emplace(object_.Get());
    }
    void TearDown() override {
        grid_.reset();
        host_.reset();
        object_.Reset();
        HostTest::TearDown();
    }
    void Load(const wchar_t* text) { host_->Call(L"LoadFromText", {Str(text)}); }
    void PutCell(CellSetting setting, long row, long col, const VARIANT& value) {
        host_->Put(L"Cell", value, {I4(static_cast<long>(setting)), I4(row), I4(col)});
    }
    // The description of the error a call raises, or "" when it succeeds.
    template <class Body>
    std::wstring ErrorOf(Body body) {
        try {
            body();
        } catch (const tarn::ComError& e) {
            return e.description();
        }
        return L"";
    }

    ComPtr<IDispatch> object_;
    std::optional<tarn::GridTable> grid_;
    std::optional<tarn::LateBound> host_;
};

TEST_F(GridMembers, NewGridIsSmallWithOneFixedRowAndColumn) {
    EXPECT_EQ(grid_->Rows(), 2);
    EXPECT_EQ(grid_->Cols(), 2);
    EXPECT_EQ(grid_->FixedRows(), 1);
    EXPECT_EQ(grid_->FixedCols(), 1);
    EXPECT_TRUE(grid_->Redraw());
    EXPECT_EQ(grid_->RowHeight(0), 240);
    EXPECT_EQ(grid_->ColWidth(1), 1200);
    EXPECT_EQ(grid_->Width(), 2400) << "Width follows the visible columns until it is set";
    EXPECT_EQ(grid_->ColAlignment(1), static_cast<long>(tarn::GridAlignment::General));
    EXPECT_EQ(grid_->BackColor(), static_cast<long>(0x80000005));
    EXPECT_EQ(grid_->FontName(), L"Tahoma");
    EXPECT_FALSE(grid_->WallPaper());
}

TEST_F(GridMembers, ResizingKeepsCellsAndKeepsTheCurrentCellInside) {
    Load(L"a|b|c\nd|e|f\ng|h|i");
    grid_->SetRow(2);
    grid_->SetCol(2);
    host_->Put(L"Rows", I4(2));
    host_->Put(L"Cols", I4(2));
    EXPECT_EQ(VariantToLong(host_->Get(L"Row")), 1);
    EXPECT_EQ(VariantToLong(host_->Get(L"Col")), 1);
    EXPECT_EQ(grid_->CellText(1, 1), L"e");
    host_->Put(L"Rows", I4(4));
    EXPECT_EQ(grid_->CellText(1, 0), L"d");
    EXPECT_EQ(grid_->CellText(3, 1), L"");

    host_->Put(L"FixedRows", I4(3));
    host_->Put(L"Rows", I4(2));
    EXPECT_EQ(grid_->FixedRows(), 2) << "fixed rows shrink with the grid";
    EXPECT_NE(ErrorOf([&] { host_->Put(L"FixedCols", I4(3)); }), L"");
    EXPECT_NE(ErrorOf([&] { host_->Put(L"Rows", I4(-1)); }), L"");
}

TEST_F(GridMembers, RowAndColumnPropertiesRoundTrip) {
    host_->Put(L"Rows", I4(5));
    host_->Put(L"Cols", I4(4));
    host_->Put(L"RowHeight", I4(555), {I4(3)});
    grid_->SetRowHidden(2, true);
    host_->Put(L"ColWidth", I4(0), {I4(2)});
    grid_->SetColHidden(3, true);
    host_->Put(L"ColAlignment", I4(7), {I4(1)});
    host_->Put(L"ColDataType", I4(11), {I4(1)});

    EXPECT_EQ(grid_->RowHeight(3), 555);
    EXPECT_TRUE(grid_->RowHidden(2));
    EXPECT_FALSE(grid_->RowHidden(3));
    EXPECT_EQ(grid_->ColWidth(2), 0);
    EXPECT_TRUE(grid_->ColHidden(3));
    EXPECT_EQ(grid_->ColAlignment(1), 7);
    EXPECT_EQ(grid_->ColDataType(1), tarn::kGridTypeBoolean);

    EXPECT_NE(ErrorOf([&] { host_->Put(L"ColAlignment", I4(13), {I4(1)}); }).find(L"0 to 12"), std::wstring::npos);
    EXPECT_NE(ErrorOf([&] { grid_->RowHeight(5); }).find(L"Row 5 is out of range"), std::wstring::npos);
    EXPECT_NE(ErrorOf([&] { grid_->ColWidth(-1); }).find(L"Column -1"), std::wstring::npos);
}

TEST_F(GridMembers, CellPositionCountsOnlyVisibleRowsAndColumnsBeforeIt) {
    Load(L"rows = 5\ncols = 4\n---\n@row 0 height=300\n@row 1 height=0\n@row 2 hidden\n@col 0 width=450\n"
         L"@col 1 hidden\n@col 2 width=-1");
    grid_->SetRow(0);
    grid_->SetCol(0);
    EXPECT_EQ(grid_->CellTop(), 0);
    EXPECT_EQ(grid_->CellLeft(), 0);
    grid_->SetRow(4);
    grid_->SetCol(3);
    EXPECT_EQ(grid_->CellTop(), 300 + 240) << "rows 1 (height 0) and 2 (hidden) take no space";
    EXPECT_EQ(grid_->CellLeft(), 450);
    grid_->SetRow(2);
    EXPECT_EQ(grid_->CellTop(), 300) << "a hidden row sits where the next one starts";
    EXPECT_NE(ErrorOf([&] { grid_->SetRow(5); }), L"");
}

TEST_F(GridMembers, EverySettingOfCellRoundTrips) {
    Load(L"---\nh|h\nr|x");
    ComPtr<IDispatch> picture = VariantToObject(host_->Call(L"MakePicture", {I4(4), I4(4), I4(0xFF)}));
    unique_variant date;
    V_VT(&date) = VT_DATE;
    V_DATE(&date) = 45000.5;

    PutCell(CellSetting::Text, 1, 1, Str(L"hello"));
    PutCell(CellSetting::Alignment, 1, 1, I4(4));
    PutCell(CellSetting::Picture, 1, 1, Obj(picture.Get()));
    PutCell(CellSetting::Checkbox, 1, 1, I4(1));
    PutCell(CellSetting::BackColor, 1, 1, I4(0x00FF00));
    PutCell(CellSetting::ForeColor, 1, 1, I4(0x0000FF));
    PutCell(CellSetting::FontName, 1, 1, Str(L"Courier New"));
    PutCell(CellSetting::FontSize, 1, 1, I4(12));
    PutCell(CellSetting::FontBold, 1, 1, Bool(true));
    PutCell(CellSetting::FontItalic, 1, 1, Bool(true));
    PutCell(CellSetting::FontUnderline, 1, 1, Bool(true));
    PutCell(CellSetting::Data, 1, 1, date);

    EXPECT_EQ(grid_->CellText(1, 1), L"hello");
    EXPECT_EQ(grid_->CellLong(CellSetting::Alignment, 1, 1), 4);
    EXPECT_EQ(grid_->CellPicture(1, 1).Get(), picture.Get());
    EXPECT_EQ(grid_->CellLong(CellSetting::Checkbox, 1, 1), 1);
    EXPECT_EQ(grid_->CellLong(CellSetting::BackColor, 1, 1), 0x00FF00);
    EXPECT_EQ(grid_->CellLong(CellSetting::ForeColor, 1, 1), 0x0000FF);
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::FontName, 1, 1)), L"Courier New");
    EXPECT_EQ(VariantToDouble(grid_->Cell(CellSetting::FontSize, 1, 1)), 12.0);
    EXPECT_TRUE(grid_->CellBool(CellSetting::FontBold, 1, 1));
    EXPECT_TRUE(grid_->CellBool(CellSetting::FontItalic, 1, 1));
    EXPECT_TRUE(grid_->CellBool(CellSetting::FontUnderline, 1, 1));
    unique_variant data = grid_->Cell(CellSetting::Data, 1, 1);
    EXPECT_EQ(V_VT(&data), VT_DATE);
    EXPECT_EQ(V_DATE(&data), 45000.5);

    // Taking the picture away again, and a neighbour left untouched.
    PutCell(CellSetting::Picture, 1, 1, Obj(nullptr));
    EXPECT_FALSE(grid_->CellPicture(1, 1));
    EXPECT_EQ(grid_->CellLong(CellSetting::BackColor, 1, 0), 0) << "0 means no colour of its own";
    EXPECT_FALSE(grid_->CellBool(CellSetting::FontBold, 1, 0));
    unique_variant none = grid_->Cell(CellSetting::Data, 1, 0);
    EXPECT_EQ(V_VT(&none), VT_EMPTY);
}

TEST_F(GridMembers, UnsetAlignmentAndFontComeFromTheColumnAndTheGrid) {
    Load(L"font = Courier New\nfontsize = 10\n---\nh|h\nr|x\n@col 1 align=rightbottom\n@cell 1,0 font=Tahoma size=8");
    EXPECT_EQ(grid_->CellLong(CellSetting::Alignment, 1, 1), 8);
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::FontName, 1, 1)), L"Courier New");
    EXPECT_EQ(VariantToDouble(grid_->Cell(CellSetting::FontSize, 1, 1)), 10.0);
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::FontName, 1, 0)), L"Tahoma");
    EXPECT_EQ(grid_->FontName(), L"Courier New");
}

TEST_F(GridMembers, DisplayTextShowsBooleansAndFormatsNumberColumns) {
    struct Case {
        const wchar_t* type;
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"boolean", L"-1", L"True"},        {L"boolean", L"no", L"False"},   {L"boolean", L"True", L"True"},
        {L"boolean", L"maybe", L"maybe"},    {L"number", L"1234567.5", L"1,234,567.50"},
        {L"number", L"-0.004", L"0.00"},    {L"number", L"-1234", L"-1,234.00"},
        {L"long", L"1234567", L"1,234,567"}, {L"long", L"12.6", L"13"},   {L"number", L"n/a", L"n/a"},
        {L"date", L"2024-03-01", L"2024-03-01"}, {L"string", L"1234", L"1234"},
    };
    for (const Case& c : cases) {
        std::wstring text = std::wstring(L"---\nh|h\nr|") + c.text + L"\n@col 1 type=" + c.type;
        Load(text.c_str());
        EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::DisplayText, 1, 1)), c.shown)
            << Narrow(c.type) << " column, text " << Narrow(c.text);
        EXPECT_EQ(grid_->CellText(1, 1), c.text) << "the text itself stays as written";
    }
    Load(L"fixedcols = 0\n---\n1234|h\nr|x\n@col 0 type=number");
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::DisplayText, 0, 0)), L"1234") << "header cells are shown as written";
    PutCell(CellSetting::DisplayText, 1, 0, Str(L"2500"));
    EXPECT_EQ(grid_->CellText(1, 0), L"2500") << "writing the shown text writes the text";
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::DisplayText, 1, 0)), L"2,500.00");
}

TEST_F(GridMembers, UnknownSettingsAndBadValuesAreRefused) {
    EXPECT_NE(ErrorOf([&] { grid_->Cell(static_cast<CellSetting>(4), 1, 1); }).find(L"setting 4"), std::wstring::npos);
    EXPECT_NE(ErrorOf([&] { PutCell(static_cast<CellSetting>(1), 1, 1, I4(0)); }).find(L"setting 1"), std::wstring::npos);
    EXPECT_NE(ErrorOf([&] { PutCell(CellSetting::Alignment, 1, 1, I4(20)); }), L"");
    ComPtr<IDispatch> notAPicture = NewGrid();
    EXPECT_NE(ErrorOf([&] { PutCell(CellSetting::Picture, 1, 1, Obj(notAPicture.Get())); }), L"");
    EXPECT_NE(ErrorOf([&] { grid_->CellText(2, 0); }), L"");
}

TEST_F(GridMembers, MergedRangeThroughTheEngineFacade) {
    Load(L"rows = 5\ncols = 5\n---\n@merge 1,1:2,3");
    for (auto [r, c] : {std::pair{1L, 1L}, {2L, 3L}, {1L, 2L}}) {
        tarn::CellRange range = grid_->MergedRange(r, c);
        EXPECT_EQ(range.row1, 1);
        EXPECT_EQ(range.col1, 1);
        EXPECT_EQ(range.row2, 2);
        EXPECT_EQ(range.col2, 3);
    }
    tarn::CellRange single = grid_->MergedRange(3, 1);
    EXPECT_EQ(single.row1, 3);
    EXPECT_EQ(single.col1, 1);
    EXPECT_EQ(single.row2, 3);
    EXPECT_EQ(single.col2, 1);

    host_->Call(L"MergeCells", {I4(3), I4(3), I4(4), I4(4)});
    EXPECT_EQ(grid_->MergedRange(4, 4).row1, 3);
    EXPECT_NE(ErrorOf([&] { host_->Call(L"MergeCells", {I4(2), I4(2), I4(3), I4(2)}); }).find(L"overlap"), std::wstring::npos);
    host_->Put(L"Rows", I4(4));
    EXPECT_EQ(grid_->MergedRange(3, 3).row2, 3) << "a block that no longer fits is dropped";
}

TEST_F(GridMembers, WallPaperTakesAnObjectByReferenceByValueOrNothing) {
    ComPtr<IDispatch> picture = VariantToObject(host_->Call(L"MakePicture", {I4(2), I4(2), I4(0)}));
    grid_->SetWallPaper(picture.Get());  // PUTREF
    EXPECT_EQ(grid_->WallPaper().Get(), picture.Get());
    ComPtr<IDispatch> other = NewGrid();
    host_->Put(L"WallPaper", Obj(other.Get()));  // PUT: any object is kept
    EXPECT_EQ(grid_->WallPaper().Get(), other.Get());
    grid_->SetWallPaper(nullptr);
    EXPECT_FALSE(grid_->WallPaper());
    EXPECT_NE(ErrorOf([&] { host_->Put(L"WallPaper", I4(5)); }), L"");
}

TEST_F(GridMembers, GridWideAppearanceAndOutlineRoundTrip) {
    const struct {
        const wchar_t* member;
        long value;
    } longs[] = {{L"BackColor", 0x112233},      {L"BackColorFixed", 0x445566}, {L"ForeColorFixed", 0x778899},
                 {L"GridColor", 0x0A0B0C},      {L"GridColorFixed", static_cast<long>(0x80000010)},
                 {L"GridLines", 0},             {L"OutlineBar", 2},           {L"OutlineCol", 1},
                 {L"PictureType", 1},           {L"Width", 9000}};
    for (const auto& p : longs) {
        host_->Put(p.member, I4(p.value));
        EXPECT_EQ(VariantToLong(host_->Get(p.member)), p.value) << Narrow(p.member);
    }
    EXPECT_EQ(grid_->BackColorFixed(), 0x445566);
    EXPECT_EQ(grid_->GridLines(), 0);
    EXPECT_EQ(grid_->Width(), 9000);

    Load(L"---\nh\na\nb\nc\n@row 1 level=1 subtotal\n@row 2:3 level=2");
    EXPECT_TRUE(grid_->IsSubtotal(1));
    EXPECT_FALSE(grid_->IsSubtotal(2));
    EXPECT_EQ(grid_->RowOutlineLevel(1), 1);
    EXPECT_EQ(grid_->RowOutlineLevel(3), 2);
    host_->Put(L"RowOutlineLevel", I4(0), {I4(3)});
    host_->Put(L"IsSubtotal", Bool(true), {I4(3)});
    EXPECT_EQ(grid_->RowOutlineLevel(3), 0);
    EXPECT_TRUE(grid_->IsSubtotal(3));
}

TEST_F(GridMembers, FillMakesDeterministicContentForAHundredThousandRowsQuickly) {
    ULONGLONG start = GetTickCount64();
    host_->Call(L"Fill", {I4(100000), I4(6)});
    ULONGLONG took = GetTickCount64() - start;
    EXPECT_LT(took, 10000u) << "Fill took " << took << " ms";
    EXPECT_EQ(grid_->Rows(), 100000);
    EXPECT_EQ(grid_->Cols(), 6);
    EXPECT_EQ(grid_->FixedRows(), 1);
    EXPECT_EQ(grid_->FixedCols(), 0);
    EXPECT_EQ(grid_->CellText(0, 3), L"Col3");
    EXPECT_EQ(grid_->CellText(99999, 5), L"R99999C5");
    EXPECT_EQ(grid_->CellText(99999, 1), L"124998.75");
    EXPECT_EQ(grid_->ColDataType(1), 5);
    EXPECT_EQ(VariantToText(grid_->Cell(CellSetting::DisplayText, 99999, 1)), L"124,998.75");

    // Reading a column of it the engine's way stays fast too.
    start = GetTickCount64();
    for (long r = 0; r < 100000; ++r) grid_->CellText(r, 0);
    took = GetTickCount64() - start;
    EXPECT_LT(took, 10000u) << "100000 reads took " << took << " ms";
}

}  // namespace
}  // namespace testhost::test
