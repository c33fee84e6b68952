// rules/output_scan.h: the rules by which the tests read one line of their tools' output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lum {

// Test 1: ipconfig's line shows one of the addresses that make the configuration usable.
bool has_pass_marker(std::string_view line);

// Tests 2 and 5: a lost echo in ping's output, as an English system words it (its own capitalisation).
bool is_ping_timeout(std::string_view line);

// Tests 2 and 5: the target's answer to one echo. Ping translates every text it prints, but a reply
// line holds the ASCII "TTL=" and the reply's time-to-live in every display language; an answer that
// is not the target's ("Destination host unreachable" from a gateway, "TTL expired in transit") has none.
bool is_ping_reply(std::string_view line);

// Tests 2 and 5: what one ping run printed about its echoes.
struct EchoTally {
    std::int32_t timeouts = 0; // English time-out lines
    std::int32_t replies = 0;  // the target's replies
};

void count_ping_line(EchoTally& tally, std::string_view line);

// The echoes lost of `sent`: the larger of the English time-outs and the replies that never came, never
// below 0. Counting replies finds the losses whatever language the time-outs are written in.
std::int32_t lost_echoes(const EchoTally& tally, std::int32_t sent);

// Test 4: a lost echo in fping's output, which writes the words in lower case.
bool is_fping_timeout(std::string_view line);

// Test 4: the average round trip (whole ms) of fping's summary line; nothing for any other line.
std::optional<std::int64_t> average_round_trip(std::string_view line);

// Test 4: fping's summary line reports an average round trip above the multicast limit.
bool average_too_slow(std::string_view line);

// Test 3: the lookup's answer names the operator's private resolver.
bool names_operator_resolver(std::string_view line);

// Test 6: the download log's line as the report shows it, without the tool's "`NUL'" file name.
std::string download_log_text(std::string_view line);

// Test 6: empty lines and progress rows of dots are left out of the report.
bool is_download_noise(std::string_view line);

// Test 6: the finished-transfer line, the only one that carries the download's rate.
bool is_finished_transfer(std::string_view line);

// Test 6: the finished-transfer line's rate as the tool wrote it, and the same rate in whole bits per second
// ("10" and "Mbps ", the unit with its blank).
struct DownloadRate {
    std::string as_written;
    std::int64_t whole = 0;
    std::string_view unit;
};

DownloadRate download_rate(std::string_view finished_line);

// Test 6: the rate as the tool wrote it, " = ", and the same rate in whole bits per second with its unit.
std::string download_speed_text(std::string_view finished_line);

// Test 7: the multicast receiver reports one packet received.
bool is_received_packet(std::string_view line);

} // namespace lum
