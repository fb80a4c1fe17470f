// The packer reads the page twice: once to learn its references, charset and title and to
// find the files, once to write it with the references rewritten. Between the two it knows
// every part's name, so the page can go first, as RFC 2557 readers expect.
#include "html/mime_packer.h"

#include "html/html_references.h"
#include "html/mime_encoding.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

namespace tarn {

namespace {

constexpr std::size_t kReadChunk = 57 * 1024 * 16;  // whole base64 lines
constexpr std::size_t kSniffBytes = 64;

class StandardFileSource final : public FileSource {
public:
    explicit StandardFileSource(std::ifstream in) : in_(std::move(in)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        in_.read(buffer, static_cast<std::streamsize>(size));
        if (in_.bad()) throw std::runtime_error("Cannot read a file");
        return static_cast<std::size_t>(in_.gcount());
    }

private:
    std::ifstream in_;
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsDriveStart(std::string_view s) {
    return s.size() >= 2 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) &&
           (s[1] == ':' || s[1] == '|');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool ValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const end = p + s.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = *p >= 0xC2 && *p <= 0xDF ? 1 : *p >= 0xE0 && *p <= 0xEF ? 2 : *p >= 0xF0 && *p <= 0xF4 ? 3 : 0;
        if (n == 0 || end - p <= n) return false;
        unsigned cp = *p & (0x3Fu >> n);
        for (int k = 1; k <= n; ++k) {
            if ((p[k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[k] & 0x3Fu);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += n + 1;
    }
    return true;
}

std::string PercentDecoded(std::string_view s) {
    std::string bytes;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            bytes += s[i];
        }
    }
    // Escapes of a file URL are UTF-8; older writers escaped the ANSI code page's bytes.
    return ValidUtf8(bytes) ? bytes : ToUtf8(bytes, PageCharset::Windows1252);
}

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::string WithoutQueryAndFragment(std::string_view s) { return std::string(s.substr(0, s.find_first_of("?#"))); }

// The folder part of a path (without its last separator), empty when it has none.
std::string FolderOfPath(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}
std::string NameOfPath(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// A path written the same way whatever the spelling: "/" separators, "." and ".."
// resolved, repeated separators joined; a Windows path also in lower case.
std::string FileKey(const std::string& path) {
    std::string p = Slashes(path);
    const bool unc = p.rfind("//", 0) == 0;
    const bool windows = unc || IsDriveStart(p);
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= p.size()) {
        std::size_t j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        std::string part = p.substr(i, j - i);
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (part != "." && !(part.empty() && !parts.empty())) {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string key = unc ? "/" : "";
    for (std::size_t k = 0; k < parts.size(); ++k) key += (k ? "/" : "") + parts[k];
    if (windows)
        for (char& c : key) c = LowerAscii(c);
    return key;
}

// The left part of a Content-ID: `id` and a readable form of a file's name
// (letters, digits, "-", "_" and single inner dots; others become "_"), at most 60 long.
std::string IdName(std::string id, std::string_view name) {
    for (const char ch : name.substr(0, 60)) {
        const auto c = static_cast<unsigned char>(ch);
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || (c == '.' && id.back() != '.');
        id += kept ? ch : '_';
    }
    while (!id.empty() && id.back() == '.') id.pop_back();
    if (id.empty()) id = "page";
    return id;
}

std::string UniqueToken() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::uint64_t seed = (std::uint64_t{device()} << 32) ^ device() ^
                         static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         (std::uint64_t{++counter} << 48);
    std::mt19937_64 engine(seed);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string token;
    for (std::uint64_t v = engine(), n = 0; n < 16; ++n, v >>= 4) token += kHex[v & 15];
    return token;
}

struct Part {
    std::string path;
    std::string location;
    std::string contentType;
};

// Every src value of the page, and the scanner's findings.
struct PageScan {
    std::vector<std::string> rawValues;  // distinct, in order of first appearance
    std::string charset;
    std::string title;
    bool utf8 = true;
};

PageScan ScanPage(FileSource& page) {
    PageScan scan;
    HtmlReferenceScanner scanner;
    std::set<std::string> seen;
    auto found = [&](const SourceAttribute& a) {
        if (seen.insert(a.raw).second) scan.rawValues.push_back(a.raw);
    };
    std::vector<char> buffer(kReadChunk);
    std::string tail;  // the last bytes of a UTF-8 sequence cut by a chunk
    for (std::size_t n; (n = page.Read(buffer.data(), buffer.size())) > 0;) {
        std::string_view chunk(buffer.data(), n);
        scanner.Feed(chunk, found);
        if (scan.utf8) {
            // Whole sequences only: up to three bytes of a cut one wait for the next chunk.
            std::string all = tail + std::string(chunk);
            std::size_t end = all.size();
            std::size_t back = 0;
            while (back < 3 && back < end && (static_cast<unsigned char>(all[end - 1 - back]) & 0xC0) == 0x80) ++back;
            if (back < end && static_cast<unsigned char>(all[end - 1 - back]) >= 0xC0) end -= back + 1;
            scan.utf8 = ValidUtf8(std::string_view(all).substr(0, end));
            tail = all.substr(end);
        }
    }
    scanner.Finish(found);
    scan.utf8 = scan.utf8 && ValidUtf8(tail);
    scan.charset = scanner.declaredCharset();
    bool token = !scan.charset.empty() && scan.charset.size() <= 40;
    for (const char c : scan.charset)
        token =
            token && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':');
    if (!token) scan.charset = scan.utf8 ? "utf-8" : "windows-1252";
    scan.title = DecodeAttributeValue(scanner.title(), PageCharsetOf(scan.charset));
    return scan;
}

// Writes the page with each packed reference replaced by its part's location. Bytes from
// an unfinished src value on are held back until the value ends.
void WriteRewrittenPage(FileSource& page, const std::map<std::string, std::string>& replacements,
                        QuotedPrintableWriter& out) {
    HtmlReferenceScanner scanner;
    std::string held;  // page bytes from `heldFrom` on, not yet written
    std::uint64_t heldFrom = 0;
    auto found = [&](const SourceAttribute& a) {
        const auto it = replacements.find(a.raw);
        if (it == replacements.end()) return;
        out.Put(std::string_view(held).substr(0, a.begin - heldFrom));
        out.Put("\"" + it->second + "\"");
        held.erase(0, a.end - heldFrom);
        heldFrom = a.end;
    };
    std::vector<char> buffer(kReadChunk);
    for (std::size_t n; (n = page.Read(buffer.data(), buffer.size())) > 0;) {
        // The scanner reports a value once it has seen its end, which lies in bytes
        // already held, so the chunk is held before it is scanned.
        held.append(buffer.data(), n);
        scanner.Feed(std::string_view(buffer.data(), n), found);
        const std::uint64_t safe = scanner.OpenValueBegin().value_or(heldFrom + held.size());
        out.Put(std::string_view(held).substr(0, safe - heldFrom));
        held.erase(0, safe - heldFrom);
        heldFrom = safe;
    }
    scanner.Finish(found);
    out.Put(held);
}

}  // namespace

std::unique_ptr<FileSource> StandardFileAccess::Open(const std::string& path) {
    const std::filesystem::path p(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(p, error)) return nullptr;
    std::ifstream in(p, std::ios::binary);
    if (!in) return nullptr;
    return std::make_unique<StandardFileSource>(std::move(in));
}

std::vector<std::string> LocalFileCandidates(const std::string& reference, const std::string& pageFolder) {
    std::string_view r = reference;
    if (r.empty() || r[0] == '#' || r[0] == '?') return {};
    std::size_t colon = 0;
    while (colon < r.size() && r[colon] != ':' && r[colon] != '/' && r[colon] != '\\' && r[colon] != '?' &&
           r[colon] != '#')
        ++colon;
    std::string raw;
    const bool hasScheme = colon < r.size() && r[colon] == ':' && colon > 0;
    if (hasScheme && colon == 1) {
        raw = std::string(r);  // a drive: C:\x
    } else if (hasScheme) {
        std::string scheme;
        for (const char c : r.substr(0, colon)) scheme += LowerAscii(c);
        if (scheme != "file") return {};
        std::string_view rest = r.substr(colon + 1);
        if (rest.size() >= 2 && (rest[0] == '/' || rest[0] == '\\') && (rest[1] == '/' || rest[1] == '\\')) {
            rest.remove_prefix(2);
            const std::size_t slash = rest.find_first_of("/\\");
            std::string host(rest.substr(0, slash == std::string_view::npos ? rest.size() : slash));
            for (char& c : host) c = LowerAscii(c);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
            if (!host.empty() && host != "localhost") {
                raw = "//" + host + std::string(rest);
                rest = {};
            }
        }
        if (raw.empty()) {
            // "/C:/x" and "/C|/x" are drive paths.
            if (rest.size() >= 3 && (rest[0] == '/' || rest[0] == '\\') && IsDriveStart(rest.substr(1)))
                rest.remove_prefix(1);
            raw = std::string(rest);
            if (IsDriveStart(raw)) raw[1] = ':';
        }
        if (raw.empty()) return {};
    } else {
        const bool network = r.size() >= 2 && (r[0] == '/' || r[0] == '\\') && (r[1] == '/' || r[1] == '\\');
        if (network) {
            if (r[0] != '\\') return {};  // "//host/x" belongs to the page's scheme
            raw = std::string(r);         // \\server\share\x
        } else if (r[0] == '/' || r[0] == '\\') {
            raw = (IsDriveStart(pageFolder) ? pageFolder.substr(0, 2) : std::string()) + std::string(r);
        } else {
            raw = pageFolder.empty() ? std::string(r) : pageFolder + "/" + std::string(r);
        }
    }
    std::vector<std::string> candidates;
    std::string decoded = Slashes(PercentDecoded(WithoutQueryAndFragment(raw)));
    if (!decoded.empty()) candidates.push_back(decoded);
    std::string asWritten = Slashes(raw);
    if (asWritten != decoded) candidates.push_back(asWritten);
    return candidates;
}

PackResult PackHtml(const std::string& htmlPath, FileAccess& files, ByteSink& out, const PackOptions& options) {
    std::unique_ptr<FileSource> page = files.Open(htmlPath);
    if (!page) throw std::runtime_error("Cannot open the page " + htmlPath);
    const PageScan scan = ScanPage(*page);
    const PageCharset charset = PageCharsetOf(scan.charset);

    // Every part is named by its Content-ID, and its Content-Location is the "cid:" URL of
    // that ID (RFC 2392), which the page's references are rewritten to: a reader finds the
    // part whether it matches locations or IDs, and no name depends on the sender's disk.
    const std::string token = UniqueToken();
    const std::string pageName = options.pageName.empty() ? NameOfPath(htmlPath) : options.pageName;
    const std::string pageId = IdName("", pageName) + "@" + token;

    PackResult result;
    std::vector<Part> parts;
    std::map<std::string, std::size_t> partByKey;
    std::map<std::string, std::string> replacements;  // raw src value -> location
    const std::string folder = FolderOfPath(htmlPath);
    for (const std::string& raw : scan.rawValues) {
        const std::string reference = DecodeAttributeValue(raw, charset);
        std::unique_ptr<FileSource> file;
        std::string path;
        for (const std::string& candidate : LocalFileCandidates(reference, folder)) {
            if ((file = files.Open(candidate))) {
                path = candidate;
                break;
            }
        }
        if (!file) {
            result.leftAlone.push_back(reference);
            continue;
        }
        const std::string key = FileKey(path);
        auto [at, added] = partByKey.emplace(key, parts.size());
        if (added) {
            std::string first(kSniffBytes, '\0');
            std::size_t got = 0;
            for (std::size_t n; got < first.size() && (n = file->Read(first.data() + got, first.size() - got)) > 0;)
                got += n;
            first.resize(got);
            const std::string name = NameOfPath(path);
            const std::string location = "cid:" + IdName(std::to_string(parts.size() + 1) + ".", name) + "@" + token;
            parts.push_back(Part{path, location, ContentTypeOf(first, name)});
        }
        replacements[raw] = parts[at->second].location;
    }

    // "=_" cannot occur in quoted-printable or base64 text, so no part can hold the boundary.
    result.token = token;
    result.boundary = "----=_NextPart_" + token;
    result.charset = scan.charset;
    const std::string dashes = "--" + result.boundary;
    std::string head = HeaderField("From", options.from);
    head += options.moreHeaders;
    head += HeaderField("Subject", options.subject.value_or(scan.title));
    head += HeaderField("Date", MailDate(options.date));
    head += "MIME-Version: 1.0\r\n";
    head += "Content-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n\tboundary=\"" + result.boundary + "\"\r\n";
    head += "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
    head += dashes + "\r\n";
    head += "Content-Type: text/html; charset=\"" + scan.charset + "\"\r\n";
    head += "Content-Transfer-Encoding: quoted-printable\r\n";
    head += "Content-Location: cid:" + pageId + "\r\n";
    head += "Content-ID: <" + pageId + ">\r\n\r\n";
    out.Write(head);

    page = files.Open(htmlPath);
    if (!page) throw std::runtime_error("Cannot open the page " + htmlPath + " again");
    QuotedPrintableWriter qp(out);
    WriteRewrittenPage(*page, replacements, qp);
    qp.Finish();
    page.reset();

    std::vector<char> buffer(kReadChunk);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        std::unique_ptr<FileSource> file = files.Open(part.path);
        if (!file) throw std::runtime_error("The file " + part.path + " went away while it was packed");
        std::string partHead = "\r\n" + dashes + "\r\n";
        partHead += "Content-Type: " + part.contentType + "\r\n";
        partHead += "Content-Transfer-Encoding: base64\r\n";
        partHead += "Content-Location: " + part.location + "\r\n";
        partHead += "Content-ID: <" + part.location.substr(4) + ">\r\n\r\n";
        out.Write(partHead);
        Base64Writer base64(out);
        std::uint64_t size = 0;
        for (std::size_t n; (n = file->Read(buffer.data(), buffer.size())) > 0; size += n)
            base64.Put(std::string_view(buffer.data(), n));
        base64.Finish();
        result.files.push_back(PackedFile{part.path, part.location, part.contentType, size});
    }
    out.Write("\r\n" + dashes + "--\r\n");
    out.Close();
    return result;
}

}  // namespace tarn
