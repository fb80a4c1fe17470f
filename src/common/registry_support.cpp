// The settings store over the ANSI registry functions, so stored strings keep the form
// the component has always written: ANSI text, data length without a terminating NUL.
#include "common/registry_support.h"

#include "com/handles.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarn {

namespace {

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), bytes, nullptr, nullptr);
    return ansi;
}

std::wstring FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int size = static_cast<int>(ansi.size());
    const int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring text(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, text.data(), chars);
    return text;
}

std::wstring SettingsPath(std::wstring_view application, std::wstring_view section) {
    std::wstring path = L"Software\\Quillonsoft\\";
    path += application;
    path += L'\\';
    path += section;
    return path;
}

HKEY SettingsHive(bool perUser) noexcept { return perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// Creates the key and its missing parents. An empty path would hand back the hive itself,
// so it is refused.
unique_hkey CreateRegistryKey(HKEY hive, std::wstring_view path) {
    if (path.empty()) return {};
    HKEY key = nullptr;
    if (RegCreateKeyA(hive, ToAnsi(path).c_str(), &key) != ERROR_SUCCESS) return {};
    return unique_hkey(key);
}

unique_hkey OpenRegistryKey(HKEY hive, std::wstring_view path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(hive, ToAnsi(path).c_str(), &key) != ERROR_SUCCESS) return {};
    return unique_hkey(key);
}

// The value when it is a REG_SZ string, up to its first NUL; false for anything else.
bool ReadStringValue(HKEY key, std::wstring_view name, std::wstring& text) {
    const std::string ansiName = ToAnsi(name);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExA(key, ansiName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    // One byte more than asked for, so a value stored without its NUL still gets one.
    std::vector<char> buffer(bytes + 1, ' ');
    DWORD size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExA(key, ansiName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::string_view data(buffer.data(), std::min<size_t>(size, buffer.size()));
    text = FromAnsi(data.substr(0, data.find('\0')));
    return true;
}

bool SetValue(HKEY key, std::wstring_view name, DWORD type, const void* data, DWORD bytes) {
    return RegSetValueExA(key, ToAnsi(name).c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
}

// The terminating NUL is not part of the stored data.
bool WriteStringValue(HKEY key, std::wstring_view name, std::wstring_view text) {
    const std::string ansi = ToAnsi(text);
    return SetValue(key, name, REG_SZ, ansi.c_str(), static_cast<DWORD>(ansi.size()));
}

bool WriteDwordValue(HKEY key, std::wstring_view name, DWORD value) {
    return SetValue(key, name, REG_DWORD, &value, sizeof value);
}

bool WriteBinaryValue(HKEY key, std::wstring_view name, SAFEARRAY* bytes) {
    if (!bytes || SafeArrayGetDim(bytes) != 1) return false;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(bytes, 1, &lower)) || FAILED(SafeArrayGetUBound(bytes, 1, &upper))) return false;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(bytes, &data))) return false;
    const bool written = SetValue(key, name, REG_BINARY, data, static_cast<DWORD>(upper - lower + 1));
    SafeArrayUnaccessData(bytes);
    return written;
}

std::wstring ReadString(HKEY hive, std::wstring_view path, std::wstring_view name, const SettingDefault& fallback) {
    std::wstring text;
    if (unique_hkey key = OpenRegistryKey(hive, path); key && ReadStringValue(key.get(), name, text)) return text;
    return fallback.text();
}

}  // namespace

std::wstring ReadSetting(std::wstring_view application, std::wstring_view section, std::wstring_view name,
                         const SettingDefault& defaultValue, bool perUser) noexcept {
    return ReadRegistryValue(SettingsHive(perUser), SettingsPath(application, section), name, defaultValue);
}

void WriteSetting(std::wstring_view application, std::wstring_view section, std::wstring_view name,
                  std::wstring_view value, bool perUser) noexcept {
    WriteRegistryValue(SettingsHive(perUser), SettingsPath(application, section), name, value);
}

std::wstring ReadRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name,
                               const SettingDefault& defaultValue) noexcept {
    try {
        return ReadString(hive, keyPath, name, defaultValue);
    } catch (...) {
        // Out of memory while copying text: the default is all a caller can use.
        try {
            return defaultValue.text();
        } catch (...) {
            return {};
        }
    }
}

void WriteRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name, const VARIANT& value) noexcept {
    try {
        unique_hkey key = CreateRegistryKey(hive, keyPath);
        if (!key) return;
        switch (value.vt) {
            case VT_BSTR: WriteStringValue(key.get(), name, FromBstr(value.bstrVal)); break;
            case VT_I2: WriteDwordValue(key.get(), name, static_cast<DWORD>(static_cast<LONG>(value.iVal))); break;
            case VT_I4: WriteDwordValue(key.get(), name, static_cast<DWORD>(value.lVal)); break;
            case VT_ARRAY | VT_UI1: WriteBinaryValue(key.get(), name, value.parray); break;
            default: break;  // Booleans, floating point and the rest are not stored.
        }
    } catch (...) {
        // A store that cannot be written keeps its old values; readers get their defaults.
    }
}

void WriteRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name,
                        std::wstring_view value) noexcept {
    try {
        if (unique_hkey key = CreateRegistryKey(hive, keyPath)) WriteStringValue(key.get(), name, value);
    } catch (...) {
        // As above: failures store nothing.
    }
}

}  // namespace tarn
