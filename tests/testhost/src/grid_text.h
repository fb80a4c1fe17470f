// Reading a grid from its text form (tests/testhost/README.md describes the format).
#pragma once

#include "grid_model.h"
#include "pictures.h"

#include <string>
#include <string_view>

namespace testhost {

struct GridSource {
    std::wstring name;    // for messages: the file name, or "text"
    std::wstring folder;  // picture file names are taken relative to it
};

// Parses `text` into a fresh model. Errors throw HostError(E_INVALIDARG) with the text
// "<name> line <n>: <what is wrong>".
GridModel ParseGridText(std::wstring_view text, const GridSource& source, PictureCache& pictures);

// The text of a file: UTF-8 (with or without a byte order mark), or UTF-16 with one.
std::wstring ReadTextFile(const std::wstring& path);

}  // namespace testhost
