// server/reports/report_reading.cpp: walks a report's lines in the order the program writes them: the
// header, the seven sections, the footer. One cursor goes through the bytes once; a section's rules read
// its lines again through a range of their own, and nothing is kept per line.
//
// Tool lines are never empty, so a section's tool output ends at its first empty line; the walk follows
// the program's own ContinueTests to know which sections are there. Only the hosts file may hold empty
// lines: its end is found from what must follow it (see hosts_end). A report that stops reading like one
// the program wrote (cut short, or not a report) leaves the tests from there on NotReached.
#include "server/reports/report_reading.h"

#include <array>

#include "server/reports/adapter_config.h"
#include "server/reports/decoding/decoder.h"
#include "server/reports/section_code_pages.h"
#include "server/reports/kept_text.h"
#include "server/reports/report_lines.h"
#include "server/reports/test_verdicts.h"
#include "rules/customer_blocks.h"
#include "rules/operator.h"
#include "rules/report_stamps.h"
#include "rules/row_verdicts.h"
#include "rules/test_names.h"

namespace lum::reports {
namespace {

constexpr std::size_t HEADER_LINES = 6;
constexpr std::size_t SKIPPED_BEFORE_TEST7 = 4; // Tests 2, 3, 5 and 6 each leave an empty line
// The tool whose output each of Tests 2 to 7 holds, by the test's number.
constexpr std::array<std::string_view, TEST_COUNT + 1> TOOLS = {"",      "ipconfig", "ping", "nslookup",
                                                                "fping", "ping",     "wget", "mcfirst"};

LineCursor past_last_line(LineCursor line) {
    while (!line.at_end())
        line.next();
    return line;
}

// Test 1 passed: the hosts file's lines run to the empty line followed by Test 2's name.
LineCursor end_before_test2(LineCursor line) {
    for (; !line.at_end(); line.next())
        if (line.at_empty_line() && line.following().is(test_name(2))) return line;
    return line;
}

// Test 1 failed: they run to its empty line, then the empty lines of the skipped Tests 2, 3, 5 and 6, then
// Test 7's name. The lines just before are kept by number, in a ring as long as that run of empty lines.
LineCursor end_before_skipped_tests(LineCursor line) {
    std::array<LineCursor, SKIPPED_BEFORE_TEST7 + 1> before;
    std::size_t empties = 0; // the empty lines just before this one, from the first hosts line on
    for (; !line.at_end(); line.next()) {
        LineCursor& closing = before[line.number() % before.size()]; // the line before.size() lines back
        if (empties >= before.size() && line.is(test_name(7))) return closing;
        closing = line;
        empties = line.at_empty_line() ? empties + 1 : 0;
    }
    return line;
}

class Walk {
public:
    Walk(std::string_view bytes, ReadReport& report) : bytes_(bytes), at_(bytes), report_(report) {
        for (std::int32_t test = 1; test <= TEST_COUNT; ++test)
            reading(test).number = test;
    }

    void run(std::optional<bool> multicast_excluded);

private:
    std::string_view bytes_;
    LineCursor at_; // the line the walk has reached
    ReadReport& report_;
    bool continuing_ = true; // the program's ContinueTests

    TestReading& reading(std::int32_t test) { return report_.tests[static_cast<std::size_t>(test - 1)]; }
    // Steps past the line here when it is exactly `text`.
    bool take(std::string_view text);

