// server/upload/form_header.h: the header lines of a form and of its parts: values with "; name=value" parameters.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/upload/multipart_reader.h"

namespace lumresults {

// "type; name=value; ...": the type as written (blanks trimmed) and the parameters in order, names in
// lower case. Values may be double-quoted (backslash escapes one byte) or bare (to the next ';', blanks
// around it dropped); with
// `single_quotes_quote` a value may also be in single quotes (no escapes), as the program writes
// Content-Disposition. Nothing when the text does not have this shape.
struct HeaderValue {
    std::string type;
    std::vector<std::pair<std::string, std::string>> parameters;
};
std::optional<HeaderValue> parse_header_value(std::string_view text, bool single_quotes_quote);

bool equal_ignoring_case(std::string_view a, std::string_view b);

// A part's header section without its closing empty line: "Name: value" lines joined by CR LF, a line
// that starts with a blank or tab continuing the one before. Nothing when a line is not a header line,
// when Content-Disposition or Content-Type appears twice, or when Content-Disposition cannot be read or
// names a parameter twice. A part without Content-Disposition has an empty name: its handler decides.
std::optional<FormPart> parse_part_header(std::string_view section);

} // namespace lumresults
