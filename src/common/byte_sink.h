// Where the component's writers put their bytes: a file on Windows, memory in tests.
// Portable.
#pragma once

#include <string_view>

namespace tarn {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes every byte or throws.
    virtual void Write(std::string_view bytes) = 0;
    // Ends the output: the sink takes no more bytes. Throws when the last bytes could not
    // be kept.
    virtual void Close() = 0;
};

}  // namespace tarn
