// tests/cluster/upload_check.h: what the store must hold after a burst, judged against what the burst was told.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "burst_record.h"
#include "server/store/store.h"

namespace lum::cluster {

struct CheckResult {
    std::size_t acknowledged = 0;             // answered 200 "OK <id>"
    std::map<unsigned, std::size_t> refusals; // by status (0: no answer at all)
    std::size_t refused_but_stored = 0;       // refused, yet stored once (stored before the answer was lost)
    std::vector<std::string> faults;          // every broken promise, one line each
};

// Every upload answered 200 is stored exactly once, under its file name and the id it was told, byte for
// byte; every other upload was refused with a 5xx status and stored at most once; nothing else is stored.
CheckResult check_uploads(const std::vector<UploadRecord>& records, lumresults::Store& store);

} // namespace lum::cluster
