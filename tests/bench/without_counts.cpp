// tests/bench/without_counts.cpp: a Database wrapper whose writing sessions skip the counting statements.
#include "without_counts.h"

#include "server/store/sql/open_database.h"
#include "server/store/sql/sql_store.h"

namespace lum::bench {
namespace {

using lumresults::sql::Params;
using lumresults::sql::RowHandler;
using lumresults::sql::Session;

bool counts(std::string_view doing) { return doing.starts_with("counting"); }

class SkipCounting final : public Session {
public:
    explicit SkipCounting(Session& inner) : inner_(inner) {}

    std::size_t query(std::string_view sql, const Params& params, std::string_view doing,
                      const RowHandler& row) override {
        return counts(doing) ? 0 : inner_.query(sql, params, doing, row);
    }
    std::size_t execute(std::string_view sql, const Params& params, std::string_view doing) override {
        return counts(doing) ? 0 : inner_.execute(sql, params, doing);
    }

private:
    Session& inner_;
};

class WithoutCounts final : public lumresults::sql::Database {
public:
    explicit WithoutCounts(std::unique_ptr<Database> inner) : inner_(std::move(inner)) {}

    void read(const std::function<void(Session&)>& work) override { inner_->read(work); }
    void write(const std::function<void(Session&)>& work) override {
        inner_->write([&](Session& session) {
            SkipCounting skipping(session);
            work(skipping);
        });
    }
    void transaction(const std::function<void(Session&)>& work) override {
        inner_->transaction([&](Session& session) {
            SkipCounting skipping(session);
            work(skipping);
        });
    }
    std::int64_t put_report(const lumresults::NewReport& report) override { return inner_->put_report(report); }
    bool read_report(std::int64_t id, const lumresults::ByteSink& sink) override {
        return inner_->read_report(id, sink);
    }

private:
    std::unique_ptr<Database> inner_;
};

} // namespace

std::unique_ptr<lumresults::Store> open_store_without_counts(const lumresults::StoreLocation& location) {
    auto database = location.database.empty() ? lumresults::sql::open_sqlite_database(location.data_dir)
                                              : lumresults::sql::open_postgres_database(location.database);
    return lumresults::sql::make_store(std::make_unique<WithoutCounts>(std::move(database)));
}

} // namespace lum::bench
