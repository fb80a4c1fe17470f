// Winsock and Schannel under the SMTP conversation. Every wait goes through select() with a
// deadline, so a server that accepts and then says nothing costs at most the read limit.
#define SECURITY_WIN32
#include "mail/smtp_transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <chrono>

namespace tarn::mail {

namespace {

using Clock = std::chrono::steady_clock;

std::string Narrow(std::wstring_view text) {
    std::string out;
    for (const wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

[[noreturn]] void ThrowSocketError(const std::string& what, int error) {
    throw SmtpError(what + " (Winsock error " + std::to_string(error) + ")", 0,
                    static_cast<long>(HRESULT_FROM_WIN32(static_cast<DWORD>(error))));
}

[[noreturn]] void ThrowTlsError(const std::string& what, SECURITY_STATUS status) {
    char hex[16];
    wsprintfA(hex, "0x%08lX", static_cast<unsigned long>(status));
    throw SmtpError(what + " (security status " + hex + ")", 0, static_cast<long>(status));
}

// Waits until the socket can be read (or written); false when `seconds` pass first.
bool WaitFor(SOCKET s, bool write, int seconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval limit{seconds, 0};
    const int ready = select(0, write ? nullptr : &set, write ? &set : nullptr, &failed, &limit);
    if (ready == SOCKET_ERROR) ThrowSocketError("Waiting for the server failed", WSAGetLastError());
    return ready > 0;
}

class SocketTransport final : public SmtpTransport {
public:
    SocketTransport(SOCKET s, std::wstring host, int readSeconds)
        : socket_(s), host_(std::move(host)), readSeconds_(readSeconds) {}
    ~SocketTransport() override {
        if (tlsContext_) DeleteSecurityContext(&context_);
        if (credentials_) FreeCredentialsHandle(&credentialsHandle_);
        closesocket(socket_);
        WSACleanup();
    }

    void Send(std::string_view bytes) override {
        if (!tls_) return SendRaw(bytes);
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(bytes.size() - at, sizes_.cbMaximumMessage);
            std::string record(sizes_.cbHeader + n + sizes_.cbTrailer, '\0');
            std::copy_n(bytes.data() + at, n, record.data() + sizes_.cbHeader);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = EncryptMessage(&context_, 0, &description, 0);
            if (status != SEC_E_OK) ThrowTlsError("Encrypting for the server failed", status);
            SendRaw(std::string_view(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer));
            at += n;
        }
    }

    std::size_t Receive(char* buffer, std::size_t size) override {
        if (!tls_) return ReceiveRaw(buffer, size);
        while (plain_.empty()) Decrypt();
        const std::size_t n = std::min(size, plain_.size());
        std::copy_n(plain_.data(), n, buffer);
        plain_.erase(0, n);
        return n;
    }

    void StartTls() override {
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        wchar_t package[] = UNISP_NAME_W;
        SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings,
                                                           nullptr, nullptr, &credentialsHandle_, nullptr);
        if (status != SEC_E_OK) ThrowTlsError("Encryption is not available", status);
        credentials_ = true;
        Handshake();
        status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        if (status != SEC_E_OK) ThrowTlsError("Encryption could not be set up", status);
    }

    bool Encrypted() const override { return tls_; }

private:
    void SendRaw(std::string_view bytes) {
        while (!bytes.empty()) {
            if (!WaitFor(socket_, true, readSeconds_))
                ThrowSocketError("The server took no data for " + std::to_string(readSeconds_) + " seconds",
                                 WSAETIMEDOUT);
            const int sent =
                send(socket_, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
            if (sent == SOCKET_ERROR) ThrowSocketError("Sending to the server failed", WSAGetLastError());
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    std::size_t ReceiveRaw(char* buffer, std::size_t size) {
        if (!WaitFor(socket_, false, readSeconds_))
            ThrowSocketError("The server did not answer within " + std::to_string(readSeconds_) + " seconds",
                             WSAETIMEDOUT);
        const int got = recv(socket_, buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
        if (got == SOCKET_ERROR) ThrowSocketError("Receiving from the server failed", WSAGetLastError());
        if (got == 0) throw SmtpError("The server closed the connection");
        return static_cast<std::size_t>(got);
    }

    void ReadMoreEncrypted() {
        char buffer[16 * 1024];
        encrypted_.append(buffer, ReceiveRaw(buffer, sizeof buffer));
    }

    void SendToken(SecBuffer& token) {
        if (token.cbBuffer > 0 && token.pvBuffer) {
            const std::string bytes(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
            FreeContextBuffer(token.pvBuffer);
            token.pvBuffer = nullptr;
            SendRaw(bytes);
        } else if (token.pvBuffer) {
            FreeContextBuffer(token.pvBuffer);
        }
    }

    void Handshake() {
        constexpr unsigned long kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
        std::wstring target = host_;
        unsigned long granted = 0;
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
        SECURITY_STATUS status = InitializeSecurityContextW(&credentialsHandle_, nullptr, target.data(), kRequest, 0, 0,
                                                            nullptr, 0, &context_, &outDescription, &granted, nullptr);
        if (status != SEC_I_CONTINUE_NEEDED) ThrowTlsError("The encrypted connection could not start", status);
        tlsContext_ = true;
        SendToken(out);
        bool needMore = true;
        for (;;) {
            if (needMore || encrypted_.empty()) ReadMoreEncrypted();
            SecBuffer in[2] = {{static_cast<unsigned long>(encrypted_.size()), SECBUFFER_TOKEN, encrypted_.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
            out = {0, SECBUFFER_TOKEN, nullptr};
            status = InitializeSecurityContextW(&credentialsHandle_, &context_, target.data(), kRequest, 0, 0,
                                                &inDescription, 0, nullptr, &outDescription, &granted, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needMore = true;
                continue;
            }
            SendToken(out);
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
                encrypted_.erase(0, encrypted_.size() - in[1].cbBuffer);
            else
                encrypted_.clear();
            if (status == SEC_E_OK) break;
            if (status != SEC_I_CONTINUE_NEEDED) ThrowTlsError("The server's encryption was not accepted", status);
            needMore = encrypted_.empty();
        }
        tls_ = true;
    }

    void Decrypt() {
        if (encrypted_.empty()) ReadMoreEncrypted();
        SecBuffer buffers[4] = {{static_cast<unsigned long>(encrypted_.size()), SECBUFFER_DATA, encrypted_.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) return ReadMoreEncrypted();
        if (status == SEC_I_CONTEXT_EXPIRED) throw SmtpError("The server closed the encrypted connection");
        if (status != SEC_E_OK) ThrowTlsError("Decrypting the server's reply failed", status);
        std::string extra;
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA) plain_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            if (b.BufferType == SECBUFFER_EXTRA) extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
        }
        encrypted_ = std::move(extra);
    }

    SOCKET socket_;
    std::wstring host_;
    int readSeconds_;
    bool credentials_ = false;
    CredHandle credentialsHandle_{};
    bool tlsContext_ = false;
    CtxtHandle context_{};
    bool tls_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::string encrypted_;  // bytes from the server not yet decrypted
    std::string plain_;      // decrypted bytes not yet handed on
};

// Connects without blocking, so the wait is ours to bound; the socket blocks again after.
SOCKET ConnectWithin(const addrinfoW& address, Clock::time_point deadline, int& error) {
    SOCKET s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return s;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == SOCKET_ERROR) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
            error = WSAETIMEDOUT;
            if (left > 0 && WaitFor(s, true, static_cast<int>(left))) {
                int soError = 0;
                int length = sizeof soError;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
                error = soError;
            }
        }
        if (error != 0) {
            closesocket(s);
            return INVALID_SOCKET;
        }
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return s;
}

}  // namespace

std::unique_ptr<SmtpTransport> ConnectSmtpTransport(const std::wstring& host, unsigned short port,
                                                    const ConnectLimits& limits) {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data)) ThrowSocketError("Winsock is not available", error);
    struct Cleanup {
        bool armed = true;
        ~Cleanup() {
            if (armed) WSACleanup();
        }
    } cleanup;

    addrinfoW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfoW* found = nullptr;
    const std::wstring service = std::to_wstring(port);
    if (const int error = GetAddrInfoW(host.c_str(), service.c_str(), &hints, &found))
        ThrowSocketError("The SMTP server " + Narrow(host) + " was not found", error);
    const auto deadline = Clock::now() + std::chrono::seconds(limits.connectSeconds);
    int error = WSAETIMEDOUT;
    SOCKET s = INVALID_SOCKET;
    for (const addrinfoW* a = found; a && s == INVALID_SOCKET && Clock::now() < deadline; a = a->ai_next)
        s = ConnectWithin(*a, deadline, error);
    FreeAddrInfoW(found);
    if (s == INVALID_SOCKET)
        ThrowSocketError("Cannot connect to the SMTP server " + Narrow(host) + " at port " + std::to_string(port),
                         error);
    cleanup.armed = false;
    return std::make_unique<SocketTransport>(s, host, limits.readSeconds);
}

}  // namespace tarn::mail
