// tests/server/store_test.cpp: both stores keep bytes exactly, all or nothing, list, search, migrate and share.
#include "server/store/commit_queue.h"
#include "server/store/sqlite/migrations.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include "store_backends.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <latch>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

using namespace lumresults;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;
using namespace lumresults::testing_support;

namespace {

const Clock::time_point t0 = std::chrono::sys_days{std::chrono::year{2026} / 2 / 3} + 4h + 5min + 6s + 789ms;

// A folder of files holding report bytes, each written once.
class ContentFiles {
public:
    explicit ContentFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

    NewReport report(const std::string& bytes, const std::string& caller = "192.0.2.1",
                     Clock::time_point received = t0) {
        const auto path = folder_ / ("content-" + std::to_string(next_++));
        std::ofstream(path, std::ios::binary) << bytes;
        return NewReport{caller, received, "lumtest.log", "text/plain", bytes.size(), std::string(64, 'a'), path};
    }

private:
    std::filesystem::path folder_;
    std::atomic<int> next_ = 0;
};

// The bytes read_report gives, and the largest piece it gave them in.
std::pair<std::string, std::size_t> read_back(Store& store, std::int64_t id) {
    std::string bytes;
    std::size_t largest = 0;
    EXPECT_TRUE(store.read_report(id, [&](std::string_view piece) {
        bytes.append(piece);
        largest = std::max(largest, piece.size());
    }));
    return {bytes, largest};
}

std::vector<std::int64_t> ids_of(const std::vector<ReportInfo>& reports) {
    std::vector<std::int64_t> ids;
    for (const ReportInfo& report : reports)
        ids.push_back(report.id);
    return ids;
}

// The tests every back end must pass alike.
class StoreTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        LUMRESULTS_NEED_BACKEND(GetParam());
        scratch.emplace(GetParam(), folder.path() / "data");
        store = scratch->open();
    }

    ScratchFolder folder{"lumresults_store_"};
    ContentFiles files{folder.path()};
    std::optional<ScratchStore> scratch;
    std::unique_ptr<Store> store; // closed before its database goes
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, every_backend, backend_name);

// The SQLite store's own file and locking.
class SqliteStoreTest : public ::testing::Test {
protected:
    std::filesystem::path data_dir() const { return folder.path() / "data"; }

    ScratchFolder folder{"lumresults_store_"};
    ContentFiles files{folder.path()};
    std::unique_ptr<Store> store = open_sqlite_store(data_dir());
};

TEST_P(StoreTest, KeepsEveryByteAndTheDescriptionExactly) {
    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte)
        every_byte += static_cast<char>(byte);
    std::string large(3 * 1024 * 1024 + 17, '\0');
    std::mt19937 random(7);
    for (char& c : large)
        c = static_cast<char>(random());

    for (const std::string& bytes : {std::string(), every_byte, large}) {
        NewReport report = files.report(bytes, "2001:db8::7");
        report.file_name = std::string("r\xE9sum\xE9\0\xFF.txt", 12); // a code page's bytes and a NUL
        report.content_type = "text/plain; charset=\x80";
        const std::int64_t id = store->put_report(report);

        const auto info = store->find_report(id);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->id, id);
        EXPECT_EQ(info->caller, report.caller);
        EXPECT_EQ(info->received, report.received);
        EXPECT_EQ(info->file_name, report.file_name);
        EXPECT_EQ(info->content_type, report.content_type);
        EXPECT_EQ(info->size, bytes.size());
        EXPECT_EQ(info->sha256, report.sha256);
        const auto [stored, largest_piece] = read_back(*store, id);
        EXPECT_TRUE(stored == bytes) << bytes.size() << " bytes came back as " << stored.size();
        EXPECT_LE(largest_piece, 64u * 1024) << "the bytes must come in pieces";
    }
    EXPECT_FALSE(store->find_report(99));
    EXPECT_FALSE(store->read_report(99, [](std::string_view) { FAIL(); }));
}

