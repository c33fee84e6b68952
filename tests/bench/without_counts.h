// tests/bench/without_counts.h: a store that keeps everything but the overview's counts, to measure what
// counting costs an upload.
#pragma once

#include "server/store/store.h"

#include <memory>

namespace lum::bench {

// The store at `location` as open_store opens it, except that the statements that write the overview's
// counts (those the store's code names "counting ...") are left out.
std::unique_ptr<lumresults::Store> open_store_without_counts(const lumresults::StoreLocation& location);

} // namespace lum::bench
