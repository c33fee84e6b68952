// server/web/access_audit.h: what staff and API tokens looked at, written to the audit log: each report
// opened or downloaded, and each search, export and listing, since a list of reports names subscribers too.
#pragma once

#include <cstdint>
#include <string_view>

#include "server/web/search_query.h"
#include "server/http/request.h"
#include "server/store/store.h"

namespace lumresults {

// The longest search detail kept: the filters as a query string, cut there with an ellipsis (an address
// start may be typed at any length).
inline constexpr std::size_t MOST_SEARCH_DETAIL_BYTES = 256;

// Who saw which report, from where: "report viewed" or "report downloaded", the report's id.
void audit_report(StaffStore& store, const Request& request, std::string_view action, std::int64_t id);

// Who searched for what, from where: action ("reports searched", "reports exported", "reports listed",
// "speed tests listed") and the search's filters ("ip=10.1.&match=prefix&from=2026-05-01"; empty: all).
// A HEAD shows nobody anything, and is not written.
void audit_search(StaffStore& store, const Request& request, std::string_view action, const SearchForm& form);

} // namespace lumresults
