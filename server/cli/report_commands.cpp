// server/cli/report_commands.cpp: listing the stored reports and writing one out, straight from the store.
#include "server/cli/report_commands.h"

#include <cstdio>
#include <exception>

#include "server/reports/reading_record.h"
#include "server/cli/report_listing.h"
#include "server/store/store.h"

namespace lumresults {

int list_reports(const ListingOptions& options) {
    ReportFilter filter;
    filter.caller = options.caller;
    filter.limit = SIZE_MAX;
    if (options.since) {
        filter.since = parse_day(*options.since);
        if (!filter.since) {
            std::fprintf(stderr, "lumresults: --since: expected a date as YYYY-MM-DD: %s\n", options.since->c_str());
            return 2;
        }
    }
    try {
        const std::string listing = format_report_list(open_store(options.store)->list_reports(filter), options.json);
        std::fwrite(listing.data(), 1, listing.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: %s\n", error.what());
        return 1;
    }
}

int write_report(const StoreLocation& store, std::int64_t id) {
    try {
        bool written = true;
        const bool found = open_store(store)->read_report(id, [&written](std::string_view bytes) {
            written = written && std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        });
        if (!found) {
            std::fprintf(stderr, "lumresults: no report %lld\n", static_cast<long long>(id));
            return 1;
        }
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: %s\n", error.what());
        return 1;
    }
}

int read_reports_again(const StoreLocation& store) {
    try {
        const std::unique_ptr<Store> opened = open_store(store);
        const std::size_t read = read_stored_reports_again(*opened);
        // Every count made again from what is kept, whatever the store's past (a release before counts,
        // hours at the edge of retention).
        opened->recount();
        std::printf("lumresults: read %zu report%s under rules version %d and counted them again\n", read,
                    read == 1 ? "" : "s", static_cast<int>(lum::reports::REPORT_RULES_VERSION));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: %s\n", error.what());
        return 1;
    }
}

} // namespace lumresults
