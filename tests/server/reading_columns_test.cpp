// tests/server/reading_columns_test.cpp: readings kept as columns: a page of results is one statement on
// every back end, and a store made by the previous release is read again into the columns.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>

#include "corpus_reports.h"
#include "scenario_files.h"
#include "server/dashboard/search_results.h"
#include "server/reports/reading_record.h"
#include "server/reports/report_reading.h"
#include "server/store/postgres/pg_migrations.h"
#include "server/store/postgres/pg_session.h"
#include "server/store/postgres/postgres_store.h"
#include "server/store/sql/open_database.h"
#include "server/store/sql/sql_store.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/migrations.h"
#include "server/store/sqlite/sqlite_session.h"
#include "store_backends.h"
#include "test_support.h"

namespace lumresults {
namespace {

using testing_support::Backend;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every statement the store runs passes through here: the seam a test can count them at.
class CountingSession final : public sql::Session {
public:
    CountingSession(sql::Session& inner, std::atomic<int>& count) : inner_(inner), count_(count) {}
    std::size_t query(std::string_view sql, const sql::Params& params, std::string_view doing,
                      const sql::RowHandler& row) override {
        ++count_;
        return inner_.query(sql, params, doing, row);
    }
    std::size_t execute(std::string_view sql, const sql::Params& params, std::string_view doing) override {
        ++count_;
        return inner_.execute(sql, params, doing);
    }

private:
    sql::Session& inner_;
    std::atomic<int>& count_;
};

class CountingDatabase final : public sql::Database {
public:
    CountingDatabase(std::unique_ptr<sql::Database> inner, std::atomic<int>& count)
        : inner_(std::move(inner)), count_(count) {}
    void read(const std::function<void(sql::Session&)>& work) override { inner_->read(counted(work)); }
    void write(const std::function<void(sql::Session&)>& work) override { inner_->write(counted(work)); }
    void transaction(const std::function<void(sql::Session&)>& work) override { inner_->transaction(counted(work)); }
    std::int64_t put_report(const NewReport& report) override { return inner_->put_report(report); }
    bool read_report(std::int64_t id, const ByteSink& sink) override { return inner_->read_report(id, sink); }

private:
    std::function<void(sql::Session&)> counted(const std::function<void(sql::Session&)>& work) {
        return [this, &work](sql::Session& session) {
            CountingSession counting(session, count_);
            work(counting);
        };
    }

    std::unique_ptr<sql::Database> inner_;
    std::atomic<int>& count_;
};

// The lab's run whose name-resolution test failed, as the program uploads it.
std::string dns_failed_report(const fs::path& work) {
    const fs::path scenarios = LUM_LAB_SCENARIOS;
    lum::lab::merge_scenario(scenarios / "base", scenarios / "dns-failed", work / "dns-failed");
    std::string report;
    for (const std::string& line :
         lum::lab::expected_report(scenarios / "dns-failed" / "report.txt", work / "dns-failed"))
        report += line + "\r\n";
    return report;
}

class ReadingColumnsTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        LUMRESULTS_NEED_BACKEND(GetParam());
        scratch_.emplace(GetParam(), folder_.path() / "data");
        const std::string report = dns_failed_report(folder_.path());
        std::ofstream(folder_.path() / "report", std::ios::binary) << report;
        report_ = {"100.100.1.2",
                   Clock::now(),
                   "lumtest.txt",
                   "text/plain",
                   report.size(),
                   std::string(64, '0'),
                   folder_.path() / "report"};
    }

    std::unique_ptr<sql::Database> database() {
        return scratch_->database() ? sql::open_postgres_database(scratch_->database()->url())
                                    : sql::open_sqlite_database(folder_.path() / "data");
    }

    // A store as the release before readings had columns left it: its first four schema steps, and report 1
    // with the reading that release kept (the summary and the JSON).
    void make_previous_release_store() {
        const std::string bytes = lum::testing_support::file_contents(report_.content);
        if (testing_support::ScratchPostgres* postgres = scratch_->database()) {
            postgres::Session session(postgres->url(), "previous release");
            postgres::migrate(session, postgres::migrations().first(4));
            put_previous_release_report(session, "");
            session.execute("INSERT INTO report_content (report_id, piece, bytes) VALUES (1, 0, $1)",
                            sql::Params().bytes(bytes), "storing the bytes");
        } else {
            fs::create_directories(folder_.path() / "data");
            const sqlite::Connection db = sqlite::open_connection(sqlite::store_file(folder_.path() / "data"));
            sqlite::migrate(db.get(), sqlite::migrations().first(4));
            sqlite::Session session(db.get());
            put_previous_release_report(session, bytes);
        }
    }

