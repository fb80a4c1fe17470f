// The shell helpers on real files: a shortcut made by the script host resolves to its
// target, failures reach the caller, and file associations come from the shell through
// the sample file beside the component.
#include "com/errors.h"
#include "common/shell_links.h"
#include "common_ui.h"

namespace tarn::test {
namespace {

// Makes a shortcut the way host scripts do: WScript.Shell's CreateShortcut, late bound.
void CreateShortcutWithScriptHost(const std::wstring& link, const std::wstring& target) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"WScript.Shell", &clsid), S_OK);
    ComPtr<IDispatch> shell;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell)), S_OK);
    auto call = [](IDispatch* object, const wchar_t* member, WORD kind, VARIANT* args, UINT count, VARIANT* result) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(member);
        ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << Narrow(member);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{args, kind == DISPATCH_PROPERTYPUT ? &named : nullptr, count,
                          kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
        ASSERT_EQ(object->Invoke(id, IID_NULL, 0, kind, &params, result, nullptr, nullptr), S_OK) << Narrow(member);
    };
    unique_variant path;
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString(link.c_str());
    unique_variant shortcut;
    call(shell.Get(), L"CreateShortcut", DISPATCH_METHOD, &path, 1, &shortcut);
    ASSERT_EQ(shortcut.vt, VT_DISPATCH);
    unique_variant targetPath;
    targetPath.vt = VT_BSTR;
    targetPath.bstrVal = SysAllocString(target.c_str());
    call(shortcut.pdispVal, L"TargetPath", DISPATCH_PROPERTYPUT, &targetPath, 1, nullptr);
    call(shortcut.pdispVal, L"Save", DISPATCH_METHOD, nullptr, 0, nullptr);
}

using ShellTest = CommonUiTest;

TEST_F(ShellTest, AShortcutResolvesToItsTargetAndAnythingElseIsAnError) {
    ScratchFolder folder;
    const std::wstring target = folder / L"Stock report.csv";
    WriteBytes(target, "a,b\r\n");
    const std::wstring link = folder / L"Stock report.lnk";
    CreateShortcutWithScriptHost(link, target);
    ASSERT_TRUE(std::filesystem::exists(link));
    EXPECT_EQ(ResolveShortcut(link), target);

    EXPECT_THROW(static_cast<void>(ResolveShortcut(folder / L"missing.lnk")), ComError);
    EXPECT_THROW(static_cast<void>(ResolveShortcut(target)), ComError) << "a file that is not a shortcut";
}

// A file type of this test's own, opened by the system's text editor.
class RegisteredFileType {
public:
    RegisteredFileType() {
        const std::wstring command = L"\"" + EditorPath() + L"\" \"%1\"";
        RegSetKeyValueW(HKEY_CLASSES_ROOT, L".qzx8", nullptr, REG_SZ, L"TarnTest.qzx8", 28);
        RegSetKeyValueW(HKEY_CLASSES_ROOT, L"TarnTest.qzx8\\shell\\open\\command", nullptr, REG_SZ, command.c_str(),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    ~RegisteredFileType() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qzx8");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TarnTest.qzx8");
    }
    static std::wstring EditorPath() {
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\notepad.exe";
    }
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

TEST_F(ShellTest, AssociatedProgramsComeFromTheShellThroughASampleBesideTheComponent) {
    const std::wstring temp = std::filesystem::path(ModulePath()).parent_path().wstring() + L"\\Temp";
    {
        RegisteredFileType type;
        EXPECT_EQ(Lower(FindAssociatedProgram(L"qzx8")), Lower(RegisteredFileType::EditorPath()));
        EXPECT_TRUE(std::filesystem::exists(temp + L"\\test.qzx8"));
    }
    std::filesystem::remove(temp + L"\\test.qzx8");

    const std::wstring sample = temp + L"\\test.qzx7";
    std::filesystem::remove(sample);
    EXPECT_EQ(FindAssociatedProgram(L"qzx7"), L"") << "no program opens this type";
    EXPECT_TRUE(std::filesystem::exists(sample));

    // A sample that is already there keeps its content.
    WriteBytes(sample, "kept");
    EXPECT_EQ(FindAssociatedProgram(L"qzx7"), L"");
    EXPECT_EQ(FileBytes(sample), "kept");
    std::filesystem::remove(sample);
}

}  // namespace
}  // namespace tarn::test
