// server/reports/decoding/phrase_table_file.h: tool_phrases.tsv's bytes, built into the program.
#pragma once

#include <optional>
#include <string_view>

namespace lum::reports::phrase_data {

// The file by its name below server/reports/decoding/ ("tool_phrases.tsv").
std::optional<std::string_view> embedded_file(std::string_view name);

inline std::string_view phrase_table_file() { return embedded_file("tool_phrases.tsv").value_or(""); }

} // namespace lum::reports::phrase_data
