// server/reports/test_verdicts.cpp: one test's verdict and figures from its section's tool lines.
#include "server/reports/test_verdicts.h"

#include <algorithm>
#include <limits>

#include "rules/operator.h"
#include "rules/output_scan.h"
#include "rules/verdict_rules.h"

namespace lum::reports {
namespace {

Verdict passed_if(bool passed) { return passed ? Verdict::Ok : Verdict::Failed; }

// The whole bits per second of the row, by the unit the program gave them, in Mbps.
std::optional<double> in_mbps(const DownloadRate& rate) {
    if (rate.whole < 0) return std::nullopt; // a number the tool's text did not hold
    const double whole = static_cast<double>(rate.whole);
    if (rate.unit == "Gbps ") return whole * 1000.0;
    if (rate.unit == "Mbps ") return whole;
    if (rate.unit == "Kbps ") return whole / 1000.0;
    return whole / 1000000.0;
}

bool names_a_public_host(std::string_view line) {
    return std::any_of(PUBLIC_WEB_HOSTS.begin(), PUBLIC_WEB_HOSTS.end(),
                       [line](std::string_view host) { return line.find(host) != std::string_view::npos; });
}

bool names_a_host(std::string_view line) {
    return line.find(IPTV_SERVICE_HOST) != std::string_view::npos || names_a_public_host(line);
}

// Tests 2 and 5: the echoes lost of `sent`, as the program counts them.
void count_lost_echoes(ToolLines ping, std::int32_t sent, TestReading& test) {
    EchoTally tally;
    for (const ReportLine& line : ping)
        count_ping_line(tally, line.text);
    // A ping that could not be started counts nothing, one that printed nothing has lost every echo; the
    // report shows neither. Every ping that starts prints a line at least, so no lines is read as not
    // started, the verdict the program gives then.
    test.derived = ping.empty();
    test.figures.lost_echoes = ping.empty() ? 0 : lost_echoes(tally, sent);
}

// Lines of the lookups by their index: the first that does each thing below, NONE when none does.
constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();

struct LookupMarks {
    std::size_t again = NONE;       // the first line again (from the second line on)
    std::size_t named = NONE;       // the first line that names a host
    bool named_public = false;      // and the host it names is a public one
    std::size_t next_public = NONE; // the first line after that one that names a public host
    std::size_t resolver = NONE;    // the first line that names the operator's resolver
};

// One walk over the lookups' lines finds all the marks the rules below need.
LookupMarks lookup_marks(ToolLines lines) {
    LookupMarks marks;
    std::string_view opening;
    std::size_t at = 0;
    for (const ReportLine& line : lines) {
        if (at == 0) opening = line.text;
        if (at > 0 && marks.again == NONE && line.text == opening) marks.again = at;
        if (marks.resolver == NONE && names_operator_resolver(line.text)) marks.resolver = at;
        if (marks.named != NONE && marks.next_public == NONE && names_a_public_host(line.text)) marks.next_public = at;
        if (marks.named == NONE && names_a_host(line.text)) {
            marks.named = at;
            marks.named_public = names_a_public_host(line.text);
        }
        ++at;
    }
    return marks;
}

// The six lookups are logged one after the other with nothing between them, so where the first one's
// output ends is not written down; only its lines count. Each lookup opens by naming the server it asks
// (the same line again when the same server answers), then names the host it looks up in its answer.
// The first lookup is taken to end at the earlier of: its opening line coming again, and the start of
// the first lookup that names a public host, which is assumed to open with as many lines as the first
// one did before naming its host. When the first host named is a public one, the first lookup named
// none: it printed nothing, or only lines before its opening line came again. The end is a line's index
// (NONE: the first lookup's lines run to the last).
std::size_t first_lookup_end(const LookupMarks& marks) {
    if (marks.named == NONE) return marks.again;
    if (marks.named_public) return marks.again <= marks.named ? marks.again : 0;
    const std::size_t next = marks.next_public;
    const std::size_t opening = marks.named; // the lines before the first lookup names its host
    const std::size_t next_start = next == NONE ? NONE : std::max(next - std::min(next, opening), marks.named + 1);
    return std::min(marks.again, next_start);
}

// Certain only when the resolver is named before the first lookup's answer: a service host named before
// any public host is the first lookup's (the repeat lookup comes after the public ones), and every line
// before it is the first lookup's too, unless the opening line came again before the resolver's, which says
// another lookup had begun: then neither reckoning can be trusted.
bool resolver_before_first_answer(const LookupMarks& marks) {
    if (marks.named == NONE || marks.named_public || marks.next_public == NONE) return false;
    return marks.resolver < marks.named && marks.resolver < marks.again;
}

} // namespace

void read_configuration(ToolLines ipconfig, TestReading& test) {
    // Reading stops at the first marker line, so only the last logged line can hold one.
    test.verdict = passed_if(std::any_of(ipconfig.begin(), ipconfig.end(),
                                         [](const ReportLine& line) { return has_pass_marker(line.text); }));
}

void read_connection(ToolLines ping, TestReading& test) {
    count_lost_echoes(ping, CONNECTION_ECHOES_SENT, test);
    test.verdict = passed_if(connection_passed(test.figures.lost_echoes));
}

void read_lookups(ToolLines nslookup, TestReading& test) {
    const LookupMarks marks = lookup_marks(nslookup);
    if (marks.resolver == NONE) {
        test.verdict = Verdict::Failed; // no lookup named the resolver, the first one included
        return;
    }
    // Some line of the first lookup names it: the first line that does lies before that lookup's end.
    test.verdict = passed_if(marks.resolver < first_lookup_end(marks));
    test.derived = !resolver_before_first_answer(marks); // otherwise where the first lookup ends is inferred
}

void read_probes(ToolLines fping, TestReading& test) {
    for (const ReportLine& line : fping) {
        if (is_fping_timeout(line.text)) ++test.figures.lost_probes;
        if (const std::optional<std::int64_t> average = average_round_trip(line.text))
            test.figures.average_ms = average;
        if (average_too_slow(line.text)) test.figures.too_slow_for_multicast = true;
    }
    test.verdict = passed_if(normal_ping_passed(test.figures.lost_probes));
}

void read_large_ping(ToolLines ping, TestReading& test) {
    count_lost_echoes(ping, LARGE_ECHOES_SENT, test);
    test.verdict = passed_if(large_ping_passed(test.figures.lost_echoes));
}

// The report holds the download log's lines as the program kept and read them: the last finished-transfer
// line's rate is the row's.
void read_download(ToolLines download_log, TestReading& test) {
    test.verdict = Verdict::Failed;
    for (const ReportLine& line : download_log) {
        if (!is_finished_transfer(line.text)) continue;
        DownloadRate rate = download_rate(line.text);
        test.figures.speed_text = download_speed_text(line.text);
        test.figures.mbps = in_mbps(rate);
        test.figures.rate_text = std::move(rate.as_written);
        test.verdict = Verdict::Ok;
    }
}

void read_multicast(ToolLines receiver, TestReading& test) {
    test.figures.packets_received = static_cast<std::int32_t>(std::count_if(
        receiver.begin(), receiver.end(), [](const ReportLine& line) { return is_received_packet(line.text); }));
    test.verdict = passed_if(multicast_passed(test.figures.packets_received));
}

} // namespace lum::reports
