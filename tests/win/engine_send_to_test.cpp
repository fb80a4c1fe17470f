// Engine.SendTo delivering an exported file: through shortcuts to a folder and to a
// document, to a program, to the composer, to a shell drop handler, and to nothing.
#include "win_support.h"

#include <shlobj.h>

namespace tarn::test {
namespace {

// {203DB4D3-61C3-48D4-917B-89969151EA0C}, the test host's drop handler.
constexpr wchar_t kDropHandler[] = L"{203DB4D3-61C3-48D4-917B-89969151EA0C}";

std::wstring BesideTests(const wchar_t* name) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

void SetClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// The lines a logging test program wrote, once it has written `count` of them.
std::vector<std::wstring> WaitForLines(const std::wstring& log, size_t count) {
    std::vector<std::wstring> lines;
    ui::WaitUntil(
        [&] {
            const std::string bytes = GetFileAttributesW(log.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : FileBytes(log);
            lines.clear();
            const std::wstring text(bytes.begin(), bytes.end());  // the paths are ASCII
            for (const std::wstring& line : Lines(text))
                if (!line.empty()) lines.push_back(line);
            return lines.size() >= count;
        },
        ui::Milliseconds(15000));
    return lines;
}

class SendToTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        engine_ = Create<_Engine>(__uuidof(::Engine));
        WriteBytes(report_, "<html><body><img src=\"report_files/chart.gif\"></body></html>");
        CreateDirectoryW((scratch_ / L"report_files").c_str(), nullptr);
        WriteBytes(scratch_ / L"report_files\\chart.gif", "GIF89a");
        SetEnvironmentVariableW(L"TESTHOST_COMMAND_LOG", log_.c_str());
        SetEnvironmentVariableW(L"TESTHOST_DROP_LOG", log_.c_str());
    }
    void TearDown() override {
        for (const wchar_t* key : {L".tarnsenddoc", L"TarnSendTest.Document", L".tarnsenddrop"})
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key), RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kDropHandler).c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kDropHandler).c_str());
        engine_.Reset();
        ComTest::TearDown();
    }
    // SendTo's answer, which is False whatever happened.
    bool SendTo(const std::wstring& file, const std::wstring& method) {
        unique_bstr filename(file), destination(method);
        BSTR f = filename.get(), m = destination.get();
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(engine_->SendTo(&f, &m, &result), S_OK);
        return result != VARIANT_FALSE;
    }

    ComPtr<_Engine> engine_;
    ScratchFolder scratch_;
    std::wstring report_ = scratch_ / L"report.htm";
    std::wstring log_ = scratch_ / L"delivered.log";
    std::wstring recorder_ = BesideTests(L"command_line_recorder.exe");
};

TEST_F(SendToTest, AShortcutToAFolderReceivesThePageAndItsSideFolder) {
    ScratchFolder outbox;
    MakeShortcut(scratch_ / L"Outbox.lnk", outbox.path());
    EXPECT_FALSE(SendTo(report_, scratch_ / L"Outbox.lnk"));
    EXPECT_EQ(FilesIn(outbox.path()), (std::vector<std::wstring>{L"report.htm", L"report_files"}));
    EXPECT_EQ(FileBytes(outbox / L"report_files\\chart.gif"), "GIF89a");
}

// A program, and the program that opens a document a shortcut points to, both get the file
// in double quotes as their only parameter.
TEST_F(SendToTest, ProgramsAndADocumentsProgramGetTheQuotedFile) {
    EXPECT_FALSE(SendTo(report_, recorder_));
    std::vector<std::wstring> lines = WaitForLines(log_, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L" \"" + report_ + L"\""), std::wstring::npos) << Narrow(lines[0]);

    SetClassesValue(L".tarnsenddoc", nullptr, L"TarnSendTest.Document");
    SetClassesValue(L"TarnSendTest.Document\\shell\\open\\command", nullptr, L"\"" + recorder_ + L"\" \"%1\"");
    WriteBytes(scratch_ / L"notes.tarnsenddoc", "notes");
    MakeShortcut(scratch_ / L"Notes.lnk", scratch_ / L"notes.tarnsenddoc");
    EXPECT_FALSE(SendTo(report_, scratch_ / L"Notes.lnk"));
    lines = WaitForLines(log_, 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(L"command_line_recorder"), std::wstring::npos) << Narrow(lines[1]);
    EXPECT_NE(lines[1].find(L" \"" + report_ + L"\""), std::wstring::npos) << Narrow(lines[1]);
    EXPECT_EQ(lines[1].find(L"notes.tarnsenddoc"), std::wstring::npos) << Narrow(lines[1]);
}

// "MailContent" in any case opens the composer with the engine's Title as its subject; the
// composer holds the DLL until it closes.
TEST_F(SendToTest, MailContentOpensTheComposerWithTheTitle) {
    ASSERT_EQ(engine_->put_Title(unique_bstr(L"Quarterly stock").get()), S_OK);
    EXPECT_FALSE(SendTo(report_, L"mailCONTENT"));
    const ui::Window composer =
        ui::WaitForWindow({L"TarnwickExports7.HTMLEmailForm", L"Quarterly stock - Message (HTML)"});
    composer.Close();
    ui::WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return !composer.Exists();
        },
        ui::kDefaultWait);
    EXPECT_FALSE(composer.Exists());
    // Once nothing holds the DLL, its window classes go with it, so a later load cannot
    // meet a class whose procedure is no longer there.
    engine_.Reset();
    ASSERT_EQ(TheComponent().canUnloadNow(), S_OK);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExW(TheComponent().module, L"TarnwickExports7.HTMLEmailForm", &windowClass));
}

// A drop handler registered for the extension receives the file's data object; an
// extension with none delivers nothing and raises nothing.
TEST_F(SendToTest, TheRegisteredDropHandlerReceivesTheFileAndNoneDeliversNothing) {
    EXPECT_FALSE(SendTo(report_, scratch_ / L"Nowhere.tarnunregistered"));
    EXPECT_EQ(LastErrorDescription(), L"<no error info>");
    EXPECT_EQ(GetFileAttributesW(log_.c_str()), INVALID_FILE_ATTRIBUTES);

    SetClassesValue(L".tarnsenddrop", nullptr, std::wstring(L"CLSID\\") + kDropHandler);
    const std::wstring server = std::wstring(L"CLSID\\") + kDropHandler + L"\\InprocServer32";
    SetClassesValue(server, nullptr, BesideTests(L"ExportTestHost.dll"));
    SetClassesValue(server, L"ThreadingModel", L"Apartment");
    EXPECT_FALSE(SendTo(report_, scratch_ / L"Archive.tarnsenddrop"));
    const std::vector<std::wstring> lines = WaitForLines(log_, 2);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"enter", L"drop " + report_}));

    // A file in a drive's root folder: the folder is the root itself.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring rootFile =
        std::wstring(system, 3) + L"tarn-send-" + std::to_wstring(GetCurrentProcessId()) + L".htm";
    WriteBytes(rootFile, "<html></html>");
    EXPECT_FALSE(SendTo(rootFile, scratch_ / L"Archive.tarnsenddrop"));
    DeleteFileW(rootFile.c_str());
    EXPECT_EQ(WaitForLines(log_, 4),
              (std::vector<std::wstring>{L"enter", L"drop " + report_, L"enter", L"drop " + rootFile}));
}

}  // namespace
}  // namespace tarn::test
