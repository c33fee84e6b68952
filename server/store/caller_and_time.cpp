// server/store/caller_and_time.cpp: the caller and time conditions of a search, and the end of a prefix's range.
#include "server/store/caller_and_time.h"

namespace lumresults {

std::optional<std::string> after_prefix(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF)
        prefix.pop_back();
    if (prefix.empty()) return std::nullopt;
    prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return prefix;
}

CallerAndTime::CallerAndTime(const std::string& caller, bool prefix, std::optional<Clock::time_point> since,
                             std::optional<Clock::time_point> until)
    : caller_(caller), prefix_(prefix), bound_(prefix ? after_prefix(caller) : std::nullopt), since_(since),
      until_(until) {}

std::string CallerAndTime::sql(std::string_view table, char marker) const {
    const std::string t(table);
    const auto parameter = [marker](char number) { return std::string{marker, number}; };
    std::string sql;
    if (!caller_.empty()) sql += " AND " + t + (prefix_ ? "caller >= " : "caller = ") + parameter('1');
    if (bound_) sql += " AND " + t + "caller < " + parameter('2');
    if (since_) sql += " AND " + t + "received_ms >= " + parameter('3');
    if (until_) sql += " AND " + t + "received_ms < " + parameter('4');
    return sql;
}

} // namespace lumresults
