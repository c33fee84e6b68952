// server/web/search_query.cpp: each query field checked on its own, the first fault named.
#include "server/web/search_query.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <functional>
#include <vector>

#include "server/common/blanks.h"
#include "server/web/local_time.h"
#include "server/net/ip_address.h"
#include "server/reports/computer_ids.h"

namespace lumresults {
namespace {

// A run of decimal digits, exactly `size` long when size is given.
template <typename Number> std::optional<Number> digits(std::string_view text, std::size_t size = 0) {
    if (text.empty() || (size != 0 && text.size() != size)) return std::nullopt;
    Number value{};
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (fault != std::errc{} || end != text.data() + text.size() || text.front() == '-') return std::nullopt;
    return value;
}

// The times a search may name: from 1970 to the end of 2199, well inside what the clock holds (it counts
// nanoseconds in 64 bits, up to 2262): a later date would overflow it and ask for every report there is.
constexpr std::chrono::sys_days END_OF_TIMES = std::chrono::sys_days{std::chrono::year{2200} / 1 / 1};
constexpr const char* TIMES_SEARCHED = "dates searched: 1970-01-01 to 2199-12-31";

// A date and, when given, a minute of it, as typed: YYYY-MM-DD or YYYY-MM-DDTHH:MM.
struct TypedTime {
    std::chrono::year_month_day date;
    std::optional<std::chrono::minutes> minute;
};

std::optional<TypedTime> parse_time(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != 10 && text.size() != 16) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = digits<int>(text.substr(0, 4), 4);
    const auto m = digits<unsigned>(text.substr(5, 2), 2);
    const auto d = digits<unsigned>(text.substr(8, 2), 2);
    if (!y || !m || !d || *y < 1970) return std::nullopt;
    const year_month_day date{year{*y}, month{*m}, day{*d}};
    if (!date.ok()) return std::nullopt;
    if (text.size() == 10) return TypedTime{date, std::nullopt};
    if (text[10] != 'T' || text[13] != ':') return std::nullopt;
    const auto h = digits<int>(text.substr(11, 2), 2);
    const auto min = digits<int>(text.substr(14, 2), 2);
    if (!h || !min || *h > 23 || *min > 59) return std::nullopt;
    return TypedTime{date, hours{*h} + minutes{*min}};
}

// The instant a typed time names in UTC or on the operator's clock; with `to_end`, the end of its day or
// minute (the first instant after it), so that a "to" date includes its whole day, however long the
// operator's clock makes that day. In seconds, which hold any four-digit year.
std::optional<std::chrono::sys_seconds> instant_of(const TypedTime& typed, bool to_end, TimesIn zone) {
    using namespace std::chrono;
    const year_month_day date = to_end && !typed.minute ? year_month_day{sys_days{typed.date} + days{1}} : typed.date;
    const minutes minute = typed.minute.value_or(minutes{0}) + (to_end && typed.minute ? minutes{1} : minutes{0});
    if (zone == TimesIn::utc) return sys_days{date} + minute;
    const std::optional<Clock::time_point> local = local_instant(date, minute);
    if (!local) return std::nullopt;
    return floor<seconds>(*local);
}

bool prefix_character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' || c == ':';
}

// Exact addresses are compared in the store's spelling, so "::ffff:10.1.2.3" finds "10.1.2.3".
std::string read_address(SearchQuery& query) {
    const std::string& ip = query.form.ip;
    if (query.form.match != "exact" && query.form.match != "prefix") return "Match must be exact or prefix.";
    query.search.caller_prefix = query.form.match == "prefix";
    if (ip.empty()) return {};
    if (query.search.caller_prefix) {
        for (const char c : ip)
            if (!prefix_character(c)) return "The address start may hold only digits, a to f, dots and colons.";
        query.search.caller = ip;
        for (char& c : query.search.caller)
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        return {};
    }
    const std::optional<IpAddress> address = parse_address(ip);
    if (!address)
        return "\"" + ip + "\" is not an IPv4 or IPv6 address (choose \"starts with\" to search by its start).";
    query.search.caller = format_address(*address);
    return {};
}

std::string read_times(SearchQuery& query, TimesIn zone) {
    if (!query.form.from.empty()) {
        if (std::string fault = read_time(query.form.from, false, zone, query.search.since); !fault.empty())
            return fault;
    }
    if (!query.form.to.empty()) {
        if (std::string fault = read_time(query.form.to, true, zone, query.search.until); !fault.empty()) return fault;
    }
    if (query.search.since && query.search.until && *query.search.since >= *query.search.until)
        return "From is after To.";
    return {};
}

std::string read_failed(SearchQuery& query) {
    const std::string& failed = query.form.failed;
    if (failed.empty()) return {};
    if (failed == "any") {
        query.search.failed_any_of = (1u << READING_TESTS) - 1;
        return {};
    }
    const std::optional<unsigned> test = digits<unsigned>(failed, 1);
    if (!test || *test < 1 || *test > READING_TESTS)
        return "Failed test must be any or a test number from 1 to " + std::to_string(READING_TESTS) + ".";
    query.search.failed_any_of = 1u << (*test - 1);
    return {};
}

// The pieces of a list separated by commas or blanks, empty ones left out.
std::vector<std::string_view> list_items(std::string_view text) {
    std::vector<std::string_view> items;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find_first_of(", \t", at), text.size());
        if (end > at) items.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

