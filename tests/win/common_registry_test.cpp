// The settings store against the real registry: round trips in the stored form other
// readers expect, defaults for anything missing or of the wrong type, and the writes
// that must store nothing. Works below keys of its own and removes them.
#include "common/registry_support.h"
#include "common_ui.h"

namespace tarn::test {
namespace {

constexpr wchar_t kTestApplication[] = L"Quillon Export Engine Tests";
constexpr wchar_t kTestRoot[] = L"Software\\Quillonsoft\\Quillon Export Engine Tests";

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// The value as the registry holds it, or nothing.
std::optional<StoredValue> Stored(HKEY hive, const std::wstring& path, const wchar_t* name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::nullopt;
    unique_hkey key(raw);
    StoredValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    value.bytes.resize(size);
    RegQueryValueExW(key.get(), name, nullptr, &value.type, value.bytes.data(), &size);
    return value;
}

bool KeyExists(HKEY hive, const std::wstring& path) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    unique_hkey key(raw);
    return true;
}

class RegistryTest : public CommonUiTest {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestRoot);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        CommonUiTest::TearDown();
    }
};

TEST_F(RegistryTest, NamedSettingsRoundTripAsStringsInTheHiveTheFlagSelects) {
    WriteSetting(kTestApplication, L"Settings", L"SMTP Server", L"mail.example.com", false);
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Server", L"", false), L"mail.example.com");
    const auto stored = Stored(HKEY_LOCAL_MACHINE, std::wstring(kTestRoot) + L"\\Settings", L"SMTP Server");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << "other readers find a string";

    WriteSetting(kTestApplication, L"Settings", L"SMTP UserID", L"", false);
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP UserID", L"fallback", false), L"")
        << "an empty string is a value, not a missing one";

    // The per-user flag selects the current user's hive, and the two stay apart.
    WriteSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"10,20,300,400", true);
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"0,0,0,0", true), L"10,20,300,400");
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"FormSize_Mail", L"0,0,0,0", false), L"0,0,0,0");

    // The component's own settings live where its other versions and tools look for them.
    WriteSetting(kSettingsApplication, kSettingsSection, L"Tarn Test Value", L"x", false);
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\Quillonsoft\\Quillon Export Engine\\Settings",
                                L"Tarn Test Value", L""),
              L"x");
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Quillonsoft\\Quillon Export Engine\\Settings", 0,
                            KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    unique_hkey settings(raw);
    RegDeleteValueW(settings.get(), L"Tarn Test Value");
}

TEST_F(RegistryTest, MissingAndWronglyTypedValuesGiveTheDefaultAsText) {
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Port", 25, false), L"25");
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"Direct XLS Output", false, false), L"False");
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Authentication", true, false), L"True");
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Server", L"", false), L"");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestRoot)) << "reading creates nothing";

    // A number stored under a string setting reads as missing.
    unique_variant number;
    number.vt = VT_I4;
    number.lVal = 587;
    const std::wstring settings = std::wstring(kTestRoot) + L"\\Settings";
    WriteRegistryValue(HKEY_LOCAL_MACHINE, settings, L"SMTP Server", number);
    ASSERT_TRUE(Stored(HKEY_LOCAL_MACHINE, settings, L"SMTP Server"));
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Server", L"none", false), L"none");
    // The key exists now, but not the value.
    EXPECT_EQ(ReadSetting(kTestApplication, L"Settings", L"SMTP Password", L"", false), L"");
}

TEST_F(RegistryTest, RawWritesStoreByTypeAndRefuseWhatTheyCannotStore) {
    const std::wstring path = std::wstring(kTestRoot) + L"\\Placement";
    unique_variant value;

    value.vt = VT_I2;
    value.iVal = -2;
    WriteRegistryValue(HKEY_CURRENT_USER, path, L"Short", value);
    auto stored = Stored(HKEY_CURRENT_USER, path, L"Short");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->bytes, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));

    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        BYTE b = static_cast<BYTE>(0xA0 + i);
        SafeArrayPutElement(bytes, &i, &b);
    }
    value.reset();
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = bytes;
    WriteRegistryValue(HKEY_CURRENT_USER, path, L"Bytes", value);
    stored = Stored(HKEY_CURRENT_USER, path, L"Bytes");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored->bytes, (std::vector<BYTE>{0xA0, 0xA1, 0xA2}));

    value.reset();
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"2");
    WriteRegistryValue(HKEY_CURRENT_USER, path, L"WindowState_Mail", value);
    EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, path, L"WindowState_Mail", L"0"), L"2");

    // Booleans and floating point write nothing, though the key is made.
    const std::wstring other = std::wstring(kTestRoot) + L"\\Other";
    value.reset();
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    WriteRegistryValue(HKEY_CURRENT_USER, other, L"Flag", value);
    value.reset();
    value.vt = VT_R8;
    value.dblVal = 1.5;
    WriteRegistryValue(HKEY_CURRENT_USER, other, L"Ratio", value);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, other));
    EXPECT_FALSE(Stored(HKEY_CURRENT_USER, other, L"Flag"));
    EXPECT_FALSE(Stored(HKEY_CURRENT_USER, other, L"Ratio"));

    // An empty key path creates and writes nothing, not even at the hive's root.
    WriteRegistryValue(HKEY_CURRENT_USER, L"", L"Tarn Test Value", L"x");
    value.reset();
    value.vt = VT_I4;
    value.lVal = 1;
    WriteRegistryValue(HKEY_CURRENT_USER, L"", L"Tarn Test Number", value);
    EXPECT_FALSE(Stored(HKEY_CURRENT_USER, L"", L"Tarn Test Value"));
    EXPECT_FALSE(Stored(HKEY_CURRENT_USER, L"", L"Tarn Test Number"));
}

}  // namespace
}  // namespace tarn::test
