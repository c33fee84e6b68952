// server/cli/sessions_command.cpp: `lumresults sessions import`'s words read and the import run.
#include "server/cli/sessions_command.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "server/store/copy/radacct_import.h"

namespace lumresults {

int sessions_command(int argc, char** argv) {
    StoreLocation store;
    std::string from;
    bool words_fit = argc >= 1 && std::string_view(argv[0]) == "import" && argc % 2 == 1;
    for (int i = 1; words_fit && i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--data") store.data_dir = argv[i + 1];
        else if (option == "--database") store.database = argv[i + 1];
        else if (option == "--from") from = argv[i + 1];
        else words_fit = false;
    }
    if (!words_fit || from.empty() || (store.data_dir.empty() && store.database.empty())) {
        std::fprintf(stderr, "lumresults: usage: lumresults sessions import STORE --from URL\n");
        return 2;
    }
    try {
        const ImportCounts counts = import_radacct(from, *open_store(store));
        std::printf("lumresults: %zu radacct rows read: %zu records kept, %zu there already\n", counts.rows,
                    counts.recorded, counts.repeats);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: sessions import: %s\n", error.what());
        return 1;
    }
}

} // namespace lumresults
