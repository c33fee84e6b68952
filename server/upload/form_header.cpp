// server/upload/form_header.cpp: reading "type; name=value" header values, the form's boundary and a part's header.
#include "server/upload/form_header.h"

#include <algorithm>

#include "server/common/blanks.h"

namespace lumresults {
namespace {

constexpr std::size_t BOUNDARY_LIMIT = 70;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower_text(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = lower(c);
    return result;
}

void skip_blanks(std::string_view& text) {
    const std::size_t first = text.find_first_not_of(BLANKS);
    text.remove_prefix(first == std::string_view::npos ? text.size() : first);
}

// A value at the start of `text`, consumed from it.
std::optional<std::string> take_value(std::string_view& text, bool single_quotes_quote) {
    const char quote = text.empty() ? '\0' : text.front();
    if (quote == '"' || (quote == '\'' && single_quotes_quote)) {
        std::string value;
        for (std::size_t i = 1; i < text.size(); ++i) {
            if (text[i] == quote) {
                text.remove_prefix(i + 1);
                return value;
            }
            if (quote == '"' && text[i] == '\\' && i + 1 < text.size()) ++i;
            value += text[i];
        }
        return std::nullopt; // no closing quote
    }
    // Bare: up to the next ';', inner blanks kept, since some senders leave a file name with blanks unquoted.
    const std::string_view bare = text.substr(0, text.find(';'));
    text.remove_prefix(bare.size());
    return std::string(trim_blanks(bare));
}

// One "name=value" at the start of `text` (after its ';' and blanks), consumed from it.
std::optional<std::pair<std::string, std::string>> take_parameter(std::string_view& text, bool single_quotes_quote) {
    const std::size_t name_end = text.find_first_of("=; \t");
    const std::string_view name = text.substr(0, name_end);
    if (name.empty()) return std::nullopt;
    text.remove_prefix(name.size());
    skip_blanks(text);
    if (text.empty() || text.front() != '=') return std::nullopt;
    text.remove_prefix(1);
    skip_blanks(text);
    std::optional<std::string> value = take_value(text, single_quotes_quote);
    if (!value) return std::nullopt;
    skip_blanks(text);
    if (!text.empty() && text.front() != ';') return std::nullopt;
    return std::pair{lower_text(name), std::move(*value)};
}

// RFC 2046's boundary characters; a blank is allowed but not last.
bool valid_boundary(std::string_view boundary) {
    constexpr std::string_view PUNCTUATION = "'()+_,-./:=? ";
    if (boundary.empty() || boundary.size() > BOUNDARY_LIMIT || boundary.back() == ' ') return false;
    for (const char c : boundary) {
        const bool alphanumeric = (c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'z');
        if (!alphanumeric && PUNCTUATION.find(c) == std::string_view::npos) return false;
    }
    return true;
}

bool is_field_name(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        if (c <= ' ' || c >= 127) return false;
    }
    return true;
}

// The part's header lines with continuation lines joined to the line they continue.
std::optional<std::vector<std::string>> unfolded_lines(std::string_view section) {
    std::vector<std::string> lines;
    while (!section.empty()) {
        const std::size_t end = section.find("\r\n");
        const std::string_view line = section.substr(0, end);
        section.remove_prefix(end == std::string_view::npos ? section.size() : end + 2);
        if (line.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
        if (!line.empty() && BLANKS.find(line.front()) != std::string_view::npos) {
            if (lines.empty()) return std::nullopt;
            lines.back() += line;
        } else {
            lines.emplace_back(line);
        }
    }
    return lines;
}

bool read_disposition(std::string_view value, FormPart& part) {
    const std::optional<HeaderValue> disposition = parse_header_value(value, true);
    if (!disposition) return false;
    bool has_name = false;
    for (const auto& [name, text] : disposition->parameters) {
        if (name == "name") {
            if (has_name) return false;
            has_name = true;
            part.name = text;
        } else if (name == "filename") {
            if (part.file_name) return false;
            part.file_name = text;
        }
    }
    return true;
}

} // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::optional<HeaderValue> parse_header_value(std::string_view text, bool single_quotes_quote) {
    HeaderValue result;
    result.type = trim_blanks(text.substr(0, text.find(';')));
    if (result.type.empty()) return std::nullopt;
    text.remove_prefix(std::min(text.find(';'), text.size()));
    while (!text.empty()) {
        text.remove_prefix(1); // the ';'
        skip_blanks(text);
        if (text.empty()) break; // a trailing ';' says nothing
        auto parameter = take_parameter(text, single_quotes_quote);
        if (!parameter) return std::nullopt;
        result.parameters.push_back(std::move(*parameter));
    }
    return result;
}

std::optional<std::string> form_boundary(std::string_view content_type) {
    // Single quotes are boundary characters here, not quoting: the program sends its boundary bare.
    const std::optional<HeaderValue> value = parse_header_value(content_type, false);
    if (!value || !equal_ignoring_case(value->type, "multipart/form-data")) return std::nullopt;
    std::optional<std::string> boundary;
    for (const auto& [name, text] : value->parameters) {
        if (name != "boundary") continue;
        if (boundary) return std::nullopt; // two boundaries: no telling which the sender meant
        boundary = text;
    }
    if (!boundary || !valid_boundary(*boundary)) return std::nullopt;
    return boundary;
}

std::optional<FormPart> parse_part_header(std::string_view section) {
    const std::optional<std::vector<std::string>> lines = unfolded_lines(section);
    if (!lines) return std::nullopt;
    FormPart part;
    bool seen_disposition = false;
    bool seen_type = false;
    for (const std::string& line : *lines) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || !is_field_name(std::string_view(line).substr(0, colon))) return std::nullopt;
        const std::string_view name = std::string_view(line).substr(0, colon);
        const std::string_view value = trim_blanks(std::string_view(line).substr(colon + 1));
        if (equal_ignoring_case(name, "content-disposition")) {
            if (seen_disposition || !read_disposition(value, part)) return std::nullopt;
            seen_disposition = true;
        } else if (equal_ignoring_case(name, "content-type")) {
            if (seen_type) return std::nullopt;
            seen_type = true;
            part.content_type = value;
        }
    }
    return part;
}

} // namespace lumresults
