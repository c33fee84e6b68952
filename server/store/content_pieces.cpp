// server/store/content_pieces.cpp: reading a report's content file piece by piece, its length checked.
#include "server/store/content_pieces.h"

#include <algorithm>
#include <string>
#include <vector>

namespace lumresults {

void read_in_pieces(std::istream& file, const NewReport& report, std::size_t piece,
                    const std::function<void(std::string_view bytes, std::uint64_t offset)>& write) {
    std::vector<char> buffer(piece);
    const std::string size_text = std::to_string(report.size) + " bytes";
    for (std::uint64_t done = 0; done < report.size;) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(piece, report.size - done));
        if (!file.read(buffer.data(), static_cast<std::streamsize>(length)))
            throw StoreError(report.content.string() + ": ends before the report's " + size_text + " or is unreadable");
        write(std::string_view(buffer.data(), length), done);
        done += length;
    }
    if (file.peek() != std::istream::traits_type::eof())
        throw StoreError(report.content.string() + ": longer than the report's " + size_text);
}

} // namespace lumresults
