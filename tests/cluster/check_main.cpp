// tests/cluster/check_main.cpp: cluster_check: after a burst, the store compared with every answer the burst was given.
//
//   cluster_check (--database URL | --data DIR) --record FILE
//
// Prints the counts (200s, refusals by status, refused but stored) and every fault; exits 1 when there is one.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "upload_check.h"

int main(int argc, char** argv) {
    using namespace lum::cluster;
    try {
        const std::string store_option = argc == 5 ? argv[1] : "";
        if ((store_option != "--database" && store_option != "--data") || std::string(argv[3]) != "--record")
            throw std::runtime_error("usage: cluster_check (--database URL | --data DIR) --record FILE");
        const std::vector<UploadRecord> records = read_records(argv[4]);
        const lumresults::StoreLocation location =
            store_option == "--data" ? lumresults::StoreLocation{argv[2], {}} : lumresults::StoreLocation{{}, argv[2]};
        const std::unique_ptr<lumresults::Store> store = lumresults::open_store(location);
        const CheckResult result = check_uploads(records, *store);
        std::printf("cluster_check: %zu uploads: %zu answered 200, all stored once and byte-exact unless listed below",
                    records.size(), result.acknowledged);
        for (const auto& [status, count] : result.refusals)
            std::printf("; %zu %s", count, status ? ("refused with " + std::to_string(status)).c_str() : "unanswered");
        std::printf("; %zu refused but stored\n", result.refused_but_stored);
        for (const std::string& fault : result.faults)
            std::printf("FAULT: %s\n", fault.c_str());
        return result.faults.empty() ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cluster_check: %s\n", error.what());
        return 2;
    }
}
