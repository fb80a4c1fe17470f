// SMTP delivery's speed: a page and its pictures sent to a server on 127.0.0.1 by
// SendHtmlMail (packing, dot-stuffing and the conversation included), best of `runs`. Run by
// bench/run_smtp_bench.py beside Python's smtplib; see docs/benchmarks.md.
//
//     smtp_send_bench.exe <page> <port> [runs]
//
// Prints key=value lines: the best time, or the failure.
#include "mail/smtp_delivery.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Widen(const char* text) {
    std::wstring out(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), static_cast<int>(out.size()));
    out.pop_back();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: smtp_send_bench <page> <port> [runs]\n");
        return 3;
    }
    tarn::mail::SmtpSettings settings;
    settings.server = L"127.0.0.1";
    settings.port = std::atol(argv[2]);
    const tarn::mail::MailMessage message{L"bench@example.com", L"to@example.com", L"", L"",
                                          L"Pictures",          Widen(argv[1])};
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const tarn::mail::DeliveryResult result = tarn::mail::SendHtmlMail(message, settings);
        if (!result.sent) {
            std::fprintf(stderr, "sending failed: %ld\n", result.errorNumber);
            return 1;
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("best_s=%.3f\n", best);
    return 0;
}
