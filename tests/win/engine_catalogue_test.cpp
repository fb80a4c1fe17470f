// The engine's two menus as a compiled host sees them: ExportMethods hands out the
// scripting runtime's own dictionary, and SendToMethods reads the user's Send To folder
// (pointed at a scratch folder for the test) and the file associations of the prefix.
#include "com/errors.h"
#include "com/late_bound.h"
#include "common_ui.h"

#include <shlobj.h>

#include <optional>
#include <utility>
#include <vector>

namespace tarn::test {
namespace {

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

VARIANT TextArg(const unique_bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

std::vector<std::wstring> Texts(const VARIANT& array) {
    std::vector<std::wstring> texts;
    if (V_VT(&array) != (VT_ARRAY | VT_VARIANT)) return texts;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(V_ARRAY(&array), 1, &low);
    SafeArrayGetUBound(V_ARRAY(&array), 1, &high);
    for (LONG i = low; i <= high; ++i) {
        unique_variant item;
        SafeArrayGetElement(V_ARRAY(&array), &i, item.put());
        texts.push_back(VariantToText(item));
    }
    return texts;
}

// The dictionary's entries in its own order, read late-bound as a host reads them.
Entries EntriesOf(IDispatch* dictionary) {
    LateBound d(dictionary);
    const std::vector<std::wstring> keys = Texts(d.Call(L"Keys"));
    const std::vector<std::wstring> items = Texts(d.Call(L"Items"));
    Entries entries;
    for (size_t i = 0; i < keys.size() && i < items.size(); ++i) entries.emplace_back(keys[i], items[i]);
    return entries;
}

std::wstring ErrorDescription() {
    ComPtr<IErrorInfo> info;
    unique_bstr text;
    if (GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(text.put());
    return text.str();
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

TEST(ExportMethodsTest, AnOmittedKindMeansTablesAndTheResultIsTheScriptingRuntimesDictionary) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        ASSERT_TRUE(engine);
        ComPtr<IDispatch> omitted, tables, text;
        ASSERT_EQ(engine->ExportMethods(nullptr, &omitted), S_OK);
        ObjectType kind = ObjectTypeTable;
        ASSERT_EQ(engine->ExportMethods(&kind, &tables), S_OK);
        kind = ObjectTypeText;
        ASSERT_EQ(engine->ExportMethods(&kind, &text), S_OK);
        EXPECT_EQ(kind, ObjectTypeText) << "the by-reference kind comes back unchanged";

        const Entries expectedText{{L"TXT", L"Export to &Text File ..."},
                                   {L"RTF", L"Export to &Rich Text File ..."},
                                   {L"HTML", L"Export to &HTML File ..."},
                                   {L"MHTML", L"Export to &MHTML File (Embedded Images) ..."},
                                   {L"PDF", L"Export to Adobe PDF File ..."}};
        EXPECT_EQ(EntriesOf(text.Get()), expectedText);
        EXPECT_EQ(EntriesOf(omitted.Get()), EntriesOf(tables.Get()));
        EXPECT_EQ(EntriesOf(tables.Get()).size(), 8u);

        // The interface a host that references the scripting runtime binds to.
        const IID dictionaryIid = {0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
        ComPtr<IUnknown> dictionary;
        EXPECT_EQ(tables->QueryInterface(dictionaryIid, reinterpret_cast<void**>(dictionary.GetAddressOf())), S_OK);
    }
    CoUninitialize();
}

// A value of the current user's shell folder settings, set for the test and put back.
class UserShellFolderValue {
public:
    UserShellFolderValue(const wchar_t* key, DWORD type, const std::wstring& value) : key_(key) {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key_, L"SendTo", RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr, &size) ==
            ERROR_SUCCESS) {
            saved_.emplace(size / sizeof(wchar_t) + 1, L'\0');
            RegGetValueW(HKEY_CURRENT_USER, key_, L"SendTo", RRF_RT_ANY | RRF_NOEXPAND, &type_, saved_->data(), &size);
            saved_->resize(size / sizeof(wchar_t));
        }
        Set(type, value);
    }
    ~UserShellFolderValue() {
        if (saved_)
            RegSetKeyValueW(HKEY_CURRENT_USER, key_, L"SendTo", type_, saved_->data(),
                            static_cast<DWORD>(saved_->size() * sizeof(wchar_t)));
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key_, L"SendTo");
    }
    UserShellFolderValue(const UserShellFolderValue&) = delete;
    UserShellFolderValue& operator=(const UserShellFolderValue&) = delete;

