// runtime/text/text_fields.cpp: cutting, searching, measuring and comparing texts.
#include "runtime/text/text.h"

#include <cstddef>

namespace lum {

namespace {

// Positions arrive as signed 32-bit numbers from 1; this turns one into a 0-based offset, keeping 1 and
// anything below it at the first byte.
std::size_t offset_of(std::int32_t position) { return position <= 1 ? 0 : static_cast<std::size_t>(position) - 1; }

} // namespace

std::string split_field(std::string_view text, std::int32_t index, std::string_view separator) {
    if (index < 1) {
        return {};
    }
    // An empty separator can only meet the end of the text, so the text is one single field.
    if (separator.empty()) {
        return index == 1 ? std::string(text) : std::string();
    }
    std::size_t begin = 0;
    for (std::int32_t field = 1;; ++field) {
        const std::size_t end = text.find(separator, begin);
        if (field == index) {
            return std::string(text.substr(begin, end == std::string_view::npos ? end : end - begin));
        }
        if (end == std::string_view::npos) {
            return {};
        }
        begin = end + separator.size();
    }
}

std::int32_t find_substring(std::string_view text, std::string_view pattern, std::int32_t start) {
    if (text.empty() || pattern.empty()) {
        return 0;
    }
    const std::size_t from = offset_of(start);
    if (from >= text.size()) {
        return 0;
    }
    const std::size_t found = text.find(pattern, from);
    return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found + 1);
}

std::string substring(std::string_view text, std::int32_t start, std::int32_t length) {
    const std::size_t skip = offset_of(start);
    if (length <= 0 || skip >= text.size()) {
        return {};
    }
    return std::string(text.substr(skip, static_cast<std::size_t>(length)));
}

std::int32_t text_length(std::string_view text) { return static_cast<std::int32_t>(text.size()); }

bool text_equal(std::string_view a, std::string_view b) { return a == b; }

} // namespace lum
