// tests/server/copy_test.cpp: `lumresults copy` moves a SQLite store into PostgreSQL exactly, and only once.
#include "server/common/sha256.h"
#include "server/store/copy/copy_to_postgres.h"
#include "server/store/store.h"

#include "scratch_postgres.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace lumresults;
using namespace std::chrono_literals;
using namespace std::string_literals;
using lum::testing_support::ScratchFolder;
using lumresults::testing_support::ScratchPostgres;

namespace {

const std::string staff_name = "st\xe4"
                               "ff"s;
const Clock::time_point t0 = std::chrono::sys_days{std::chrono::year{2026} / 3 / 4} + 5h + 6min + 7s + 890ms;

std::string random_bytes(std::size_t size) {
    std::mt19937 engine(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(engine());
    return bytes;
}

// A SQLite store holding one of everything that is kept for good, with bytes no text column could hold.
class SourceStore {
public:
    SourceStore() {
        auto store = open_sqlite_store(data_dir());
        ids.push_back(put(*store, "CR LF\r\n\0 NUL and \xff\xfe not UTF-8"s, t0));
        ids.push_back(put(*store, "", t0 + 1s));                           // no bytes at all
        ids.push_back(put(*store, random_bytes(200 * 1024 + 3), t0 + 2s)); // several pieces
        put(*store, "deleted before the copy", t0 - 48h);                  // the highest id SQLite gave
        store->delete_reports_before(t0 - 24h);
        ReportReading reading{7, true, 0b0100100, "rel\xe9"s, R"({"rows":[]})"};
        reading.computer = {{"3C-52-82-4E-03-10"}, "\xC8VAN-PC"s}; // a name of bytes no text column holds
        store->put_reading(ids[0], reading);
        store->add_user({staff_name, "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA"});
        store->add_token("monitoring", std::string(64, 'b'), lumresults::Role::Network);
        store->append_audit({t0, "staff", "192.0.2.9", "report viewed", "1"});
        store->append_audit({t0 + 1s, "\x01odd"s, "192.0.2.9", "sign-in refused", "wrong password"});
        store->put_speed_test({"198.51.100.7", t0, "Browser/1.0", 94.5, std::nullopt, 12.25, 1.5});
    }
    std::filesystem::path data_dir() const { return folder_.path() / "data"; }

    std::vector<std::int64_t> ids;
    std::vector<std::string> contents;

private:
    std::int64_t put(Store& store, const std::string& bytes, Clock::time_point received) {
        const auto file = folder_.path() / ("content-" + std::to_string(contents.size()));
        std::ofstream(file, std::ios::binary) << bytes;
        contents.push_back(bytes);
        Sha256 digest;
        digest.update(bytes);
        return store.put_report(
            {"203.0.113.5", received, "lumtest\x80.txt"s, "text/plain", bytes.size(), digest.finish_hex(), file});
    }

    ScratchFolder folder_;
};

std::string bytes_of(Store& store, std::int64_t id) {
    std::string bytes;
    EXPECT_TRUE(store.read_report(id, [&](std::string_view piece) { bytes.append(piece); }));
    return bytes;
}

CopyOutcome copy(const SourceStore& source, const ScratchPostgres& target) {
    return copy_to_postgres(source.data_dir(), target.url(), [](std::string_view) {});
}

} // namespace

TEST(CopyToPostgres, CopiesEverythingKeptExactlyOnceAndIdsGoOnPastTheOldOnes) {
    LUMRESULTS_NEED_POSTGRES();
    SourceStore source;
    ScratchPostgres target;
    const CopyOutcome first = copy(source, target);
    EXPECT_EQ(first.reports_copied, 3u);
    EXPECT_EQ(first.reports_checked, 3u);
    EXPECT_EQ(first.rows_copied, 8u); // a reading and its MAC and name, a user, a token, two audit lines, a speed test

    const auto sqlite = open_sqlite_store(source.data_dir());
    const auto postgres = open_postgres_store(target.url());
    for (std::size_t i = 0; i < source.ids.size(); ++i) {
        const std::int64_t id = source.ids[i];
        const auto was = sqlite->find_report(id);
        const auto is = postgres->find_report(id);
        ASSERT_TRUE(is) << id;
        EXPECT_EQ(std::tie(is->caller, is->received, is->file_name, is->content_type, is->size, is->sha256),
                  std::tie(was->caller, was->received, was->file_name, was->content_type, was->size, was->sha256));
        EXPECT_EQ(bytes_of(*postgres, id), source.contents[i]) << id;
    }
    EXPECT_EQ(postgres->find_reading(source.ids[0])->json, sqlite->find_reading(source.ids[0])->json);
    EXPECT_EQ(postgres->find_reading(source.ids[0])->release, "rel\xe9"s);
    ReportSearch by_name;
    by_name.computer_name = "\xC8VAN-PC"s;
    EXPECT_EQ(postgres->search_reports(by_name).at(0).info.id, source.ids[0]);
    EXPECT_EQ(postgres->find_user(staff_name)->password_hash, sqlite->find_user(staff_name)->password_hash);
    const std::optional<lumresults::ApiToken> token = postgres->find_token(std::string(64, 'b'));
    ASSERT_TRUE(token);
    EXPECT_EQ(token->name, "monitoring");
    EXPECT_EQ(token->roles, lumresults::Role::Network);
    const auto audit = postgres->list_audit(10);
    ASSERT_EQ(audit.size(), 2u);
    EXPECT_EQ(std::tie(audit[0].time, audit[0].user, audit[0].action),
              std::tuple(t0 + 1s, sqlite->list_audit(1)[0].user, std::string("sign-in refused")));
    const auto speed = postgres->search_speed_tests({});
    ASSERT_EQ(speed.size(), 1u);
    EXPECT_EQ(std::tie(speed[0].download_mbps, speed[0].upload_mbps, speed[0].user_agent),
              std::tuple(sqlite->search_speed_tests({})[0].download_mbps, std::optional<double>(),
                         std::string("Browser/1.0")));

    // Again: nothing new to copy, and nothing copied twice.
    const CopyOutcome second = copy(source, target);
    EXPECT_EQ(std::tie(second.reports_copied, second.reports_there, second.rows_copied, second.rows_there),
              std::tuple(0u, 3u, 0u, 8u));
    EXPECT_EQ(postgres->list_reports({}).size(), 3u);

    // The deleted report's id stays unused: the next upload gets a newer one.
    ScratchFolder folder;
    std::ofstream(folder.path() / "new", std::ios::binary) << "new";
    const std::int64_t next =
        postgres->put_report({"203.0.113.6", t0 + 1h, "n", "t", 3, std::string(64, 'd'), folder.path() / "new"});
    EXPECT_GT(next, source.ids.back() + 1);
}

TEST(CopyToPostgres, StopsAtATargetThatHoldsOtherBytesUnderTheSameId) {
    LUMRESULTS_NEED_POSTGRES();
    SourceStore source;
    ScratchPostgres target;
    copy(source, target);
    // Changed bytes are found by reading every report back; a changed row by comparing it.
    target.exec("UPDATE report_content SET bytes = 'x' WHERE report_id = " + std::to_string(source.ids[0]));
    EXPECT_THROW(copy(source, target), StoreError);
    target.exec("UPDATE reports SET caller = '192.0.2.66' WHERE id = " + std::to_string(source.ids[2]));
    try {
        copy(source, target);
        ADD_FAILURE() << "a different row under the same id was passed over";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find("different row"), std::string::npos) << error.what();
    }
}
