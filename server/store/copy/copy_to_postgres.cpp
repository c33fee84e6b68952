// server/store/copy/copy_to_postgres.cpp: the copy's order (reports, then what refers to them), and the check.
#include "server/store/copy/copy_to_postgres.h"

#include "server/common/sha256.h"
#include "server/store/copy/copy_rows.h"
#include "server/store/postgres/pg_handles.h"
#include "server/store/postgres/pg_pool.h"
#include "server/store/postgres/postgres_store.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <algorithm>
#include <optional>

namespace lumresults {
namespace {

using copy::Kind;
using copy::TableColumns;

// A report's bytes go over in pieces as the store writes them, each its own row in the target.
constexpr auto content_piece = static_cast<std::int64_t>(postgres::content_piece);
// A transaction holds this many reports at most, or this many bytes, whichever comes first.
constexpr std::size_t reports_per_transaction = 64;
constexpr std::int64_t bytes_per_transaction = 16 * 1024 * 1024;

const TableColumns reports{"reports",
                           {{"id", Kind::integer},
                            {"caller", Kind::text},
                            {"received_ms", Kind::integer},
                            {"file_name", Kind::bytes},
                            {"content_type", Kind::bytes},
                            {"size", Kind::integer},
                            {"sha256", Kind::text}}};

// Everything else kept for good; readings after the reports they belong to.
const TableColumns other_tables[] = {
    {"report_readings",
     {{"report_id", Kind::integer},    {"rules_version", Kind::integer},    {"finished", Kind::boolean},
      {"failed_tests", Kind::integer}, {"derived_tests", Kind::integer},    {"release", Kind::bytes},
      {"release_cut", Kind::boolean},  {"verdict_1", Kind::integer},        {"verdict_2", Kind::integer},
      {"verdict_3", Kind::integer},    {"verdict_4", Kind::integer},        {"verdict_5", Kind::integer},
      {"verdict_6", Kind::integer},    {"verdict_7", Kind::integer},        {"lost_echoes", Kind::integer},
      {"lost_probes", Kind::integer},  {"average_ms", Kind::integer},       {"large_lost_echoes", Kind::integer},
      {"download_mbps", Kind::real},   {"packets_received", Kind::integer}, {"code_page", Kind::integer},
      {"reading", Kind::bytes}}},
    {"report_computers", {{"kind", Kind::text}, {"value", Kind::bytes}, {"report_id", Kind::integer}}, 3},
    {"staff_users",
     {{"name", Kind::bytes}, {"password_hash", Kind::text}, {"created_ms", Kind::integer}, {"roles", Kind::integer}}},
    {"api_tokens",
     {{"name", Kind::bytes}, {"token_hash", Kind::text}, {"created_ms", Kind::integer}, {"roles", Kind::integer}}},
    {"audit_log",
     {{"id", Kind::integer},
      {"time_ms", Kind::integer},
      {"user", Kind::bytes},
      {"address", Kind::text},
      {"action", Kind::text},
      {"detail", Kind::bytes},
      {"repeats", Kind::integer},
      {"last_ms", Kind::integer},
      {"other_users", Kind::boolean}}},
    {"speed_tests",
     {{"id", Kind::integer},
      {"caller", Kind::text},
      {"received_ms", Kind::integer},
      {"user_agent", Kind::bytes},
      {"download_mbps", Kind::real},
      {"upload_mbps", Kind::real},
      {"latency_ms", Kind::real},
      {"jitter_ms", Kind::real}}},
    // Sessions before the addresses that name them.
    {"subscriber_sessions",
     {{"id", Kind::integer},         {"node_address", Kind::text},   {"node_id", Kind::bytes},
      {"session_id", Kind::bytes},   {"user_name", Kind::bytes},     {"port_id", Kind::bytes},
      {"calling_station", Kind::bytes}, {"ipv4", Kind::text},        {"ipv6_prefixes", Kind::text},
      {"start_ms", Kind::integer},   {"update_ms", Kind::integer},   {"stop_ms", Kind::integer},
      {"cause", Kind::integer}}},
    {"session_addresses", {{"address", Kind::text}, {"start_ms", Kind::integer}, {"session", Kind::integer}}, 3},
    {"report_subscribers",
     {{"report_id", Kind::integer}, {"user_name", Kind::bytes}, {"node_address", Kind::text}, {"node_id", Kind::bytes},
      {"port_id", Kind::bytes}, {"session_start_ms", Kind::integer}, {"received_ms", Kind::integer}}},
    {"accounting_events",
     {{"node_address", Kind::text}, {"node_id", Kind::bytes}, {"session_id", Kind::bytes},
      {"status", Kind::integer}, {"event_ms", Kind::integer}}, 5},
};

// Writes the report's bytes into the target, piece by piece, straight from SQLite's blob.
void copy_content(sqlite3* source, postgres::Session& target, std::int64_t id, std::int64_t size) {
    sqlite3_blob* native = nullptr;
    const int rc = sqlite3_blob_open(source, "main", "reports", "content", id, 0, &native);
    const sqlite::Blob blob(native);
    sqlite::check(source, rc, "opening a report's bytes");
    if (sqlite3_blob_bytes(blob.get()) != size)
        throw StoreError("report " + std::to_string(id) + ": its bytes are not the length its row gives");
    std::string piece;
    for (std::int64_t done = 0, number = 0; done < size; ++number) {
        const auto length = std::min(content_piece, size - done);
        piece.resize(static_cast<std::size_t>(length));
        sqlite::check(source,
                      sqlite3_blob_read(blob.get(), piece.data(), static_cast<int>(length), static_cast<int>(done)),
                      "reading a report's bytes");
        target.run("INSERT INTO report_content (report_id, piece, bytes) VALUES ($1, $2, $3)",
                   postgres::Params().integer(id).integer(number).bytes(piece), "copying a report's bytes");
        done += length;
    }
}

void copy_reports(sqlite3* source, postgres::Session& target, CopyOutcome& outcome,
                  const std::function<void(std::string_view)>& progress) {
    const sqlite::Statement select = sqlite::prepare(source, copy::select_sql(reports));
    std::optional<postgres::Transaction> batch;
    std::size_t in_batch = 0;
    std::int64_t bytes_in_batch = 0;
    while (sqlite::step(source, select.get())) {
        if (!batch) batch.emplace(target);
        const std::int64_t id = sqlite3_column_int64(select.get(), 0);
        const std::int64_t size = sqlite3_column_int64(select.get(), 5);
        if (copy::copy_row(target, reports, select.get())) {
            copy_content(source, target, id, size);
            ++outcome.reports_copied;
            bytes_in_batch += size;
        } else {
            ++outcome.reports_there;
        }
        if (++in_batch == reports_per_transaction || bytes_in_batch >= bytes_per_transaction) {
            batch->commit();
            batch.reset();
            in_batch = 0;
            bytes_in_batch = 0;
            progress(std::to_string(outcome.reports_copied + outcome.reports_there) + " reports so far");
        }
    }
    if (batch) batch->commit();
}

// Reads every report back through the PostgreSQL store, as the server will, and checks its length and
// digest against what the upload recorded.
std::size_t check_reports(sqlite3* source, Store& target) {
    const sqlite::Statement select = sqlite::prepare(source, "SELECT id, size, sha256 FROM reports ORDER BY id");
    std::size_t checked = 0;
    while (sqlite::step(source, select.get())) {
        const std::int64_t id = sqlite3_column_int64(select.get(), 0);
        Sha256 digest;
        std::int64_t length = 0;
        const bool found = target.read_report(id, [&](std::string_view piece) {
            digest.update(piece);
            length += static_cast<std::int64_t>(piece.size());
        });
        if (!found || length != sqlite3_column_int64(select.get(), 1) ||
            digest.finish_hex() != sqlite::column_bytes(select.get(), 2))
            throw StoreError("report " + std::to_string(id) + ": PostgreSQL does not give back the bytes it was sent");
        ++checked;
    }
    return checked;
}

} // namespace

CopyOutcome copy_to_postgres(const std::filesystem::path& data_dir, const std::string& url,
                             const std::function<void(std::string_view)>& progress) {
    const std::filesystem::path file = sqlite::store_file(data_dir);
    if (!std::filesystem::exists(file)) throw StoreError(file.string() + ": no store there");
    open_sqlite_store(data_dir); // brings an older store's schema up to date: every table below exists
    const std::unique_ptr<Store> target_store = open_postgres_store(url); // and the target's
    const sqlite::Connection source = sqlite::open_store_connection(file, sqlite::Role::reader);
    // One view of the source from start to end, even while a server goes on storing uploads in it.
    sqlite::Transaction snapshot(source.get(), "BEGIN");
    postgres::Session target(url, postgres::describe_database(url));
    CopyOutcome outcome;
    copy_reports(source.get(), target, outcome, progress);
    for (const TableColumns& table : other_tables) {
        const copy::RowCounts counts = copy::copy_table(source.get(), target, table);
        outcome.rows_copied += counts.copied;
        outcome.rows_there += counts.there;
    }
    for (const char* table : {"reports", "audit_log", "speed_tests", "subscriber_sessions"})
        copy::move_sequence_past(source.get(), target, table);
    progress("reading every report back from PostgreSQL");
    outcome.reports_checked = check_reports(source.get(), *target_store);
    // The counts are made again rather than copied: the target's may already hold uploads of its own.
    progress("counting the readings and speed tests for the overview");
    target_store->recount();
    return outcome;
}

} // namespace lumresults
