// server/reports/report_reading.cpp: walks a report's lines in the order the program writes them: the
// header, the seven sections, the footer.
//
// Tool lines are never empty, so a section's tool output ends at its first empty line; the walk follows
// the program's own ContinueTests to know which sections are there. Only the hosts file may hold empty
// lines: its end is found from what must follow it (see hosts_end). A report that stops reading like one
// the program wrote (cut short, or not a report) leaves the tests from there on NotReached.
#include "server/reports/report_reading.h"

#include "server/reports/adapter_config.h"
#include "server/reports/report_lines.h"
#include "server/reports/test_verdicts.h"
#include "testrun/customer_blocks.h"
#include "testrun/operator.h"
#include "testrun/report_stamps.h"
#include "testrun/row_verdicts.h"
#include "testrun/test_names.h"

namespace lum::reports {
namespace {

constexpr std::size_t HEADER_LINES = 6;
constexpr std::size_t SKIPPED_BEFORE_TEST7 = 4; // Tests 2, 3, 5 and 6 each leave an empty line

class Walk {
public:
    Walk(std::string_view bytes, ReadReport& report) : lines_(split_report_lines(bytes)), report_(report) {
        report_.line_count = lines_.size();
        for (std::int32_t test = 1; test <= TEST_COUNT; ++test)
            reading(test).number = test;
    }

    void run(std::optional<bool> multicast_excluded);

private:
    std::vector<ReportLine> lines_;
    ReadReport& report_;
    std::size_t at_ = 0;
    bool continuing_ = true; // the program's ContinueTests

    TestReading& reading(std::int32_t test) { return report_.tests[static_cast<std::size_t>(test - 1)]; }
    bool is(std::size_t line, std::string_view text) const { return line < lines_.size() && lines_[line].text == text; }
    bool empty_at(std::size_t line) const { return is(line, ""); }

