// server/cli/store_commands.cpp: the store's own commands, each a thin wrapper that reports what happened.
#include "server/cli/store_commands.h"

#include <cstdio>
#include <exception>

#include "server/store/copy/copy_to_postgres.h"

namespace lumresults {

int migrate_command(const StoreLocation& store) {
    try {
        open_store(store);
        std::printf("lumresults: the store's schema is up to date\n");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: %s\n", error.what());
        return 1;
    }
}

int copy_command(const std::filesystem::path& from_dir, const std::string& to_url) {
    try {
        const CopyOutcome outcome = copy_to_postgres(from_dir, to_url, [](std::string_view line) {
            std::fprintf(stderr, "lumresults: %.*s\n", static_cast<int>(line.size()), line.data());
        });
        std::printf("lumresults: %zu reports copied, %zu there already; %zu other rows copied, %zu there already\n"
                    "lumresults: all %zu reports read back from PostgreSQL equal to their digests\n",
                    outcome.reports_copied, outcome.reports_there, outcome.rows_copied, outcome.rows_there,
                    outcome.reports_checked);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: %s\n", error.what());
        return 1;
    }
}

} // namespace lumresults
