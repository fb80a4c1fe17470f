// Address lists and the subject, from typed text to header and envelope forms.
#include "mail/mail_addresses.h"

#include "html/mime_encoding.h"
#include "mail/smtp_session.h"

#include <random>

namespace tarn::mail {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsControl(char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The entry with its line breaks shown as blanks, for the message that refuses it.
std::string Shown(std::string_view entry) {
    std::string shown;
    for (const char c : entry) shown += IsControl(c) ? ' ' : c;
    return "\"" + std::string(Trimmed(shown)) + "\"";
}

MailAddress ParseEntry(std::string_view entry) {
    for (const char c : entry)
        if (IsControl(c) && c != '\t')
            throw SmtpError("The address " + Shown(entry) + " holds a line break or control character");
    MailAddress result;
    std::string_view address = entry;
    if (const std::size_t open = entry.rfind('<'); open != std::string_view::npos) {
        const std::size_t close = entry.find('>', open);
        if (close == std::string_view::npos || !Trimmed(entry.substr(close + 1)).empty())
            throw SmtpError("The address " + Shown(entry) + " is not complete");
        address = entry.substr(open + 1, close - open - 1);
        std::string_view name = Trimmed(entry.substr(0, open));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 1 < name.size()) ++i;
            result.name += name[i];
        }
    }
    address = Trimmed(address);
    if (address.empty() || address.find_first_of(" \t<>()[]\",;\\") != std::string_view::npos)
        throw SmtpError("The address " + Shown(entry) + " is not a mail address");
    // Addresses outside ASCII need SMTPUTF8, which few servers offer; names may hold anything.
    for (const char c : address)
        if (static_cast<unsigned char>(c) >= 128)
            throw SmtpError("The address " + Shown(entry) + " holds characters a mail server cannot take");
    result.address = address;
    return result;
}

bool PrintableAscii(std::string_view text) {
    for (const char c : text)
        if (IsControl(c) || static_cast<unsigned char>(c) >= 128) return false;
    return true;
}

std::size_t SequenceLength(unsigned char b) { return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1; }

// Encoded words of whole characters, each at most 75 characters, separated by blanks.
std::string EncodedWords(std::string_view utf8) {
    constexpr std::size_t kBytesPerWord = 45;  // 60 base64 characters in "=?utf-8?B?...?="
    std::string words;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t end = i;
        while (end < utf8.size()) {
            const std::size_t n = SequenceLength(static_cast<unsigned char>(utf8[end]));
            if (end + n - i > kBytesPerWord && end > i) break;
            end = std::min(utf8.size(), end + n);
        }
        if (!words.empty()) words += ' ';
        words += "=?utf-8?B?" + Base64Of(utf8.substr(i, end - i)) + "?=";
        i = end;
    }
    return words;
}

std::string DisplayName(std::string_view name) {
    if (!PrintableAscii(name)) return EncodedWords(name);
    if (name.find_first_of("()<>[]:;@\\,.\"") == std::string_view::npos) return std::string(name);
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::vector<MailAddress> ParseAddressList(std::string_view text) {
    std::vector<MailAddress> addresses;
    const auto take = [&](std::size_t from, std::size_t to) {
        const std::string_view entry = text.substr(from, to - from);
        if (!Trimmed(entry).empty()) addresses.push_back(ParseEntry(entry));
    };
    bool quoted = false;
    bool bracketed = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            bracketed = true;
        } else if (c == '>') {
            bracketed = false;
        } else if ((c == ',' || c == ';') && !bracketed) {
            take(start, i);
            start = i + 1;
        }
    }
    take(start, text.size());
    return addresses;
}

std::string AddressListValue(const std::vector<MailAddress>& addresses) {
    std::string value;
    for (const MailAddress& a : addresses) {
        if (!value.empty()) value += ", ";
        value += a.name.empty() ? a.address : DisplayName(a.name) + " <" + a.address + ">";
    }
    return value;
}

std::string SingleLineSubject(std::string_view subject) {
    std::string line;
    for (const char c : subject) line += IsControl(c) ? ' ' : c;
    return line;
}

std::string NewMessageId(std::string_view senderAddress) {
    std::string domain(senderAddress.substr(senderAddress.rfind('@') + 1));
    const bool usable = !domain.empty() && senderAddress.find('@') != std::string_view::npos &&
                        domain.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
                            std::string::npos;
    if (!usable) domain = "quillon.invalid";
    std::random_device random;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 8; ++i) {
        const unsigned v = random();
        for (int k = 0; k < 4; ++k) id += kHex[(v >> (4 * k)) & 15];
    }
    return "<" + id + "@" + domain + ">";
}

}  // namespace tarn::mail