TEST_P(StoreTest, AFailedPutOrReadLeavesNothingBehindAndTheStoreUsable) {
    NewReport shorter = files.report("12345");
    shorter.size = 6;
    NewReport longer = files.report(std::string(200'000, 'x')); // longer by one byte, past several pieces
    longer.size = 199'999;
    NewReport missing = files.report("12345");
    missing.content = folder.path() / "no-such-file";
    for (const NewReport& report : {shorter, longer, missing})
        EXPECT_THROW(store->put_report(report), StoreError) << report.content;
    EXPECT_TRUE(store->list_reports({}).empty());

    const std::int64_t first = store->put_report(files.report("kept"));
    EXPECT_EQ(first, 1) << "a rolled back report must not use up an id";
    // A sink that fails (a client gone) must not leave its connection inside a stale read transaction.
    EXPECT_THROW(store->read_report(first, [](std::string_view) { throw std::runtime_error("client gone"); }),
                 std::runtime_error);
    const std::int64_t second = store->put_report(files.report("later"));
    EXPECT_EQ(ids_of(store->list_reports({})), (std::vector<std::int64_t>{second, first}));
    EXPECT_EQ(read_back(*store, second).first, "later");
}

TEST_P(StoreTest, ListsNewestFirstFilteredByCallerAndDay) {
    const std::string a = "192.0.2.1", b = "198.51.100.2";
    const std::int64_t id1 = store->put_report(files.report("1", a, t0));
    const std::int64_t id2 = store->put_report(files.report("2", b, t0 + 1s));
    const std::int64_t id3 = store->put_report(files.report("3", a, t0 + 2s));
    const std::int64_t id4 = store->put_report(files.report("4", b, t0 + 2s)); // same time: the later id first
    const std::int64_t id5 = store->put_report(files.report("5", a, t0 - 24h));

    const auto filter = [](std::optional<std::string> caller, std::optional<Clock::time_point> since,
                           std::size_t limit = 1000) {
        ReportFilter made;
        made.caller = std::move(caller);
        made.since = since;
        made.limit = limit;
        return made;
    };
    struct Case {
        ReportFilter filter;
        std::vector<std::int64_t> ids;
    };
    const Case cases[] = {
        {filter({}, {}), {id4, id3, id2, id1, id5}},
        {filter(a, {}), {id3, id1, id5}},
        {filter("192.0.2.10", {}), {}},
        {filter({}, t0), {id4, id3, id2, id1}}, // "since" includes its own instant
        {filter(a, t0 + 1ms), {id3}},
        {filter({}, {}, 2), {id4, id3}},
        {filter(b, {}, 1), {id4}},
        {filter({}, {}, 0), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ids_of(store->list_reports(c.filter)), c.ids);
}

// The database file the store keeps in data_dir, opened directly.
sqlite::Connection open_database(const std::filesystem::path& data_dir) {
    return sqlite::open_connection(data_dir / "lumresults.sqlite3");
}

std::int64_t schema_version(sqlite3* db) { return sqlite::query_integer(db, "PRAGMA user_version"); }

TEST_F(SqliteStoreTest, KeepsItsSchemaAcrossReopeningAndRefusesANewerOne) {
    const std::int64_t id = store->put_report(files.report("kept"));
    store.reset();
    store = open_sqlite_store(data_dir()); // a step applied again would fail: its table exists
    EXPECT_EQ(read_back(*store, id).first, "kept");
    store.reset();

    const sqlite::Connection db = open_database(data_dir());
    const auto latest = static_cast<std::int64_t>(sqlite::migrations().size());
    EXPECT_EQ(schema_version(db.get()), latest);
    sqlite::exec(db.get(), ("PRAGMA user_version = " + std::to_string(latest + 1)).c_str());
    try {
        open_sqlite_store(data_dir());
        FAIL() << "a newer schema was opened";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find("newer"), std::string::npos) << error.what();
    }
}

// An account, a token and a session as they were before roles, in SQLite's own words.
constexpr const char* ROWS_BEFORE_ROLES = R"sql(
INSERT INTO staff_users (name, password_hash, created_ms) VALUES (x'616e61', 'hash', 0);
INSERT INTO api_tokens (name, token_hash, created_ms) VALUES (x'63726d', 'h1', 0);
INSERT INTO staff_sessions (key, user, csrf, created_ms, last_seen_ms) VALUES ('k1', x'616e61', 'c1', 0, 0);
)sql";

// Everyone who could do everything before roles keeps every role after the step that brought them, so that
// an upgrade locks no one out; a session outlives the step and still ends with its account.
TEST(SchemaSteps, AccountsTokensAndSessionsFromBeforeRolesKeepEveryRole) {
    ScratchFolder folder("lumresults_roles_step_");
    {
        const sqlite::Connection db = open_database(folder.path());
        const std::span<const sqlite::Migration> steps = sqlite::migrations();
        const auto roles_step = std::ranges::find_if(steps, [](const sqlite::Migration& step) {
            return std::string_view(step.sql).find("ADD COLUMN roles") != std::string_view::npos;
        });
        ASSERT_NE(roles_step, steps.end());
        sqlite::migrate(db.get(), steps.first(static_cast<std::size_t>(roles_step - steps.begin())));
        sqlite::exec(db.get(), ROWS_BEFORE_ROLES);
    }
    const std::unique_ptr<Store> store = open_sqlite_store(folder.path());
    EXPECT_EQ(store->find_user("ana").value_or(StaffUser{}).roles, Roles::all());
    EXPECT_EQ(store->find_token("h1").value_or(ApiToken{}).roles, Roles::all());
    const std::optional<StaffSession> session = store->find_session("k1");
    ASSERT_TRUE(session);
    EXPECT_EQ(session->roles, Roles::all());
    EXPECT_FALSE(session->checked);
    EXPECT_TRUE(store->remove_user("ana"));
    EXPECT_FALSE(store->find_session("k1"));
}

TEST(SchemaSteps, EachStepIsAppliedOnceAndWhollyOrNotAtAll) {
    ScratchFolder folder("lumresults_schema_");
    const sqlite::Connection db = open_database(folder.path());
    const sqlite::Migration steps[] = {
        {1, "CREATE TABLE t (x INTEGER)"},
        {2, "INSERT INTO t VALUES (2)"},
        {3, "INSERT INTO t VALUES (3); INSERT INTO no_such_table VALUES (3)"},
    };
    const auto rows = [&] { return sqlite::query_integer(db.get(), "SELECT count(*) FROM t"); };

    sqlite::migrate(db.get(), std::span(steps, 1));
    EXPECT_EQ(schema_version(db.get()), 1);
    sqlite::migrate(db.get(), std::span(steps, 2));
    sqlite::migrate(db.get(), std::span(steps, 2));
    EXPECT_EQ(schema_version(db.get()), 2);
    EXPECT_EQ(rows(), 1);
    EXPECT_THROW(sqlite::migrate(db.get(), steps), StoreError);
    EXPECT_EQ(schema_version(db.get()), 2);
    EXPECT_EQ(rows(), 1) << "the failed step's first statement must be rolled back";
}

TEST(SqliteStoreSharing, StoresOpenedAtOnceOnANewFolderAllWork) {
    ScratchFolder folder("lumresults_share_");
    ContentFiles files(folder.path());
    const auto data_dir = folder.path() / "data";
    constexpr int stores = 4;
    std::latch start(stores);
    std::vector<std::string> errors(stores);
    std::vector<std::thread> threads;
    for (int i = 0; i < stores; ++i) {
        threads.emplace_back([&, i] {
            try {
                start.arrive_and_wait();
                open_sqlite_store(data_dir)->put_report(files.report("from store " + std::to_string(i)));
            } catch (const std::exception& error) {
                errors[static_cast<std::size_t>(i)] = error.what();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(errors, std::vector<std::string>(stores));
    EXPECT_EQ(open_sqlite_store(data_dir)->list_reports({}).size(), static_cast<std::size_t>(stores));
}

// Turning a new file to WAL needs it alone; SQLite refuses at once (without its busy wait) while
// another connection is about to write it, so the store has to wait for its turn itself.
TEST(SqliteStoreSharing, OpensANewFileWhileAnotherConnectionWritesIt) {
    ScratchFolder folder("lumresults_share_");
    const sqlite::Connection other = open_database(folder.path());
    sqlite::exec(other.get(), "BEGIN IMMEDIATE");
    auto opening = std::async(std::launch::async, [&] { return open_sqlite_store(folder.path()); });
    opening.wait_for(100ms); // long enough to have tried the switch at least once
    sqlite::exec(other.get(), "COMMIT");
    EXPECT_TRUE(opening.get()->list_reports({}).empty());
}

TEST_P(StoreTest, StoresEachOfManyConcurrentPutsOnce) {
    constexpr int threads = 8, per_thread = 25;
    std::mutex mutex;
    std::map<std::int64_t, std::string> stored; // id -> bytes
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) {
                const std::string bytes = "thread " + std::to_string(t) + " report " + std::to_string(i);
                const std::int64_t id = store->put_report(files.report(bytes));
                std::lock_guard lock(mutex);
                EXPECT_TRUE(stored.emplace(id, bytes).second) << "id " << id << " given twice";
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(threads * per_thread));
    EXPECT_EQ(store->list_reports({}).size(), stored.size());
    for (const auto& [id, bytes] : stored)
        EXPECT_EQ(read_back(*store, id).first, bytes);
}

// Many threads put at once, so that reports share transactions; one report's file is shorter than its
// size. That one must fail alone: the others in its transaction are stored, each once and byte-exact.
TEST_P(StoreTest, ABadReportAmongManyPutAtOnceFailsAloneAndTheRestAreStoredOnce) {
    constexpr int threads = 16, per_thread = 20, bad_thread = 5, bad_put = 10;
    std::latch start(threads);
    std::mutex mutex;
    std::map<std::int64_t, std::string> stored; // id -> bytes
    std::vector<std::string> failures;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            // Made before the start, so that the puts come back to back and keep the queue full.
            std::mt19937 random(static_cast<unsigned>(t));
            std::vector<std::pair<std::string, NewReport>> mine;
            for (int i = 0; i < per_thread; ++i) {
                std::string bytes(random() % 100'000, '\0'); // up to two pieces of copying
                for (char& c : bytes)
                    c = static_cast<char>(random());
                NewReport report = files.report(bytes);
                if (t == bad_thread && i == bad_put) ++report.size;
                mine.emplace_back(std::move(bytes), std::move(report));
            }
            start.arrive_and_wait();
            for (const auto& [bytes, report] : mine) {
                const bool bad = report.size != bytes.size();
                try {
                    const std::int64_t id = store->put_report(report);
                    std::lock_guard lock(mutex);
                    EXPECT_TRUE(stored.emplace(id, bytes).second) << "id " << id << " given twice";
                    EXPECT_FALSE(bad) << "a report shorter than its size was stored";
                } catch (const StoreError& error) {
                    std::lock_guard lock(mutex);
                    failures.push_back((bad ? "the bad report: " : "a good report: ") + std::string(error.what()));
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_EQ(failures.size(), 1u) << ::testing::PrintToString(failures);
    EXPECT_EQ(failures[0].rfind("the bad report: ", 0), 0u) << failures[0];
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(threads * per_thread - 1));
    EXPECT_EQ(store->list_reports({}).size(), stored.size());
    for (const auto& [id, bytes] : stored)
        EXPECT_TRUE(read_back(*store, id).first == bytes) << "report " << id << " came back changed";
}

// The queue's batches, seen through a writer that records them. The first batch is held until the others
// have queued one by one, so that what each later batch takes is known: as many as the limits allow,
// oldest first, a report over the byte limit alone. A batch whose writer throws fails all its callers,
// a report the writer marks fails alone, and every caller returns.
TEST(CommitQueue, CallersQueuedDuringAWriteShareTheNextWithinTheLimitsAndAllReturn) {
    constexpr std::uint64_t fails_its_batch = 90, fails_alone = 20;
    const std::uint64_t sizes[] = {1, 10, 10, 10, 10, 10, fails_its_batch, fails_alone, 500, 10};
    const std::vector<std::vector<std::uint64_t>> batches_expected = {
        {1}, {10, 10, 10, 10}, {10, fails_its_batch}, {fails_alone}, {500}, {10}};
    const std::vector<std::string> outcomes_expected = {"id 1",          "id 2",          "id 3",      "id 4", "id 5",
                                                        "commit failed", "commit failed", "bad bytes", "id 6", "id 7"};

    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::mutex mutex; // the writer runs on the callers' threads, the checks on this one
    std::vector<std::vector<std::uint64_t>> batches;
    std::int64_t last_id = 0;
    CommitQueue queue(
        [&](std::span<PendingReport* const> batch) {
            std::vector<std::uint64_t> batch_sizes;
            for (const PendingReport* pending : batch)
                batch_sizes.push_back(pending->report.size);
            const bool first = [&] {
                std::lock_guard lock(mutex);
                batches.push_back(batch_sizes);
                return batches.size() == 1;
            }();
            if (first) released.wait();
            if (std::ranges::count(batch_sizes, fails_its_batch) > 0) throw StoreError("commit failed");
            for (PendingReport* pending : batch) {
                pending->failed = pending->report.size == fails_alone;
                if (pending->failed)
                    pending->error = "bad bytes";
                else
                    pending->id = ++last_id;
            }
        },
        BatchLimits{.reports = 4, .bytes = 100});

    std::istringstream no_content;
    std::vector<NewReport> reports;
    for (const std::uint64_t size : sizes)
        reports.push_back(NewReport{"192.0.2.1", t0, "lumtest.log", "text/plain", size, "", ""});
    std::vector<std::string> outcomes(reports.size());
    std::vector<std::thread> callers;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        callers.emplace_back([&, i] {
            PendingReport pending(reports[i], no_content);
            try {
                outcomes[i] = "id " + std::to_string(queue.put(pending));
            } catch (const StoreError& error) {
                outcomes[i] = error.what();
            }
        });
        const bool in_place = lum::testing_support::wait_until([&] {
            std::lock_guard lock(mutex);
            return i == 0 ? batches.size() == 1 : queue.waiting() == i;
        });
        if (!in_place) release.set_value(); // so that the callers can end and the failure shows
        ASSERT_TRUE(in_place) << "caller " << i << " neither writes nor waits";
    }
    release.set_value();
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(batches, batches_expected);
    EXPECT_EQ(outcomes, outcomes_expected);
}

// A descriptor closed with the object.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

TEST_F(SqliteStoreTest, ReadsDoNotWaitForAWriteUnderWay) {
    const std::int64_t first = store->put_report(files.report("first"));
    // The next upload's bytes come through a pipe, so that its put_report waits inside its transaction
    // until the test writes them.
    NewReport slow = files.report("");
    slow.content = folder.path() / "slow-upload";
    slow.size = 10;
    ASSERT_EQ(mkfifo(slow.content.c_str(), 0600), 0);
    std::future<std::int64_t> writing;
    Descriptor pipe; // closed before `writing` waits, which then ends with a short file at worst
    pipe.fd = open(slow.content.c_str(), O_RDWR); // so that opening either end does not wait for the other
    ASSERT_GE(pipe.fd, 0);
    writing = std::async(std::launch::async, [&] { return store->put_report(slow); });
    const sqlite::Connection probe = open_database(data_dir());
    ASSERT_TRUE(lum::testing_support::wait_until([&] {
        return sqlite3_exec(probe.get(), "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_BUSY;
    })) << "the upload never took the write lock";

    auto reading = std::async(std::launch::async, [&] {
        return std::make_tuple(store->find_report(first), store->list_reports({}), read_back(*store, first).first);
    });
    const bool read_during_write = reading.wait_for(10s) == std::future_status::ready;
    ASSERT_EQ(write(pipe.fd, "0123456789", 10), 10);
    close(std::exchange(pipe.fd, -1));
    const std::int64_t second = writing.get();

    EXPECT_TRUE(read_during_write) << "a read waited for the write under way";
    const auto [info, listed, bytes] = reading.get();
    EXPECT_TRUE(info);
    EXPECT_EQ(ids_of(listed), std::vector<std::int64_t>{first}) << "a read saw an uncommitted report";
    EXPECT_EQ(bytes, "first");
    EXPECT_EQ(read_back(*store, second).first, "0123456789");
}

} // namespace

namespace {

std::vector<std::int64_t> ids_of(const std::vector<ReportSummary>& rows) {
    std::vector<std::int64_t> ids;
    for (const ReportSummary& row : rows)
        ids.push_back(row.info.id);
    return ids;
}

} // namespace

TEST_P(StoreTest, SearchesByAddressTimeAndFailedTestAndPagesWithoutGapsOrRepeats) {
    // id: caller, received, failed tests (0: read, none failed; -1: not read)
    const std::vector<std::tuple<std::string, Clock::time_point, int>> made = {
        {"10.1.2.3", t0, 0},       {"10.1.2.30", t0 + 1h, 1 << 1}, {"10.1.20.3", t0 + 2h, 1 << 4},
        {"10.1.2.3", t0 + 3h, -1}, {"192.0.2.1", t0 + 3h, 1 << 6}, {"10.1.2.3", t0 + 24h, (1 << 1) | (1 << 4)},
    };
    std::vector<std::int64_t> id;
    for (const auto& [caller, received, failed] : made) {
        id.push_back(store->put_report(files.report("r", caller, received)));
        if (failed >= 0)
            store->put_reading(id.back(), {1, true, static_cast<std::uint32_t>(failed), "Windows 7", "{}"});
    }
    const auto search = [](std::string caller, bool prefix) {
        ReportSearch s;
        s.caller = std::move(caller);
        s.caller_prefix = prefix;
        return s;
    };
    ReportSearch in_day = search("", false);
    in_day.since = t0 + 1h;
    in_day.until = t0 + 3h;
    ReportSearch failed_2 = search("", false);
    failed_2.failed_any_of = 1 << 1;
    ReportSearch any_failed_10_1_2 = search("10.1.2.", true);
    any_failed_10_1_2.failed_any_of = 0x7F;
    const std::vector<std::pair<ReportSearch, std::vector<std::int64_t>>> cases = {
        {search("10.1.2.3", false), {id[5], id[3], id[0]}},
        {search("10.1.2", true), {id[5], id[3], id[2], id[1], id[0]}},
        {search("10.1.2.", true), {id[5], id[3], id[1], id[0]}},
        {in_day, {id[2], id[1]}},
        {failed_2, {id[5], id[1]}},
        {any_failed_10_1_2, {id[5], id[1]}},
        {search("", false), {id[5], id[4], id[3], id[2], id[1], id[0]}}, // equal times: the higher id first
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(ids_of(store->search_reports(query)), expected) << query.caller;

    const std::vector<ReportSummary> first = store->search_reports([] {
        ReportSearch s;
        s.limit = 4;
        return s;
    }());
    ReportSearch next;
    next.after = std::pair{first.back().info.received, first.back().info.id};
    EXPECT_EQ(ids_of(store->search_reports(next)), (std::vector{id[1], id[0]}));
    EXPECT_FALSE(first[2].reading.has_value()); // id[3] was never read
    EXPECT_EQ(first[0].reading->failed_tests, (1u << 1) | (1u << 4));
}

TEST_P(StoreTest, SpeedTestsAreSearchedByAddressAndTimeNewestFirstWithTheirFiguresKept) {
    const std::vector<std::pair<std::string, Clock::time_point>> made = {
        {"10.1.2.3", t0}, {"10.1.2.30", t0 + 1h}, {"10.1.20.3", t0 + 2h}, {"10.1.2.3", t0 + 3h}, {"10.1.2.3", t0 + 3h},
    };
    std::vector<std::int64_t> id;
    for (const auto& [caller, received] : made)
        id.push_back(store->put_speed_test({caller, received, "UA \xFF", 93.25, std::nullopt, 12.5, 0.75}));
    const auto search = [](std::string caller, bool prefix, std::optional<Clock::time_point> since = {},
                           std::optional<Clock::time_point> until = {}, std::size_t limit = 100) {
        return SpeedTestSearch{std::move(caller), prefix, since, until, limit};
    };
    const std::vector<std::pair<SpeedTestSearch, std::vector<std::int64_t>>> cases = {
        {search("10.1.2.3", false), {id[4], id[3], id[0]}}, // equal times: the higher id first
        {search("10.1.2", true), {id[4], id[3], id[2], id[1], id[0]}},
        {search("10.1.2.", true), {id[4], id[3], id[1], id[0]}},
        {search("10.1.2.3", false, t0, t0 + 3h), {id[0]}}, // since included, until not
        {search("", false, t0 + 1h, t0 + 3h), {id[2], id[1]}},
        {search("", false, {}, {}, 2), {id[4], id[3]}},
        {search("10.1.2.4", false), {}},
    };
    for (const auto& [query, expected] : cases) {
        std::vector<std::int64_t> found;
        for (const SpeedTest& test : store->search_speed_tests(query))
            found.push_back(test.id);
        EXPECT_EQ(found, expected) << query.caller << " prefix " << query.caller_prefix;
    }
    const SpeedTest kept = store->search_speed_tests(search("10.1.20.3", false)).at(0);
    EXPECT_EQ(kept.received, made[2].second);
    EXPECT_EQ(kept.user_agent, "UA \xFF");
    EXPECT_EQ(kept.download_mbps, 93.25);
    EXPECT_FALSE(kept.upload_mbps); // its phase failed: no figure, not zero
    EXPECT_EQ(kept.latency_ms, 12.5);
    EXPECT_EQ(kept.jitter_ms, 0.75);
}

TEST_P(StoreTest, RetentionDeletesOlderReportsWithTheirReadingsOnly) {
    std::vector<std::int64_t> id;
    for (int day = 0; day < 3; ++day) {
        id.push_back(store->put_report(files.report("r", "192.0.2.1", t0 + day * 24h)));
        store->put_reading(id.back(), {1, true, 0, "", "{}"});
    }
    EXPECT_EQ(store->delete_reports_before(t0 + 24h), 1u);
    EXPECT_FALSE(store->find_report(id[0]));
    EXPECT_FALSE(store->find_reading(id[0]));
    EXPECT_TRUE(store->find_reading(id[1]));
    EXPECT_EQ(ids_of(store->list_reports({})), (std::vector{id[2], id[1]}));
    // An id is never given again, even after the newest report is gone.
    EXPECT_EQ(store->delete_reports_before(t0 + 72h), 2u);
    EXPECT_GT(store->put_report(files.report("r")), id[2]);
}

// Instances started together each offer a key of their own: every one of them must end up with the same.
TEST_P(StoreTest, InstancesStartingTogetherAgreeOnOneSharedSecret) {
    constexpr int INSTANCES = 4;
    std::latch start(INSTANCES);
    std::vector<std::future<std::string>> kept;
    for (int i = 0; i < INSTANCES; ++i)
        kept.push_back(std::async(std::launch::async, [&, i] {
            const std::unique_ptr<Store> instance = scratch->open();
            start.arrive_and_wait();
            return instance->shared_secret("key", "offered by " + std::to_string(i));
        }));
    std::set<std::string> secrets;
    for (auto& secret : kept)
        secrets.insert(secret.get());
    ASSERT_EQ(secrets.size(), 1u);
    EXPECT_TRUE(secrets.begin()->starts_with("offered by ")) << *secrets.begin();
}

TEST_P(StoreTest, KeepsStaffSessionsThrottlingAuditAndTokens) {
    EXPECT_TRUE(store->add_user({"ann", "hash-1"}));
    EXPECT_FALSE(store->add_user({"ann", "hash-2"}));
    EXPECT_EQ(store->find_user("ann")->password_hash, "hash-1");
    store->put_session({"k1", "ann", "c1", t0, t0});
    store->touch_session("k1", t0 + 5min);
    EXPECT_EQ(store->find_session("k1")->last_seen, t0 + 5min);
    EXPECT_EQ(store->find_session("k1")->csrf, "c1");
    EXPECT_TRUE(store->set_password("ann", "hash-3")); // a new password ends the old sessions
    EXPECT_FALSE(store->find_session("k1"));
    store->put_session({"k2", "ann", "c2", t0, t0});
    EXPECT_TRUE(store->remove_user("ann"));
    EXPECT_FALSE(store->find_session("k2"));
    EXPECT_TRUE(store->list_users().empty());

    store->note_refused_sign_in("bob", "192.0.2.9", t0);
    store->note_refused_sign_in("bob", "192.0.2.8", t0 + 10min);
    store->note_refused_sign_in("bob", "192.0.2.9", t0 + 11min);
    store->note_refused_sign_in("eve", "192.0.2.9", t0 + 12min);
    store->note_refused_sign_in("eve", "192.0.2.7", t0 + 13min);
    const auto counts = [](const RefusedSignIns& r) {
        return std::tuple(r.of_user, r.newest_of_user, r.of_user_here, r.oldest_of_user_here, r.from_here,
                          r.oldest_from_here);
    };
    EXPECT_EQ(counts(store->refused_sign_ins("bob", "192.0.2.9", t0)), std::tuple(3u, t0 + 11min, 2u, t0, 3u, t0));
    EXPECT_EQ(counts(store->refused_sign_ins("bob", "192.0.2.9", t0 + 1min)),
              std::tuple(2u, t0 + 11min, 1u, t0 + 11min, 2u, t0 + 11min));
    EXPECT_EQ(counts(store->refused_sign_ins("ann", "192.0.2.6", t0)),
              std::tuple(0u, std::nullopt, 0u, std::nullopt, 0u, std::nullopt));
    store->forget_refused_sign_ins_before(t0 + 1min);
    EXPECT_EQ(store->refused_sign_ins("eve", "192.0.2.9", t0).from_here, 2u);

    store->append_audit({t0, "ann", "192.0.2.9", "sign-in", ""});
    store->append_audit({t0, "ann", "192.0.2.9", "report viewed", "7"});
    EXPECT_EQ(store->list_audit(1).front().action, "report viewed");
    // Repeats within the window share a line per address, action and detail; outside it, or elsewhere, not.
    const struct {
        std::string user, address, action;
        Clock::time_point time;
    } refusals[] = {
        {"bob", "192.0.2.9", "sign-in refused", t0 + 1min},   {"bob", "192.0.2.9", "sign-in refused", t0 + 2min},
        {"eve", "192.0.2.9", "sign-in refused", t0 + 3min},   {"bob", "192.0.2.8", "sign-in refused", t0 + 4min},
        {"bob", "192.0.2.9", "sign-in throttled", t0 + 5min}, {"bob", "192.0.2.9", "sign-in refused", t0 + 20min},
    };
    for (const auto& r : refusals)
        store->repeat_audit({r.time, r.user, r.address, r.action, ""}, r.time - 15min);
    const auto line = [](const AuditEntry& e) {
        return std::tuple(e.user, e.address, e.action, e.time, e.repeats, e.last, e.other_users);
    };
    std::vector<
        std::tuple<std::string, std::string, std::string, Clock::time_point, std::uint64_t, Clock::time_point, bool>>
        lines;
    for (const AuditEntry& entry : store->list_audit(4))
        lines.push_back(line(entry));
    EXPECT_EQ(lines, (decltype(lines){
                         {"bob", "192.0.2.9", "sign-in refused", t0 + 20min, 1, t0 + 20min, false},
                         {"bob", "192.0.2.9", "sign-in throttled", t0 + 5min, 1, t0 + 5min, false},
                         {"bob", "192.0.2.8", "sign-in refused", t0 + 4min, 1, t0 + 4min, false},
                         {"bob", "192.0.2.9", "sign-in refused", t0 + 1min, 3, t0 + 3min, true},
                     }));

    // The first secret kept under a name is every later caller's, whatever they offer.
    EXPECT_EQ(store->shared_secret("key", std::string("first\0bytes", 11)), std::string("first\0bytes", 11));
    EXPECT_EQ(scratch->open()->shared_secret("key", "second"), std::string("first\0bytes", 11));
    EXPECT_EQ(store->shared_secret("other key", "second"), "second");

    EXPECT_TRUE(store->add_token("crm", "h1", Role::Support));
    EXPECT_FALSE(store->add_token("crm", "h2", Roles::all()));
    ASSERT_TRUE(store->find_token("h1"));
    EXPECT_EQ(store->find_token("h1")->name, "crm");
    EXPECT_EQ(store->find_token("h1")->roles, Role::Support);
    EXPECT_TRUE(store->remove_token("crm"));
    EXPECT_FALSE(store->find_token("h1"));
}

namespace {

using CountRow = std::tuple<Clock::time_point, std::string, std::int32_t, TestVerdict, std::int64_t>;

// Every count the overview reads over the range: the whole network's by hour, then each /24's.
std::vector<CountRow> overview_counts(Store& store, const CountRange& range) {
    std::vector<CountRow> rows;
    for (const auto& counts : {store.reading_counts(range), store.block_counts(range, {})})
        for (const ReadingCount& c : counts)
            rows.emplace_back(c.hour, c.block, c.test, c.verdict, c.reports);
    return rows;
}

ReportReading reading_where(bool finished, TestVerdict test_3) {
    ReportReading reading(1, finished, test_3 == TestVerdict::failed ? 1u << 2 : 0u, "Windows 7", "{}");
    reading.verdicts.fill(TestVerdict::ok);
    reading.verdicts[2] = test_3;
    return reading;
}

// Until `held` ends, nobody can add to the PostgreSQL store's /24 counts.
void hold_block_counts(const std::string& url, std::optional<postgres::Session>& holder,
                       std::optional<postgres::Transaction>& held) {
    holder.emplace(url, "the test's hold");
    held.emplace(*holder);
    holder->exec("LOCK TABLE reading_counts IN EXCLUSIVE MODE", "holding the counts");
}

} // namespace

// An upload's reading and `lumresults reanalyse` of the same new report, kept at once by two instances:
// whichever is kept second takes the first's counts away, so the overview counts the report once, as a
// recount does. On PostgreSQL the counts are held meanwhile, so that both readings are under way together
// (each having looked for what it replaces) before either is kept; SQLite lets one writer in at a time.
TEST_P(StoreTest, ReadingsOfOneReportKeptAtOnceAreCountedOnce) {
    constexpr int ROUNDS = 6;
    const std::unique_ptr<Store> reanalyse = scratch->open();
    for (int round = 0; round < ROUNDS; ++round) {
        const std::int64_t id = store->put_report(files.report("r", "192.0.2.1", t0 + round * 1h));
        std::optional<postgres::Session> holder;
        std::optional<postgres::Transaction> held;
        if (scratch->database()) hold_block_counts(scratch->database()->url(), holder, held);
        std::latch start(2);
        const auto keep = [&](Store& instance, const ReportReading& reading) {
            return std::async(std::launch::async, [&, reading] {
                start.arrive_and_wait();
                instance.put_reading(id, reading);
            });
        };
        auto uploaded = keep(*store, reading_where(true, TestVerdict::ok));
        auto read_again = keep(*reanalyse, reading_where(round % 2 == 0, TestVerdict::failed));
        const bool both_waiting = !held || lum::testing_support::wait_until([&] {
            return scratch->database()->query_integer("SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                                      scratch->database()->name() + "' AND wait_event_type = 'Lock'") ==
                   2;
        });
        held.reset();
        uploaded.get();
        read_again.get();
        ASSERT_TRUE(both_waiting) << "the readings were not both under way";
    }
    const CountRange all{t0 - 24h, t0 + 24h, ""};
    const std::vector<CountRow> kept = overview_counts(*store, all);
    std::int64_t reports = 0;
    for (const auto& [hour, block, test, verdict, count] : kept)
        reports += block.empty() && test == 0 ? count : 0;
    EXPECT_EQ(reports, ROUNDS);
    store->recount();
    EXPECT_EQ(kept, overview_counts(*store, all)) << "the counts kept differ from a recount";
}

// A recount (reanalyse ends with one) while uploads keep their readings: each reading, in an hour of its own
// whose rows the recount's DELETE cannot have locked, is counted by the recount or by its own writer, never
// by both. Without the recount's table lock, PostgreSQL counted some of them twice. A report two months back
// makes the recount read sixty days before it reaches the new ones, which the readings land in meanwhile.
TEST_P(StoreTest, ARecountWhileReadingsAreKeptCountsEachOnce) {
    constexpr int ROUNDS = 12;
    const std::unique_ptr<Store> reanalyse = scratch->open();
    store->put_reading(store->put_report(files.report("old", "192.0.2.1", t0 - 60 * 24h)),
                       reading_where(true, TestVerdict::ok));
    for (int round = 0; round < ROUNDS; ++round) {
        const std::int64_t id = store->put_report(files.report("r", "192.0.2.1", t0 + round * 1h));
        std::latch start(2);
        auto kept = std::async(std::launch::async, [&] {
            start.arrive_and_wait();
            store->put_reading(id, reading_where(true, TestVerdict::ok));
        });
        auto recounted = std::async(std::launch::async, [&] {
            start.arrive_and_wait();
            reanalyse->recount();
        });
        kept.get();
        recounted.get();
    }
    const CountRange all{t0 - 61 * 24h, t0 + 24h, ""};
    const std::vector<CountRow> counted = overview_counts(*store, all);
    store->recount();
    EXPECT_EQ(counted, overview_counts(*store, all)) << "the counts kept differ from a recount";
}

// A page's token keeps one speed test, whichever instance it reaches first: of four instances given it at
// once, one keeps the result and three are refused, storing nothing, not even a count. A spent token's row
// goes once the token is long expired (and refused before the store by every instance).
TEST_P(StoreTest, APageTokenKeepsOneSpeedTestWhicheverInstanceTakesIt) {
    constexpr int INSTANCES = 4;
    const NewSpeedTest test{"192.0.2.1", t0, "Browser/1.0", 93.25, 40.5, 12.5, 0.75};
    const SpeedTestToken token{std::string("mac\0\xFF", 5), t0 + 30min};
    std::latch start(INSTANCES);
    std::vector<std::future<std::optional<std::int64_t>>> kept;
    for (int i = 0; i < INSTANCES; ++i)
        kept.push_back(std::async(std::launch::async, [&] {
            const std::unique_ptr<Store> instance = scratch->open();
            start.arrive_and_wait();
            return instance->put_speed_test(test, token);
        }));
    int stored = 0;
    for (auto& outcome : kept)
        stored += outcome.get() ? 1 : 0;
    EXPECT_EQ(stored, 1);
    EXPECT_FALSE(store->put_speed_test(test, token));
    EXPECT_TRUE(store->put_speed_test(test, {"another token's mac", t0 + 30min}));
    EXPECT_EQ(store->search_speed_tests({}).size(), 2u);
    std::int64_t counted = 0;
    for (const SpeedCount& count : store->speed_counts({t0 - 1h, t0 + 1h, ""}))
        counted += count.upload ? 0 : count.tests;
    EXPECT_EQ(counted, 2);

    NewSpeedTest later = test;
    later.received = token.expires + 2h;
    EXPECT_TRUE(store->put_speed_test(later, {"a third", later.received + 30min}));
    EXPECT_TRUE(store->put_speed_test(later, token)) << "a token long expired was never forgotten";
}