    // content: SQLite keeps the bytes in the report's row.
    void put_previous_release_report(sql::Session& session, const std::string& content) {
        const std::string columns = "id, caller, received_ms, file_name, content_type, size, sha256";
        sql::Params report;
        report.text(report_.caller).time(report_.received).bytes("lumtest.txt").bytes("text/plain");
        report.integer(static_cast<std::int64_t>(report_.size)).text(report_.sha256);
        session.execute(content.empty()
                            ? "INSERT INTO reports (" + columns + ") VALUES (1, $1, $2, $3, $4, $5, $6)"
                            : "INSERT INTO reports (" + columns + ", content) VALUES (1, $1, $2, $3, $4, $5, $6, $7)",
                        content.empty() ? report : report.bytes(content), "storing the report");
        session.execute(
            "INSERT INTO report_readings (report_id, rules_version, finished, failed_tests, release, reading) "
            "VALUES (1, 1, $1, $2, $3, $4)",
            sql::Params().boolean(true).integer(1 << 2).bytes("Windows 7").bytes(R"({"tests":[]})"),
            "keeping the reading");
    }

    lum::testing_support::ScratchFolder folder_{"lum_reading_columns_"};
    std::optional<testing_support::ScratchStore> scratch_;
    NewReport report_;
};

TEST_P(ReadingColumnsTest, APageOfResultsIsOneStatementWhateverItsLength) {
    std::atomic<int> statements{0};
    const std::unique_ptr<Store> store = sql::make_store(std::make_unique<CountingDatabase>(database(), statements));
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(read_stored_report(*store, store->put_report(report_)));

    for (const std::size_t page : {std::size_t{50}, std::size_t{1000}}) {
        ReportSearch search;
        search.limit = page;
        statements = 0;
        const dashboard::FoundPage found = dashboard::find_reports(*store, search);
        EXPECT_EQ(statements, 1) << "a page of " << page;
        ASSERT_EQ(found.reports.size(), std::min<std::size_t>(page, 60));
        EXPECT_EQ(found.reports[0].verdicts[1], "OK");
        EXPECT_EQ(found.reports[0].verdicts[2], "Failed") << "the name-resolution test";
        EXPECT_EQ(found.reports[0].release, "Windows 7");
    }
}

TEST_P(ReadingColumnsTest, AStoreOfThePreviousReleaseIsReadAgainIntoTheColumns) {
    make_previous_release_store();
    const std::unique_ptr<Store> store = scratch_->open();
    const std::vector<ReportSummary> before = store->search_reports(ReportSearch{});
    ASSERT_EQ(before.size(), 1u);
    EXPECT_FALSE(before[0].reading) << "no verdicts until the report is read again";
    EXPECT_EQ(store->find_reading(1)->failed_tests, 1u << 2) << "the summary stays readable";
    EXPECT_EQ(store->reports_to_read(lum::reports::REPORT_RULES_VERSION, 0, 10), std::vector<std::int64_t>{1});

    EXPECT_EQ(read_stored_reports_again(*store), 1u);
    const std::optional<ReportReading> reading = store->search_reports(ReportSearch{}).at(0).reading;
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->verdicts[0], TestVerdict::ok);
    EXPECT_EQ(reading->verdicts[2], TestVerdict::failed);
    EXPECT_EQ(reading->figures.lost_echoes, 1) << "the lab's first ping loses one echo of four";
    EXPECT_TRUE(reading->figures.download_mbps) << "a failed lookup does not stop the run";
}

TEST_P(ReadingColumnsTest, EveryColumnComesBackAsKept) {
    const std::unique_ptr<Store> store = scratch_->open();
    const std::int64_t id = store->put_report(report_);
    ReportReading kept{2, false, 1u << 6, std::string(READING_RELEASE_BYTES, 'r'), "{}"};
    kept.verdicts = {TestVerdict::ok, TestVerdict::ok,      TestVerdict::ok,    TestVerdict::ok,
                     TestVerdict::ok, TestVerdict::skipped, TestVerdict::failed};
    kept.derived_tests = 1u << 5;
    kept.release_cut = true;
    kept.figures = {1, 3, 61, std::nullopt, 93.5, 4};
    store->put_reading(id, kept);
    for (const std::optional<ReportReading>& back :
         {store->find_reading(id), store->search_reports({}).at(0).reading}) {
        ASSERT_TRUE(back);
        EXPECT_EQ(back->verdicts, kept.verdicts);
        EXPECT_EQ(back->derived_tests, kept.derived_tests);
        EXPECT_EQ(back->release, kept.release);
        EXPECT_TRUE(back->release_cut);
        EXPECT_EQ(back->figures.lost_probes, 3);
        EXPECT_EQ(back->figures.average_ms, 61);
        EXPECT_FALSE(back->figures.large_lost_echoes);
        EXPECT_EQ(back->figures.download_mbps, 93.5);
        EXPECT_EQ(back->figures.packets_received, 4);
    }
}

