// tests/fuzz/fuzz_output_scan.cpp: the tests' per-line output rules over arbitrary tool output.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "rules/operator.h"
#include "rules/output_scan.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

// How many lines a rule picks, as the tests count them.
struct Counts {
    int markers = 0;
    int ping_timeouts = 0;
    int ping_replies = 0;
    int fping_timeouts = 0;
    int slow_averages = 0;
    int resolver_lines = 0;
    int received = 0;
    int noise = 0;
    int finished = 0;

    bool operator==(const Counts&) const = default;
};

bool reference_marker(std::string_view line) {
    // Column 30 and after: offset 29 on.
    for (const std::string_view marker :
         {std::string_view("8.8.8.8"), CustomerPrefixes[3], std::string_view("192.168.")})
        if (line.size() > 29 && contains(line.substr(29), marker)) return true;
    return false;
}

// "TTL=" with a digit right after it, looked for at every offset.
bool reference_ping_reply(std::string_view line) {
    for (std::size_t at = 0; at + 4 < line.size(); ++at)
        if (line.substr(at, 4) == "TTL=" && line[at + 4] >= '0' && line[at + 4] <= '9') return true;
    return false;
}

bool reference_slow_average(std::string_view line) {
    const std::vector<std::string> fields = naive_fields(line, "=");
    return contains(line, "Average") && naive_parse_integer(fields.size() >= 4 ? fields[3] : "") > 60;
}

Counts count_lines(const std::vector<std::string>& lines, bool reference) {
    Counts c;
    for (const std::string& line : lines) {
        c.markers += reference ? reference_marker(line) : has_pass_marker(line);
        c.ping_timeouts += reference ? contains(line, "Request timed out") : is_ping_timeout(line);
        c.ping_replies += reference ? reference_ping_reply(line) : is_ping_reply(line);
        c.fping_timeouts += reference ? contains(line, "request timed out") : is_fping_timeout(line);
        c.slow_averages += reference ? reference_slow_average(line) : average_too_slow(line);
        c.resolver_lines += reference ? contains(line, OPERATOR_RESOLVER_ADDRESS) : names_operator_resolver(line);
        c.received += reference ? contains(line, "Received") : is_received_packet(line);
        c.noise += reference ? line.empty() || contains(line, ".....") : is_download_noise(line);
        c.finished += reference ? contains(line, "saved") : is_finished_transfer(line);
    }
    return c;
}

// Whole bits per second: halves away from zero; NaN and values beyond 64 bits give the x86 conversion's
// "integer indefinite", the most negative value.
std::int64_t reference_whole_bits(float bits) {
    const double whole = bits > 0.0f ? std::floor(double{bits} + 0.5) : std::ceil(double{bits} - 0.5);
    if (!(std::fabs(whole) < 0x1p63)) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(whole);
}

// The rate is the 11 bytes from character 21, its number the 5 bytes after the "(".
std::string reference_speed_text(std::string_view line) {
    const std::string rate(line.size() > 20 ? line.substr(20, 11) : "");
    const std::string number(rate.size() > 1 ? rate.substr(1, 5) : "");
    const float per_second =
        ascii_lower(number) == "nan" ? std::numeric_limits<float>::quiet_NaN() : naive_parse_float(number);
    std::string unit = "Kbps ";
    if (contains(rate, "B/s")) unit = "bps ";
    if (contains(rate, "KB")) unit = "Kbps ";
    if (contains(rate, "MB")) unit = "Mbps ";
    if (contains(rate, "GB")) unit = "Gbps ";
    return rate + " = " + std::to_string(reference_whole_bits(per_second * 8.0f)) + unit;
}

// Ping's tally over the lines, and the echoes lost for every count a ping test sends and around them.
void check_lost_echoes(const std::vector<std::string>& lines, const Counts& counts) {
    EchoTally tally;
    for (const std::string& line : lines)
        count_ping_line(tally, line);
    require(tally.timeouts == counts.ping_timeouts && tally.replies == counts.ping_replies, "ping's tally");
    for (const std::int32_t sent : {0, 1, 4, 10, 1000}) {
        const int missing = sent - tally.replies;
        const int expected = std::max({tally.timeouts, missing, 0});
        require(lost_echoes(tally, sent) == expected, "lost echoes: the larger of time-outs and missing replies");
    }
}

void check_download_line(const std::string& raw) {
    const std::string line = download_log_text(raw);
    require(line == naive_remove(raw, "`NUL'", false, 1, -1), "the log line loses every `NUL'");
    if (is_finished_transfer(line))
        require(download_speed_text(line) == reference_speed_text(line), "speed text of a finished transfer");
    require(download_speed_text(raw) == reference_speed_text(raw), "speed text of any line");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    const std::string output(reinterpret_cast<const char*>(bytes), size);
    const std::vector<std::string> lines = naive_fields(output, "\n");
    const Counts counts = count_lines(lines, true);
    require(count_lines(lines, false) == counts, "every count equals the naive count");
    check_lost_echoes(lines, counts);
    for (const std::string& line : lines)
        check_download_line(line);
    return 0;
}
