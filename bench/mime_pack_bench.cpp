// The MIME packer's speed: a page and the picture set it refers to, packed into one
// archive through the Windows file access the MHTML exporter uses, best of `runs`. Run by
// bench/run_mime_bench.py beside Python's email package; see docs/benchmarks.md.
//
//     mime_pack_bench.exe <page> <archive> [runs]
//
// Prints key=value lines: the archive's size and the best time.
#include "html/mhtml_export.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
        std::fprintf(stderr, "usage: mime_pack_bench <page> <archive> [runs]\n");
        return 3;
    }
    const std::wstring page = Widen(argv[1]), archive = Widen(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        try {
            tarn::PackPageArchive(page, archive);
        } catch (...) {
            std::fprintf(stderr, "packing failed\n");
            return 1;
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("archive_bytes=%ju\nbest_s=%.3f\n", static_cast<std::uintmax_t>(std::filesystem::file_size(archive)),
                best);
    return 0;
}