// A subscriber's reports are found together by the computer's MACs or name, whatever address each came from;
// a new reading replaces what named the computer before.
TEST_P(ReadingColumnsTest, ReportsOfOneComputerAreFoundWhateverTheirAddress) {
    const std::unique_ptr<Store> store = scratch_->open();
    const auto put = [&](const char* caller, std::chrono::seconds later, ReportComputer computer) {
        NewReport report = report_;
        report.caller = caller;
        report.received += later;
        const std::int64_t id = store->put_report(report);
        ReportReading reading{lum::reports::REPORT_RULES_VERSION, true, 0, "Windows 7", "{}"};
        reading.computer = std::move(computer);
        store->put_reading(id, reading);
        return id;
    };
    const std::string m1 = "3C-52-82-4E-03-10", m2 = "3C-52-82-4E-03-11", m3 = "00-15-5D-01-02-03";
    const std::int64_t home = put("100.100.1.2", 0s, {{m1, m2}, "IVAN-PC"});
    const std::int64_t next_day = put("100.100.9.9", 1s, {{m2}, "IVAN-PC"});
    const std::int64_t neighbour = put("100.100.1.2", 2s, {{m3}, "OLGA-PC"});
    // The ids a search by MACs or name finds (from one address, or from any but one), newest first.
    struct By {
        std::vector<std::string> macs;
        std::string name;
        std::string caller;
        std::string other_than;
    };
    const auto ids = [&](const By& by) {
        ReportSearch search;
        search.computer_macs = by.macs;
        search.computer_name = by.name;
        search.caller = by.caller;
        search.other_than_caller = by.other_than;
        std::vector<std::int64_t> found;
        for (const ReportSummary& row : store->search_reports(search))
            found.push_back(row.info.id);
        return found;
    };
    using Ids = std::vector<std::int64_t>;
    EXPECT_EQ(ids({{m1}, "", "", ""}), Ids{home});
    EXPECT_EQ(ids({{m1, m2}, "", "", ""}), (Ids{next_day, home})); // each report once, newest first
    EXPECT_EQ(ids({{m2}, "", "", "100.100.1.2"}), Ids{next_day});
    EXPECT_EQ(ids({{}, "IVAN-PC", "", ""}), (Ids{next_day, home}));
    EXPECT_EQ(ids({{}, "OLGA-PC", "100.100.1.2", ""}), Ids{neighbour});

    ReportReading again{lum::reports::REPORT_RULES_VERSION, true, 0, "Windows 7", "{}"};
    again.computer = {{m3}, ""};
    store->put_reading(home, again);
    EXPECT_EQ(ids({{m1}, "", "", ""}), Ids{});
    EXPECT_EQ(ids({{m3}, "", "", ""}), (Ids{neighbour, home}));
    EXPECT_EQ(ids({{}, "IVAN-PC", "", ""}), Ids{next_day});
}

