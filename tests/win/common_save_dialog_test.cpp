// The save dialog as the user meets it: the filter preselected, the proposed name, title
// and folder, typing a name, the overwrite question, and cancel leaving everything as it
// was. Answered by the driver from a watcher thread, since the dialog is modal.
#include "common/save_dialog.h"
#include "common_ui.h"

namespace tarn::test {
namespace {

using ui::SaveDialogView;
using ui::Watcher;

constexpr wchar_t kCsvFilter[] = L"Comma Separated Values (*.CSV;*.CDF)|*.csv;*.cdf|All (*.*)|*.*";

using SaveDialogTest = CommonUiTest;

TEST_F(SaveDialogTest, PreselectsTheLastMatchingFilterAndCancelLeavesTheNamesAlone) {
    ScratchFolder folder;
    struct Case {
        const wchar_t* filter;
        const wchar_t* defaultExt;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {kCsvFilter, L"csv", L"Comma Separated Values (*.CSV;*.CDF)"},
        {kCsvFilter, L"", L"All (*.*)"},
        // Index 0: no pattern list has the extension, and the dialog shows its first entry.
        {kCsvFilter, L"xyz", L"Comma Separated Values (*.CSV;*.CDF)"},
        {L"All Image Files|*.bmp;*.gif|Bitmap (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif", L"gif", L"GIF Files (*.gif)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.filter) + " / " + Narrow(c.defaultExt));
        Watcher<SaveDialogView> watcher([] {
            SaveDialogView seen = ui::WaitForSaveDialog();
            seen.window.PressButton(IDCANCEL);
            return seen;
        });
        const std::wstring proposal = folder / L"stock take.csv";
        std::wstring fileName = proposal;
        std::wstring fileTitle = L"untouched";
        const bool saved =
            ShowSaveDialog(fileName, fileTitle, {c.defaultExt, c.filter, folder.path(), L"Export to ..."});
        const SaveDialogView seen = watcher.Get();
        EXPECT_FALSE(saved);
        EXPECT_EQ(fileName, proposal);
        EXPECT_EQ(fileTitle, L"untouched");
        EXPECT_EQ(seen.selectedFilter, c.shown);
        EXPECT_EQ(seen.caption, L"Export to ...");
        // The dialog opens the proposal's folder and shows its name alone.
        EXPECT_EQ(seen.fileName, L"stock take.csv");
    }
    EXPECT_FALSE(StatusForm::IsLoaded()) << "the dialog alone leaves no progress window";
}

TEST_F(SaveDialogTest, ATypedNameIsSavedInTheStartFolderWithTheDefaultExtension) {
    ScratchFolder folder;
    Watcher<SaveDialogView> watcher([] {
        SaveDialogView seen = ui::WaitForSaveDialog();
        ui::SaveAs(seen.window, L"stock");
        return seen;
    });
    std::wstring fileName;
    std::wstring fileTitle;
    const bool saved = ShowSaveDialog(fileName, fileTitle, {L"csv", kCsvFilter, folder.path(), L""});
    const SaveDialogView seen = watcher.Get();
    ASSERT_TRUE(saved);
    EXPECT_EQ(fileName, folder / L"stock.csv");
    EXPECT_EQ(fileTitle, L"stock.csv");
    EXPECT_FALSE(seen.caption.empty()) << "no title of ours: the system's own";
    EXPECT_EQ(seen.filters, (std::vector<std::wstring>{L"Comma Separated Values (*.CSV;*.CDF)", L"All (*.*)"}));
    EXPECT_FALSE(std::filesystem::exists(folder / L"stock.csv")) << "the dialog only chooses; it writes nothing";
}

TEST_F(SaveDialogTest, AnExistingFileIsReplacedOnlyAfterTheUserAgrees) {
    ScratchFolder folder;
    WriteBytes(folder / L"stock.csv", "old");
    struct Seen {
        ui::MessageBoxView firstQuestion;
        bool dialogStayedAfterNo = false;
    };
    Watcher<Seen> watcher([] {
        Seen seen;
        const SaveDialogView dialog = ui::WaitForSaveDialog();
        ui::SaveAs(dialog.window, L"stock.csv");
        ui::WindowQuery owned;
        owned.owner = dialog.window.hwnd();
        seen.firstQuestion = ui::WaitForMessageBox(owned);
        seen.firstQuestion.window.PressButton(L"No");
        seen.firstQuestion.window.WaitUntilGone();
        seen.dialogStayedAfterNo = dialog.window.IsVisible();
        ui::SaveAs(dialog.window, L"stock.csv");
        ui::WaitForMessageBox(owned).window.PressButton(L"Yes");
        return seen;
    });
    std::wstring fileName = L"proposal.csv";
    std::wstring fileTitle;
    const bool saved = ShowSaveDialog(fileName, fileTitle, {L"csv", kCsvFilter, folder.path(), L"Export to ..."});
    const Seen seen = watcher.Get();
    ASSERT_TRUE(saved);
    EXPECT_EQ(fileName, folder / L"stock.csv");
    // The question is the system's own (its wording varies); the component adds none.
    EXPECT_FALSE(seen.firstQuestion.text.empty());
    EXPECT_EQ(seen.firstQuestion.buttons, (std::vector<std::wstring>{L"Yes", L"No"}));
    EXPECT_TRUE(seen.dialogStayedAfterNo) << "No returns to the dialog";
    EXPECT_EQ(FileBytes(folder / L"stock.csv"), "old");
}

}  // namespace
}  // namespace tarn::test
