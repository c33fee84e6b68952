// server/reports/decoding/decoder.h: bytes in a code page turned into UTF-8, with the bytes that the code page
// cannot read handed over as they are.
#pragma once

#include <string>
#include <string_view>

#include "server/reports/decoding/code_pages.h"

namespace lum::reports {

// Where decoded text goes: what the code page reads, and apart from it the bytes it cannot.
class DecodedSink {
public:
    virtual ~DecodedSink() = default;
    virtual void text(std::string_view utf8) = 0;
    virtual void raw(std::string_view bytes) = 0;
};

// Decodes `bytes` as `page` into `sink`. Never fails: a code page iconv lacks hands every byte over as raw.
void decode(std::string_view bytes, const CodePage& page, DecodedSink& sink);

// The same as one UTF-8 string, each byte the code page cannot read written as the text "\xNN".
std::string decoded_text(std::string_view bytes, const CodePage& page);
// The same by Windows' number; a number of no known code page (ASCII_ONLY) leaves the bytes as they are.
std::string decoded_text(std::string_view bytes, int code_page);

} // namespace lum::reports
