// tests/server/report_reading_test.cpp: stored reports read back: every lab scenario's report gives the rows that
// scenario's run showed, and reports cut short or oddly ended read without contradicting them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <nlohmann/json.hpp>
#include <filesystem>
#include <string>
#include <vector>

#include "scenario_files.h"
#include "server/reports/kept_text.h"
#include "server/reports/reading_record.h"
#include "server/reports/report_reading.h"
#include "server/store/store.h"
#include "test_support.h"
#include "rules/operator.h"
#include "rules/report_stamps.h"
#include "rules/test_names.h"

namespace lum::reports {
namespace {

namespace fs = std::filesystem;
using lab::ExpectedRow;

const fs::path SCENARIOS = LUM_LAB_SCENARIOS;

struct Scenario {
    std::string name;
    std::string report; // as the program writes it: every line ended with CR LF
    std::string public_ip;
    std::vector<ExpectedRow> rows;
};

std::string with_line_ends(const std::vector<std::string>& lines, std::string_view end) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes.append(line).append(end);
    return bytes;
}

// Each scenario's expected report, which the lab's scenario tests hold equal to the report its run wrote.
const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> all = [] {
        std::vector<Scenario> read;
        testing_support::ScratchFolder scratch("lum_report_reading_");
        for (const auto& entry : fs::directory_iterator(SCENARIOS)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_directory() || name == "base") continue;
            const fs::path merged = scratch.path() / name;
            lab::merge_scenario(SCENARIOS / "base", entry.path(), merged);
            read.push_back({name, with_line_ends(lab::expected_report(entry.path() / "report.txt", merged), "\r\n"),
                            lab::read_settings(entry.path() / "scenario.txt").public_ip,
                            lab::read_rows(entry.path() / "rows.txt")});
        }
        std::sort(read.begin(), read.end(), [](const Scenario& a, const Scenario& b) { return a.name < b.name; });
        return read;
    }();
    return all;
}

Verdict verdict_of(const ExpectedRow& row) {
    if (!row.present || row.color == 0x800000) return Verdict::Skip;
    return row.color == 0x008000 ? Verdict::Ok : Verdict::Failed;
}

// The rows, as text, colour and verdict, that differ from the scenario's; empty when all agree.
std::vector<std::string> row_differences(const ReadReport& report, const std::vector<ExpectedRow>& rows) {
    std::vector<std::string> differences;
    for (const ExpectedRow& row : rows) {
        const TestReading& test = report.tests.at(static_cast<std::size_t>(row.row - 1));
        const std::string expected = row.present ? row.text : "";
        if (test.row_text != expected || test.row_color != row.color || test.verdict != verdict_of(row))
            differences.push_back(std::to_string(row.row) + ": \"" + test.row_text + "\", expected \"" + expected +
                                  "\"");
    }
    return differences;
}

TEST(ReportReading, EveryScenarioReadsBackItsRows) {
    ASSERT_GE(scenarios().size(), 40u);
    std::size_t exact = 0;
    std::size_t derived_verdicts = 0;
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        const ReadReport report = read_report(scenario.report, scenario.public_ip);
        EXPECT_EQ(row_differences(report, scenario.rows), std::vector<std::string>());
        EXPECT_TRUE(report.has_header && report.finished);
        EXPECT_EQ(report.start_time, "2014-03-09 08:05:07");
        EXPECT_EQ(report.end_time, "2014-03-09 08:06:59");
        exact += row_differences(report, scenario.rows).empty();
        derived_verdicts += std::count_if(report.tests.begin(), report.tests.end(),
                                          [](const TestReading& test) { return test.derived; });
        // The sections follow one another without gap or overlap, from the header to the footer.
        std::size_t next = report.tests[0].bytes.begin;
        for (const TestReading& test : report.tests) {
            if (test.lines.count == 0) continue;
            EXPECT_EQ(test.bytes.begin, next) << "test " << test.number;
            next = test.bytes.end;
        }
        EXPECT_EQ(scenario.report.substr(next), "=== TEST END === 2014-03-09 08:06:59\r\n");
    }
    std::printf("scenarios read back exactly: %zu of %zu; derived verdicts among them: %zu\n", exact,
                scenarios().size(), derived_verdicts);
}

