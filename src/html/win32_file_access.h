// The MIME packer's files on Windows: opened by their wide paths (the packer's UTF-8 paths
// converted), read front to back. Folders do not open.
#pragma once

#include "html/mime_packer.h"

namespace tarn {

class Win32FileAccess final : public FileAccess {
public:
    std::unique_ptr<FileSource> Open(const std::string& path) override;
};

}  // namespace tarn
