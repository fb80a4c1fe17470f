// SendHtmlMail: the typed addresses and subject checked and encoded, the page packed by the
// MIME packer straight into the DATA stream, over Winsock (and TLS where due).
#include "mail/smtp_delivery.h"

#include "common/utf8.h"
#include "html/mime_encoding.h"
#include "html/mime_packer.h"
#include "html/win32_file_access.h"
#include "mail/mail_addresses.h"
#include "mail/smtp_session.h"
#include "mail/smtp_transport.h"

#include <windows.h>

namespace tarn::mail {

namespace {

constexpr unsigned short kImplicitTlsPort = 465;

// The name this computer gives in EHLO: its DNS host name when it is one, else a literal
// that every server takes.
std::string ClientName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsFullyQualified, name, &size) && size > 0) {
        const std::string text(name, size);
        if (text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
            std::string::npos)
            return text;
    }
    return "[127.0.0.1]";
}

DeliveryResult Failure(long number, std::string_view description) {
    return DeliveryResult{false, number, FromUtf8(description)};
}

}  // namespace

DeliveryResult SendHtmlMail(const MailMessage& message, const SmtpSettings& settings) {
    try {
        const std::vector<MailAddress> from = ParseAddressList(Utf8(message.from));
        if (from.size() != 1) return Failure(E_INVALIDARG, "The message needs exactly one From address");
        const std::vector<MailAddress> to = ParseAddressList(Utf8(message.to));
        const std::vector<MailAddress> cc = ParseAddressList(Utf8(message.cc));
        const std::vector<MailAddress> bcc = ParseAddressList(Utf8(message.bcc));
        if (settings.server.empty()) return Failure(E_INVALIDARG, "No SMTP server is set");
        const long port = settings.port < 1 ? 25 : settings.port;
        if (port > 65535) return Failure(E_INVALIDARG, "The SMTP port " + std::to_string(port) + " does not exist");

        PackOptions pack;
        pack.from = AddressListValue(from);
        pack.subject = SingleLineSubject(Utf8(message.subject));
        if (!to.empty()) pack.moreHeaders += HeaderField("To", AddressListValue(to));
        if (!cc.empty()) pack.moreHeaders += HeaderField("Cc", AddressListValue(cc));
        pack.moreHeaders += HeaderField("Message-ID", NewMessageId(from.front().address));

        SmtpRequest request;
        request.clientName = ClientName();
        request.sender = from.front().address;
        for (const auto* list : {&to, &cc, &bcc})
            for (const MailAddress& a : *list) request.recipients.push_back(a.address);
        request.authenticate = settings.authenticate;
        if (settings.authenticate) {
            request.user = Utf8(settings.userId);
            request.password = Utf8(settings.password);
        }
        Win32FileAccess files;
        const std::string page = Utf8(message.htmlPath);
        request.writeMessage = [&](ByteSink& out) { (void)PackHtml(page, files, out, pack); };

        const auto transport = ConnectSmtpTransport(settings.server, static_cast<unsigned short>(port),
                                                    {settings.connectTimeoutSeconds, settings.readTimeoutSeconds});
        if (port == kImplicitTlsPort) transport->StartTls();
        SmtpSession(*transport).Send(request);
        SecureZeroMemory(request.password.data(), request.password.size());
        return DeliveryResult{true, 0, {}};
    } catch (const SmtpError& e) {
        return Failure(e.replyCode() ? e.replyCode() : e.systemCode() ? e.systemCode() : E_FAIL, e.what());
    } catch (const std::exception& e) {
        return Failure(E_FAIL, e.what());
    }
}

}  // namespace tarn::mail