    ToolLines tool_lines(std::string_view stop_at = {});
    // Notes the lines from `first` to where the walk has reached as `tool`'s output in `test`.
    void note_section(std::int32_t test, std::string_view tool, const LineCursor& first);
    void span(TestReading& test, const LineCursor& first) const;
    void set_row(TestReading& test) const;
    bool read_sections(std::optional<bool> multicast_excluded);
    bool read_header();
    bool read_test1();
    void skip_dumps();
    LineCursor hosts_end(const LineCursor& first) const;
    bool read_tool_test(std::int32_t test);
    bool read_skipped(std::int32_t test, bool leaves_line);
    bool read_test7(std::optional<bool> multicast_excluded);
    void read_footer();
};

bool Walk::take(std::string_view text) {
    if (!at_.is(text)) return false;
    at_.next();
    return true;
}

// The non-empty lines from here on: one tool's output (or several tools' one after the other).
// stop_at: a line that ends them as well (fping's lines are followed by Test 5's name, not an empty line).
ToolLines Walk::tool_lines(std::string_view stop_at) {
    const LineCursor first = at_;
    while (!at_.at_end() && !at_.at_empty_line() && (stop_at.empty() || !at_.is(stop_at)))
        at_.next();
    return ToolLines(bytes_, first, at_.offset());
}

void Walk::note_section(std::int32_t test, std::string_view tool, const LineCursor& first) {
    if (at_.number() == first.number()) return;
    report_.sections.push_back(
        {test, tool, {first.number(), at_.number() - first.number()}, {first.offset(), at_.offset()}, {}});
}

// The test's section: from `first` up to the line the walk has reached.
void Walk::span(TestReading& test, const LineCursor& first) const {
    test.lines = {first.number(), at_.number() - first.number()};
    if (at_.number() > first.number()) test.bytes = {first.offset(), at_.offset()};
}

void Walk::set_row(TestReading& test) const {
    const std::string row_name(test_name(test.number));
    if (test.verdict == Verdict::Ok) {
        test.row_text = test.number == 6 ? row_name + download_row_verdict(test.figures.speed_text)
                                         : row_name + std::string(ROW_PASSED);
        test.row_color = COLOR_PASSED;
    } else if (test.verdict == Verdict::Failed) {
        test.row_text = row_name + std::string(ROW_FAILED);
        test.row_color = COLOR_FAILED;
    } else if (test.verdict == Verdict::Skip && test.number == 7) { // skipped Tests 2 to 6 have no row
        test.row_text = row_name + std::string(ROW_SKIPPED);
        test.row_color = COLOR_SKIPPED;
    }
}

bool Walk::read_header() {
    std::array<std::string_view, HEADER_LINES> header;
    LineCursor line = at_;
    for (std::string_view& text : header) {
        if (line.at_end()) return false;
        text = line.line().text;
        line.next();
    }
    if (header[0] != PROGRAM_TITLE) return false;
    report_.has_header = true;
    report_.release = kept_text(header[2], RELEASE_BYTES_KEPT);
    if (header[4].starts_with(REPORT_START_STAMP))
        report_.start_time = kept_text(header[4].substr(REPORT_START_STAMP.size()), TIME_BYTES_KEPT);
    at_ = line;
    return true;
}

// The hosts file's lines run to the empty line that closes Test 1, which must be followed by Test 2's
// name when Test 1 passed, or else by the empty lines of the skipped Tests 2, 3, 5 and 6 and Test 7's
// name. The first place where that holds is taken; the report's end when none does (cut short).
LineCursor Walk::hosts_end(const LineCursor& first) const {
    return continuing_ ? end_before_test2(first) : end_before_skipped_tests(first);
}

// The route and netstat dumps, each under its heading after an empty line.
void Walk::skip_dumps() {
    for (const std::string_view heading : {ROUTE_HEADING, NETSTAT_HEADING}) {
        if (!at_.at_empty_line() || !at_.following().is(heading)) return;
        at_.next();
        at_.next();
        const LineCursor first = at_;
        tool_lines();
        note_section(1, heading == ROUTE_HEADING ? "route" : "netstat", first);
    }
}

// Name, ipconfig's lines, then the three dumps under their headings; the dumps never change the verdict.
bool Walk::read_test1() {
    TestReading& test = reading(1);
    const LineCursor first = at_;
    if (!take(test_name(1))) return false;
    const LineCursor tool_first = at_;
    const ToolLines ipconfig = tool_lines();
    note_section(1, "ipconfig", tool_first);
    test.ran = true;
    read_configuration(ipconfig, test);
    test.derived = !at_.at_empty_line() && test.verdict == Verdict::Failed; // cut before its marker line, maybe
    continuing_ = test.verdict == Verdict::Ok;
    set_row(test);
    skip_dumps();
    const bool at_hosts = at_.at_empty_line() && at_.following().is(HOSTS_HEADING);
    const LineCursor hosts_first = at_hosts ? at_.following().following() : at_;
    at_ = at_hosts ? hosts_end(hosts_first) : past_last_line(at_);
    if (at_hosts) note_section(1, "hosts", hosts_first);
    const bool complete = !at_.at_end();
    if (complete) at_.next();
    span(test, first);
    return complete;
}

// Tests 2 to 6 that run: the name, the tool lines, and (except for Test 4) an empty line.
bool Walk::read_tool_test(std::int32_t test_number) {
    TestReading& test = reading(test_number);
    const LineCursor first = at_;
    if (!take(test_name(test_number))) return false;
    test.ran = true;
    // fping's lines run to Test 5's name, or to the empty line of a skipped Test 5: Test 4 has no closing line.
    const bool closing_line = test_number != 4;
    const LineCursor tool_first = at_;
    const ToolLines lines = tool_lines(closing_line ? std::string_view() : test_name(5));
    note_section(test_number, TOOLS[static_cast<std::size_t>(test_number)], tool_first);
    if (test_number == 2) read_connection(lines, test);
    if (test_number == 3) read_lookups(lines, test);
    if (test_number == 4) read_probes(lines, test);
    if (test_number == 5) read_large_ping(lines, test);
    if (test_number == 6) read_download(lines, test);
    set_row(test);
    if ((test_number == 2 || test_number == 4) && test.verdict == Verdict::Failed) continuing_ = false;
    const bool complete = closing_line ? at_.at_empty_line() : !at_.at_end();
    if (!complete) test.derived = true; // cut short: its lines may not be all it read
    if (complete && closing_line) at_.next();
    span(test, first);
    return complete;
}

bool Walk::read_skipped(std::int32_t test_number, bool leaves_line) {
    TestReading& test = reading(test_number);
    if (!leaves_line) {
        test.verdict = Verdict::Skip;
        test.lines = {at_.number(), 0};
        return true;
    }
    if (!at_.at_empty_line()) return false;
    test.verdict = Verdict::Skip;
    const LineCursor first = at_;
    at_.next();
    span(test, first);
    return true;
}

// A receiver that starts prints at least the group it joined, so a run of Test 7 without lines had no
// receiver to start, or was skipped for the subscriber's address block, which the report does not hold:
// without the address the second, by far the commoner, is taken.
bool Walk::read_test7(std::optional<bool> multicast_excluded) {
    TestReading& test = reading(7);
    const LineCursor first = at_;
    if (!take(test_name(7))) return false;
    const bool skipped = !continuing_ || reading(4).figures.too_slow_for_multicast || multicast_excluded == true;
    const LineCursor tool_first = at_;
    const ToolLines lines = skipped ? ToolLines() : tool_lines();
    note_section(7, TOOLS[7], tool_first);
    if (skipped) {
        test.verdict = Verdict::Skip;
    } else if (lines.empty() && !multicast_excluded.has_value()) {
        test.verdict = Verdict::Skip;
        test.derived = true;
    } else {
        test.ran = true;
        read_multicast(lines, test);
    }
    set_row(test);
    const bool complete = at_.at_empty_line();
    if (!complete && test.verdict == Verdict::Failed) test.derived = true;
    if (complete) at_.next();
    span(test, first);
    return complete;
}

void Walk::read_footer() {
    // The program ends the footer with its line end like every line; a footer without one was cut short.
    const ReportLine& line = at_.line();
    if (at_.at_end() || !line.text.starts_with(REPORT_END_STAMP)) return;
    if (line.begin + line.text.size() == line.end) return;
    report_.finished = true;
    report_.end_time = kept_text(line.text.substr(REPORT_END_STAMP.size()), TIME_BYTES_KEPT);
}

// False where the report stops reading like one the program wrote.
bool Walk::read_sections(std::optional<bool> multicast_excluded) {
    if (!read_header() || !read_test1()) return false;
    for (std::int32_t test = 2; test <= 6; ++test) {
        const bool read = continuing_ ? read_tool_test(test) : read_skipped(test, test != 4);
        if (!read) return false;
    }
    return read_test7(multicast_excluded);
}

void Walk::run(std::optional<bool> multicast_excluded) {
    if (read_sections(multicast_excluded)) read_footer();
    // The lines are counted by the same walk, from where the reading stopped to the report's end.
    report_.line_count = past_last_line(at_).number();
}

// A section's start decoded in its code page (or the report's, for one of ASCII alone): ipconfig's adapters
// and ping's statistics are read from the text, so that every language's labels read alike. A megabyte
// holds every adapter a report keeps, even of the longest fields kept, and any ping's output.
std::string decoded_start(std::string_view bytes, const ReportSection& section, const ReadReport& report) {
    constexpr std::size_t BYTES_DECODED = 1024 * 1024;
    const std::string_view raw =
        bytes.substr(section.bytes.begin, std::min(section.bytes.end - section.bytes.begin, BYTES_DECODED));
    return decoded_text(raw, section_code_page(section, report));
}

void read_decoded_sections(std::string_view bytes, ReadReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.tool == "ipconfig") {
            const std::string text = decoded_start(bytes, section, report);
            report.adapters = read_adapters(ToolLines(text, LineCursor(text), text.size()));
            report.host_name = read_host_name(ToolLines(text, LineCursor(text), text.size()));
        }
        if (section.tool == "ping")
            report.tests[static_cast<std::size_t>(section.test - 1)].figures.ping =
                ping_statistics(decoded_start(bytes, section, report));
    }
}

ReadReport read(std::string_view bytes, std::optional<bool> multicast_excluded) {
    ReadReport report;
    Walk(bytes, report).run(multicast_excluded);
    find_code_pages(bytes, report);
    read_decoded_sections(bytes, report);
    return report;
}

} // namespace

ReadReport read_report(std::string_view bytes) { return read(bytes, std::nullopt); }

ReadReport read_report(std::string_view bytes, std::string_view public_address) {
    const MulticastExclusions excluded = multicast_exclusions(public_address);
    return read(bytes, excluded.block_a || excluded.block_b);
}

} // namespace lum::reports
