// tests/server/dashboard_text_test.cpp: what the dashboard makes of outside bytes and queries: report lines shown
// exactly and harmlessly, CSV a spreadsheet cannot run, and search queries read or plainly refused.
#include <gtest/gtest.h>

#include <chrono>

#include "server/web/display_text.h"
#include "server/dashboard/report_export.h"
#include "server/web/search_query.h"

namespace lumresults::dashboard {
namespace {

using namespace std::chrono;

// One run of bytes shown as values: "8F E0" is <span class="byte">\x8F\xE0</span>.
std::string span(std::string hexes) {
    for (std::size_t blank = hexes.find(' '); blank != std::string::npos; blank = hexes.find(' '))
        hexes.replace(blank, 1, "\\x");
    return "<span class=\"byte\">\\x" + hexes + "</span>";
}

TEST(DisplayText, RawLinesShowTextAsTextAndEveryOtherByteAsItsValue) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Pinging 8.8.8.8 with 32 bytes of data:\r\n", "Pinging 8.8.8.8 with 32 bytes of data:\n"},
        {"  leading blanks\tand a tab\r\n", "  leading blanks\tand a tab\n"},
        {"<script>alert(\"x\")</script> & 'q'", "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;q&#39;"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"}, // valid UTF-8
        {"\x8F\xE0\xAE", span("8F E0 AE")},        // code page 866, not UTF-8
        {"\xC3", span("C3")},                      // cut short at the end
        {"\xC0\xAF", span("C0 AF")},               // over-long "/"
        {"\xED\xA0\x80", span("ED A0 80")},        // a surrogate
        {"\xF4\x90\x80\x80", span("F4 90 80 80")}, // past U+10FFFF
        {std::string("a\0b\x1B[31m\x7F", 9), "a" + span("00") + "b" + span("1B") + "[31m" + span("7F")},
        {"\xC2\x85", span("C2 85")}, // C1 control, valid UTF-8
        {"ab\xE2\x80\xAE"
         "cd",
         "ab" + span("E2 80 AE") + "cd"}, // right-to-left override
        {"one\ntwo\rthree\r\n", "one" + span("0A") + "\ntwo" + span("0D") + "\nthree\n"},
        {"\r\n\r\nlast without end", "\n\nlast without end"},
        {"\n\n\x01\r\n", span("0A\n 0A\n 01") + "\n"}, // one run, its line breaks in it
        {"", ""},
    };
    for (const auto& [bytes, html] : cases)
        EXPECT_EQ(raw_lines_html(bytes), html) << bytes;
}

TEST(DisplayText, TextForTemplatesShowsBytesWithoutMarkupAndJsonTextIsUtf8) {
    EXPECT_EQ(html_text("Test 6 <b>\"x\"</b> \xFF\r\n"), "Test 6 &lt;b&gt;&quot;x&quot;&lt;/b&gt; \\xFF\\x0D\\x0A");
    EXPECT_EQ(utf8_text("ok \xC3\xA9 \xFF\xC3"), "ok \xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(ReportCsv, FieldsAreQuotedAsRfc4180AndFormulasAreDisarmed) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Windows 7", "Windows 7"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1", "'+1"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"},
        {"", ""},
    };
    for (const auto& [text, field] : cases)
        EXPECT_EQ(csv_field(text), field) << text;
}

TEST(ReportCsv, ARowPerReportWithItsVerdicts) {
    FoundPage page;
    FoundReport report;
    report.info.id = 7;
    report.info.caller = "10.1.2.3";
    report.info.received = Clock::time_point(seconds(1773043507)); // 2026-03-09 08:05:07
    report.info.size = 12;
    report.info.sha256 = "ab";
    report.read = true;
    report.release = "=cmd|' /C calc'!A0";
    report.verdicts = {"OK", "Failed", "Skip", "not reached", "OK", "OK", "OK"};
    report.code_page = 866;
    page.reports.push_back(report);
    report.info.id = 8;
    report.subscriber = ReportSubscriber{"=alice", "192.0.2.1", "bng,1", "eth0", {}};
    page.reports.push_back(report);
    EXPECT_EQ(
        reports_csv(page),
        "id,received,caller,release,finished,test1,test2,test3,test4,test5,test6,test7,size,sha256,code_page,subscriber,"
        "node\r\n"
        "7,2026-03-09T08:05:07Z,10.1.2.3,'=cmd|' /C calc'!A0,no,OK,Failed,Skip,not reached,OK,OK,OK,12,ab,866,,\r\n"
        "8,2026-03-09T08:05:07Z,10.1.2.3,'=cmd|' /C calc'!A0,no,OK,Failed,Skip,not reached,OK,OK,OK,12,ab,866,'=alice,"
        "\"192.0.2.1 (bng,1)\"\r\n");
}

struct QueryCase {
    std::vector<std::pair<std::string, std::string>> query;
    std::string error; // a part of the message; empty when the query must be read
};

Request request_with(std::vector<std::pair<std::string, std::string>> query) {
    Request request;
    request.query = std::move(query);
    return request;
}

TEST(SearchQuery, BadFieldsAreRefusedWithAMessageThatNamesThem) {
    const std::vector<QueryCase> cases = {
        {{{"ip", "10.1.2"}}, "not an IPv4 or IPv6 address"},
        {{{"ip", "10.1.2.3; drop"}, {"match", "prefix"}}, "only digits"},
        {{{"match", "fuzzy"}}, "exact or prefix"},
        {{{"from", "2026-02-30"}}, "From \"2026-02-30\" is not a date"},
        {{{"from", "2026-3-9"}}, "is not a date"},
        {{{"to", "2026-03-09T24:00"}}, "To \"2026-03-09T24:00\""},
        {{{"to", "2026-03-09 08:00"}}, "is not a date"},
        {{{"from", "2026-03-10"}, {"to", "2026-03-09"}}, "From is after To"},
        {{{"failed", "8"}}, "1 to 7"},
        {{{"failed", "all"}}, "1 to 7"},
        {{{"after", "123"}}, "page link"},
        {{{"after", "-5-3"}}, "page link"},
        {{{"after", "99999999999999999999-3"}}, "page link"},
        // Past what the clock holds (2262): refused, not wrapped round into a search of every report.
        {{{"from", "2300-01-01"}}, "From \"2300-01-01\" is outside the dates searched: 1970-01-01 to 2199-12-31"},
        {{{"to", "2262-04-12"}}, "is outside the dates"},
        {{{"from", "2200-01-01"}}, "is outside the dates"},
        {{{"after", "253402300799999-3"}}, "page link"},
        {{{"to", "2199-12-31T23:59"}}, ""},
        // A computer is its own MACs or one host name: a list holding something else, a group address or a
        // tunnel's eight bytes among MACs, and names with control characters or too long are refused.
        {{{"computer", "3C-52-82-4E-03-10, IVAN-PC"}}, "\"IVAN-PC\" is not a computer's own MAC"},
        {{{"computer", "3C-52-82-4E-03-10 01-00-5E-00-00-01"}}, "\"01-00-5E-00-00-01\" is not"},
        {{{"computer", "3C-52-82-4E-03-10 00-00-00-00-00-00-00-E0"}}, "is not a computer's own MAC"},
        {{{"computer", "IVAN\x01PC"}}, "MAC addresses (such as 3C-52-82-4E-03-10) or a host name"},
        {{{"computer", std::string(65, 'A')}}, "or a host name"},
        {{{"computer",
           [] {
               std::string many;
               for (int i = 10; i < 27; ++i)
                   many += "3C-52-82-4E-03-" + std::to_string(i) + ",";
               return many;
           }()}},
         "at most 16 MAC addresses"},
        {{{"ip", " 10.1.2.3 "}, {"from", "2026-03-09"}, {"to", "2026-03-09T08:05"}, {"failed", "any"}}, ""},
    };
    for (const QueryCase& one : cases) {
        const SearchQuery query = read_search_query(request_with(one.query), 50);
        if (one.error.empty())
            EXPECT_EQ(query.error, "") << one.query.front().second;
        else
            EXPECT_NE(query.error.find(one.error), std::string::npos) << query.error;
    }
}

TEST(SearchQuery, FieldsBecomeTheStoreSearchAndTheCursorComesBackInLinks) {
    const SearchQuery exact = read_search_query(
        request_with({{"ip", "::ffff:10.1.2.3"}, {"from", "2026-03-09T08:05"}, {"to", "2026-03-09"}, {"failed", "3"}}),
        50);
    ASSERT_EQ(exact.error, "");
    EXPECT_EQ(exact.search.caller, "10.1.2.3"); // as the store spells callers
    EXPECT_FALSE(exact.search.caller_prefix);
    EXPECT_EQ(exact.search.since, Clock::time_point(sys_days{2026y / 3 / 9} + 8h + 5min));
    EXPECT_EQ(exact.search.until, Clock::time_point(sys_days{2026y / 3 / 10})); // the whole day
    EXPECT_EQ(exact.search.failed_any_of, 1u << 2);
    EXPECT_EQ(exact.search.limit, 50u);
    EXPECT_FALSE(exact.search.after);

    const SearchQuery prefix = read_search_query(request_with({{"ip", "2001:DB8:"},
                                                               {"match", "prefix"},
                                                               {"to", "2026-03-09T08:05"},
                                                               {"failed", "any"},
                                                               {"after", "1773043507123-42"}}),
                                                 50);
    ASSERT_EQ(prefix.error, "");
    EXPECT_EQ(prefix.search.caller, "2001:db8:");
    EXPECT_TRUE(prefix.search.caller_prefix);
    EXPECT_EQ(prefix.search.until, Clock::time_point(sys_days{2026y / 3 / 9} + 8h + 6min)); // the whole minute
    EXPECT_EQ(prefix.search.failed_any_of, 0x7Fu);
    ASSERT_TRUE(prefix.search.after);
    EXPECT_EQ(prefix.search.after->first, Clock::time_point(milliseconds(1773043507123)));
    EXPECT_EQ(prefix.search.after->second, 42);

    ReportInfo last;
    last.id = 42;
    last.received = Clock::time_point(milliseconds(1773043507123));
    EXPECT_EQ(page_cursor(last), "1773043507123-42");
    EXPECT_EQ(search_query_string(prefix.form, page_cursor(last)),
              "ip=2001:DB8:&match=prefix&to=2026-03-09T08:05&failed=any&after=1773043507123-42");
    EXPECT_EQ(search_query_string(SearchForm{"a b&c=d", "exact", "", "", "", "", ""}, ""), "ip=a%20b%26c%3Dd");
}

// Every usual spelling of a MAC finds the store's; anything else is a host name, compared without case.
TEST(SearchQuery, AComputerIsItsMacsInAnySpellingOrItsName) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> macs = {
        {"3c:52:82:4e:03:10", {"3C-52-82-4E-03-10"}},
        {"3c52.824e.0310", {"3C-52-82-4E-03-10"}},
        {"3C5282 4E0310", {}}, // two pieces, neither a MAC: refused rather than taken for a name with a blank
        {" 3C-52-82-4E-03-10,3C-52-82-4E-03-11 ", {"3C-52-82-4E-03-10", "3C-52-82-4E-03-11"}},
    };
    for (const auto& [text, keys] : macs) {
        const SearchQuery query = read_search_query(request_with({{"computer", text}}), 50);
        if (keys.empty()) {
            EXPECT_NE(query.error, "") << text;
            continue;
        }
        ASSERT_EQ(query.error, "") << text;
        EXPECT_EQ(query.search.computer_macs, keys) << text;
        EXPECT_EQ(query.search.computer_name, "") << text;
    }
    const SearchQuery named = read_search_query(request_with({{"computer", "ivan-pc"}}), 50);
    ASSERT_EQ(named.error, "");
    EXPECT_EQ(named.search.computer_name, "IVAN-PC");
    EXPECT_TRUE(named.search.computer_macs.empty());
    EXPECT_EQ(search_query_string(named.form, ""), "computer=ivan-pc");
}

} // namespace
} // namespace lumresults::dashboard
