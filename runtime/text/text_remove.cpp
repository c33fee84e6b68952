// runtime/text/text_remove.cpp: removing the occurrences of a pattern from a text.
#include "runtime/text/text.h"

#include "runtime/text/text_ascii.h"

#include <cstddef>
#include <limits>

namespace lum {

namespace {

// How many occurrences a count asks for: -1 all of them, n >= 1 the first n, anything else one.
std::int32_t removal_limit(std::int32_t count) {
    if (count == -1) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return count >= 1 ? count : 1;
}

bool matches_at(std::string_view text, std::size_t at, std::string_view pattern, bool ignore_case) {
    if (text.size() - at < pattern.size()) {
        return false;
    }
    const std::string_view candidate = text.substr(at, pattern.size());
    return ignore_case ? ascii::equal_ignoring_case(candidate, pattern) : candidate == pattern;
}

} // namespace

std::string remove_substring(std::string_view text, std::string_view pattern, int mode, std::int32_t start,
                             std::int32_t count) {
    if (text.empty() || pattern.empty()) {
        return std::string(text);
    }
    const bool ignore_case = (mode & 1) != 0;
    std::int32_t remaining = removal_limit(count);
    // A start past the end leaves nothing to scan, so the text comes back whole.
    std::size_t at = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    at = at < text.size() ? at : text.size();
    std::string result(text.substr(0, at));
    result.reserve(text.size());
    while (at < text.size() && remaining > 0) {
        if (matches_at(text, at, pattern, ignore_case)) {
            at += pattern.size();
            --remaining;
        } else {
            result += text[at++];
        }
    }
    result.append(text.substr(at));
    return result;
}

} // namespace lum
