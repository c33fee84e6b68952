// server/store/postgres/pg_pool.cpp: leasing sessions, opening them when needed, dropping those found lost.
#include "server/store/postgres/pg_pool.h"

#include "server/store/store.h"

namespace lumresults::postgres {

std::string describe_database(const std::string& url) {
    char* error = nullptr;
    PQconninfoOption* const options = PQconninfoParse(url.c_str(), &error);
    PQfreemem(error); // its text may quote the URL, password and all
    if (options == nullptr)
        throw StoreError("the PostgreSQL database's address is not a libpq URL or connection string");
    std::string database, host, port;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        const std::string keyword = option->keyword;
        const std::string value = option->val != nullptr ? option->val : "";
        if (keyword == "dbname") database = value;
        if (keyword == "host") host = value;
        if (keyword == "port") port = value;
    }
    PQconninfoFree(options);
    std::string where = "PostgreSQL database \"" + (database.empty() ? std::string("(the user's)") : database) + "\"";
    where += " on " + (host.empty() ? std::string("the default socket") : host);
    return port.empty() ? where : where + " port " + port;
}

Pool::Pool(std::string url, std::size_t size) : url_(std::move(url)), where_(describe_database(url_)), size_(size) {
    idle_.reserve(size_); // so that giving a session back, which a destructor does, never allocates
}

std::unique_ptr<Session> Pool::idle_or_none() {
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [this] { return !idle_.empty() || open_ < size_; });
    if (idle_.empty()) {
        ++open_; // this thread opens one, outside the lock
        return nullptr;
    }
    std::unique_ptr<Session> session = std::move(idle_.back());
    idle_.pop_back();
    return session;
}

Pool::Lease Pool::lease() {
    for (;;) {
        std::unique_ptr<Session> session = idle_or_none();
        if (!session) {
            try {
                return Lease(*this, std::make_unique<Session>(url_, where_));
            } catch (...) {
                give_back(nullptr);
                throw;
            }
        }
        // A server restarted since this session was last used has closed it: found now, it costs no call.
        if (session->still_connected()) return Lease(*this, std::move(session));
        give_back(nullptr);
    }
}

void Pool::give_back(std::unique_ptr<Session> session) {
    {
        std::lock_guard lock(mutex_);
        if (session && session->usable())
            idle_.push_back(std::move(session));
        else
            --open_;
    }
    returned_.notify_one();
    // A session not kept closes here, outside the lock.
}

} // namespace lumresults::postgres
