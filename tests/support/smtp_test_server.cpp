// Starting and stopping the test SMTP server, and reading what it received.
#include "smtp_test_server.h"

#include <cstdlib>
#include <filesystem>

namespace tarn::test {

SmtpTestServer::SmtpTestServer(const std::string& options) {
    const std::string script = UnixPath((SourceRoot() / L"tests/support/smtp_server.py").wstring());
    if (!StartLinux("/usr/bin/python3 '" + script + "' '" + UnixPath(folder_.path()) + "' " + options)) return;
    const std::wstring portFile = folder_ / L"port";
    if (!ui::WaitUntil([&] { return std::filesystem::exists(portFile); }, ui::Milliseconds(20000))) return;
    const std::string text = FileBytes(portFile);
    port_ = static_cast<unsigned short>(std::strtoul(text.c_str(), nullptr, 10));
}

SmtpTestServer::~SmtpTestServer() {
    if (port_ == 0) return;
    WriteBytes(folder_ / L"stop", "");
    // It removes its port file when it ends; its other files go with the folder.
    const std::wstring portFile = folder_ / L"port";
    ui::WaitUntil([&] { return !std::filesystem::exists(portFile); }, ui::Milliseconds(5000));
}

std::optional<SmtpTestServer::Received> SmtpTestServer::WaitForMessage(int n, ui::Milliseconds timeout) const {
    const std::wstring facts = folder_ / (L"message-" + std::to_wstring(n) + L".txt");
    if (!ui::WaitUntil([&] { return std::filesystem::exists(facts); }, timeout)) return std::nullopt;
    return Received{FileBytes(facts), folder_ / (L"message-" + std::to_wstring(n) + L".eml")};
}

int SmtpTestServer::MessageCount() const {
    int n = 0;
    while (std::filesystem::exists(folder_ / (L"message-" + std::to_wstring(n + 1) + L".txt"))) ++n;
    return n;
}

std::string MailReading(const std::wstring& message) {
    ScratchFolder out;
    const std::wstring answer = out / L"reading.txt";
    const std::string script = UnixPath((SourceRoot() / L"tests/support/mail_check.py").wstring());
    if (!StartLinux("/usr/bin/python3 '" + script + "' '" + UnixPath(message) + "' --out '" + UnixPath(answer) + "'"))
        return "error: python3 did not start";
    if (!ui::WaitUntil([&] { return std::filesystem::exists(answer); }, ui::Milliseconds(60000)))
        return "error: no reading within 60 s";
    return FileBytes(answer);
}

}  // namespace tarn::test
