// server/store/content_pieces.h: a report's content file read in pieces, exactly as long as the report says.
#pragma once

#include "server/store/store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string_view>

namespace lumresults {

// Reads exactly report.size bytes from the content file, handing them to `write` in order in pieces of
// `piece` bytes (the last may be shorter), each with its offset. A file of any other length is refused
// with StoreError, since its bytes are not the ones the upload described: shorter (or unreadable) at
// the piece where it ends, longer after the last piece.
void read_in_pieces(std::istream& file, const NewReport& report, std::size_t piece,
                    const std::function<void(std::string_view bytes, std::uint64_t offset)>& write);

} // namespace lumresults
