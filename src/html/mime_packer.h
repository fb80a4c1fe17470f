// The MIME packer: an HTML page and the local files it refers to by src, as one
// multipart/related document (RFC 2557, MHTML). The page is the first part (text/html in
// its own charset, quoted-printable); each file it refers to follows once, base64, with a
// Content-ID and a Content-Location that the page's rewritten src equals. References that
// are not local files, or name a missing file or a folder, stay as they were. Parts are
// named "cid:" URLs of their Content-IDs, so no name carries the sender's folders. Files are
// read in chunks and written straight through, so memory does not grow with their size.
// Portable: files are reached through FileAccess, so the Windows side opens wide paths.
#pragma once

#include "common/byte_sink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// An open file, read front to back.
class FileSource {
public:
    virtual ~FileSource() = default;
    // Up to `size` bytes into `buffer`; 0 at the end. Throws std::runtime_error when reading fails.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// How the packer opens files. Paths are UTF-8, with "/" or "\" as separators.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // The regular file at `path`, or null when there is none (missing, a folder, unreadable).
    virtual std::unique_ptr<FileSource> Open(const std::string& path) = 0;
};

// Files through the standard library (native paths from UTF-8).
class StandardFileAccess final : public FileAccess {
public:
    std::unique_ptr<FileSource> Open(const std::string& path) override;
};

struct PackOptions {
    // The page's name in its Content-ID; the page's own file name when empty.
    std::string pageName;
    // Subject; the page's title when not given.
    std::optional<std::string> subject;
    std::string from = "Quillon Export Engine <export@quillonsoft.invalid>";
    // Further header lines, each ending in CR LF and already encoded (To, Cc, Message-ID of
    // a mail), written after From.
    std::string moreHeaders;
    std::chrono::system_clock::time_point date = std::chrono::system_clock::now();
};

struct PackedFile {
    std::string path;      // the file as opened
    std::string location;  // its Content-Location, which the page's src now equals
    std::string contentType;
    std::uint64_t bytes = 0;
};

struct PackResult {
    std::string token;  // the random part of the boundary and of every Content-ID
    std::string boundary;
    std::string charset;                 // the page part's charset
    std::vector<PackedFile> files;       // the parts after the page, in order
    std::vector<std::string> leftAlone;  // src values (decoded) that were not packed
};

// Writes the document for the page at `htmlPath` to `out` (and closes it). Throws
// std::runtime_error when the page cannot be read or a file cannot be read to its end.
PackResult PackHtml(const std::string& htmlPath, FileAccess& files, ByteSink& out, const PackOptions& options = {});

// Where a src value (decoded, UTF-8) of a page in `pageFolder` may be found, most likely
// first: nothing for references that are not local files (other schemes, fragments), else
// the path with percent escapes decoded and then as written.
std::vector<std::string> LocalFileCandidates(const std::string& reference, const std::string& pageFolder);

}  // namespace tarn