    void Set(DWORD type, const std::wstring& value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key_, L"SendTo", type, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    const wchar_t* key_;
    DWORD type_ = REG_SZ;
    std::optional<std::wstring> saved_;
};

// Points the user's Send To folder somewhere else while it lives (as folder redirection
// does), so the test never touches the prefix's own folder.
class RedirectedSendTo {
public:
    explicit RedirectedSendTo(const std::wstring& folder)
        : user_(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", REG_EXPAND_SZ, folder),
          cache_(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", REG_SZ, folder) {}
    void MoveTo(const std::wstring& folder) {
        user_.Set(REG_EXPAND_SZ, folder);
        cache_.Set(REG_SZ, folder);
    }

private:
    UserShellFolderValue user_;
    UserShellFolderValue cache_;
};

constexpr wchar_t kBackupKey[] = L"Software\\TarnwickExports7 tests\\classes backup";

// A file type's key of HKEY_CLASSES_ROOT, taken out of the way for the test (kept under
// HKCU meanwhile) and put back after, with whatever association the test gave the type.
class FileTypeAssociation {
public:
    explicit FileTypeAssociation(std::wstring extension)
        : extension_(std::move(extension)), key_(L"." + extension_), progId_(L"TarnTest." + extension_) {
        unique_hkey existing;
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_READ, &raw) == ERROR_SUCCESS) {
            existing.reset(raw);
            HKEY backup = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, Backup().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup,
                            nullptr);
            unique_hkey owned(backup);
            saved_ = RegCopyTreeW(existing.get(), nullptr, backup) == ERROR_SUCCESS;
        }
        Clear();
    }
    ~FileTypeAssociation() {
        Clear();
        if (!saved_) return;
        HKEY backup = nullptr, restored = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, Backup().c_str(), 0, KEY_READ, &backup);
        unique_hkey from(backup);
        RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
        unique_hkey to(restored);
        if (from && to) RegCopyTreeW(from.get(), nullptr, to.get());
        RegDeleteTreeW(HKEY_CURRENT_USER, Backup().c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, Backup().c_str());
        // The folders of the backup go with the last one (a key with subkeys stays).
        RegDeleteKeyW(HKEY_CURRENT_USER, kBackupKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TarnwickExports7 tests");
    }
    FileTypeAssociation(const FileTypeAssociation&) = delete;
    FileTypeAssociation& operator=(const FileTypeAssociation&) = delete;

    void OpenWith(const std::wstring& program) {
        const std::wstring command = L"\"" + program + L"\" \"%1\"";
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, REG_SZ, progId_.c_str(),
                        static_cast<DWORD>((progId_.size() + 1) * sizeof(wchar_t)));
        RegSetKeyValueW(HKEY_CLASSES_ROOT, (progId_ + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ,
                        command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    void Clear() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key_.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key_.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, progId_.c_str());
    }

private:
    std::wstring Backup() const { return std::wstring(kBackupKey) + L"\\" + key_; }

    std::wstring extension_;
    std::wstring key_;
    std::wstring progId_;
    bool saved_ = false;
};

std::wstring SystemProgram(const wchar_t* name) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

void MakeShortcut(const std::wstring& link, const std::wstring& target) {
    ComPtr<IShellLinkW> shortcut;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shortcut)), S_OK);
    ASSERT_EQ(shortcut->SetPath(target.c_str()), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(shortcut.As(&file), S_OK);
    ASSERT_EQ(file->Save(link.c_str(), TRUE), S_OK);
}

// The folder's files as a script's FileSystemObject lists them: path and whether hidden.
std::vector<std::pair<std::wstring, bool>> FilesListedByTheFileSystemObject(const std::wstring& folder) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid), S_OK);
    ComPtr<IDispatch> fso;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&fso)), S_OK);
    const unique_bstr path(folder);
    ComPtr<IDispatch> dir = VariantToObject(LateBound(fso.Get()).Call(L"GetFolder", {TextArg(path)}));
    ComPtr<IDispatch> files = VariantToObject(LateBound(dir.Get()).Get(L"Files"));
    DISPPARAMS none{};
    unique_variant enumerator;
    EXPECT_EQ(files->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none,
                            enumerator.put(), nullptr, nullptr),
              S_OK);
    ComPtr<IEnumVARIANT> each;
    if (V_VT(&enumerator) == VT_UNKNOWN || V_VT(&enumerator) == VT_DISPATCH)
        V_UNKNOWN(&enumerator)->QueryInterface(IID_PPV_ARGS(&each));
    std::vector<std::pair<std::wstring, bool>> listed;
    if (!each) return listed;
    for (unique_variant file; each->Next(1, file.put(), nullptr) == S_OK;) {
        LateBound f(VariantToObject(file).Get());
        listed.emplace_back(VariantToText(f.Get(L"Path")), (VariantToLong(f.Get(L"Attributes")) & 2) != 0);
    }
    return listed;
}

