// The settings store: the component's few persistent values in the registry. Named
// settings live under HKEY_LOCAL_MACHINE (or HKEY_CURRENT_USER) at
// Software\Quillonsoft\<application>\<section>; raw reads and writes reach any hive and path.
// Values are read as strings; nothing here raises: a failure stores nothing or reads back
// the caller's default.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <concepts>
#include <string>
#include <string_view>

namespace tarn {

// The application and section every caller in the component files its settings under.
inline constexpr wchar_t kSettingsApplication[] = L"Quillon Export Engine";
inline constexpr wchar_t kSettingsSection[] = L"Settings";

// A default handed back as the string its caller will convert: False reads back as
// "False", 25 as "25".
class SettingDefault {
public:
    SettingDefault(const wchar_t* text) : text_(text ? text : L"") {}
    SettingDefault(std::wstring_view text) : text_(text) {}
    SettingDefault(const std::wstring& text) : text_(text) {}
    template <std::integral T>
    SettingDefault(T value) {
        if constexpr (std::same_as<T, bool>)
            text_ = value ? L"True" : L"False";
        else
            text_ = std::to_wstring(value);
    }
    const std::wstring& text() const noexcept { return text_; }

private:
    std::wstring text_;
};

// Named settings. `perUser` false selects HKEY_LOCAL_MACHINE, true HKEY_CURRENT_USER.
[[nodiscard]] std::wstring ReadSetting(std::wstring_view application, std::wstring_view section, std::wstring_view name,
                                       const SettingDefault& defaultValue, bool perUser) noexcept;
void WriteSetting(std::wstring_view application, std::wstring_view section, std::wstring_view name,
                  std::wstring_view value, bool perUser) noexcept;

// Raw access. Only REG_SZ values are read; any other type reads as missing.
[[nodiscard]] std::wstring ReadRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name,
                                             const SettingDefault& defaultValue) noexcept;
// Creates the key (with missing parents) and writes by the value's type: a string as
// REG_SZ, a 16- or 32-bit integer as REG_DWORD, an array of bytes as REG_BINARY. Values
// of other types (Booleans, floating point, ...) write nothing. An empty path creates and
// writes nothing.
void WriteRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name, const VARIANT& value) noexcept;
void WriteRegistryValue(HKEY hive, std::wstring_view keyPath, std::wstring_view name, std::wstring_view value) noexcept;

}  // namespace tarn