// MACs (each a computer's own, in any usual spelling) or a single host name, which is anything else.
std::string read_computer(SearchQuery& query) {
    constexpr std::size_t MOST_MACS = 16;
    const std::string& computer = query.form.computer;
    if (computer.empty()) return {};
    const std::vector<std::string_view> items = list_items(computer);
    if (items.size() > MOST_MACS) return "Computer may name at most " + std::to_string(MOST_MACS) + " MAC addresses.";
    for (const std::string_view item : items) {
        if (const std::optional<std::string> mac = lum::reports::mac_key(item)) {
            query.search.computer_macs.push_back(*mac);
        } else if (items.size() > 1) {
            return "\"" + std::string(item) + "\" is not a computer's own MAC address (such as 3C-52-82-4E-03-10).";
        }
    }
    if (!query.search.computer_macs.empty()) return {};
    if (computer.size() > lum::reports::HOST_NAME_BYTES_KEPT ||
        std::any_of(computer.begin(), computer.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; }))
        return "Computer must be MAC addresses (such as 3C-52-82-4E-03-10) or a host name.";
    query.search.computer_name = lum::reports::host_name_key(computer);
    return {};
}

// RADIUS keeps a User-Name or NAS-Identifier to 253 bytes: anything longer names nobody.
std::string read_subscriber(SearchQuery& query) {
    constexpr std::size_t MOST = 253;
    if (query.form.subscriber.size() > MOST || query.form.node.size() > MOST)
        return "A subscriber or node is at most " + std::to_string(MOST) + " bytes.";
    query.search.subscriber = query.form.subscriber;
    query.search.node = query.form.node;
    return {};
}

std::string read_cursor(SearchQuery& query) {
    if (query.form.after.empty()) return {};
    query.search.after = parse_page_cursor(query.form.after);
    return query.search.after ? std::string() : "The page link is damaged; search again.";
}

void append_field(std::string& out, std::string_view name, std::string_view value) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    if (value.empty()) return;
    if (!out.empty()) out += '&';
    out.append(name) += '=';
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == ':') {
            out += c;
        } else {
            out += '%';
            out += DIGITS[byte >> 4];
            out += DIGITS[byte & 0x0F];
        }
    }
}

} // namespace

// Checked against the range before it becomes the clock's time.
std::string read_time(const std::string& text, bool to_end, TimesIn zone, std::optional<Clock::time_point>& time) {
    const char* const name = to_end ? "To" : "From";
    const std::optional<TypedTime> typed = parse_time(text);
    const std::optional<std::chrono::sys_seconds> read = typed ? instant_of(*typed, to_end, zone) : std::nullopt;
    if (!read) return std::string(name) + " \"" + text + "\" is not a date: use YYYY-MM-DD or YYYY-MM-DDTHH:MM.";
    if (to_end ? *read > END_OF_TIMES : *read >= END_OF_TIMES)
        return std::string(name) + " \"" + text + "\" is outside the " + TIMES_SEARCHED + ".";
    time = Clock::time_point(*read);
    return {};
}

SearchQuery read_search_query(const Request& request, std::size_t page_size, TimesIn zone) {
    SearchQuery query;
    query.search.limit = page_size;
    const auto field = [&request](std::string_view name) {
        return std::string(trim_blanks(request.query_value(name).value_or("")));
    };
    query.form.ip = field("ip");
    if (const std::string match = field("match"); !match.empty()) query.form.match = match;
    query.form.from = field("from");
    query.form.to = field("to");
    query.form.failed = field("failed");
    query.form.after = field("after");
    query.form.computer = field("computer");
    query.form.subscriber = field("subscriber");
    query.form.node = field("node");
    const auto read_times_there = [zone](SearchQuery& read) { return read_times(read, zone); };
    const std::function<std::string(SearchQuery&)> reads[] = {read_address, read_times_there, read_failed,
                                                              read_computer, read_subscriber, read_cursor};
    for (const auto& read : reads) {
        query.error = read(query);
        if (!query.error.empty()) break;
    }
    return query;
}

std::optional<std::size_t> read_api_limit(const Request& request) {
    constexpr std::size_t DEFAULT_LIMIT = 100;
    constexpr std::size_t MOST_LIMIT = 1000;
    const std::optional<std::string> text = request.query_value("limit");
    if (!text) return DEFAULT_LIMIT;
    const std::optional<std::size_t> limit = digits<std::size_t>(*text);
    if (!limit || *limit < 1 || *limit > MOST_LIMIT) return std::nullopt;
    return limit;
}

std::string page_cursor(const ReportInfo& last_shown) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(last_shown.received.time_since_epoch());
    return std::to_string(ms.count()) + "-" + std::to_string(last_shown.id);
}

std::optional<std::pair<Clock::time_point, std::int64_t>> parse_page_cursor(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto ms = digits<std::int64_t>(text.substr(0, dash));
    const auto id = digits<std::int64_t>(text.substr(dash + 1));
    // No report was received at or after the end of the times searched, and a later one would overflow the clock.
    const auto end_ms = std::chrono::duration_cast<std::chrono::milliseconds>(END_OF_TIMES.time_since_epoch()).count();
    if (!ms || !id || *ms >= end_ms) return std::nullopt;
    return std::pair{Clock::time_point(std::chrono::milliseconds(*ms)), *id};
}

std::string search_query_string(const SearchForm& form, std::string_view after) {
    std::string out;
    append_field(out, "ip", form.ip);
    if (form.match != "exact") append_field(out, "match", form.match);
    append_field(out, "from", form.from);
    append_field(out, "to", form.to);
    append_field(out, "failed", form.failed);
    append_field(out, "computer", form.computer);
    append_field(out, "subscriber", form.subscriber);
    append_field(out, "node", form.node);
    append_field(out, "after", after);
    return out;
}

std::optional<std::int64_t> parse_report_id(std::string_view text) {
    const auto id = text.size() <= 18 ? digits<std::int64_t>(text) : std::nullopt;
    if (!id || *id < 1) return std::nullopt;
    return id;
}

} // namespace lumresults