// Without the subscriber's address the reading may differ only where it says it cannot be sure.
TEST(ReportReading, WithoutTheAddressOnlyDerivedVerdictsDiffer) {
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        const ReadReport known = read_report(scenario.report, scenario.public_ip);
        const ReadReport unknown = read_report(scenario.report);
        for (std::size_t test = 0; test < known.tests.size(); ++test) {
            if (unknown.tests[test].verdict != known.tests[test].verdict) {
                EXPECT_TRUE(unknown.tests[test].derived) << "test " << test + 1;
            }
        }
    }
}

const Scenario& scenario_named(const std::string& name) {
    const auto found = std::find_if(scenarios().begin(), scenarios().end(),
                                    [&](const Scenario& scenario) { return scenario.name == name; });
    if (found == scenarios().end()) throw std::runtime_error("no scenario " + name);
    return *found;
}

TEST(ReportReading, FiguresOfACompleteRun) {
    const ReadReport report = read_report(scenario_named("all-pass").report);
    EXPECT_EQ(report.release, "Windows 7");
    EXPECT_EQ(report.tests[1].figures.lost_echoes, 1);
    EXPECT_EQ(report.tests[3].figures.lost_probes, 1);
    EXPECT_EQ(report.tests[3].figures.average_ms, 11);
    EXPECT_EQ(report.tests[4].figures.lost_echoes, 0);
    EXPECT_EQ(report.tests[5].figures.rate_text, "(1.23 MB/s)");
    EXPECT_EQ(report.tests[5].figures.mbps, 10.0);
    EXPECT_EQ(report.tests[6].figures.packets_received, 10);
    ASSERT_EQ(report.adapters.size(), 1u);
    EXPECT_EQ(report.adapters[0].name, "Local Area Connection"); // the heading without its kind
    EXPECT_EQ(report.adapters[0].ipv4, std::vector<std::string>{"192.168.1.34"});
    EXPECT_EQ(report.adapters[0].mac, "74-D4-35-1A-2B-3C");
    EXPECT_TRUE(report.adapters[0].gateways.empty()); // after the marker line: not in the report
}

TEST(ReportReading, RatesInMbpsByTheRowsUnit) {
    const std::vector<std::pair<std::string, double>> cases = {{"download-850-kbs", 6.8},
                                                               {"download-gbs", 8000.0},
                                                               {"download-bytes", 0.004096},
                                                               {"download-12345-mbs", 99.0}};
    for (const auto& [name, mbps] : cases) {
        const ReadReport report = read_report(scenario_named(name).report);
        ASSERT_TRUE(report.tests[5].figures.mbps.has_value()) << name;
        EXPECT_DOUBLE_EQ(*report.tests[5].figures.mbps, mbps) << name;
    }
}

// A report cut anywhere (a full disk) never contradicts the whole one: a test is either not reached, read
// the same, or marked derived.
TEST(ReportReading, ReportsCutShortNeverContradictTheWholeOne) {
    for (const std::string name : {"all-pass", "no-marker", "probe-four-timeouts", "tools-missing"}) {
        const std::string& bytes = scenario_named(name).report;
        const ReadReport whole = read_report(bytes, "100.102.3.4");
        for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
            const ReadReport part = read_report(std::string_view(bytes).substr(0, cut), "100.102.3.4");
            EXPECT_FALSE(part.finished);
            for (std::size_t test = 0; test < part.tests.size(); ++test) {
                const TestReading& reading = part.tests[test];
                if (reading.verdict == Verdict::NotReached || reading.derived) continue;
                EXPECT_EQ(reading.verdict, whole.tests[test].verdict)
                    << name << " cut at " << cut << " test " << test + 1;
            }
        }
    }
}

// A report copied through a system that changed its line ends reads the same.
TEST(ReportReading, LineEndsDoNotMatter) {
    const Scenario& scenario = scenario_named("dns-failed");
    const std::vector<std::string> lines = lab::split_lines(scenario.report);
    for (const std::string_view end : {"\n", "\r"}) {
        EXPECT_EQ(row_differences(read_report(with_line_ends(lines, end)), scenario.rows), std::vector<std::string>());
    }
}

TEST(ReportReading, NotAReportReadsAsNothingReached) {
    for (const std::string_view bytes : {std::string_view(""), std::string_view("\r\n\r\n"),
                                         std::string_view("Lumora Network Test v1.4\r\n\r\nWindows 7")}) {
        const ReadReport report = read_report(bytes);
        EXPECT_FALSE(report.finished);
        for (const TestReading& test : report.tests)
            EXPECT_EQ(test.verdict, Verdict::NotReached);
    }
}

