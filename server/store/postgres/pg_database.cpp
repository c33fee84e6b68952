// server/store/postgres/pg_database.cpp: the store's database on PostgreSQL: pooled sessions, one transaction per
// upload.
//
// Threads: each call leases a session of its own from the pool, so calls run side by side and
// PostgreSQL orders them (it also flushes commits that arrive together in one write, so uploads need no
// commit queue of their own here). Report bytes move in pieces of content_piece bytes, one row each:
// written as they are read from the content file, read back in single-row mode, never whole in memory.
#include "server/store/content_pieces.h"
#include "server/store/postgres/pg_migrations.h"
#include "server/store/postgres/pg_pool.h"
#include "server/store/postgres/postgres_store.h"
#include "server/store/sql/open_database.h"
#include "server/store/sql/sql_store.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace lumresults {
namespace postgres {
namespace {

// Refuses a content file whose length differs from the report's size before anything is written, so
// that a bad upload does not even use up an id (a sequence, unlike SQLite's savepoint, keeps what a
// rolled back insert took). The copy checks the length again as it reads, for files that are no plain file.
void check_length(const NewReport& report) {
    if (report.size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        throw StoreError(report.content.string() + ": a report of " + std::to_string(report.size) + " bytes");
    std::error_code error;
    if (!std::filesystem::is_regular_file(report.content, error)) return;
    const std::uintmax_t length = std::filesystem::file_size(report.content, error);
    if (!error && length != report.size)
        throw StoreError(report.content.string() + ": " + std::to_string(length) + " bytes, not the report's " +
                         std::to_string(report.size));
}

// Inserts the report's row; returns its id and the transaction's (for commit_outcome).
std::pair<std::int64_t, std::int64_t> insert_row(Session& session, const NewReport& report) {
    const Result inserted =
        session.run("INSERT INTO reports (caller, received_ms, file_name, content_type, size, sha256) "
                    "VALUES ($1, $2, $3, $4, $5, $6) RETURNING id, pg_current_xact_id()::text::bigint",
                    Params()
                        .text(report.caller)
                        .time(report.received)
                        .bytes(report.file_name)
                        .bytes(report.content_type)
                        .integer(static_cast<std::int64_t>(report.size))
                        .text(report.sha256),
                    "storing a report");
    return {integer_at(inserted.get(), 0, 0), integer_at(inserted.get(), 0, 1)};
}

// Copies exactly report.size bytes from the content file into the report's pieces (see read_in_pieces).
void copy_content(Session& session, std::int64_t id, std::istream& file, const NewReport& report) {
    read_in_pieces(file, report, content_piece, [&](std::string_view piece, std::uint64_t offset) {
        session.run("INSERT INTO report_content (report_id, piece, bytes) VALUES ($1, $2, $3)",
                    Params().integer(id).integer(static_cast<std::int64_t>(offset / content_piece)).bytes(piece),
                    "writing a report's bytes");
    });
}

class PostgresDatabase final : public sql::Database {
public:
    PostgresDatabase(const std::string& url, std::size_t pool_size, std::chrono::milliseconds upload_patience)
        : pool_(url, pool_size), upload_patience_(upload_patience) {
        const Pool::Lease session = pool_.lease();
        migrate(*session);
    }

    // Each call leases a session of its own, given back (or dropped, when found lost) after; PostgreSQL
    // orders the calls, and every statement outside a transaction commits by itself.
    void read(const std::function<void(sql::Session&)>& work) override {
        const Pool::Lease session = pool_.lease();
        work(*session);
    }
    void write(const std::function<void(sql::Session&)>& work) override { read(work); }
    void transaction(const std::function<void(sql::Session&)>& work) override {
        const Pool::Lease session = pool_.lease();
        Transaction transaction(*session);
        work(*session);
        transaction.commit();
    }

    std::int64_t put_report(const NewReport& report) override;
    bool read_report(std::int64_t id, const ByteSink& sink) override;

private:
    // An upload's last try: whether its COMMIT was sent, the report's id and its transaction's.
    struct Attempt {
        bool committing = false;
        std::int64_t id = 0;
        std::int64_t transaction = 0;
    };
    std::int64_t put_report_once(const NewReport& report, Attempt& attempt);
    std::string commit_outcome(std::int64_t transaction_id);

    // Runs a call on a session of its own, given back (or dropped, when found lost) after.
    template <typename Call> std::invoke_result_t<Call, Session&> on_session(Call call) {
        const Pool::Lease session = pool_.lease();
        return call(*session);
    }

    Pool pool_;
    const std::chrono::milliseconds upload_patience_;
};

// The program sends its report once and never again, so an upload that arrives while the database is
// restarting (or its connection is lost) waits for it, up to upload_patience, instead of being refused
// at once. Only a lost connection is tried again: nothing of the attempt was stored, unless its COMMIT was
// under way. Then the transaction's fate is asked of the database first (see commit_outcome), so that
// a report is never kept twice nor acknowledged without being kept.
std::int64_t PostgresDatabase::put_report(const NewReport& report) {
    check_length(report);
    const auto give_up = std::chrono::steady_clock::now() + upload_patience_;
    Attempt attempt;
    for (std::chrono::milliseconds pause(100);; pause = std::min(2 * pause, std::chrono::milliseconds(1000))) {
        try {
            if (attempt.committing) {
                const std::string outcome = commit_outcome(attempt.transaction);
                if (outcome == "committed") return attempt.id;
                if (outcome != "aborted")
                    throw StoreUnavailable("the commit of report " + std::to_string(attempt.id) + " is " + outcome);
                attempt = {}; // it was rolled back: storing the report again cannot make two
            }
            return put_report_once(report, attempt);
        } catch (const StoreUnavailable&) {
            if (std::chrono::steady_clock::now() + pause > give_up) throw;
        }
        std::this_thread::sleep_for(pause);
    }
}

std::int64_t PostgresDatabase::put_report_once(const NewReport& report, Attempt& attempt) {
    std::ifstream file(report.content, std::ios::binary);
    if (!file) throw StoreError(report.content.string() + ": cannot open the report's content");
    return on_session([&](Session& session) {
        // Row and bytes in one transaction: a failure anywhere rolls both back, nothing is half stored.
        Transaction transaction(session);
        const auto [id, transaction_id] = insert_row(session, report);
        copy_content(session, id, file, report);
        // Durable before acknowledged: with synchronous_commit on (every session sets it), COMMIT
        // returns only once the WAL holding the report is flushed to stable storage.
        attempt = {true, id, transaction_id};
        transaction.commit();
        return id;
    });
}

// "committed", "aborted" or "in progress": what the database says of a transaction whose COMMIT lost its
// connection. A server that crashed answers only after its recovery, which has settled every such
// transaction; one that still runs it says "in progress" until it has finished, and the upload waits.
std::string PostgresDatabase::commit_outcome(std::int64_t transaction_id) {
    return on_session([&](Session& session) {
        const Result status = session.run("SELECT pg_xact_status($1::text::xid8)", Params().integer(transaction_id),
                                          "asking whether a cut-off commit went through");
        return is_null(status.get(), 0, 0) ? std::string("forgotten") : bytes_at(status.get(), 0, 0);
    });
}

bool PostgresDatabase::read_report(std::int64_t id, const ByteSink& sink) {
    return on_session([&](Session& session) {
        // One statement, so one snapshot: the row found is the row read. An empty report has no piece,
        // and comes as one row without bytes; no row at all means no such report.
        const std::size_t rows = session.for_each_row(
            "SELECT c.bytes FROM reports r LEFT JOIN report_content c ON c.report_id = r.id "
            "WHERE r.id = $1 ORDER BY c.piece",
            Params().integer(id), "reading a report's bytes", [&](const PGresult* row) {
                if (!is_null(row, 0, 0))
                    sink(std::string_view(PQgetvalue(row, 0, 0), static_cast<std::size_t>(PQgetlength(row, 0, 0))));
            });
        return rows > 0;
    });
}

} // namespace

std::unique_ptr<sql::Database> open_database(const std::string& url, std::size_t pool_size,
                                             std::chrono::milliseconds upload_patience) {
    return std::make_unique<PostgresDatabase>(url, pool_size, upload_patience);
}

std::unique_ptr<Store> open_store(const std::string& url, std::size_t pool_size,
                                  std::chrono::milliseconds upload_patience) {
    return sql::make_store(open_database(url, pool_size, upload_patience));
}

} // namespace postgres

std::unique_ptr<sql::Database> sql::open_postgres_database(const std::string& url) {
    return postgres::open_database(url, postgres::default_pool_size);
}

std::unique_ptr<Store> open_postgres_store(const std::string& url) {
    return postgres::open_store(url, postgres::default_pool_size);
}

} // namespace lumresults
