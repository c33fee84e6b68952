// tests/server/served_table.h: the route table the server serves, made as serve makes it, for tests that walk it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "server/site/results_site.h"

namespace lum::server_testing {

// Over a store of its own in `folder`: the table is only read, never served from here.
class ServedTable {
public:
    explicit ServedTable(const std::filesystem::path& folder)
        : store_(lumresults::open_sqlite_store(folder)), site_{*store_, metrics_, {1024, folder / "spool"}, nullptr},
          routes_(lumresults::results_routes(site_)) {}

    const std::vector<lumresults::Route>& routes() const { return routes_; }

private:
    std::unique_ptr<lumresults::Store> store_;
    lumresults::Metrics metrics_;
    lumresults::Site site_;
    std::vector<lumresults::Route> routes_;
};

// A path the route answers: a folder route's with something below it, and its query argument if it wants one.
inline std::string target_of(const lumresults::Route& route) {
    std::string target(route.path);
    if (route.prefix) target += "1";
    if (!route.query_key.empty()) target += "?" + std::string(route.query_key);
    return target;
}

} // namespace lum::server_testing
