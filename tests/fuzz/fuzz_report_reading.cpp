// tests/fuzz/fuzz_report_reading.cpp: stored reports read back, from any bytes and from reports built the way
// the program writes them around arbitrary tool output.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "server/reports/computer_ids.h"
#include "server/reports/decoding/decoder.h"
#include "server/reports/report_reading.h"
#include "rules/output_scan.h"
#include "rules/test_names.h"
#include "rules/verdict_rules.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

using reports::Verdict;

// Any bytes: each tool's output decodes to UTF-8 in the code page found for it (what a code page cannot read
// written as \xNN), and so do the computer's name and the adapters' names kept from it.
void check_decoding(std::string_view bytes, const reports::ReadReport& report) {
    for (const reports::ReportSection& section : report.sections) {
        require(section.bytes.begin <= section.bytes.end && section.bytes.end <= bytes.size(), "section inside");
        const std::string_view raw = bytes.substr(section.bytes.begin, section.bytes.end - section.bytes.begin);
        require(naive_valid_utf8(reports::decoded_text(raw, section.code_page.code_page)),
                "a section decodes to UTF-8");
    }
    require(naive_valid_utf8(report.host_name), "the host name is UTF-8");
    for (const reports::Adapter& adapter : report.adapters)
        require(naive_valid_utf8(adapter.name), "an adapter's name is UTF-8");
    for (const std::string& mac : reports::computer_ids(report).macs)
        require(reports::mac_key(mac) == mac, "a computer's MAC is kept in the form it is searched by");
}

// Any bytes: every span lies inside the report, and the sections come in order.
void check_spans(std::string_view bytes, const reports::ReadReport& report) {
    check_decoding(bytes, report);
    std::size_t previous_end = 0;
    for (const reports::TestReading& test : report.tests) {
        require(test.lines.first + test.lines.count <= report.line_count, "line span inside the report");
        if (test.lines.count == 0) continue;
        require(test.bytes.begin >= previous_end && test.bytes.begin < test.bytes.end, "sections in order");
        require(test.bytes.end <= bytes.size(), "byte range inside the report");
        previous_end = test.bytes.end;
    }
}

// The tools' outputs, cut at 0x1F: ipconfig, route, netstat, hosts, ping, nslookup, fping, ping, wget's
// log, mcfirst.
constexpr std::size_t TOOLS = 10;

// A tool line that spells a test's name is the one thing the report cannot tell from the program's own
// lines; the reference leaves such lines out.
std::vector<std::string> usable(std::string_view output, bool keep_empty) {
    std::vector<std::string> kept;
    for (const std::string& line : naive_lines(output, {})) {
        bool a_name = false;
        for (const std::string_view name : TEST_NAMES)
            a_name = a_name || line == name;
        if (!a_name && (keep_empty || !line.empty())) kept.push_back(line);
    }
    return kept;
}

struct Built {
    std::string report;
    std::array<Verdict, TEST_COUNT> verdicts{};
};

void add(std::string& report, std::string_view line) { report.append(line).append("\r\n"); }
void add_all(std::string& report, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        add(report, line);
}

Verdict passed_if(bool passed) { return passed ? Verdict::Ok : Verdict::Failed; }

// The program's run, written out plainly: which sections it writes, with which lines, and its verdicts.
Built build(const std::array<std::string, TOOLS>& tools) {
    Built built;
    std::string& r = built.report;
    for (const std::string_view line : {"Lumora Network Test v1.4", "", "Windows 7", "", "=== TEST START === x", ""})
        add(r, line);
    add(r, test_name(1));
    bool passed = false;
    for (const std::string& line : usable(tools[0], false)) {
        add(r, line);
        if ((passed = has_pass_marker(line))) break;
    }
    built.verdicts[0] = passed_if(passed);
    bool go_on = passed;
    add(r, "");
    for (const std::size_t dump : {1u, 2u}) {
        add(r, dump == 1 ? "route print" : "netstat -abn");
        add_all(r, usable(tools[dump], false));
        add(r, "");
    }
    add(r, "hosts");
    for (const std::string& line : usable(tools[3], true))
        if (line.empty() || line[0] != '#') add(r, line);
    add(r, "");
    bool slow = false;
    for (std::size_t test = 2; test <= 6; ++test) {
        const std::size_t index = test - 1;
        if (!go_on) {
            built.verdicts[index] = Verdict::Skip;
            if (test != 4) add(r, "");
            continue;
        }
        add(r, test_name(static_cast<std::int32_t>(test)));
        // The download log's lines are kept without the tool's file name, and without progress rows.
        std::string download_kept;
        for (const std::string& line : naive_lines(tools[8], {}))
            if (!is_download_noise(download_log_text(line))) download_kept += download_log_text(line) + "\n";
        const std::vector<std::string> lines = usable(test == 6 ? download_kept : tools[test + 2], false);
        add_all(r, lines);
        EchoTally tally;
        std::int32_t timeouts = 0;
        bool resolver = false;
        bool saved = false;
        for (const std::string& line : lines) {
            count_ping_line(tally, line);
            timeouts += is_fping_timeout(line);
            slow = slow || (test == 4 && average_too_slow(line));
            resolver = resolver || names_operator_resolver(line);
            saved = saved || is_finished_transfer(line);
        }
        const std::int32_t sent = test == 2 ? CONNECTION_ECHOES_SENT : LARGE_ECHOES_SENT;
        if (test == 2 || test == 5) built.verdicts[index] = passed_if(lines.empty() || lost_echoes(tally, sent) <= 1);
        if (test == 3) built.verdicts[index] = passed_if(resolver);
        if (test == 4) built.verdicts[index] = passed_if(timeouts <= PROBE_TIMEOUTS_ALLOWED);
        if (test == 6) built.verdicts[index] = passed_if(saved);
        if ((test == 2 || test == 4) && built.verdicts[index] == Verdict::Failed) go_on = false;
        if (test != 4) add(r, "");
    }
    add(r, test_name(7));
    if (!go_on || slow) {
        built.verdicts[6] = Verdict::Skip;
    } else {
        std::int32_t received = 0;
        for (const std::string& line : usable(tools[9], false)) {
            add(r, line);
            received += is_received_packet(line);
        }
        built.verdicts[6] = passed_if(received >= PACKETS_NEEDED);
    }
    add(r, "");
    add(r, "=== TEST END === y");
    return built;
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    check_spans(input, lum::reports::read_report(input));

    std::array<std::string, TOOLS> tools;
    std::size_t tool = 0;
    for (const char c : input) {
        if (c == '\x1f') {
            tool = (tool + 1) % TOOLS;
        } else {
            tools[tool] += c;
        }
    }
    const Built built = build(tools);
    const lum::reports::ReadReport read = lum::reports::read_report(built.report, "100.102.3.4");
    check_spans(built.report, read);
    require(read.finished, "a built report is finished");
    for (std::size_t test = 0; test < built.verdicts.size(); ++test) {
        require(read.tests[test].verdict == built.verdicts[test] || read.tests[test].derived,
                "a built report reads back its verdicts, or says it cannot be sure");
    }
    return 0;
}