// The overview's counts follow every reading kept, replaced or deleted, by hour and block, and a recount
// makes the same counts again from the readings.
TEST_P(ReadingColumnsTest, TheOverviewsCountsFollowTheReadings) {
    const std::unique_ptr<Store> store = scratch_->open();
    const Clock::time_point hour = Clock::time_point(std::chrono::hours(500'000)); // 2027-01-15 08:00 UTC
    const auto put = [&](const char* caller, Clock::time_point received, TestVerdict test3) {
        NewReport report = report_;
        report.caller = caller;
        report.received = received;
        const std::int64_t id = store->put_report(report);
        ReportReading reading{lum::reports::REPORT_RULES_VERSION, true, 0, "Windows 7", "{}"};
        reading.verdicts.fill(TestVerdict::ok);
        reading.verdicts[2] = test3;
        store->put_reading(id, reading);
        return id;
    };
    const std::int64_t failed = put("100.102.3.4", hour + 5min, TestVerdict::failed);
    put("100.102.3.9", hour + 59min, TestVerdict::ok);
    put("100.65.1.1", hour + 61min, TestVerdict::ok);
    // (hour, test 3's verdict) -> reports, of the counts summed over blocks.
    const auto test3 = [&](const std::string& prefix) {
        std::map<std::pair<std::int64_t, TestVerdict>, std::int64_t> found;
        for (const ReadingCount& count : store->reading_counts({hour, hour + 2h, prefix}))
            if (count.test == 3)
                found[{std::chrono::duration_cast<std::chrono::hours>(count.hour - hour).count(), count.verdict}] =
                    count.reports;
        return found;
    };
    using Counts = std::map<std::pair<std::int64_t, TestVerdict>, std::int64_t>;
    EXPECT_EQ(test3(""), (Counts{{{0, TestVerdict::ok}, 1}, {{0, TestVerdict::failed}, 1}, {{1, TestVerdict::ok}, 1}}));
    EXPECT_EQ(test3("100.102.0.0/16"), (Counts{{{0, TestVerdict::ok}, 1}, {{0, TestVerdict::failed}, 1}}));
    const std::vector<ReadingCount> blocks = store->block_counts({hour, hour + 1h, ""}, {"100.102.3.0/24"});
    EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(),
                            [](const ReadingCount& c) { return c.test == 0 && c.verdict == TestVerdict::ok; }),
              1);
    EXPECT_EQ(blocks.size(), 9u); // the reports, six tests all OK, Test 3 OK once and failed once

    // Read again as passed: the failure is taken away; a recount finds what the counts say.
    ReportReading again{lum::reports::REPORT_RULES_VERSION, true, 0, "Windows 7", "{}"};
    again.verdicts.fill(TestVerdict::ok);
    store->put_reading(failed, again);
    EXPECT_EQ(test3(""), (Counts{{{0, TestVerdict::ok}, 2}, {{1, TestVerdict::ok}, 1}}));
    const std::vector<ReadingCount> kept = store->reading_counts({hour, hour + 2h, ""});
    store->recount();
    const std::vector<ReadingCount> recounted = store->reading_counts({hour, hour + 2h, ""});
    ASSERT_EQ(recounted.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(std::tie(recounted[i].hour, recounted[i].test, recounted[i].verdict, recounted[i].reports),
                  std::tie(kept[i].hour, kept[i].test, kept[i].verdict, kept[i].reports));

    // Speed tests by rate bucket, each within 5 % of its figure; retention takes whole hours away.
    for (const double mbps : {100.0, 100.0, 48.0})
        store->put_speed_test({"100.102.3.4", hour + 10min, "Browser/1.0", mbps, std::nullopt, 20.0, 1.0});
    const std::vector<SpeedCount> speeds = store->speed_counts({hour, hour + 1h, "100.102.3.0/24"});
    ASSERT_EQ(speeds.size(), 2u);
    EXPECT_EQ(std::tie(speeds[1].upload, speeds[1].tests), std::tuple(false, 2));
    EXPECT_NEAR(bucket_middle(speeds[1].bucket), 100.0, 5.0);
    store->delete_reports_before(hour + 61min);
    store->delete_speed_tests_before(hour + 61min);
    EXPECT_EQ(test3(""), (Counts{{{1, TestVerdict::ok}, 1}}));
    EXPECT_TRUE(store->speed_counts({hour, hour + 1h, ""}).empty());
    EXPECT_TRUE(store->speed_counts({hour, hour + 1h, "100.102.0.0/16"}).empty());
}

// Every corpus report's code page comes back from the store as the reading found it, and decodes its
// release line in the search's rows.
TEST_P(ReadingColumnsTest, LocalizedReportsKeepTheirCodePages) {
    const std::unique_ptr<Store> store = scratch_->open();
    for (const lum::corpus::CorpusReport& corpus :
         lum::corpus::corpus_reports(LUM_CORPUS, LUM_LAB_SCENARIOS, folder_.path() / "corpus")) {
        const fs::path file = folder_.path() / corpus.language;
        std::ofstream(file, std::ios::binary) << corpus.bytes;
        NewReport report = report_;
        report.caller = "100.102.3.4";
        report.size = corpus.bytes.size();
        report.content = file;
        const std::int64_t id = store->put_report(report);
        ASSERT_TRUE(read_stored_report(*store, id));
        const int found = lum::reports::read_report(corpus.bytes, "100.102.3.4").code_page.code_page;
        EXPECT_EQ(found != 0, corpus.language != "english-us") << corpus.language;
        EXPECT_EQ(store->find_reading(id)->code_page, found) << corpus.language;
        ReportSearch newest;
        newest.limit = 1;
        const dashboard::FoundPage page = dashboard::find_reports(*store, newest);
        ASSERT_EQ(page.reports.size(), 1u);
        EXPECT_EQ(page.reports[0].code_page, found) << corpus.language;
        EXPECT_EQ(page.reports[0].release, "Windows 7") << corpus.language;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadingColumnsTest, testing_support::every_backend, testing_support::backend_name);

} // namespace
} // namespace lumresults
