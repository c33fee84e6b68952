// server/reports/report_reading.h: a stored report read back into the rows the subscriber saw, the figures
// behind them and each test's raw lines. Pure code over any bytes: it never throws and never reads out of
// bounds, and its work grows with the report's length; its memory does not (the report is walked line by
// line, and what the reading keeps is bounded).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/reports/decoding/detector.h"
#include "server/reports/ping_statistics.h"
#include "rules/test_names.h"

namespace lum::reports {

// Stored with every result read from a report, so that results read under older rules can be told apart
// and read again when the rules change (or what a reading keeps: version 2 keeps the verdicts and figures
// as columns of their own; version 3 each section's code page; version 4 the computer's MACs and name;
// version 5 the code pages that read a section as the same text, and CP1255 and CP1258 read whole).
inline constexpr std::int32_t REPORT_RULES_VERSION = 5;

// What a reading keeps of the report's own bytes, field by field: a longer text is kept as its first bytes
// and "…" (CUT_MARK), a longer list as its first entries and a last one "…". Whatever a report holds, its
// reading (and so its JSON) stays within a few tens of kilobytes. The download's rate and speed texts
// need no limit of their own: the program's rules take them from a few columns of the tool's line.
inline constexpr std::size_t RELEASE_BYTES_KEPT = 256;      // the release line (the listings' column too)
inline constexpr std::size_t TIME_BYTES_KEPT = 64;          // the start and end times
inline constexpr std::size_t ADAPTER_NAME_BYTES_KEPT = 128; // ipconfig's heading, without its colon
inline constexpr std::size_t MAC_BYTES_KEPT = 32;           // a tunnel's has 8 bytes: 23 characters
inline constexpr std::size_t ADDRESS_BYTES_KEPT = 15;       // the longest dotted IPv4 address
inline constexpr std::size_t ADDRESSES_KEPT = 8;            // in each list of an adapter
inline constexpr std::size_t ADAPTERS_KEPT = 16;
inline constexpr std::size_t HOST_NAME_BYTES_KEPT = 64; // a DNS label's 63, and more than NetBIOS's 15

// NotReached: the report ends (or stops reading like one the program wrote) before the test's place.
enum class Verdict { NotReached, Ok, Failed, Skip };

// Lines of the report, counted from 0, and the same lines as bytes, line ends included.
struct LineSpan {
    std::size_t first = 0;
    std::size_t count = 0;
};
struct ByteRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct TestFigures {
    std::int32_t lost_echoes = 0;           // Tests 2 and 5, as the program counts them
    std::int32_t lost_probes = 0;           // Test 4
    std::optional<std::int64_t> average_ms; // Test 4: the last summary line's average round trip
    bool too_slow_for_multicast = false;    // Test 4: some summary's average made the program skip Test 7
    std::string rate_text;                  // Test 6: "(1.23 MB/s)", as the download tool wrote it
    std::string speed_text;                 // Test 6: "(1.23 MB/s) = 10Mbps ", as the row showed it
    std::optional<double> mbps;             // Test 6: the row's whole bits per second, in Mbps
    std::int32_t packets_received = 0;      // Test 7
    std::optional<PingStatistics> ping;     // Tests 2 and 5: ping's own statistics, in any language
};

struct TestReading {
    std::int32_t number = 0;
    bool ran = false; // its tools ran (a skipped Test 7 logs its name, yet ran nothing)
    Verdict verdict = Verdict::NotReached;
    // The report cannot prove this verdict (a section cut short, or lines it does not tell apart); it is
    // the closest reading the report allows, and rules_version says under which rules it was made.
    bool derived = false;
    std::string row_text;        // exactly as the window showed it; empty when the window had no row for it
    std::int32_t row_color = -1; // 0x00BBGGRR, as the window drew the text; -1 without a row
    LineSpan lines;              // the test's section of the report
    ByteRange bytes;
    TestFigures figures;
};

// One adapter of the ipconfig lines that the report holds (it keeps them only up to the line that
// passed Test 1, so gateways and DNS servers are often cut off).
struct Adapter {
    std::string name; // "Ethernet": the heading without its kind ("Ethernet adapter ... :"), in UTF-8
    std::vector<std::string> ipv4;
    std::string mac;
    std::vector<std::string> gateways;
    std::vector<std::string> dns_servers;
    std::vector<std::string> masks; // the subnet masks, in the order of the addresses
    std::optional<bool> dhcp;       // "DHCP Enabled": nothing where the report does not say
};

// One tool's output, or the hosts file, within a test's section, and the code page its bytes read in.
struct ReportSection {
    std::int32_t test = 0;
    std::string_view tool; // "ipconfig", "route", "netstat", "hosts", "ping", "nslookup", "fping", "wget", "mcfirst"
    LineSpan lines;
    ByteRange bytes;
    CodePageGuess code_page;
};

struct ReadReport {
    std::int32_t rules_version = REPORT_RULES_VERSION;
    bool has_header = false;
    std::string release;    // "Windows 7"
    std::string start_time; // as the subscriber's computer claimed it: "2014-03-09 08:05:07"
    bool finished = false;  // the footer is there: the run reached its end
    std::string end_time;
    std::array<TestReading, TEST_COUNT> tests{};
    std::vector<Adapter> adapters;
    std::string host_name; // ipconfig's, in UTF-8, as the subscriber's computer spells it
    std::size_t line_count = 0;
    std::vector<ReportSection> sections; // in the report's order; at most a dozen
    // The report's own: what most of its tools' sections read in (by their phrases first), for the lines
    // that are no tool's and any section with nothing to decide.
    CodePageGuess code_page;
};

// Reads a report as the program wrote it (any bytes are accepted).
ReadReport read_report(std::string_view bytes);

// The same, knowing the subscriber's public address (the upload's caller): it tells a Test 7 skipped for
// the subscriber's address block from one whose receiver printed nothing.
ReadReport read_report(std::string_view bytes, std::string_view public_address);

} // namespace lum::reports
