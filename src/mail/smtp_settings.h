// The SMTP settings in the settings store (machine-wide, "Settings" section), shared by the
// settings dialog that writes them and the delivery that reads them. The password is kept
// protected by the platform's data protection for this machine, never in clear text; a
// clear-text value left by older versions is still read.
#pragma once

#include <string>
#include <string_view>

namespace tarn::mail {

inline constexpr wchar_t kSmtpServerValue[] = L"SMTP Server";
inline constexpr wchar_t kSmtpPortValue[] = L"SMTP Port";
inline constexpr wchar_t kSmtpAuthenticationValue[] = L"SMTP Authentication";
inline constexpr wchar_t kSmtpUserIdValue[] = L"SMTP UserID";
inline constexpr wchar_t kSmtpPasswordValue[] = L"SMTP Password";

// The password as stored: "dpapi:" and the base64 of CryptProtectData's blob (local-machine
// scope). Empty for an empty password; throws std::runtime_error when protection fails.
std::wstring ProtectedPassword(std::wstring_view password);
// The password from its stored form. A value without the "dpapi:" mark is taken as the
// clear-text password older versions stored; one that does not unprotect reads as empty.
std::wstring PasswordFromStore(std::wstring_view stored);

// The number a text starts with, as a port box's text is read: leading blanks skipped, an
// optional sign, the digits up to the first other character; 0 when there are none.
long LeadingNumber(std::wstring_view text) noexcept;

}  // namespace tarn::mail
