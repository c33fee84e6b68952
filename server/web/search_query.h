// server/web/search_query.h: the search form's query (and the API's) read into a store search, with
// a plain message for what cannot be read, and written back into links.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "server/http/request.h"
#include "server/store/store.h"

namespace lumresults {

// The query as given, to fill the form again and to carry into the next page's link.
struct SearchForm {
    std::string ip;
    std::string match = "exact"; // or "prefix"
    std::string from;            // YYYY-MM-DD or YYYY-MM-DDTHH:MM (see TimesIn)
    std::string to;              // the same; a date includes its whole day, a time its whole minute
    std::string failed;          // "", "any", or "1".."7"
    std::string after;           // the page cursor, "MS-ID"
    std::string computer;        // MACs ("3C-52-82-4E-03-10"), separated by commas or blanks, or one host name
    std::string subscriber{};    // a RADIUS User-Name, as the session gave it
    std::string node{};          // an access node's address or NAS-Identifier
};

struct SearchQuery {
    SearchForm form;
    ReportSearch search;
    std::string error; // empty when the whole query was read; else what to correct, for people
};

// Whose clock a search's from and to are read on: the API's is UTC; the staff's pages (and the CSV their
// links ask for) read the operator's, as they show times.
enum class TimesIn { utc, operator_zone };

// A from or to field (YYYY-MM-DD or YYYY-MM-DDTHH:MM, on the zone's clock) into `time`; with `to_end`, the end
// of its day or minute. Empty when read; else what to correct, naming the field (From or To).
std::string read_time(const std::string& text, bool to_end, TimesIn zone, std::optional<Clock::time_point>& time);

// Reads ip, match, from, to, failed, computer, subscriber, node and after; search.limit is page_size.
SearchQuery read_search_query(const Request& request, std::size_t page_size, TimesIn zone = TimesIn::utc);

// The API's `limit`: 100 when absent, else a number from 1 to 1000; nothing for anything else.
std::optional<std::size_t> read_api_limit(const Request& request);

// The cursor of the page after this row: "MS-ID" (received, milliseconds since 1970, and id).
std::string page_cursor(const ReportInfo& last_shown);
std::optional<std::pair<Clock::time_point, std::int64_t>> parse_page_cursor(std::string_view text);

// The form as a query string ("ip=10.1.2.3&match=prefix"), the fields left empty omitted; `after` replaces
// the form's cursor.
std::string search_query_string(const SearchForm& form, std::string_view after);

// A report id from a path piece: decimal digits, no sign, at least 1.
std::optional<std::int64_t> parse_report_id(std::string_view text);

} // namespace lumresults
