// server/store/sql/conditions.cpp: search conditions as SQL, and the end of a prefix's range.
#include "server/store/sql/conditions.h"

#include <algorithm>
#include <cstdint>

namespace lumresults::sql {

std::optional<std::string> after_prefix(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF)
        prefix.pop_back();
    if (prefix.empty()) return std::nullopt;
    prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return prefix;
}

std::string caller_and_time_sql(const CallerAndTime& conditions, std::string_view table, Params& params) {
    const std::string t(table);
    std::string sql;
    if (!conditions.caller.empty())
        sql += " AND " + t + (conditions.prefix ? "caller >= " : "caller = ") + params.text(conditions.caller).last();
    if (conditions.prefix && !conditions.caller.empty()) {
        if (const std::optional<std::string> bound = after_prefix(conditions.caller))
            sql += " AND " + t + "caller < " + params.text(*bound).last();
    }
    if (conditions.since) sql += " AND " + t + "received_ms >= " + params.time(*conditions.since).last();
    if (conditions.until) sql += " AND " + t + "received_ms < " + params.time(*conditions.until).last();
    return sql;
}

std::string limit_sql(std::size_t limit, Params& params) {
    return " LIMIT " + params.integer(static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX))).last();
}

} // namespace lumresults::sql
