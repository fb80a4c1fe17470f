// The MHTML export: the HTML exporter writes an ordinary page beside the target, the MIME
// packer turns it and its pictures into one archive, and the page and its side folder go.
#pragma once

#include "common/export_options.h"

#include <functional>
#include <string>

namespace tarn {

// Has an HTML export write its page to `temporaryPage`, set up for an archive (the
// caller's options, that target, no dialog, quiet, file format "MHTML"); true when it did.
using MhtmlPageWriter = std::function<bool(const ExportOptions& pageOptions)>;

// Asks for the archive's file unless skipped (false when cancelled), writes the page
// through `writePage` and, when it was written, packs it into TargetFilename and deletes
// it with its side folder. A failed packing leaves no archive and still counts as done.
// Unless Quiet, "Exported to" and the file's name follow, whatever the page export did.
bool ExportMhtml(ExportOptions& options, const MhtmlPageWriter& writePage);

// Packs the page at `page` and the local files it refers to into `archive`, which appears
// only once complete. Throws ComError when it cannot.
void PackPageArchive(const std::wstring& page, const std::wstring& archive);

}  // namespace tarn
