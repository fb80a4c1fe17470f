// The test print queues (scripts/print_queue.py) seen from Wine: their Windows printer names,
// and the jobs the PDF queue wrote, found by a word of their title and read back by qpdf and
// poppler.
#pragma once

#include "win_support.h"

#include <chrono>
#include <iterator>
#include <sstream>

namespace tarn::test {

inline constexpr wchar_t kTestPrinter[] = L"Tarnwick_Test_Printer";
inline constexpr wchar_t kRejectingPrinter[] = L"Tarnwick_Rejecting_Printer";
inline constexpr wchar_t kPrintedJobs[] = L"Z:\\var\\spool\\tarnwick-print";

// A word no other job's title holds: letters only, so the job's file name keeps it.
inline std::wstring UniqueJobWord() {
    static unsigned counter = 0;
    std::wstring word = L"job";
    for (unsigned long long n = GetTickCount64() * 1000 + GetCurrentProcessId() % 100 * 10 + counter++ % 10; n; n /= 26)
        word += static_cast<wchar_t>(L'a' + n % 26);
    return word;
}

// Names of the queue's files whose name holds `word`.
inline std::vector<std::wstring> JobFiles(const std::wstring& word) {
    std::vector<std::wstring> found;
    for (const std::wstring& name : FilesIn(kPrintedJobs))
        if (name.find(word) != std::wstring::npos) found.push_back(std::wstring(kPrintedJobs) + L"\\" + name);
    return found;
}

// The printed job whose title holds `word`, once it reads whole (its files are removed then);
// an empty reading when none came by the deadline.
inline PdfReadBack PrintedJob(const std::wstring& word, ui::Milliseconds wait = std::chrono::seconds(60)) {
    PdfReadBack reading;
    auto lastTry = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    const bool read = ui::WaitUntil(
        [&] {
            if (std::chrono::steady_clock::now() - lastTry < std::chrono::milliseconds(300)) return false;
            lastTry = std::chrono::steady_clock::now();
            for (const std::wstring& file : JobFiles(word))
                if (file.ends_with(L".pdf")) reading = PdfReading(file);
            return reading.check.find("No syntax or stream encoding errors") != std::string::npos;
        },
        wait);
    for (const std::wstring& file : JobFiles(word)) DeleteFileW(file.c_str());
    return read ? reading : PdfReadBack{};
}

// The words of a text, whatever the spaces between them.
inline std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

}  // namespace tarn::test
