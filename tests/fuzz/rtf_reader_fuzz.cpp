// libFuzzer target for the RTF reader: any bytes, read as the characters a host could hand
// over, must parse without a fault and within bounded time.
#include "mail/rtf_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring input;
    input.reserve(size + 5);
    // Half the inputs are forced to be RTF so the fuzzer need not find the signature first.
    if (size > 0 && (data[0] & 1)) input = L"{\\rtf1";
    for (std::size_t i = 0; i < size; ++i) input += static_cast<wchar_t>(data[i]);
    tarn::RtfDocument document = tarn::ReadRtf(input);
    (void)document.PlainText();
    return 0;
}
