// server/reports/decoding/tool_phrases.cpp: the phrase table parsed once, and indexed by code page.
#include "server/reports/decoding/tool_phrases.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

#include "server/reports/decoding/phrase_table_file.h"

namespace lum::reports {
namespace {

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

int number_of(std::string_view text) {
    int number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

bool has_high_byte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A phrase's fixed pieces: between its "{address}"-like places for what varies and its "\n" line breaks,
// without blanks at either end; only those holding a character above ASCII tell code pages apart.
std::vector<std::string> telling_pieces(std::string_view phrase) {
    std::vector<std::string> pieces;
    std::string piece;
    const auto keep = [&] {
        const std::size_t first = piece.find_first_not_of(' ');
        const std::size_t last = piece.find_last_not_of(' ');
        if (first != std::string::npos && has_high_byte(piece)) pieces.push_back(piece.substr(first, last - first + 1));
        piece.clear();
    };
    for (std::size_t at = 0; at < phrase.size(); ++at) {
        const std::size_t close = phrase[at] == '{' ? phrase.find('}', at) : std::string_view::npos;
        if (close != std::string_view::npos || phrase.substr(at, 2) == "\\n") {
            keep();
            at = close != std::string_view::npos ? close : at + 1;
            continue;
        }
        piece += phrase[at];
    }
    keep();
    return pieces;
}

struct Index {
    std::vector<ToolPhrase> phrases = parse_tool_phrases(phrase_data::phrase_table_file());
    std::map<std::pair<int, SectionSource>, std::vector<std::string>> telling;

    Index() {
        for (const ToolPhrase& phrase : phrases)
            for (const std::string& piece : telling_pieces(phrase.text)) {
                add(phrase.oem_code_page, SectionSource::Console, piece);
                add(phrase.ansi_code_page, SectionSource::File, piece);
                add(UTF8, SectionSource::Console, piece); // any language's console may print UTF-8
                add(UTF8, SectionSource::File, piece);
            }
    }

    void add(int code_page, SectionSource source, const std::string& text) {
        std::vector<std::string>& list = telling[{code_page, source}];
        if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
    }
};

const Index& index() {
    static const Index built;
    return built;
}

} // namespace

std::vector<ToolPhrase> parse_tool_phrases(std::string_view table) {
    std::vector<ToolPhrase> phrases;
    std::map<std::string_view, std::size_t> column;
    for (const std::string_view raw : split(table, '\n')) {
        const std::string_view line = raw.ends_with('\r') ? raw.substr(0, raw.size() - 1) : raw;
        if (line.empty() || line.starts_with('#')) continue;
        const std::vector<std::string_view> fields = split(line, '\t');
        if (column.empty()) {
            for (std::size_t n = 0; n < fields.size(); ++n)
                column[fields[n]] = n;
            continue;
        }
        const auto field = [&](std::string_view name) -> std::string_view {
            const auto found = column.find(name);
            return found == column.end() || found->second >= fields.size() ? std::string_view() : fields[found->second];
        };
        if (field("phrase").empty()) continue;
        phrases.push_back({std::string(field("language")), number_of(field("oem_cp")), number_of(field("ansi_cp")),
                           std::string(field("tool")), std::string(field("role")), std::string(field("phrase"))});
    }
    return phrases;
}

std::span<const ToolPhrase> tool_phrases() { return index().phrases; }

std::span<const std::string> telling_phrases(int code_page, SectionSource source) {
    const auto found = index().telling.find({code_page, source});
    if (found == index().telling.end()) return {};
    return found->second;
}

} // namespace lum::reports