// A stored report's reading is kept with the rules that made it, and read again once the rules are newer.
TEST(ReportReadingKept, StoredWithItsRulesAndReadAgainAfterAnUpgrade) {
    const Scenario& scenario = scenario_named("dns-failed");
    testing_support::ScratchFolder folder("lum_reading_kept_");
    const std::unique_ptr<lumresults::Store> store = lumresults::open_sqlite_store(folder.path() / "data");
    std::ofstream(folder.path() / "report", std::ios::binary) << scenario.report;
    const std::int64_t id = store->put_report({scenario.public_ip, lumresults::Clock::now(), "lumtest.log",
                                               "text/plain", scenario.report.size(), "0", folder.path() / "report"});
    ASSERT_TRUE(lumresults::read_stored_report(*store, id));
    const std::optional<lumresults::ReportReading> kept = store->find_reading(id);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->rules_version, REPORT_RULES_VERSION);
    EXPECT_EQ(kept->failed_tests, 1u << 2) << "Test 3 failed";
    const nlohmann::json json = nlohmann::json::parse(kept->json);
    EXPECT_EQ(json["tests"][2]["row_text"], scenario.rows[2].text);
    EXPECT_TRUE(store->reports_to_read(REPORT_RULES_VERSION, 0, 10).empty());

    lumresults::ReportReading older = *kept;
    older.rules_version = REPORT_RULES_VERSION - 1;
    store->put_reading(id, older);
    EXPECT_EQ(store->reports_to_read(REPORT_RULES_VERSION, 0, 10), std::vector<std::int64_t>{id});
    EXPECT_EQ(lumresults::read_stored_reports_again(*store), 1u);
    EXPECT_EQ(store->find_reading(id)->rules_version, REPORT_RULES_VERSION);
    EXPECT_EQ(lumresults::read_stored_reports_again(*store), 0u);
}

// Whatever a report holds, its reading keeps a bounded part of each text and list, marked "…" where cut, and
// its JSON stays small: 20 adapters, each with a long name and MAC and a dozen long DNS server addresses.
TEST(ReportReading, WhatAReadingKeepsIsBoundedFieldByField) {
    const std::string controls(100'000, '\x01');
    std::string report = std::string(PROGRAM_TITLE) + "\r\n\r\n" + controls + "\r\n\r\n" +
                         std::string(REPORT_START_STAMP) + controls + "\r\n\r\n" + std::string(test_name(1)) + "\r\n";
    for (int adapter = 0; adapter < 20; ++adapter) {
        report += "Ethernet adapter " + controls.substr(0, 500) +
                  ":\r\n   Physical Address. . . : " + std::string(500, 'A') + "\r\n";
        for (int server = 0; server < 12; ++server)
            report += "   DNS Servers . . . : 1" + std::string(500, '0') + ".1.1.1\r\n";
    }
    const ReadReport reading = read_report(report);
    const auto cut = [](const std::string& text, std::size_t most) {
        return text.size() == most + CUT_MARK.size() && text.ends_with(CUT_MARK);
    };
    EXPECT_TRUE(cut(reading.release, RELEASE_BYTES_KEPT));
    EXPECT_TRUE(cut(reading.start_time, TIME_BYTES_KEPT));
    ASSERT_EQ(reading.adapters.size(), ADAPTERS_KEPT + 1);
    EXPECT_EQ(reading.adapters.back().name, CUT_MARK);
    for (std::size_t at = 0; at < ADAPTERS_KEPT; ++at) {
        const Adapter& adapter = reading.adapters[at];
        EXPECT_TRUE(cut(adapter.name, ADAPTER_NAME_BYTES_KEPT) && cut(adapter.mac, MAC_BYTES_KEPT)) << at;
        ASSERT_EQ(adapter.dns_servers.size(), ADDRESSES_KEPT + 1) << at;
        EXPECT_EQ(adapter.dns_servers.back(), CUT_MARK);
        EXPECT_TRUE(cut(adapter.dns_servers.front(), ADDRESS_BYTES_KEPT)) << adapter.dns_servers.front();
    }
    const lumresults::ReportReading record = lumresults::reading_record(reading);
    EXPECT_LT(record.json.size(), 64u * 1024);
    EXPECT_EQ(record.release, reading.release.substr(0, lumresults::READING_RELEASE_BYTES));
    EXPECT_TRUE(record.release_cut);
}

} // namespace
} // namespace lum::reports
