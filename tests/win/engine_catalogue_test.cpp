// The engine's Send To menu as a compiled host sees it: the scripting runtime's own
// dictionary, read from the user's Send To folder (pointed at a scratch folder for the
// test) and the file associations of the prefix.
#include "win_support.h"

#include <algorithm>
#include <optional>

namespace tarn::test {
namespace {

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

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

class SendToMethodsTest : public CommonUiTest {
protected:
    // Calls SendToMethods on a fresh engine; the entries, or nothing and the error's text.
    std::optional<Entries> SendToMethods(std::wstring* description = nullptr) {
        auto engine = Create<_Engine>(__uuidof(::Engine));
        ComPtr<IDispatch> list;
        if (FAILED(engine->get_SendToMethods(&list))) {
            if (description) *description = Lower(LastErrorDescription());
            EXPECT_FALSE(list) << "no dictionary comes with an error";
            return std::nullopt;
        }
        // The scripting runtime's own dictionary, as a host that references it binds to.
        const IID dictionaryIid = {0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
        ComPtr<IUnknown> dictionary;
        EXPECT_EQ(list->QueryInterface(dictionaryIid, reinterpret_cast<void**>(dictionary.GetAddressOf())), S_OK);
        return EntriesOf(list.Get());
    }

    ScratchFolder scratch_;
    RedirectedSendTo sendTo_{scratch_.path()};
    FileTypeAssociation spreadsheets_{L"xls"};
    FileTypeAssociation documents_{L"doc"};
};

TEST_F(SendToMethodsTest, ListsTheVisibleFilesThenTheProgramsForSpreadsheetsAndDocumentsOrFails) {
    const std::wstring mail = scratch_ / L"Mail Recipient.MAPIMail", notepad = scratch_ / L"Notepad.lnk";
    const std::wstring hidden = scratch_ / L"Desktop.ini";
    WriteBytes(mail, "");
    WriteBytes(hidden, "[.ShellClassInfo]\r\n");
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    MakeShortcut(notepad, SystemProgram(L"notepad.exe"));
    std::filesystem::create_directory(scratch_ / L"A folder");
    // A mail recipient stands for two entries; the order of the files is the folder's own.
    Entries files{{L"MailContent", L"Mail Recipient ..."},
                  {mail, L"Mail Recipient (as Attachment) ..."},
                  {notepad, L"Notepad ..."}};
    auto sorted = [](Entries entries) {
        std::sort(entries.begin(), entries.end());
        return entries;
    };
    std::optional<Entries> listed = SendToMethods();
    ASSERT_TRUE(listed);
    EXPECT_EQ(sorted(*listed), sorted(files)) << "no program opens spreadsheets or documents";

    spreadsheets_.OpenWith(SystemProgram(L"notepad.exe"));
    documents_.OpenWith(SystemProgram(L"write.exe"));
    std::optional<Entries> withBoth = SendToMethods();
    ASSERT_TRUE(withBoth);
    ASSERT_EQ(withBoth->size(), files.size() + 2);
    EXPECT_EQ(sorted(Entries(withBoth->begin(), withBoth->end() - 2)), sorted(files));
    EXPECT_EQ(Lower(withBoth->end()[-2].first), Lower(SystemProgram(L"notepad.exe")));
    EXPECT_EQ(withBoth->end()[-2].second, L"Microsoft Excel ...");
    EXPECT_EQ(Lower(withBoth->back().first), Lower(SystemProgram(L"write.exe")));
    EXPECT_EQ(withBoth->back().second, L"Microsoft Word ...");

    // One program for spreadsheets and documents (the same key twice), and a missing folder,
    // reach the caller as errors.
    std::wstring description;
    documents_.OpenWith(SystemProgram(L"notepad.exe"));
    EXPECT_FALSE(SendToMethods(&description));
    EXPECT_NE(description.find(L"notepad.exe"), std::wstring::npos) << Narrow(description);
    documents_.Clear();
    sendTo_.MoveTo(scratch_ / L"gone");
    EXPECT_FALSE(SendToMethods(&description));
    EXPECT_NE(description.find(L"send to folder"), std::wstring::npos) << Narrow(description);
}

}  // namespace
}  // namespace tarn::test
