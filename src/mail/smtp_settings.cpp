// Reading the SMTP settings for delivery, and the password's protected form.
#include "mail/smtp_settings.h"

#include "com/handles.h"
#include "common/registry_support.h"
#include "mail/smtp_delivery.h"

#include <windows.h>
#include <wincrypt.h>

#include <climits>
#include <stdexcept>
#include <vector>

namespace tarn::mail {

namespace {

constexpr std::wstring_view kProtectedMark = L"dpapi:";
// Mixed into the protection, so another program's protected data does not pass for ours.
constexpr char kEntropy[] = "Quillon Export Engine SMTP";

DATA_BLOB Blob(const void* data, std::size_t size) {
    return DATA_BLOB{static_cast<DWORD>(size), static_cast<BYTE*>(const_cast<void*>(data))};
}

std::wstring Setting(const wchar_t* name, const SettingDefault& fallback) {
    return ReadSetting(kSettingsApplication, kSettingsSection, name, fallback, false);
}

bool TruthOf(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    if (lower == L"true") return true;
    return LeadingNumber(text) != 0;
}

}  // namespace

long LeadingNumber(std::wstring_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > LONG_MAX) return negative ? LONG_MIN : LONG_MAX;
    }
    return static_cast<long>(negative ? -value : value);
}

std::wstring ProtectedPassword(std::wstring_view password) {
    if (password.empty()) return {};
    DATA_BLOB in = Blob(password.data(), password.size() * sizeof(wchar_t));
    DATA_BLOB entropy = Blob(kEntropy, sizeof kEntropy - 1);
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"SMTP Password", &entropy, nullptr, nullptr,
                          CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &out))
        throw std::runtime_error("The password could not be protected");
    const unique_hlocal owner(out.pbData);
    DWORD chars = 0;
    constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    CryptBinaryToStringW(out.pbData, out.cbData, kFlags, nullptr, &chars);
    std::wstring text(chars, L'\0');
    if (!CryptBinaryToStringW(out.pbData, out.cbData, kFlags, text.data(), &chars))
        throw std::runtime_error("The password could not be protected");
    text.resize(chars);
    return std::wstring(kProtectedMark) + text;
}

std::wstring PasswordFromStore(std::wstring_view stored) {
    if (stored.substr(0, kProtectedMark.size()) != kProtectedMark) return std::wstring(stored);
    const std::wstring text(stored.substr(kProtectedMark.size()));
    DWORD bytes = 0;
    if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr, &bytes,
                              nullptr, nullptr))
        return {};
    std::vector<BYTE> blob(bytes);
    if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, blob.data(), &bytes,
                              nullptr, nullptr))
        return {};
    DATA_BLOB in = Blob(blob.data(), bytes);
    DATA_BLOB entropy = Blob(kEntropy, sizeof kEntropy - 1);
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return {};
    const unique_hlocal owner(out.pbData);
    std::wstring password(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
    SecureZeroMemory(out.pbData, out.cbData);
    return password;
}

SmtpSettings LoadSmtpSettings() {
    SmtpSettings settings;
    settings.server = Setting(kSmtpServerValue, L"");
    const long port = LeadingNumber(Setting(kSmtpPortValue, 25));
    settings.port = port < 1 ? 25 : port;
    settings.authenticate = TruthOf(Setting(kSmtpAuthenticationValue, false));
    settings.userId = Setting(kSmtpUserIdValue, L"");
    settings.password = PasswordFromStore(Setting(kSmtpPasswordValue, L""));
    return settings;
}

}  // namespace tarn::mail
