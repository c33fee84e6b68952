// server/store/postgres/pg_pool.h: the store's connections to PostgreSQL, opened when needed and lent one at a time.
#pragma once

#include "server/store/postgres/pg_session.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumresults::postgres {

// At most `size` sessions, opened lazily: a thread leases one for a call and gives it back after. A
// session found lost or unusable is closed instead of kept, and the next lease opens a new one, so a
// restarted server costs only the calls under way. Every instance of lumresults has its own pool, so the
// size times the instances must stay within the server's max_connections.
class Pool {
public:
    class Lease {
    public:
        Lease(Pool& pool, std::unique_ptr<Session> session) : pool_(pool), session_(std::move(session)) {}
        ~Lease() { pool_.give_back(std::move(session_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        Session& operator*() const { return *session_; }
        Session* operator->() const { return session_.get(); }

    private:
        Pool& pool_;
        std::unique_ptr<Session> session_;
    };

    Pool(std::string url, std::size_t size);

    // Waits while all `size` sessions are lent. Throws StoreError when a new one cannot connect.
    Lease lease();
    // The database as errors name it: host and database, never the URL's password.
    const std::string& where() const { return where_; }

private:
    std::unique_ptr<Session> idle_or_none();
    void give_back(std::unique_ptr<Session> session);

    const std::string url_;
    const std::string where_;
    const std::size_t size_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<Session>> idle_;
    std::size_t open_ = 0; // idle and lent, and those being opened
};

// "PostgreSQL database "x" on host": what an error may say of a URL. Throws StoreError for a URL libpq
// cannot read (without quoting it, since it may hold a password).
std::string describe_database(const std::string& url);

} // namespace lumresults::postgres