class SendToMethodsTest : public CommonUiTest {
protected:
    // Calls SendToMethods on a fresh engine; the entries, or nothing and the error.
    std::optional<Entries> SendToMethods(HRESULT* failure = nullptr, std::wstring* description = nullptr) {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        ComPtr<IDispatch> list;
        const HRESULT hr = engine->get_SendToMethods(&list);
        if (failure) *failure = hr;
        if (FAILED(hr)) {
            if (description) *description = ErrorDescription();
            EXPECT_FALSE(list) << "no dictionary comes with an error";
            return std::nullopt;
        }
        return EntriesOf(list.Get());
    }

    ScratchFolder scratch_;
    RedirectedSendTo sendTo_{scratch_.path()};
    FileTypeAssociation spreadsheets_{L"xls"};
    FileTypeAssociation documents_{L"doc"};
};

TEST_F(SendToMethodsTest, ListsTheVisibleFilesInTheirOwnOrderThenTheProgramsForSpreadsheetsAndDocuments) {
    const std::wstring mail = scratch_ / L"Mail Recipient.MAPIMail";
    const std::wstring notepad = scratch_ / L"Notepad.lnk";
    const std::wstring hidden = scratch_ / L"Desktop.ini";
    const std::wstring zip = scratch_ / L"Compressed (zipped) Folder.ZFSendToTarget";
    WriteBytes(mail, "");
    WriteBytes(hidden, "[.ShellClassInfo]\r\n");
    WriteBytes(zip, "");
    MakeShortcut(notepad, SystemProgram(L"notepad.exe"));
    std::filesystem::create_directory(scratch_ / L"A folder");
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    // What each visible file of the folder stands for, in the file system object's order.
    Entries folderEntries;
    for (const auto& [path, isHidden] : FilesListedByTheFileSystemObject(scratch_.path())) {
        if (isHidden) continue;
        if (path == mail) {
            folderEntries.emplace_back(L"MailContent", L"Mail Recipient ...");
            folderEntries.emplace_back(mail, L"Mail Recipient (as Attachment) ...");
        } else if (path == notepad) {
            folderEntries.emplace_back(notepad, L"Notepad ...");
        } else if (path == zip) {
            folderEntries.emplace_back(zip, L"Compressed (zipped) Folder ...");
        } else {
            ADD_FAILURE() << "unexpected file " << Narrow(path);
        }
    }
    ASSERT_EQ(folderEntries.size(), 4u) << "the file system object lists the three visible files";

    EXPECT_EQ(SendToMethods(), folderEntries) << "no program opens spreadsheets or documents";

    spreadsheets_.OpenWith(SystemProgram(L"notepad.exe"));
    std::optional<Entries> withExcel = SendToMethods();
    ASSERT_TRUE(withExcel);
    ASSERT_EQ(withExcel->size(), folderEntries.size() + 1) << "no program opens documents: no Word entry";
    EXPECT_EQ(Entries(withExcel->begin(), withExcel->end() - 1), folderEntries);
    EXPECT_EQ(Lower(withExcel->back().first), Lower(SystemProgram(L"notepad.exe")));
    EXPECT_EQ(withExcel->back().second, L"Microsoft Excel ...");

    documents_.OpenWith(SystemProgram(L"write.exe"));
    std::optional<Entries> withBoth = SendToMethods();
    ASSERT_TRUE(withBoth);
    ASSERT_EQ(withBoth->size(), folderEntries.size() + 2);
    EXPECT_EQ(Entries(withBoth->begin(), withBoth->end() - 2), folderEntries);
    EXPECT_EQ(withBoth->end()[-2].second, L"Microsoft Excel ...");
    EXPECT_EQ(Lower(withBoth->back().first), Lower(SystemProgram(L"write.exe")));
    EXPECT_EQ(withBoth->back().second, L"Microsoft Word ...");

    // Read at every call: a file taken away is no longer listed.
    std::filesystem::remove(zip);
    std::optional<Entries> later = SendToMethods();
    ASSERT_TRUE(later);
    EXPECT_EQ(later->size(), withBoth->size() - 1);
}

TEST_F(SendToMethodsTest, AMissingFolderAndOneProgramForBothTypesReachTheCallerAsErrors) {
    HRESULT hr = S_OK;
    std::wstring description;

    // One program for spreadsheets and documents: the same key twice.
    spreadsheets_.OpenWith(SystemProgram(L"notepad.exe"));
    documents_.OpenWith(SystemProgram(L"notepad.exe"));
    EXPECT_FALSE(SendToMethods(&hr, &description));
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(Lower(description).find(L"notepad.exe"), std::wstring::npos) << Narrow(description);
    documents_.Clear();
    EXPECT_TRUE(SendToMethods()) << "a program for spreadsheets alone is fine";

    const std::wstring missing = scratch_ / L"gone";
    sendTo_.MoveTo(missing);
    EXPECT_FALSE(SendToMethods(&hr, &description));
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(description.find(L"Send To folder"), std::wstring::npos) << Narrow(description);
}

}  // namespace
}  // namespace tarn::test
