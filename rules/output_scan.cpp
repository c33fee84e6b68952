// rules/output_scan.cpp: the per-line rules of the tests' output scans, kept apart from the tools that feed them.
#include "rules/output_scan.h"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "runtime/text/text.h"
#include "rules/operator.h"

namespace lum {
namespace {

// ipconfig prints an address after its label, from the 30th character on; a marker in the label part
// (the first 29 characters) is not an address and does not count.
constexpr std::int32_t ADDRESS_COLUMN = 30;

// Above this average round trip (ms) the multicast stream would not play well, so its test is skipped.
constexpr std::int64_t MULTICAST_LATENCY_LIMIT = 60;

// The unit follows the tool's own: it writes GB/s on fast lines, MB/s, KB/s, or plain B/s.
std::string_view rate_unit(std::string_view rate) {
    if (find_substring(rate, "GB") != 0) return "Gbps ";
    if (find_substring(rate, "MB") != 0) return "Mbps ";
    if (find_substring(rate, "KB") != 0) return "Kbps ";
    if (find_substring(rate, "B/s") != 0) return "bps ";
    return "Kbps ";
}

// A rounded rate as a whole number. C++ leaves the conversion undefined for NaN and beyond 64 bits, which
// a log line such as "(9e30 MB/s)" or "(NaN" reaches; this gives the x86 conversion's "integer indefinite",
// the most negative value, as the program always showed there.
std::int64_t whole_number(float rounded) {
    constexpr float limit = 0x1p63f;
    if (rounded >= -limit && rounded < limit) return static_cast<std::int64_t>(rounded);
    return std::numeric_limits<std::int64_t>::min();
}

} // namespace

bool has_pass_marker(std::string_view line) {
    const std::array<std::string_view, 3> markers = {"8.8.8.8", CustomerPrefixes[3], "192.168."};
    for (const std::string_view marker : markers) {
        if (find_substring(line, marker, ADDRESS_COLUMN) != 0) return true;
    }
    return false;
}

bool is_ping_timeout(std::string_view line) { return find_substring(line, "Request timed out") != 0; }

// "TTL=55": the marker must be followed by its number, so that "TTL=" in other words never counts.
bool is_ping_reply(std::string_view line) {
    constexpr std::string_view MARKER = "TTL=";
    for (std::size_t at = line.find(MARKER); at != std::string_view::npos; at = line.find(MARKER, at + 1)) {
        const std::size_t after = at + MARKER.size();
        if (after < line.size() && line[after] >= '0' && line[after] <= '9') return true;
    }
    return false;
}

void count_ping_line(EchoTally& tally, std::string_view line) {
    if (is_ping_timeout(line)) ++tally.timeouts;
    if (is_ping_reply(line)) ++tally.replies;
}

std::int32_t lost_echoes(const EchoTally& tally, std::int32_t sent) {
    const std::int32_t missing = sent > tally.replies ? sent - tally.replies : 0;
    return tally.timeouts > missing ? tally.timeouts : missing;
}

bool is_fping_timeout(std::string_view line) { return find_substring(line, "request timed out") != 0; }

// The summary line's fourth "="-separated field starts with the average in whole milliseconds.
std::optional<std::int64_t> average_round_trip(std::string_view line) {
    if (find_substring(line, "Average") == 0) return std::nullopt;
    return parse_integer(split_field(line, 4, "="));
}

bool average_too_slow(std::string_view line) {
    const std::optional<std::int64_t> average = average_round_trip(line);
    return average && *average > MULTICAST_LATENCY_LIMIT;
}

bool names_operator_resolver(std::string_view line) { return find_substring(line, OPERATOR_RESOLVER_ADDRESS) != 0; }

std::string download_log_text(std::string_view line) { return remove_substring(line, "`NUL'"); }

// Progress lines are rows of dots; they mean nothing to support staff.
bool is_download_noise(std::string_view line) { return line.empty() || find_substring(line, ".....") != 0; }

bool is_finished_transfer(std::string_view line) { return find_substring(line, "saved") != 0; }

// The finished-transfer line: "2014-03-09 08:05:17 (1.23 MB/s) - ..." has the rate's "(" at character 21.
DownloadRate download_rate(std::string_view finished_line) {
    std::string rate = substring(finished_line, 21, 11);
    const float per_second = parse_float(substring(rate, 2, 5));
    const float bits = per_second * 8.0f;
    const std::string_view unit = rate_unit(rate);
    return {std::move(rate), whole_number(round_value(bits, 2)), unit};
}

std::string download_speed_text(std::string_view finished_line) {
    const DownloadRate rate = download_rate(finished_line);
    return rate.as_written + " = " + format_integer(rate.whole) + std::string(rate.unit);
}

bool is_received_packet(std::string_view line) { return find_substring(line, "Received") != 0; }

} // namespace lum
