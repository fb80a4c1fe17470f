// libFuzzer target for the HTML reference scanning and the packing around it: any bytes as
// a page must scan to the same values whether they arrive whole or in pieces, every value
// must lie inside the page, and the page packed (with every local reference naming a small
// file) must be a MIME document with CR LF line ends and short lines.
#include "html/html_references.h"
#include "html/mime_packer.h"
#include "memory_files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Found {
    std::uint64_t begin, end;
    std::string raw;
    bool operator==(const Found&) const = default;
};

std::vector<Found> Scan(std::string_view page, std::size_t piece, std::string& charset, std::string& title) {
    tarn::HtmlReferenceScanner scanner;
    std::vector<Found> found;
    auto add = [&](const tarn::SourceAttribute& a) { found.push_back({a.begin, a.end, a.raw}); };
    for (std::size_t i = 0; i < page.size(); i += piece) scanner.Feed(page.substr(i, piece), add);
    scanner.Finish(add);
    charset = scanner.declaredCharset();
    title = scanner.title();
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    std::string charset, title, charset2, title2;
    const std::vector<Found> whole = Scan(page, page.size() + 1, charset, title);
    const std::size_t piece = size > 0 ? 1 + data[0] % 13 : 1;
    if (Scan(page, piece, charset2, title2) != whole || charset != charset2 || title != title2) std::abort();
    for (const Found& f : whole) {
        if (f.begin > f.end || f.end > size || f.raw.size() > f.end - f.begin) std::abort();
        const std::string decoded = tarn::DecodeAttributeValue(f.raw, tarn::PageCharsetOf(charset));
        (void)tarn::LocalFileCandidates(decoded, "/p");
    }

    // The page at /p/page.htm; every other path whose name holds an "x" is a small picture.
    tarn::test::MemoryFiles files;
    files.files["/p/page.htm"] = std::string(page);
    files.fallback = [](const std::string& path) -> std::optional<std::string> {
        if (path.find('x', path.rfind('/') + 1) == std::string::npos) return std::nullopt;
        return std::string("GIF89a\x01\0\x01\0", 10);
    };
    tarn::MemorySink out;
    const tarn::PackResult result = tarn::PackHtml("/p/page.htm", files, out);
    const std::string& mime = out.bytes();
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < mime.size(); ++i) {
        if (mime[i] == '\n') {
            if (i == 0 || mime[i - 1] != '\r' || i - lineStart > 999) std::abort();
            lineStart = i + 1;
        } else if (mime[i] == '\r' && (i + 1 == mime.size() || mime[i + 1] != '\n')) {
            std::abort();
        }
    }
    const std::string end = "\r\n--" + result.boundary + "--\r\n";
    if (mime.size() < end.size() || mime.compare(mime.size() - end.size(), end.size(), end) != 0) std::abort();
    // The boundary stands only on its delimiter lines: the page's, one per file, the last.
    std::size_t delimiters = 0;
    for (std::size_t at = mime.find("--" + result.boundary); at != std::string::npos;
         at = mime.find("--" + result.boundary, at + 1)) {
        if (at < 2 || mime.compare(at - 2, 2, "\r\n") != 0) std::abort();
        ++delimiters;
    }
    if (delimiters != result.files.size() + 2) std::abort();
    return 0;
}
