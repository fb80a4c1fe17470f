// What a user types into address and subject boxes, made safe for a message's header and
// envelope: address lists split into display names and addresses, names outside ASCII
// written as encoded words (RFC 2047), line breaks refused in addresses and folded to
// blanks in the subject, so no typed text can start a header line of its own. Portable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn::mail {

struct MailAddress {
    std::string name;     // the display name, UTF-8, may be empty
    std::string address;  // "user@host"
};

// Splits "Name <a@b>; c@d, \"Last, First\" <e@f>" at ";" and "," outside quotes and angle
// brackets. Throws SmtpError naming the entry when one holds a line break, a control
// character, or an address that is not one word of ASCII.
std::vector<MailAddress> ParseAddressList(std::string_view text);

// The list as a header value: "Name <a@b>, c@d"; names quoted where they hold specials,
// encoded where they hold anything beyond printable ASCII. Printable ASCII throughout.
std::string AddressListValue(const std::vector<MailAddress>& addresses);

// The subject on one line: CR, LF and other control characters become blanks.
std::string SingleLineSubject(std::string_view subject);

// A new Message-ID value "<random@domain>", the domain taken from the sender's address.
std::string NewMessageId(std::string_view senderAddress);

}  // namespace tarn::mail