    ToolLines tool_lines(std::string_view stop_at = {});
    void span(TestReading& test, std::size_t first, std::size_t end) const;
    void set_row(TestReading& test) const;
    bool read_header();
    bool read_test1();
    std::size_t hosts_end(std::size_t first) const;
    bool read_tool_test(std::int32_t test);
    bool read_skipped(std::int32_t test, bool leaves_line);
    bool read_test7(std::optional<bool> multicast_excluded);
    void read_footer();
};

// The non-empty lines from here on: one tool's output (or several tools' one after the other).
// stop_at: a line that ends them as well (fping's lines are followed by Test 5's name, not an empty line).
ToolLines Walk::tool_lines(std::string_view stop_at) {
    const std::size_t first = at_;
    while (at_ < lines_.size() && !lines_[at_].text.empty() && (stop_at.empty() || lines_[at_].text != stop_at))
        ++at_;
    return ToolLines(lines_).subspan(first, at_ - first);
}

void Walk::span(TestReading& test, std::size_t first, std::size_t end) const {
    test.lines = {first, end - first};
    if (end > first) test.bytes = {lines_[first].begin, lines_[end - 1].end};
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
    if (!is(0, PROGRAM_TITLE) || lines_.size() < HEADER_LINES) return false;
    report_.has_header = true;
    report_.release = std::string(lines_[2].text);
    const std::string_view start = lines_[4].text;
    if (start.starts_with(REPORT_START_STAMP))
        report_.start_time = std::string(start.substr(REPORT_START_STAMP.size()));
    at_ = HEADER_LINES;
    return true;
}

// The hosts file's lines run to the empty line that closes Test 1, which must be followed by Test 2's
// name when Test 1 passed, or else by the empty lines of the skipped Tests 2, 3, 5 and 6 and Test 7's
// name. The first place where that holds is taken; the report's length when none does (cut short).
std::size_t Walk::hosts_end(std::size_t first) const {
    for (std::size_t line = first; line < lines_.size(); ++line) {
        if (continuing_ && empty_at(line) && is(line + 1, test_name(2))) return line;
        if (continuing_ || !is(line, test_name(7)) || line < first + SKIPPED_BEFORE_TEST7 + 1) continue;
        bool skipped_lines = true;
        for (std::size_t back = 1; back <= SKIPPED_BEFORE_TEST7 + 1; ++back)
            skipped_lines = skipped_lines && empty_at(line - back);
        if (skipped_lines) return line - SKIPPED_BEFORE_TEST7 - 1;
    }
    return lines_.size();
}

// Name, ipconfig's lines, then the three dumps under their headings; the dumps never change the verdict.
bool Walk::read_test1() {
    TestReading& test = reading(1);
    const std::size_t first = at_;
    if (!is(at_++, test_name(1))) return false;
    const ToolLines ipconfig = tool_lines();
    test.ran = true;
    read_configuration(ipconfig, test);
    test.derived = !empty_at(at_) && test.verdict == Verdict::Failed; // cut before its marker line, maybe
    report_.adapters = read_adapters(ipconfig);
    continuing_ = test.verdict == Verdict::Ok;
    set_row(test);
    for (const std::string_view heading : {ROUTE_HEADING, NETSTAT_HEADING}) {
        if (!empty_at(at_) || !is(at_ + 1, heading)) break;
        at_ += 2;
        tool_lines();
    }
    const bool at_hosts = empty_at(at_) && is(at_ + 1, HOSTS_HEADING);
    at_ = at_hosts ? hosts_end(at_ + 2) : lines_.size();
    const bool complete = at_ < lines_.size();
    span(test, first, complete ? ++at_ : at_);
    return complete;
}

// Tests 2 to 6 that run: the name, the tool lines, and (except for Test 4) an empty line.
bool Walk::read_tool_test(std::int32_t test_number) {
    TestReading& test = reading(test_number);
    const std::size_t first = at_;
    if (!is(at_++, test_name(test_number))) return false;
    test.ran = true;
    // fping's lines run to Test 5's name, or to the empty line of a skipped Test 5: Test 4 has no closing line.
    const bool closing_line = test_number != 4;
    const ToolLines lines = tool_lines(closing_line ? std::string_view() : test_name(5));
    if (test_number == 2) read_connection(lines, test);
    if (test_number == 3) read_lookups(lines, test);
    if (test_number == 4) read_probes(lines, test);
    if (test_number == 5) read_large_ping(lines, test);
    if (test_number == 6) read_download(lines, test);
    set_row(test);
    if ((test_number == 2 || test_number == 4) && test.verdict == Verdict::Failed) continuing_ = false;
    const bool complete = closing_line ? empty_at(at_) : at_ < lines_.size();
    if (!complete) test.derived = true; // cut short: its lines may not be all it read
    span(test, first, complete && closing_line ? ++at_ : at_);
    return complete;
}

bool Walk::read_skipped(std::int32_t test_number, bool leaves_line) {
    TestReading& test = reading(test_number);
    if (!leaves_line) {
        test.verdict = Verdict::Skip;
        test.lines = {at_, 0};
        return true;
    }
    if (!empty_at(at_)) return false;
    test.verdict = Verdict::Skip;
    span(test, at_, at_ + 1);
    ++at_;
    return true;
}

// A receiver that starts prints at least the group it joined, so a run of Test 7 without lines had no
// receiver to start, or was skipped for the subscriber's address block, which the report does not hold:
// without the address the second, by far the commoner, is taken.
bool Walk::read_test7(std::optional<bool> multicast_excluded) {
    TestReading& test = reading(7);
    const std::size_t first = at_;
    if (!is(at_++, test_name(7))) return false;
    const bool skipped = !continuing_ || reading(4).figures.too_slow_for_multicast || multicast_excluded == true;
    const ToolLines lines = skipped ? ToolLines() : tool_lines();
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
    const bool complete = empty_at(at_);
    if (!complete && test.verdict == Verdict::Failed) test.derived = true;
    span(test, first, complete ? ++at_ : at_);
    return complete;
}

void Walk::read_footer() {
    // The program ends the footer with its line end like every line; a footer without one was cut short.
    if (at_ >= lines_.size() || !lines_[at_].text.starts_with(REPORT_END_STAMP)) return;
    if (lines_[at_].begin + lines_[at_].text.size() == lines_[at_].end) return;
    report_.finished = true;
    report_.end_time = std::string(lines_[at_].text.substr(REPORT_END_STAMP.size()));
}

void Walk::run(std::optional<bool> multicast_excluded) {
    if (!read_header() || !read_test1()) return;
    for (std::int32_t test = 2; test <= 6; ++test) {
        const bool read = continuing_ ? read_tool_test(test) : read_skipped(test, test != 4);
        if (!read) return;
    }
    if (read_test7(multicast_excluded)) read_footer();
}

ReadReport read(std::string_view bytes, std::optional<bool> multicast_excluded) {
    ReadReport report;
    Walk(bytes, report).run(multicast_excluded);
    return report;
}

} // namespace

ReadReport read_report(std::string_view bytes) { return read(bytes, std::nullopt); }

ReadReport read_report(std::string_view bytes, std::string_view public_address) {
    const MulticastExclusions excluded = multicast_exclusions(public_address);
    return read(bytes, excluded.block_a || excluded.block_b);
}

} // namespace lum::reports
