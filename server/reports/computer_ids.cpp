// server/reports/computer_ids.cpp: MACs and host names as keys that the store and the search compare.
#include "server/reports/computer_ids.h"

#include <algorithm>

#include "server/common/blanks.h"

namespace lum::reports {
namespace {

constexpr std::size_t MAC_DIGITS = 12;

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_separator(char c) { return c == '-' || c == ':' || c == '.'; }

} // namespace

std::optional<std::string> mac_key(std::string_view text) {
    text = lumresults::trim_blanks(text);
    std::string digits;
    for (const char c : text) {
        if (is_separator(c)) continue;
        if (hex_value(c) < 0 || digits.size() == MAC_DIGITS) return std::nullopt;
        digits += c;
    }
    if (digits.size() != MAC_DIGITS) return std::nullopt;
    // The first byte's low bit marks a group address; no adapter has one as its own.
    if ((hex_value(digits[1]) & 1) != 0) return std::nullopt;
    if (digits.find_first_not_of('0') == std::string::npos) return std::nullopt;
    std::string key;
    for (std::size_t i = 0; i < MAC_DIGITS; ++i) {
        if (i > 0 && i % 2 == 0) key += '-';
        const char c = digits[i];
        key += c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

std::string host_name_key(std::string_view name) {
    std::string key(lumresults::trim_blanks(name));
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const bool printable =
        std::any_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
    return printable ? key : std::string();
}

ComputerIds computer_ids(const ReadReport& report) {
    ComputerIds ids;
    for (const Adapter& adapter : report.adapters) {
        const std::optional<std::string> mac = mac_key(adapter.mac);
        if (mac && std::find(ids.macs.begin(), ids.macs.end(), *mac) == ids.macs.end()) ids.macs.push_back(*mac);
    }
    ids.host_name = host_name_key(report.host_name);
    return ids;
}

} // namespace lum::reports
